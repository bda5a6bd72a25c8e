// Piecewise-linear and general constraints, and the single-element quadratic functions: they
// read back, bad arguments change nothing, deletions renumber or refuse, and solves through
// their reformulations reach the optimum that enumeration finds.
#include "store_test_util.h"

#include <cmath>
#include <functional>
#include <vector>

namespace {

using storetest::Snapshot;
using storetest::snapshot;
using storetest::StoreTest;
using Vec = std::vector<double>;
using Ints = std::vector<int>;
using Starts = std::vector<int64_t>;

class General : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        addColumns(5); // bounds [0, 10 + j]
    }
    int addGen(Ints type, Ints res, Starts cs, Ints cols, Starts vs = {}, Vec vals = {}) {
        return NVRAaddgencons64(p, static_cast<int>(type.size()), static_cast<int64_t>(cols.size()),
                                static_cast<int64_t>(vals.size()), type.data(), res.data(),
                                cs.data(), cols.data(), vs.empty() ? nullptr : vs.data(),
                                vals.empty() ? nullptr : vals.data());
    }
    int addPwl(Ints cols, Ints res, Starts start, Vec x, Vec y) {
        return NVRAaddpwlcons64(p, static_cast<int>(cols.size()), static_cast<int64_t>(x.size()),
                                cols.data(), res.data(), start.data(), x.data(), y.data());
    }
    double solve() {
        int solve = 0, sol = 0;
        EXPECT_EQ(NVRAoptimize(p, nullptr, &solve, &sol), 0) << err();
        EXPECT_EQ(sol, NVRA_SOLSTATUS_OPTIMAL);
        double v = 0;
        EXPECT_EQ(NVRAgetdblattrib(p, 2500, &v), 0);
        return v;
    }
    void bounds(int j, double lb, double ub) {
        const char t[] = {'L', 'U'};
        const int c[] = {j, j};
        const double v[] = {lb, ub};
        ASSERT_EQ(NVRAchgbounds(p, 2, c, t, v), 0) << err();
    }
    void objective(Vec c, int sense) {
        Ints idx(c.size());
        for (size_t j = 0; j < c.size(); ++j)
            idx[j] = static_cast<int>(j);
        ASSERT_EQ(NVRAchgobj(p, static_cast<int>(c.size()), idx.data(), c.data()), 0);
        ASSERT_EQ(NVRAchgobjsense(p, sense), 0);
    }
};

TEST_F(General, ConstraintsReadBackAndDeletionsRenumber) {
    ASSERT_EQ(addGen({0, 4}, {4, 3}, {0, 2}, {0, 1, 2}, {0, 1}, {2.5}), 0) << err();
    ASSERT_EQ(addPwl({2}, {1}, {0}, {0, 1, 1, 3}, {0, 2, 5, 6}), 0) << err();
    Snapshot s = snapshot(p, 0, 5);
    EXPECT_EQ(s.genType, (Ints{0, 4}));
    EXPECT_EQ(s.genRes, (Ints{4, 3}));
    EXPECT_EQ(s.genColStart, (Starts{0, 2, 3}));
    EXPECT_EQ(s.genCols, (Ints{0, 1, 2}));
    EXPECT_EQ(s.genValStart, (Starts{0, 1, 1}));
    EXPECT_EQ(s.genVals, (Vec{2.5}));
    EXPECT_EQ(s.pwlCols, (Ints{2}));
    EXPECT_EQ(s.pwlX, (Vec{0, 1, 1, 3}));
    // A column in use cannot go; others move and the constraints follow them.
    const int used = 0, unused[] = {1, 4};
    expectRefused(NVRA_RC_INVALID, "column 0 is used by general constraint 0", 0, 5,
                  [&] { return NVRAdelcols(p, 1, &used); });
    const int absolute = 1;
    ASSERT_EQ(NVRAdelgencons(p, 1, &absolute), 0) << err();
    ASSERT_EQ(NVRAaddcols(p, 1, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    const int spare = 5;
    ASSERT_EQ(NVRAdelcols(p, 1, &spare), 0) << err();
    expectRefused(NVRA_RC_INVALID, "used by piecewise-linear constraint 0", 0, 5,
                  [&] { return NVRAdelcols(p, 2, unused); });
    const int zero = 0;
    ASSERT_EQ(NVRAdelpwlcons(p, 1, &zero), 0);
    const int three = 3;
    ASSERT_EQ(NVRAdelcols(p, 1, &three), 0) << err();
    s = snapshot(p, 0, 4);
    EXPECT_EQ(s.genRes, (Ints{3})); // column 4 moved down
    EXPECT_TRUE(s.pwlCols.empty());
}

TEST_F(General, BadArgumentsChangeNothing) {
    ASSERT_EQ(addGen({1}, {0}, {0}, {1, 2}), 0) << err();
    const std::vector<std::pair<std::string, std::function<int()>>> cases = {
        {"invalid type 7", [&] { return addGen({7}, {0}, {0}, {1}); }},
        {"resultant 9 is out of range", [&] { return addGen({0}, {9}, {0}, {1}); }},
        {"has its resultant among its operands", [&] { return addGen({0}, {1}, {0}, {1}); }},
        {"must have exactly one column",
         [&] {
             return addGen({4}, {0}, {0}, {1, 2});
         }},
        {"has no operands", [&] { return addGen({0}, {0}, {0}, {}); }},
        {"constant other than 0 or 1", [&] { return addGen({2}, {0}, {0}, {1}, {0}, {0.5}); }},
        {"not finite", [&] { return addGen({0}, {0}, {0}, {1}, {0}, {NAN}); }},
        {"must not decrease",
         [&] {
             return addPwl({0}, {1}, {0}, {1, 0}, {0, 0});
         }},
        {"three breakpoints share",
         [&] {
             return addPwl({0}, {1}, {0}, {1, 1, 1}, {0, 1, 2});
         }},
        {"no breakpoints",
         [&] {
             return addPwl({0, 1}, {1, 2}, {0, 2}, {1, 2}, {0, 0});
         }},
        {"is listed twice",
         [&] {
             const int twice[] = {0, 0};
             return NVRAdelgencons(p, 2, twice);
         }},
    };
    for (const auto &[text, call] : cases) {
        SCOPED_TRACE(text);
        const Snapshot before = snapshot(p, 0, 5);
        EXPECT_NE(call(), 0);
        EXPECT_NE(err().find(text), std::string::npos) << err();
        EXPECT_TRUE(snapshot(p, 0, 5) == before);
    }
    int64_t n = 0;
    EXPECT_EQ(NVRAgetintattrib64(p, NVRA_ATTR_GENCONS, &n), 0);
    EXPECT_EQ(n, 1);
    expectRefused(NVRA_RC_UNSUPPORTED, "general constraints, which the LP format cannot hold", 0, 5,
                  [&] { return NVRAwriteprob(p, "never.lp", nullptr); });
}

TEST_F(General, SingleQuadraticElements) {
    addRow('L', 4, {0, 1}, {1, 1});
    ASSERT_EQ(NVRAchgqobj(p, 2, 0, 3.0), 0) << err();
    double v = 0;
    ASSERT_EQ(NVRAgetqobj(p, 0, 2, &v), 0);
    EXPECT_EQ(v, 3.0);
    ASSERT_EQ(NVRAchgqrowcoeff(p, 0, 1, 0, 0.5), 0) << err();
    ASSERT_EQ(NVRAchgqrowcoeff(p, 0, 1, 0, 0.75), 0) << err(); // replaces
    ASSERT_EQ(NVRAgetqrowcoeff(p, 0, 0, 1, &v), 0);
    EXPECT_EQ(v, 0.75);
    int nrows = 0, row = -1, start[4], cols[2], n = 0;
    double vals[2];
    ASSERT_EQ(NVRAgetqrows(p, &nrows, &row), 0);
    EXPECT_EQ(nrows, 1);
    EXPECT_EQ(row, 0);
    ASSERT_EQ(NVRAgetqrowqmatrix(p, 0, start, cols, vals, 2, &n, 0, 2), 0) << err();
    EXPECT_EQ(n, 1);
    EXPECT_EQ((std::vector<int>(start, start + 4)), (Ints{0, 1, 1, 1}));
    EXPECT_EQ(cols[0], 1);
    expectRefused(NVRA_RC_RANGE, "is on columns (9, 0)", 1, 5,
                  [&] { return NVRAchgqrowcoeff(p, 0, 9, 0, 1.0); });
    expectRefused(NVRA_RC_RANGE, "Row index 3", 1, 5, [&] { return NVRAdelqmatrix(p, 3); });
    ASSERT_EQ(NVRAdelqmatrix(p, 0), 0);
    ASSERT_EQ(NVRAgetqrows(p, &nrows, nullptr), 0);
    EXPECT_EQ(nrows, 0);
}

TEST_F(General, PiecewiseLinearAndRefusals) {
    // col1 = f(col0), f through (0,0), (2,4), (2,5), (6,7); beyond: slopes 2 and 0.5.
    bounds(0, -1, 9);
    bounds(1, -100, 100);
    ASSERT_EQ(addPwl({0}, {1}, {0}, {0, 2, 2, 6}, {0, 4, 5, 7}), 0) << err();
    auto f = [](double x) {
        return x < 0 ? 2 * x : x < 2 ? 2 * x : x <= 6 ? 5 + 0.5 * (x - 2) : 7 + 0.5 * (x - 6);
    };
    for (double target : {-1.0, 1.5, 2.0, 4.0, 9.0}) {
        bounds(0, target, target);
        objective({0, 1}, 1);
        EXPECT_NEAR(solve(), std::min(f(target), target == 2.0 ? 4.0 : f(target)), 1e-9)
            << "x = " << target;
    }
    bounds(0, -NVRA_PLUSINFINITY, 9); // the left end slope needs a finite lower bound
    int solve = 0;
    EXPECT_EQ(NVRAoptimize(p, nullptr, &solve, nullptr), NVRA_RC_INVALID);
    EXPECT_NE(err().find("piecewise-linear constraint 0 needs a finite lower bound on column 0"),
              std::string::npos)
        << err();
    // The relaxation keeps the rows, with continuous selectors.
    bounds(0, -1, 9);
    EXPECT_EQ(NVRAlpoptimize(p, nullptr), 0) << err();
}

} // namespace
