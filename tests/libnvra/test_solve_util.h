// Helpers of the solver tests: a problem fixture, a small model builder, the public instances
// read into a problem, and access to controls and results.
//
// The builder and the instance reader fill the problem's store directly (the store's edit
// functions are written in another work area); they keep the store's invariants.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "highs_c_api.h"
#include "nvra.h"
#include "problem.h"

namespace solvetest {

using Entries = std::vector<std::pair<int, double>>;

inline std::string dataFile(const std::string &name) { return std::string(NIVRA_TEST_DATA) + "/" + name; }

inline std::string lastError(NVRAprob prob) {
    char buf[NVRA_MAXMESSAGELENGTH];
    NVRAgetlasterror(prob, buf, sizeof buf);
    return buf;
}

// Appends columns and rows to a problem's store.
struct Builder {
    NVRAprob prob;

    nvra::Model &m() const { return prob->model; }

    int col(double lb, double ub, double cost, char type = 'C', double limit = 0.0) {
        m().lb.push_back(lb);
        m().ub.push_back(ub);
        m().cost.push_back(cost);
        m().limit.push_back(limit);
        m().coltype.push_back(type);
        for (auto &o : m().objectives) o.cost.push_back(0.0);
        return m().numCols() - 1;
    }
    int row(char type, double rhs, Entries entries, double range = 0.0) {
        std::sort(entries.begin(), entries.end());
        m().rowtype.push_back(type);
        m().rhs.push_back(rhs);
        m().range.push_back(range);
        for (auto [j, v] : entries) {
            m().A.index.push_back(j);
            m().A.value.push_back(v);
        }
        m().A.start.push_back(static_cast<int64_t>(m().A.index.size()));
        return m().numRows() - 1;
    }
    // Q element (i <= j) of 0.5 x'Qx; elements must be added in increasing (i, j).
    void q(int i, int j, double v) {
        m().Q.i.push_back(i);
        m().Q.j.push_back(j);
        m().Q.v.push_back(v);
    }
    void sense(int s) { m().sense = s; }
    void sos(char type, std::vector<int> cols, std::vector<double> weights) {
        m().sets.push_back(nvra::Sos{type, std::move(cols), std::move(weights)});
    }
    void indicator(int row, int col, int complement) { m().indicators[row] = {col, complement}; }
    // A further objective with its controls.
    void objective(std::vector<double> cost, int priority, double weight, double absTol = 0.0,
                   double relTol = 0.0, double constant = 0.0) {
        nvra::Objective o;
        o.cost = std::move(cost);
        o.priority = priority;
        o.weight = weight;
        o.absTol = absTol;
        o.relTol = relTol;
        o.constant = constant;
        m().objectives.push_back(std::move(o));
    }
};

// Reads an instance with the engine's own reader into the problem's store.
inline void readInstance(NVRAprob prob, const std::string &name) {
    void *h = Highs_create();
    Highs_setBoolOptionValue(h, "output_flag", 0);
    ASSERT_GE(Highs_readModel(h, dataFile(name).c_str()), 0) << name;
    const HighsInt nc = Highs_getNumCol(h), nr = Highs_getNumRow(h), nz = Highs_getNumNz(h),
                   qz = Highs_getHessianNumNz(h);
    HighsInt a, b, c, d, sense;
    double offset;
    std::vector<double> cost(nc), lo(nc), up(nc), rlo(nr), rup(nr), val(nz), qval(qz);
    std::vector<HighsInt> start(nr + 1), index(nz), qstart(nc + 1), qindex(qz), integ(nc);
    ASSERT_GE(Highs_getModel(h, kHighsMatrixFormatRowwise, kHighsHessianFormatTriangular, &a, &b,
                             &c, &d, &sense, &offset, cost.data(), lo.data(), up.data(),
                             rlo.data(), rup.data(), start.data(), index.data(), val.data(),
                             qstart.data(), qindex.data(), qval.data(), integ.data()),
              0);
    Highs_destroy(h);
    Builder bld{prob};
    bld.sense(sense);
    prob->model.objConstant = offset;
    for (HighsInt j = 0; j < nc; ++j) {
        const double l = std::max(lo[j], -nvra::kInf), u = std::min(up[j], nvra::kInf);
        switch (integ[j]) {
        case kHighsVarTypeInteger: bld.col(l, u, cost[j], 'I'); break;
        case kHighsVarTypeSemiContinuous: bld.col(0.0, u, cost[j], 'S', l); break;
        case kHighsVarTypeSemiInteger: bld.col(0.0, u, cost[j], 'R', l); break;
        default: bld.col(l, u, cost[j]); break;
        }
    }
    start[nr] = nz;
    for (HighsInt i = 0; i < nr; ++i) {
        Entries e;
        for (HighsInt k = start[i]; k < start[i + 1]; ++k) e.emplace_back(index[k], val[k]);
        const bool hasLo = rlo[i] > -nvra::kInf, hasUp = rup[i] < nvra::kInf;
        if (hasLo && hasUp && rlo[i] == rup[i])
            bld.row('E', rup[i], e);
        else if (hasLo && hasUp)
            bld.row('R', rup[i], e, rup[i] - rlo[i]);
        else if (hasLo)
            bld.row('G', rlo[i], e);
        else if (hasUp)
            bld.row('L', rup[i], e);
        else
            bld.row('N', 0.0, e);
    }
    qstart[nc] = qz;
    for (HighsInt j = 0; j < nc; ++j)
        for (HighsInt k = qstart[j]; k < qstart[j + 1]; ++k) bld.q(j, qindex[k], qval[k]);
}

// Controls (through the store of control values).
template <int Slot> void setInt(NVRAprob prob, int64_t v) { prob->controls.ints[Slot] = v; }
template <int Slot> void setDbl(NVRAprob prob, double v) { prob->controls.dbls[Slot] = v; }

// Results of the last optimisation.
inline const nvra::SolveResult &result(NVRAprob prob) { return prob->solution.current(); }
inline int numSolves(NVRAprob prob) { return static_cast<int>(prob->solution.solves.size()); }

inline std::vector<double> solution(NVRAprob prob, int *status = nullptr) {
    std::vector<double> x(prob->model.numCols(), std::nan(""));
    int st = -1;
    EXPECT_EQ(NVRAgetsolution(prob, &st, x.data(), 0, prob->model.numCols() - 1), 0);
    if (status) *status = st;
    return x;
}

// A started library and one problem.
class SolveTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(NVRAinit(nullptr), 0);
        ASSERT_EQ(NVRAcreateprob(&prob), 0);
        b.prob = prob;
    }
    void TearDown() override {
        EXPECT_EQ(NVRAdestroyprob(prob), 0);
        EXPECT_EQ(NVRAfree(), 0);
    }
    int optimize(const char *flags = "") {
        int solve = -1, sol = -1;
        const int rc = NVRAoptimize(prob, flags, &solve, &sol);
        if (rc == 0) {
            EXPECT_EQ(solve, result(prob).solveStatus);
            EXPECT_EQ(sol, result(prob).solStatus);
        }
        return rc;
    }
    NVRAprob prob = nullptr;
    Builder b{nullptr};
};

} // namespace solvetest
