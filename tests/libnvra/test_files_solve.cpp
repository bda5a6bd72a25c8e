// The readers' conventions checked against published optimal values: each instance is read by
// the library, its store handed as it is to HiGHS (a plain image made here, without the
// library's own solver), and solved. A wrong objective constant, bound, integrality, threshold
// or Hessian convention shows as a wrong optimum.
#include "test_files_util.h"

#include "interfaces/highs_c_api.h"

#include <cmath>

using namespace filetest;

namespace {

// Solves the store of prob with HiGHS; returns the objective value (NaN unless optimal).
double solveStore(const nvra::Model &m) {
    const int n = m.numCols(), rows = m.numRows();
    std::vector<double> rlo(rows), rup(rows);
    for (int i = 0; i < rows; ++i) {
        const double r = m.rhs[i];
        switch (m.rowtype[i]) {
        case 'L':
            rlo[i] = -nvra::kInf, rup[i] = r;
            break;
        case 'G':
            rlo[i] = r, rup[i] = nvra::kInf;
            break;
        case 'E':
            rlo[i] = rup[i] = r;
            break;
        case 'R':
            rlo[i] = r - m.range[i], rup[i] = r;
            break;
        default:
            rlo[i] = -nvra::kInf, rup[i] = nvra::kInf;
            break;
        }
    }
    std::vector<double> lo = m.lb;
    std::vector<HighsInt> integrality(n, kHighsVarTypeContinuous);
    for (int j = 0; j < n; ++j) {
        switch (m.coltype[j]) {
        case 'I':
        case 'B':
            integrality[j] = kHighsVarTypeInteger;
            break;
        case 'S':
            integrality[j] = kHighsVarTypeSemiContinuous, lo[j] = m.limit[j];
            break;
        case 'R':
            integrality[j] = kHighsVarTypeSemiInteger, lo[j] = m.limit[j];
            break;
        default:
            break;
        }
    }
    std::vector<HighsInt> astart(m.A.start.begin(), m.A.start.end());
    std::vector<HighsInt> aindex(m.A.index.begin(), m.A.index.end());
    // Upper-triangle triplets sorted by (i, j) are HiGHS's lower triangle, column i.
    std::vector<HighsInt> qstart(n + 1, 0), qindex(m.Q.j.begin(), m.Q.j.end());
    for (int32_t i : m.Q.i)
        ++qstart[i + 1];
    for (int j = 0; j < n; ++j)
        qstart[j + 1] += qstart[j];
    void *h = Highs_create();
    Highs_setBoolOptionValue(h, "output_flag", 0);
    const HighsInt st = Highs_passModel(
        h, n, rows, static_cast<HighsInt>(m.A.value.size()), static_cast<HighsInt>(m.Q.v.size()),
        kHighsMatrixFormatRowwise, kHighsHessianFormatTriangular, m.sense, m.objConstant,
        m.cost.data(), lo.data(), m.ub.data(), rlo.data(), rup.data(), astart.data(), aindex.data(),
        m.A.value.data(), qstart.data(), qindex.data(), m.Q.v.data(), integrality.data());
    double value = std::nan("");
    if (st != kHighsStatusError && Highs_run(h) != kHighsStatusError &&
        Highs_getModelStatus(h) == kHighsModelStatusOptimal)
        value = Highs_getObjectiveValue(h);
    Highs_destroy(h);
    return value;
}

struct Optimum {
    const char *file;
    double value;
};

// Published values (the instances' README); e226 with its objective constant.
constexpr Optimum kOptima[] = {
    {"afiro.mps", -4.6475314286E+02},
    {"adlittle.mps", 2.2549496316E+05},
    {"e226.mps", -11.6389290663705},
    {"israel.mps", -8.9664482186E+05},
    {"standata.mps", 1.2576995000E+03},
    {"standmps.mps", 1.4060175000E+03},
    {"stair.mps", -2.5126695119E+02},
    {"flugpl.mps", 1201500},
    {"egout.mps", 568.1007},
    {"gt2.mps", 21166},
    {"lseu.mps", 1120},
    {"p0548.mps", 8691},
    {"qjh.mps", -5.25},
    {"qjh_quadobj.mps", -5.25},
    {"qjh_qmatrix.mps", -5.25},
    {"qjh.lp", -5.25},
    {"qptestnw.lp", -6.45},
    {"semi-continuous.mps", 25.0 / 3.0 - 0.11},
    {"semi-integer.mps", 25.0 / 3.0 - 0.2},
};

TEST_F(FilesTest, InstancesAsReadReachTheirPublishedOptima) {
    for (const Optimum &o : kOptima) {
        SCOPED_TRACE(o.file);
        read(dataFile(o.file));
        const double v = solveStore(model());
        EXPECT_NEAR(v, o.value, 1e-6 * std::max(1.0, std::fabs(o.value)));
    }
}

} // namespace
