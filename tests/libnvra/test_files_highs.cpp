// The readers against the engine's own reader: every public test file, and files with what other
// tools write (empty LP rows, Fortran exponents), read by both give the same model: the columns
// by name with their costs, bounds and integrality, the objective's sense and constant, and the
// rows as a multiset of (bounds, entries by column name), free rows left aside (the engine
// drops them).
#include "test_files_util.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "highs_c_api.h"

using namespace filetest;

namespace {

using Entries = std::vector<std::pair<std::string, double>>;
using RowSig = std::tuple<double, double, Entries>;

struct Column {
    double cost, lb, ub;
    bool integer;
    bool operator==(const Column &) const = default;
};

struct Read {
    int sense = 1;
    double offset = 0;
    std::map<std::string, Column> cols;
    std::vector<RowSig> rows; // sorted
};

double canon(double v) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    return v >= nvra::kInf ? inf : v <= -nvra::kInf ? -inf : v;
}

void addRow(Read &r, double lo, double up, Entries e) {
    lo = canon(lo), up = canon(up);
    if (std::isinf(lo) && std::isinf(up)) return; // a free row
    std::sort(e.begin(), e.end());
    r.rows.emplace_back(lo, up, std::move(e));
}

Read fromStore(NVRAprob prob) {
    const nvra::Model &m = prob->model;
    const std::vector<std::string> names = allNames(prob, NVRA_NAMES_COLUMNS);
    Read r;
    r.sense = m.sense;
    r.offset = m.objConstant;
    for (int j = 0; j < m.numCols(); ++j)
        r.cols[names[j]] = {m.cost[j], canon(m.lb[j]), canon(m.ub[j]),
                            m.coltype[j] == 'I' || m.coltype[j] == 'B'};
    for (int i = 0; i < m.numRows(); ++i) {
        Entries e;
        for (int64_t k = m.A.start[i]; k < m.A.start[i + 1]; ++k)
            e.emplace_back(names[m.A.index[k]], m.A.value[k]);
        const double rhs = m.rhs[i];
        switch (m.rowtype[i]) {
        case 'L':
            addRow(r, -nvra::kInf, rhs, e);
            break;
        case 'G':
            addRow(r, rhs, nvra::kInf, e);
            break;
        case 'E':
            addRow(r, rhs, rhs, e);
            break;
        case 'R':
            addRow(r, rhs - m.range[i], rhs, e);
            break;
        default:
            break;
        }
    }
    std::sort(r.rows.begin(), r.rows.end());
    return r;
}

// The engine's reading of a file; false when it refuses the file.
bool fromEngine(const std::string &file, Read &r) {
    void *h = Highs_create();
    Highs_setBoolOptionValue(h, "output_flag", 0);
    const bool ok = Highs_readModel(h, file.c_str()) != kHighsStatusError;
    if (ok) {
        const HighsInt nc = Highs_getNumCol(h), nr = Highs_getNumRow(h), nz = Highs_getNumNz(h);
        std::vector<double> cost(nc), lb(nc), ub(nc), rlo(nr), rup(nr), val(nz);
        std::vector<HighsInt> start(nr + 1), index(nz), integrality(nc);
        HighsInt ncol, nrow, nnz, sense;
        Highs_getLp(h, kHighsMatrixFormatRowwise, &ncol, &nrow, &nnz, &sense, &r.offset,
                    cost.data(), lb.data(), ub.data(), rlo.data(), rup.data(), start.data(),
                    index.data(), val.data(), integrality.data());
        start[nr] = nnz;
        r.sense = sense;
        std::vector<std::string> names(nc);
        char buf[kHighsMaximumStringLength];
        for (HighsInt j = 0; j < nc; ++j) {
            Highs_getColName(h, j, buf);
            names[j] = buf;
            r.cols[names[j]] = {cost[j], canon(lb[j]), canon(ub[j]),
                                integrality[j] == kHighsVarTypeInteger};
        }
        for (HighsInt i = 0; i < nr; ++i) {
            Entries e;
            for (HighsInt k = start[i]; k < start[i + 1]; ++k)
                if (val[k] != 0.0) e.emplace_back(names[index[k]], val[k]);
            addRow(r, rlo[i], rup[i], e);
        }
        std::sort(r.rows.begin(), r.rows.end());
    }
    Highs_destroy(h);
    return ok;
}

TEST_F(FilesTest, ReadersAgreeWithTheEnginesReader) {
    // The linear and integer instances: the comparison covers no quadratic or semi-continuous
    // data.
    std::vector<std::string> files;
    for (const Instance &in : kInstances)
        if (in.file[0] != 'q' && std::string_view(in.file).substr(0, 4) != "semi")
            files.push_back(dataFile(in.file));
    // What other tools write: empty rows with an empty left side, Fortran exponents.
    files.push_back(file("empty_rows.lp", "Minimize\n obj: x + 2 y\nSubject To\n c1: x + y >= 1\n"
                                          " c932: = +0\n c2: x - y <= 3\nEnd\n"));
    files.push_back(file("fortran.mps", "NAME f\nROWS\n N o\n L c\nCOLUMNS\n x o 1.5D2 c 2d-1\n"
                                        " y c 1D+3\nRHS\n RHS c 2.5D0\nBOUNDS\n UP BND x 1.D1\n"
                                        "ENDATA\n"));
    for (const std::string &f : files) {
        SCOPED_TRACE(f);
        read(f);
        Read engine;
        ASSERT_TRUE(fromEngine(f, engine)) << "the engine refuses the file";
        ASSERT_FALSE(engine.cols.empty() || engine.rows.empty());
        const Read ours = fromStore(prob);
        EXPECT_EQ(ours.sense, engine.sense);
        EXPECT_EQ(ours.offset, engine.offset);
        EXPECT_EQ(ours.cols.size(), engine.cols.size());
        for (const auto &[name, c] : engine.cols) {
            auto it = ours.cols.find(name);
            ASSERT_NE(it, ours.cols.end()) << "column " << name;
            EXPECT_TRUE(it->second == c)
                << "column " << name << ": ours " << it->second.cost << " [" << it->second.lb
                << ", " << it->second.ub << "] " << it->second.integer << ", engine " << c.cost
                << " [" << c.lb << ", " << c.ub << "] " << c.integer;
        }
        EXPECT_TRUE(ours.rows == engine.rows)
            << ours.rows.size() << " rows against " << engine.rows.size();
    }
}

} // namespace
