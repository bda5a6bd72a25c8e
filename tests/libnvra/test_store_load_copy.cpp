// Loading whole problems (every loader, both column forms, 32- and 64-bit starts), the problem
// name, and copying problems.
#include "store_test_util.h"

#include <cmath>
#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "core/problem.h" // the copied controls and the discarded solution have no getters here

namespace {

using storetest::names;
using storetest::Snapshot;
using storetest::snapshot;
using storetest::StoreTest;
using Strings = std::vector<std::string>;
using Vec = std::vector<double>;

std::string probName(NVRAprob p) {
    char buf[256];
    EXPECT_EQ(NVRAgetprobname(p, buf), 0);
    return buf;
}

// A 3-row, 4-column LP given column-wise, with an unsorted column, a repeated row in a column
// and a zero.
struct Lp {
    const char rowtype[3] = {'L', 'G', 'R'};
    const double rhs[3] = {4, 1, 9}, range[3] = {0, 0, 5};
    const double obj[4] = {1, -2, 0, 3};
    const int64_t start[5] = {0, 2, 5, 6, 7};
    const int rowind[7] = {2, 0, 1, 1, 0, 2, 1};
    const double rowcoef[7] = {1, 2, 3, 4, 5, 0, 6};
    const double lb[4] = {0, -1, -1e30, 2};
    const double ub[4] = {1e20, 5, 3, 2};
};

class Load : public StoreTest {
  protected:
    Lp lp;
    int loadLp(const char *name = "lp") {
        return NVRAloadlp64(p, name, 4, 3, lp.rowtype, lp.rhs, lp.range, lp.obj, lp.start, nullptr,
                            lp.rowind, lp.rowcoef, lp.lb, lp.ub);
    }
};

TEST_F(Load, LinearProblemReadsBack) {
    ASSERT_EQ(loadLp(), 0) << err();
    Snapshot s = snapshot(p, 3, 4);
    EXPECT_EQ(s.probname, "lp");
    EXPECT_EQ(s.rowtype, (std::vector<char>{'L', 'G', 'R'}));
    EXPECT_EQ(s.range, (Vec{1e20, 1e20, 5}));
    EXPECT_EQ(s.obj, (Vec{0, 1, -2, 0, 3}));
    EXPECT_EQ(s.lb, (Vec{0, -1, -1e20, 2}));
    EXPECT_EQ(s.ub, (Vec{1e20, 5, 3, 2}));
    // Rows: 0: (0,2) (1,5); 1: (1,7) summed, (3,6); 2: (0,1); the zero is dropped.
    EXPECT_EQ(s.rowStart, (std::vector<int64_t>{0, 2, 4, 5}));
    EXPECT_EQ(s.rowCols, (std::vector<int>{0, 1, 1, 3, 0}));
    EXPECT_EQ(s.rowVals, (Vec{2, 5, 7, 6, 1}));
    EXPECT_EQ(s.coltype, (std::vector<char>{'C', 'C', 'C', 'C'}));
    EXPECT_EQ(s.rowNames, (Strings{"R0", "R1", "R2"}));
}

TEST_F(Load, ColumnFormsAndWidthsAgree) {
    ASSERT_EQ(loadLp(), 0);
    const Snapshot a = snapshot(p, 3, 4);
    NVRAprob q;
    ASSERT_EQ(NVRAcreateprob(&q), 0);
    // 32-bit starts with collen, the columns stored out of order with gaps.
    const int start[4] = {10, 0, 6, 20};
    const int collen[4] = {2, 3, 1, 1};
    std::vector<int> ri(21, -7);
    std::vector<double> rc(21, 99);
    auto put = [&](int at, std::initializer_list<int> r, std::initializer_list<double> v) {
        std::copy(r.begin(), r.end(), ri.begin() + at);
        std::copy(v.begin(), v.end(), rc.begin() + at);
    };
    put(10, {2, 0}, {1, 2});
    put(0, {1, 1, 0}, {3, 4, 5});
    put(6, {2}, {0});
    put(20, {1}, {6});
    ASSERT_EQ(NVRAloadlp(q, "lp", 4, 3, lp.rowtype, lp.rhs, lp.range, lp.obj, start, collen,
                         ri.data(), rc.data(), lp.lb, lp.ub),
              0)
        << storetest::lastError(q);
    EXPECT_TRUE(snapshot(q, 3, 4) == a);
    EXPECT_EQ(NVRAdestroyprob(q), 0);
}

// One random matrix given four ways: sorted columns in one load, rows in shuffled order, column
// batches, and shuffled columns with collen and gaps. The stored rows must agree exactly.
TEST_F(Load, AllWaysOfGivingAMatrixAgree) {
    const int nrows = 40, ncols = 60;
    std::mt19937 rng(7);
    std::vector<std::vector<std::pair<int, double>>> byCol(ncols);
    for (int j = 0; j < ncols; ++j)
        for (int r = 0; r < nrows; ++r)
            if (rng() % 4 == 0) byCol[j].emplace_back(r, 1 + rng() % 9);
    std::vector<int64_t> start{0};
    std::vector<int> ri;
    std::vector<double> rv;
    for (auto &c : byCol) {
        for (auto [r, v] : c)
            ri.push_back(r), rv.push_back(v);
        start.push_back(static_cast<int64_t>(ri.size()));
    }
    const std::vector<char> types(nrows, 'L');
    const std::vector<double> rhs(nrows, 1.0);
    ASSERT_EQ(NVRAloadlp64(p, "m", ncols, nrows, types.data(), rhs.data(), nullptr, nullptr,
                           start.data(), nullptr, ri.data(), rv.data(), nullptr, nullptr),
              0);
    const Snapshot want = snapshot(p, nrows, ncols);
    auto sameMatrix = [&](NVRAprob q) {
        const Snapshot got = snapshot(q, nrows, ncols);
        EXPECT_EQ(got.rowStart, want.rowStart);
        EXPECT_EQ(got.rowCols, want.rowCols);
        EXPECT_EQ(got.rowVals, want.rowVals);
    };

    NVRAprob q;
    ASSERT_EQ(NVRAcreateprob(&q), 0);
    ASSERT_EQ(NVRAaddcols(q, ncols, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    std::vector<std::vector<std::pair<int, double>>> byRow(nrows);
    for (int j = 0; j < ncols; ++j)
        for (auto [r, v] : byCol[j])
            byRow[r].emplace_back(j, v);
    std::vector<int64_t> rs;
    std::vector<int> rc;
    std::vector<double> rvals;
    for (auto &r : byRow) {
        std::shuffle(r.begin(), r.end(), rng);
        rs.push_back(static_cast<int64_t>(rc.size()));
        for (auto [c, v] : r)
            rc.push_back(c), rvals.push_back(v);
    }
    ASSERT_EQ(NVRAaddrows64(q, nrows, static_cast<int64_t>(rc.size()), types.data(), rhs.data(),
                            nullptr, rs.data(), rc.data(), rvals.data()),
              0);
    sameMatrix(q);

    ASSERT_EQ(NVRAloadlp(q, "m", 0, nrows, types.data(), rhs.data(), nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr),
              0);
    for (int j0 : {0, 25, 50}) {
        const int k = std::min(25, ncols - j0);
        std::vector<int64_t> s;
        for (int j = j0; j < j0 + k; ++j)
            s.push_back(start[j] - start[j0]);
        ASSERT_EQ(NVRAaddcols64(q, k, start[j0 + k] - start[j0], nullptr, s.data(),
                                ri.data() + start[j0], rv.data() + start[j0], nullptr, nullptr),
                  0);
    }
    sameMatrix(q);

    std::vector<int> order(ncols), cstart(ncols), clen(ncols), gri;
    std::vector<double> grv;
    for (int j = 0; j < ncols; ++j)
        order[j] = j;
    std::shuffle(order.begin(), order.end(), rng);
    for (int j : order) {
        gri.push_back(-1), grv.push_back(5); // a gap that must not be read
        cstart[j] = static_cast<int>(gri.size());
        clen[j] = static_cast<int>(byCol[j].size());
        auto entries = byCol[j];
        std::shuffle(entries.begin(), entries.end(), rng);
        for (auto [r, v] : entries)
            gri.push_back(r), grv.push_back(v);
    }
    ASSERT_EQ(NVRAloadlp(q, "m", ncols, nrows, types.data(), rhs.data(), nullptr, nullptr,
                         cstart.data(), clen.data(), gri.data(), grv.data(), nullptr, nullptr),
              0);
    sameMatrix(q);
    EXPECT_EQ(NVRAdestroyprob(q), 0);
}

TEST_F(Load, EmptyLoadResetsTheModelAndKeepsSenseAndName) {
    ASSERT_EQ(loadLp("first"), 0);
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_ROWS, "r", 0, 0), 0);
    ASSERT_EQ(NVRAchgobjsense(p, -1), 0);
    const int c = 0;
    const double v = 1;
    ASSERT_EQ(NVRAaddobj(p, 1, &c, &v, 0, 1), 0);
    ASSERT_EQ(NVRAloadlp(p, "", 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr),
              0)
        << err();
    EXPECT_EQ(probName(p), "first");
    EXPECT_EQ(p->model.sense, -1);
    EXPECT_EQ(p->model.numRows(), 0);
    EXPECT_EQ(p->model.numCols(), 0);
    EXPECT_TRUE(p->model.objectives.empty());
    // The problem is usable afterwards, and a fresh problem loads empty with a name.
    addColumns(2);
    EXPECT_EQ(names(p, NVRA_NAMES_COLUMNS, 0, 1), (Strings{"C0", "C1"}));
    ASSERT_EQ(NVRAloadlp(p, "noname", 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr),
              0);
    EXPECT_EQ(probName(p), "noname");
}

TEST_F(Load, QuadraticMixedIntegerAndQuadraticRows) {
    const int q1[] = {0, 1, 3, 0};
    const int q2[] = {1, 0, 3, 0};
    const double qv[] = {1, 2, 4, 0};
    const char ctype[] = {'B', 'S', 'I'};
    const int ent[] = {1, 3, 2};
    const double lim[] = {0, 1.5, 0};
    const char stype[] = {'1', '2'};
    const int64_t sstart[] = {0, 2, 3};
    const int scols[] = {0, 2, 3};
    const double sref[] = {1, 2, 1};
    const int qrows[] = {1, 2, 1};
    const int64_t nq[] = {1, 1, 2};
    const int r1[] = {0, 2, 1, 0};
    const int r2[] = {0, 1, 1, 0};
    const double rv[] = {1, 3, 5, 2};
    ASSERT_EQ(NVRAloadmiqcqp64(p, "all", 4, 3, lp.rowtype, lp.rhs, lp.range, lp.obj, lp.start,
                               nullptr, lp.rowind, lp.rowcoef, lp.lb, lp.ub, 4, q1, q2, qv, 3,
                               qrows, nq, r1, r2, rv, 3, 2, ctype, ent, lim, stype, sstart, scols,
                               sref),
              0)
        << err();
    Snapshot s = snapshot(p, 3, 4);
    EXPECT_EQ(s.qCols, (std::vector<int>{1, 3}));
    EXPECT_EQ(s.qVals, (Vec{3, 4})); // (0,1) and (1,0) summed; zero dropped
    EXPECT_EQ(s.coltype, (std::vector<char>{'C', 'B', 'I', 'S'}));
    EXPECT_EQ(s.lb[1], 0.0); // binary: [-1, 5] narrowed to [0, 1]
    EXPECT_EQ(s.ub[1], 1.0);
    EXPECT_EQ(s.entLimit, (Vec{0, 0, 1.5}));
    EXPECT_EQ(s.setType, (std::vector<char>{'1', '2'}));
    EXPECT_EQ(s.setStart, (std::vector<int64_t>{0, 2, 3}));
    EXPECT_EQ(s.setCols, (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(s.setNames, (Strings{"S0", "S1"}));
    // Row 1 got two blocks that add up: (0,0,1) + (0,0,2) and (1,1,5).
    EXPECT_EQ(s.qrows[1], (Vec{0, 0, 3, 1, 1, 5}));
    EXPECT_EQ(s.qrows[2], (Vec{1, 2, 3}));
    EXPECT_TRUE(s.qrows[0].empty());

    // The qp and mip loaders store their parts the same way.
    ASSERT_EQ(NVRAloadqp64(p, nullptr, 4, 3, lp.rowtype, lp.rhs, lp.range, lp.obj, lp.start,
                           nullptr, lp.rowind, lp.rowcoef, lp.lb, lp.ub, 4, q1, q2, qv),
              0);
    EXPECT_EQ(snapshot(p, 3, 4).qVals, s.qVals);
    EXPECT_EQ(probName(p), "all");
    ASSERT_EQ(NVRAloadmip64(p, nullptr, 4, 3, lp.rowtype, lp.rhs, lp.range, lp.obj, lp.start,
                            nullptr, lp.rowind, lp.rowcoef, lp.lb, lp.ub, 3, 2, ctype, ent, lim,
                            stype, sstart, scols, sref),
              0);
    Snapshot m = snapshot(p, 3, 4);
    EXPECT_EQ(m.setCols, s.setCols);
    EXPECT_TRUE(m.qVals.empty());
}

TEST_F(Load, InvalidLoadsLeaveTheProblemAsItWas) {
    ASSERT_EQ(loadLp(), 0);
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, "kept", 1, 1), 0);
    auto load = [&](const int *rowind, const double *coef, const char *rowtype = nullptr) {
        return NVRAloadlp64(p, "bad", 4, 3, rowtype ? rowtype : lp.rowtype, lp.rhs, lp.range,
                            lp.obj, lp.start, nullptr, rowind, coef, lp.lb, lp.ub);
    };
    int badRows[7];
    std::memcpy(badRows, lp.rowind, sizeof badRows);
    badRows[6] = 3;
    expectRefused(NVRA_RC_RANGE, "entry 6 of column 3 is in row 3: the problem has 3 rows", 3, 4,
                  [&] { return load(badRows, lp.rowcoef); });
    double badCoef[7];
    std::memcpy(badCoef, lp.rowcoef, sizeof badCoef);
    badCoef[2] = NAN;
    expectRefused(NVRA_RC_INVALID, "coefficients must be finite", 3, 4,
                  [&] { return load(lp.rowind, badCoef); });
    expectRefused(NVRA_RC_INVALID, "invalid row type", 3, 4,
                  [&] { return load(lp.rowind, lp.rowcoef, "LGX"); });
    const int64_t badStart[5] = {0, 2, 1, 6, 7};
    expectRefused(NVRA_RC_INVALID, "column 1 has the invalid entry range", 3, 4, [&] {
        return NVRAloadlp64(p, "bad", 4, 3, lp.rowtype, lp.rhs, lp.range, lp.obj, badStart, nullptr,
                            lp.rowind, lp.rowcoef, lp.lb, lp.ub);
    });
    const char twice[] = {'I', 'B'};
    const int ent[] = {2, 2};
    expectRefused(
        NVRA_RC_INVALID, "column 2 is listed twice among the integer entities", 3, 4, [&] {
            return NVRAloadmip64(p, "bad", 4, 3, lp.rowtype, lp.rhs, lp.range, lp.obj, lp.start,
                                 nullptr, lp.rowind, lp.rowcoef, lp.lb, lp.ub, 2, 0, twice, ent,
                                 nullptr, nullptr, nullptr, nullptr, nullptr);
        });
    const char semi = 'S';
    expectRefused(NVRA_RC_INVALID, "has type 'S' but the array limit is null", 3, 4, [&] {
        return NVRAloadmip64(p, "bad", 4, 3, lp.rowtype, lp.rhs, lp.range, lp.obj, lp.start,
                             nullptr, lp.rowind, lp.rowcoef, lp.lb, lp.ub, 1, 0, &semi, ent,
                             nullptr, nullptr, nullptr, nullptr, nullptr);
    });
    const int64_t sstart[] = {0, 2};
    const int scols[] = {0, 1};
    const double same[] = {1, 1};
    expectRefused(NVRA_RC_INVALID, "have the same reference value 1", 3, 4, [&] {
        return NVRAloadmip64(p, "bad", 4, 3, lp.rowtype, lp.rhs, lp.range, lp.obj, lp.start,
                             nullptr, lp.rowind, lp.rowcoef, lp.lb, lp.ub, 0, 1, nullptr, nullptr,
                             nullptr, "1", sstart, scols, same);
    });
    const int qr = 5;
    const int64_t nq = 0;
    expectRefused(NVRA_RC_RANGE, "quadratic row 0 is row 5: the problem has 3 rows", 3, 4, [&] {
        return NVRAloadqcqp64(p, "bad", 4, 3, lp.rowtype, lp.rhs, lp.range, lp.obj, lp.start,
                              nullptr, lp.rowind, lp.rowcoef, lp.lb, lp.ub, 0, nullptr, nullptr,
                              nullptr, 1, &qr, &nq, nullptr, nullptr, nullptr);
    });
    EXPECT_EQ(names(p, NVRA_NAMES_COLUMNS, 1, 1), (Strings{"kept"}));
}

TEST_F(Load, ProblemName) {
    ASSERT_EQ(NVRAsetprobname(p, "a longer name ü"), 0);
    EXPECT_EQ(probName(p), "a longer name ü");
    EXPECT_EQ(NVRAsetprobname(p, nullptr), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAsetprobname(p, "\xFF"), NVRA_RC_INVALID);
    EXPECT_NE(err().find("not valid UTF-8"), std::string::npos);
    EXPECT_EQ(probName(p), "a longer name ü");
}

TEST_F(Load, CopyIsCompleteAndIndependent) {
    ASSERT_EQ(loadLp("source"), 0);
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, "x1", 1, 1), 0);
    const int c = 2;
    const double v = 4;
    ASSERT_EQ(NVRAaddobj(p, 1, &c, &v, 1, 1), 0);
    const int set0 = 0;
    const int sc[] = {0, 1};
    const double sr[] = {1, 2};
    ASSERT_EQ(NVRAaddsets(p, 1, 2, "1", &set0, sc, sr), 0);
    const char bin = 'B';
    const int one = 1, cmp = -1, row0 = 0;
    ASSERT_EQ(NVRAchgcoltype(p, 1, &one, &bin), 0);
    ASSERT_EQ(NVRAsetindicators(p, 1, &row0, &one, &cmp), 0);
    ASSERT_EQ(NVRAaddqmatrix64(p, 2, 1, &c, &c, &v), 0);
    ASSERT_EQ(NVRAchgobjsense(p, -1), 0);
    p->controls.dbls[0] = 123.5;

    NVRAprob q;
    ASSERT_EQ(NVRAcreateprob(&q), 0);
    q->solution.primalAvail = NVRA_AVAIL_OPTIMAL; // stands for an earlier solve
    ASSERT_EQ(NVRAcopyprob(q, p, ""), 0) << storetest::lastError(q);
    const Snapshot a = snapshot(p, 3, 4, 2);
    EXPECT_TRUE(snapshot(q, 3, 4, 2) == a);
    EXPECT_EQ(q->model.sense, -1);
    EXPECT_EQ(q->controls.dbls[0], 123.5);
    EXPECT_EQ(q->solution.primalAvail, NVRA_AVAIL_NONE);
    // Changing the copy leaves the source alone, and the other way round.
    ASSERT_EQ(NVRAaddnames(q, NVRA_NAMES_COLUMNS, "other", 1, 1), 0);
    ASSERT_EQ(NVRAchgcoef(p, 0, 3, 8), 0);
    EXPECT_EQ(names(p, NVRA_NAMES_COLUMNS, 1, 1), (Strings{"x1"}));
    int idx = 0;
    ASSERT_EQ(NVRAgetindex(q, NVRA_NAMES_COLUMNS, "x1", &idx), 0);
    EXPECT_EQ(idx, -1);
    double coef = -1;
    ASSERT_EQ(NVRAgetcoef(q, 0, 3, &coef), 0);
    EXPECT_EQ(coef, 0.0);
    // A name given to the copy replaces the source's.
    ASSERT_EQ(NVRAcopyprob(q, p, "renamed"), 0);
    EXPECT_EQ(probName(q), "renamed");
    EXPECT_EQ(probName(p), "source");
    EXPECT_EQ(NVRAcopyprob(q, nullptr, ""), NVRA_RC_MISUSE);
    EXPECT_NE(storetest::lastError(q).find("source problem handle is invalid"), std::string::npos);
    EXPECT_EQ(NVRAdestroyprob(q), 0);
}

} // namespace
