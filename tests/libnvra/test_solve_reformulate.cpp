// Reformulated entities: semi-continuous, semi-integer and partially integer columns, SOS1 and
// SOS2 sets and indicator rows give the optima worked out by hand; a needed bound that is
// infinite is an error naming the column or row.
#include "test_solve_util.h"

namespace {

using namespace solvetest;

class ReformulateTest : public SolveTest {
  protected:
    // Solves and returns the objective (NaN when not optimal).
    double solve(const char *flags = "") {
        EXPECT_EQ(optimize(flags), 0) << lastError(prob);
        return result(prob).solStatus == NVRA_SOLSTATUS_OPTIMAL ? result(prob).objVal
                                                                : std::nan("");
    }
    double relaxation() {
        EXPECT_EQ(NVRAlpoptimize(prob, ""), 0) << lastError(prob);
        return result(prob).lpObjVal;
    }
};

// min x with x >= r: a semi-continuous x in {0} or [2, ub]; the engine's own form (ub <= 1e5)
// and the binary form (larger ub) agree.
TEST_F(ReformulateTest, SemiContinuous) {
    for (double ub : {10.0, 1e6}) {
        NVRAprob p = nullptr;
        ASSERT_EQ(NVRAcreateprob(&p), 0);
        Builder bb{p};
        bb.col(0.0, ub, 1.0, 'S', 2.0);
        bb.col(0.0, 10.0, 0.0);
        bb.row('G', 0.5, {{0, 1.0}});
        ASSERT_EQ(NVRAoptimize(p, "", nullptr, nullptr), 0);
        EXPECT_NEAR(result(p).objVal, 2.0, 1e-9) << ub;
        bb.rhs(0, 0.0);
        ASSERT_EQ(NVRAoptimize(p, "", nullptr, nullptr), 0);
        EXPECT_NEAR(result(p).objVal, 0.0, 1e-9) << ub;
        bb.rhs(0, 7.5);
        bb.sense(-1); // max x: the upper bound
        ASSERT_EQ(NVRAoptimize(p, "", nullptr, nullptr), 0);
        EXPECT_NEAR(result(p).objVal, ub, 1e-9 * ub) << ub;
        // A positive lower bound raises the threshold; zero stays allowed.
        bb.sense(1);
        bb.bounds(0, 3.0, ub);
        bb.rhs(0, 0.5);
        ASSERT_EQ(NVRAoptimize(p, "", nullptr, nullptr), 0);
        EXPECT_NEAR(result(p).objVal, 3.0, 1e-9) << ub;
        // Relaxed: continuous between 0 and ub.
        ASSERT_EQ(NVRAlpoptimize(p, ""), 0);
        EXPECT_NEAR(result(p).lpObjVal, 0.5, 1e-9) << ub;
        EXPECT_EQ(NVRAdestroyprob(p), 0);
    }
}

TEST_F(ReformulateTest, SemiInteger) {
    b.col(0.0, 1e6, 1.0, 'R', 2.0);
    b.row('G', 2.5, {{0, 1.0}});
    EXPECT_NEAR(solve(), 3.0, 1e-9);
    b.bounds(0, 0.0, 50.0);
    EXPECT_NEAR(solve(), 3.0, 1e-9);
    b.rhs(0, 0.25);
    EXPECT_NEAR(solve(), 2.0, 1e-9);
    b.rhs(0, -1.0);
    EXPECT_NEAR(solve(), 0.0, 1e-9);
}

TEST_F(ReformulateTest, SemiContinuousNeedsAFiniteUpperBound) {
    b.col(0.0, nvra::kInf, 1.0, 'S', 2.0);
    b.col(0.0, 1.0, 1.0, 'S', 0.0); // threshold 0: an ordinary column, no bound needed
    EXPECT_EQ(optimize(), NVRA_RC_INVALID);
    EXPECT_NE(lastError(prob).find("column 0 is semi-continuous with an infinite upper bound"),
              std::string::npos)
        << lastError(prob);
    ASSERT_EQ(NVRAaddnames(prob, NVRA_NAMES_COLUMNS, "big", 0, 0), 0);
    EXPECT_EQ(optimize(), NVRA_RC_INVALID);
    EXPECT_NE(lastError(prob).find("column 0 (\"big\") is semi-continuous"), std::string::npos)
        << lastError(prob);
    EXPECT_EQ(result(prob).solveStatus, NVRA_SOLVESTATUS_UNSTARTED);
    EXPECT_NEAR(relaxation(), 0.0, 1e-12); // the relaxation needs no bound
    b.limit(0, 0.0);
    EXPECT_NEAR(solve(), 0.0, 1e-12);
}

// x partially integer with threshold t: integer in [0, t], continuous in [t, 10].
TEST_F(ReformulateTest, PartiallyInteger) {
    b.col(0.0, 10.0, 1.0, 'P', 5.0);
    b.row('G', 2.3, {{0, 1.0}});
    EXPECT_NEAR(solve(), 3.0, 1e-9);
    b.rhs(0, 6.3);
    EXPECT_NEAR(solve(), 6.3, 1e-9);
    b.limit(0, 4.5); // integers 0..4, then [4.5, 10]
    b.rhs(0, 4.2);
    EXPECT_NEAR(solve(), 4.5, 1e-9);
    b.rhs(0, 3.2);
    EXPECT_NEAR(solve(), 4.0, 1e-9);
    EXPECT_NEAR(relaxation(), 3.2, 1e-9);
    b.sense(-1); // max x: the continuous part up to ub
    EXPECT_NEAR(solve(), 10.0, 1e-9);
    b.bounds(0, -3.0, 10.0); // negative values in the integer part
    b.sense(1);
    b.rhs(0, -2.5);
    EXPECT_NEAR(solve(), -2.0, 1e-9);
    b.bounds(0, -3.0, nvra::kInf);
    EXPECT_EQ(optimize(), NVRA_RC_INVALID);
    EXPECT_NE(lastError(prob).find("column 0 is partially integer with an infinite upper bound"),
              std::string::npos)
        << lastError(prob);
}

// max 3 x0 + 2 x1 + 4 x2, sum <= 2, each in [0, 1.5]: 7.5 without the set, 6 with SOS1.
TEST_F(ReformulateTest, Sos1) {
    for (double c : {3.0, 2.0, 4.0})
        b.col(0.0, 1.5, c);
    b.row('L', 2.0, {{0, 1.0}, {1, 1.0}, {2, 1.0}});
    b.sense(-1);
    EXPECT_NEAR(solve(), 7.5, 1e-9);
    b.sos('1', {0, 1, 2}, {1.0, 2.0, 3.0});
    EXPECT_NEAR(solve(), 6.0, 1e-9);
    const std::vector<double> x = solution(prob);
    EXPECT_NEAR(x[2], 1.5, 1e-9);
    EXPECT_EQ(result(prob).optimizeType, NVRA_OPTIMIZETYPE_MIP);
    EXPECT_NEAR(relaxation(), 7.5, 1e-9);
    // Negative members: x0 in [-2, 1.5] may be the non-zero one.
    b.bounds(0, -2.0, 1.5);
    b.cost(0, -3.0);
    b.cost(2, 0.5);
    EXPECT_NEAR(solve(), 6.0, 1e-9); // x0 = -2
    b.bounds(1, 0.0, nvra::kInf);
    EXPECT_EQ(optimize(), NVRA_RC_INVALID);
    EXPECT_NE(lastError(prob).find("set 0 has the member column 1 with an infinite upper bound"),
              std::string::npos)
        << lastError(prob);
}

// max x0 + 3 x1 + x2 + 4 x3, sum <= 2, each in [0, 1]: 7 without the set; with SOS2 in the
// order of the reference values only neighbours may both be non-zero.
TEST_F(ReformulateTest, Sos2FollowsTheReferenceOrder) {
    for (double c : {1.0, 3.0, 1.0, 4.0})
        b.col(0.0, 1.0, c);
    b.row('L', 2.0, {{0, 1.0}, {1, 1.0}, {2, 1.0}, {3, 1.0}});
    b.sense(-1);
    EXPECT_NEAR(solve(), 7.0, 1e-9);
    b.sos('2', {0, 1, 2, 3}, {1.0, 2.0, 3.0, 4.0}); // neighbours: (x2, x3) gives 5
    EXPECT_NEAR(solve(), 5.0, 1e-9);
    const int first = 0;
    ASSERT_EQ(NVRAdelsets(prob, 1, &first), 0);
    b.sos('2', {0, 1, 2, 3}, {1.0, 2.0, 4.0, 3.0}); // order x0 x1 x3 x2: (x1, x3) gives 7
    EXPECT_NEAR(solve(), 7.0, 1e-9);
    ASSERT_EQ(NVRAdelsets(prob, 1, &first), 0);
    b.sos('2', {3, 0, 1, 2}, {1.0, 2.0, 4.0, 3.0}); // order x3 x0 x2 x1: (x3, x0) gives 5
    EXPECT_NEAR(solve(), 5.0, 1e-9);
}

// b binary, x in [0, 10]; min x - 3 b.
TEST_F(ReformulateTest, IndicatorRows) {
    const int x = b.col(0.0, 10.0, 1.0);
    const int bin = b.col(0.0, 1.0, -3.0, 'B');
    const int r = b.row('G', 2.0, {{x, 1.0}});
    b.indicator(r, bin, 1); // b = 1 => x >= 2: best b = 1, x = 2
    EXPECT_NEAR(solve(), -1.0, 1e-9);
    b.indicator(r, bin, -1); // b = 0 => x >= 2: best b = 1, x = 0
    EXPECT_NEAR(solve(), -3.0, 1e-9);
    b.rowType(r, 'E');
    b.rhs(r, 4.0);
    b.cost(bin, 3.0); // b = 0 => x = 4: best b = 1, x = 0 costs 3, b = 0 costs 4
    EXPECT_NEAR(solve(), 3.0, 1e-9);
    b.cost(bin, 5.0);
    EXPECT_NEAR(solve(), 4.0, 1e-9);
    std::vector<double> slack(1);
    int st = 0;
    ASSERT_EQ(NVRAgetslacks(prob, &st, slack.data(), 0, 0), 0);
    EXPECT_NEAR(slack[0], 0.0, 1e-9); // the row's own activity
    // 'L' and 'R' bodies: max x + b with b = 1 => 3 <= x + 0 <= 6 ('R', range 3).
    b.rhs(r, 6.0);
    b.range(r, 3.0);
    b.cost(bin, 3.0);
    b.sense(-1);
    b.indicator(r, bin, 1);
    EXPECT_NEAR(solve(), 10.0, 1e-9); // b = 0, x = 10 beats b = 1, x = 6 (9)
    b.cost(bin, 6.0);
    EXPECT_NEAR(solve(), 12.0, 1e-9);      // b = 1, x = 6
    EXPECT_NEAR(relaxation(), 16.0, 1e-9); // the indicator is dropped
}

TEST_F(ReformulateTest, IndicatorErrors) {
    const int x = b.col(0.0, nvra::kInf, 1.0);
    const int y = b.col(0.0, 5.0, 1.0);
    const int bin = b.col(0.0, 1.0, 0.0, 'B');
    const int r = b.row('L', 2.0, {{x, 1.0}, {y, 1.0}});
    b.indicator(r, bin, 1);
    EXPECT_EQ(optimize(), NVRA_RC_INVALID);
    EXPECT_NE(lastError(prob).find("indicator row 0 needs a big-M"), std::string::npos);
    EXPECT_NE(lastError(prob).find("column 0 has an infinite bound"), std::string::npos);
    b.rowType(r, 'G'); // x + y >= 2: the minimum activity is finite
    EXPECT_NEAR(solve(), 0.0, 1e-9);
    // The indicator column stops being binary after the indicator was set.
    b.type(bin, 'C');
    EXPECT_EQ(optimize(), NVRA_RC_INVALID);
    EXPECT_NE(lastError(prob).find("the indicator of row 0 is column 2, which is not a binary"),
              std::string::npos)
        << lastError(prob);
}

// A binary column is integral within [0, 1] whatever its stored bounds.
TEST_F(ReformulateTest, BinaryColumnsStayWithinZeroAndOne) {
    b.col(0.0, 5.0, -1.0, 'B');
    EXPECT_NEAR(solve(), -1.0, 1e-12);
    b.col(0.0, 5.0, -1.0, 'I');
    b.row('L', 3.5, {{1, 1.0}});
    EXPECT_NEAR(solve(), -4.0, 1e-12);
}

} // namespace
