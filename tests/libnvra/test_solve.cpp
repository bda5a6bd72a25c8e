// Solving small models whose answers are known: statuses, objective values, the signs of
// duals, reduced costs and slacks, the solution getters, flags and the classes refused.
#include "test_solve_util.h"

#include <cctype>
#include <functional>

namespace {

using namespace solvetest;

// min/max over x, y of c'x s.t. a row of each type; returns the row indices.
struct SmallLp {
    // x + y <= 4 (L), x - y >= -2 (G), x + 3y = 6 (E) is too tight; use ranges instead:
    // r0: x + 2y <= 8 (L), r1: 3x + y >= 3 (G), r2: -1 <= x - y <= 2 (R), r3: y = y (N).
    static void build(Builder &b, double cx, double cy, int sense) {
        b.col(0.0, 10.0, cx);
        b.col(0.0, 10.0, cy);
        b.row('L', 8.0, {{0, 1.0}, {1, 2.0}});
        b.row('G', 3.0, {{0, 3.0}, {1, 1.0}});
        b.row('R', 2.0, {{0, 1.0}, {1, -1.0}}, 3.0);
        b.row('N', 0.0, {{1, 1.0}});
        b.sense(sense);
    }
};

double objectiveOf(NVRAprob prob) {
    return result(prob).objVal;
}

// y_i = d(objective)/d(rhs_i) and d_j = d(objective)/d(bound of a non-basic column), by
// finite differences, for both senses; and d = c - A'y holds.
void checkDualsBySensitivity(NVRAprob prob, const std::function<int()> &solve) {
    ASSERT_EQ(solve(), 0);
    const nvra::Model &m = prob->model;
    Builder b{prob};
    const int nr = m.numRows(), nc = m.numCols();
    const double base = objectiveOf(prob);
    std::vector<double> y(nr), d(nc), x(nc);
    int st = 0;
    ASSERT_EQ(NVRAgetduals(prob, &st, y.data(), 0, nr - 1), 0);
    ASSERT_EQ(st, NVRA_AVAIL_OPTIMAL);
    ASSERT_EQ(NVRAgetredcosts(prob, &st, d.data(), 0, nc - 1), 0);
    ASSERT_EQ(st, NVRA_AVAIL_OPTIMAL);
    x = solution(prob);
    for (int j = 0; j < nc; ++j) {
        double reduced = m.cost[j];
        for (int i = 0; i < nr; ++i)
            for (int64_t k = m.A.start[i]; k < m.A.start[i + 1]; ++k)
                if (m.A.index[k] == j) reduced -= m.A.value[k] * y[i];
        EXPECT_NEAR(d[j], reduced, 1e-9) << "column " << j;
    }
    const double delta = 1e-3;
    for (int i = 0; i < nr; ++i) {
        const double rhs = m.rhs[i];
        b.rhs(i, rhs + delta);
        ASSERT_EQ(solve(), 0);
        EXPECT_NEAR((objectiveOf(prob) - base) / delta, y[i], 1e-6) << "row " << i;
        b.rhs(i, rhs);
    }
    for (int j = 0; j < nc; ++j) {
        const bool atLower = std::fabs(x[j] - m.lb[j]) < 1e-9,
                   atUpper = std::fabs(x[j] - m.ub[j]) < 1e-9;
        if (!atLower && !atUpper) continue;
        const double lb = m.lb[j], ub = m.ub[j];
        const double step = atLower ? delta : -delta;
        b.bounds(j, atLower ? lb + step : lb, atLower ? ub : ub + step);
        ASSERT_EQ(solve(), 0);
        EXPECT_NEAR((objectiveOf(prob) - base) / step, d[j], 1e-6) << "column " << j;
        b.bounds(j, lb, ub);
    }
    ASSERT_EQ(solve(), 0);
}

TEST_F(SolveTest, DualsAreSensitivitiesWhenMinimising) {
    SmallLp::build(b, 1.0, -2.0, 1);
    checkDualsBySensitivity(prob, [&] { return optimize(); });
    // min x - 2y: y pushed up by r0 and r2's lower end: x = 2, y = 3, objective -4.
    EXPECT_NEAR(objectiveOf(prob), -4.0, 1e-9);
    // Slacks are the right-hand side minus the activity.
    const std::vector<double> x = solution(prob);
    std::vector<double> slack(4);
    int st = 0;
    ASSERT_EQ(NVRAgetslacks(prob, &st, slack.data(), 0, 3), 0);
    EXPECT_EQ(st, NVRA_AVAIL_OPTIMAL);
    EXPECT_NEAR(slack[0], 8.0 - (x[0] + 2 * x[1]), 1e-9);
    EXPECT_GE(slack[0], -1e-9); // 'L' rows: >= 0 when feasible
    EXPECT_NEAR(slack[1], 3.0 - (3 * x[0] + x[1]), 1e-9);
    EXPECT_LE(slack[1], 1e-9); // 'G' rows: <= 0 when feasible
    EXPECT_NEAR(slack[2], 2.0 - (x[0] - x[1]), 1e-9);
    EXPECT_NEAR(slack[3], -x[1], 1e-9);
    double one = 0.0; // a sub-range
    ASSERT_EQ(NVRAgetslacks(prob, &st, &one, 2, 2), 0);
    EXPECT_EQ(one, slack[2]);
}

TEST_F(SolveTest, DualsAreSensitivitiesWhenMaximising) {
    SmallLp::build(b, 2.0, 1.0, -1);
    checkDualsBySensitivity(prob, [&] { return optimize(); });
    // max 2x + y: x - y <= 2 and x + 2y <= 8 bind: x = 4, y = 2, objective 10.
    EXPECT_NEAR(objectiveOf(prob), 10.0, 1e-9);
    std::vector<double> dual(4);
    int st = 0;
    ASSERT_EQ(NVRAgetduals(prob, &st, dual.data(), 0, 3), 0);
    EXPECT_GT(dual[0], 0.0); // more room on an 'L' row raises the maximum
    EXPECT_NEAR(dual[1], 0.0, 1e-12);
    EXPECT_NEAR(dual[3], 0.0, 1e-12); // free row
}

TEST_F(SolveTest, DualsOfTheQpInstanceAndTheirSigns) {
    readInstance(prob, "qptestnw.lp");
    ASSERT_EQ(optimize(), 0);
    std::vector<double> y(3), d(2), slack(3);
    int st = 0;
    ASSERT_EQ(NVRAgetduals(prob, &st, y.data(), 0, 2), 0);
    EXPECT_EQ(st, NVRA_AVAIL_OPTIMAL);
    EXPECT_NEAR(y[0], 0.8, 1e-6); // a binding 'G' row of a minimisation: positive
    EXPECT_NEAR(y[1], 0.0, 1e-6);
    EXPECT_NEAR(y[2], 0.0, 1e-6);
    ASSERT_EQ(NVRAgetredcosts(prob, &st, d.data(), 0, 1), 0);
    EXPECT_NEAR(d[0], 0.0, 1e-6);
    EXPECT_NEAR(d[1], 0.0, 1e-6);
    ASSERT_EQ(NVRAgetslacks(prob, &st, slack.data(), 0, 2), 0);
    // x = (1.4, 1.7): rows x1 - 2x2 >= -2, -x1 - 2x2 >= -6, -x1 + 2x2 >= -2.
    EXPECT_NEAR(slack[0], -2.0 - (1.4 - 3.4), 1e-6);
    EXPECT_NEAR(slack[1], -6.0 - (-1.4 - 3.4), 1e-6);
    EXPECT_NEAR(slack[2], -2.0 - (-1.4 + 3.4), 1e-6);
    std::vector<double> lx(2), ls(3), ly(3), ld(2);
    ASSERT_EQ(NVRAgetlpsol(prob, lx.data(), ls.data(), ly.data(), ld.data()), 0);
    EXPECT_EQ(ly, y);
    EXPECT_EQ(ls, slack);
    EXPECT_NE(NVRAgetmipsol(prob, lx.data(), nullptr), 0);
    EXPECT_NE(lastError(prob).find("no MIP solution"), std::string::npos);
}

TEST_F(SolveTest, ObjectiveConstantAndEmptyProblem) {
    b.constant(4.5);
    ASSERT_EQ(optimize(), 0) << lastError(prob);
    EXPECT_EQ(result(prob).solStatus, NVRA_SOLSTATUS_OPTIMAL);
    EXPECT_EQ(result(prob).objVal, 4.5);
    b.col(1.0, 3.0, 2.0);
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(result(prob).objVal, 6.5);
    EXPECT_EQ(result(prob).bestBound, 6.5);
    EXPECT_EQ(result(prob).mipGap, 0.0);
}

TEST_F(SolveTest, InfeasibleAndUnboundedLp) {
    b.col(0.0, nvra::kInf, -1.0);
    b.col(0.0, nvra::kInf, 0.0);
    b.row('G', 1.0, {{0, 1.0}, {1, -1.0}});
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(result(prob).lpStatus, NVRA_LP_UNBOUNDED);
    EXPECT_EQ(result(prob).solveStatus, NVRA_SOLVESTATUS_COMPLETED);
    EXPECT_EQ(result(prob).solStatus, NVRA_SOLSTATUS_UNBOUNDED);
    EXPECT_EQ(result(prob).objVal, nvra::kInf);
    b.row('L', -1.0, {{0, 1.0}});
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(result(prob).lpStatus, NVRA_LP_INFEAS);
    EXPECT_EQ(result(prob).solStatus, NVRA_SOLSTATUS_INFEASIBLE);
    // No solution: the getters succeed and say so; the full-vector getters fail, naming it.
    int st = -1;
    double v = 7.0;
    EXPECT_EQ(NVRAgetduals(prob, &st, &v, 0, 0), 0);
    EXPECT_EQ(st, NVRA_AVAIL_NONE);
    EXPECT_EQ(v, 7.0);
    EXPECT_EQ(NVRAgetlpsol(prob, &v, nullptr, nullptr, nullptr), NVRA_RC_ERROR);
    EXPECT_NE(lastError(prob).find("primal values are not available"), std::string::npos);
    EXPECT_EQ(NVRAgetlpsol(prob, nullptr, nullptr, nullptr, nullptr), 0);
}

TEST_F(SolveTest, UnboundedAndInfeasibleMip) {
    b.col(0.0, nvra::kInf, -1.0, 'I');
    b.row('G', 1.0, {{0, 1.0}});
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(result(prob).mipStatus, NVRA_MIP_UNBOUNDED);
    EXPECT_EQ(result(prob).solStatus, NVRA_SOLSTATUS_UNBOUNDED);
    b.row('L', 1.5, {{0, 2.0}}); // 1 <= x <= 0.75, x integer
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(result(prob).mipStatus, NVRA_MIP_INFEAS);
    EXPECT_EQ(result(prob).solStatus, NVRA_SOLSTATUS_INFEASIBLE);
    EXPECT_EQ(result(prob).optimizeType, NVRA_OPTIMIZETYPE_MIP);
}

// A MIP solution has values and slacks, no duals; the relaxation has duals.
TEST_F(SolveTest, MipSolutionAndRelaxation) {
    b.col(0.0, 10.0, -1.0, 'I');
    b.col(0.0, 10.0, -1.0, 'I');
    b.row('L', 7.5, {{0, 2.0}, {1, 2.0}});
    b.row('L', 3.5, {{0, 1.0}});
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(result(prob).mipStatus, NVRA_MIP_OPTIMAL);
    EXPECT_EQ(result(prob).lpStatus, NVRA_LP_OPTIMAL); // the root relaxation
    EXPECT_NEAR(result(prob).mipObjVal, -3.0, 1e-9);
    EXPECT_NEAR(result(prob).bestBound, -3.0, 1e-6);
    std::vector<double> x(2), slack(2);
    ASSERT_EQ(NVRAgetmipsol(prob, x.data(), slack.data()), 0);
    EXPECT_NEAR(x[0] + x[1], 3.0, 1e-9);
    EXPECT_NEAR(slack[0], 1.5, 1e-9);
    int st = -1;
    double y = 5.0;
    EXPECT_EQ(NVRAgetduals(prob, &st, &y, 0, 0), 0);
    EXPECT_EQ(st, NVRA_AVAIL_NONE);
    EXPECT_EQ(NVRAgetlpsol(prob, x.data(), nullptr, nullptr, nullptr), NVRA_RC_ERROR);

    ASSERT_EQ(NVRAlpoptimize(prob, ""), 0);
    EXPECT_EQ(result(prob).optimizeType, NVRA_OPTIMIZETYPE_LP);
    EXPECT_NEAR(result(prob).lpObjVal, -3.75, 1e-9);
    EXPECT_EQ(result(prob).mipStatus, NVRA_MIP_NOT_LOADED);
    ASSERT_EQ(NVRAgetduals(prob, &st, &y, 0, 0), 0);
    EXPECT_EQ(st, NVRA_AVAIL_OPTIMAL);
    EXPECT_NEAR(y, -0.5, 1e-9);
    EXPECT_NE(NVRAgetmipsol(prob, x.data(), nullptr), 0);
    ASSERT_EQ(optimize("l"), 0);
    EXPECT_NEAR(result(prob).lpObjVal, -3.75, 1e-9);
    ASSERT_EQ(NVRAmipoptimize(prob, nullptr), 0);
    EXPECT_NEAR(result(prob).mipObjVal, -3.0, 1e-9);
}

// Every algorithm letter reaches the optimum; the iteration counts follow the algorithm.
TEST_F(SolveTest, AlgorithmFlags) {
    for (const char *flags : {"d", "p", "b", "n", "dd", "", "B"}) {
        NVRAprob lp = nullptr;
        ASSERT_EQ(NVRAcreateprob(&lp), 0);
        readInstance(lp, "afiro.mps");
        setInt(lp, nvra::kCtrlPresolve, NVRA_PRESOLVE_OFF);
        if (flags[0] == 'B') setInt(lp, nvra::kCtrlLpFlags, 4); // barrier by control
        ASSERT_EQ(NVRAoptimize(lp, flags[0] == 'B' ? "" : flags, nullptr, nullptr), 0)
            << flags << ": " << lastError(lp);
        EXPECT_NEAR(result(lp).objVal, -464.7531428571, 1e-6) << flags;
        const bool barrier = std::tolower(flags[0]) == 'b';
        EXPECT_GT(barrier ? result(lp).barIter : result(lp).simplexIter, 0) << flags;
        EXPECT_EQ(NVRAdestroyprob(lp), 0);
    }
    // The quadratic instance with the active-set and interior point methods.
    readInstance(prob, "qptestnw.lp");
    for (const char *flags : {"d", "p", "b"}) {
        ASSERT_EQ(optimize(flags), 0) << flags;
        EXPECT_NEAR(result(prob).objVal, -6.45, 1e-6) << flags;
    }
}

// A re-solve after a small change starts from the previous basis.
TEST_F(SolveTest, ResolveStartsFromThePreviousBasis) {
    readInstance(prob, "25fv47.mps");
    setInt(prob, nvra::kCtrlPresolve, NVRA_PRESOLVE_OFF);
    ASSERT_EQ(optimize("d"), 0);
    const int64_t cold = result(prob).simplexIter;
    b.rhs(0, prob->model.rhs[0] * 1.0001);
    ASSERT_EQ(optimize("d"), 0);
    EXPECT_EQ(result(prob).solStatus, NVRA_SOLSTATUS_OPTIMAL);
    EXPECT_LT(result(prob).simplexIter * 10, cold);
}

TEST_F(SolveTest, BadFlagsAreRefusedAndChangeNothing) {
    b.col(0.0, 1.0, 1.0);
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(optimize("x"), NVRA_RC_INVALID);
    EXPECT_NE(lastError(prob).find("unknown flag 'x'"), std::string::npos);
    EXPECT_EQ(optimize("dp"), NVRA_RC_INVALID);
    EXPECT_NE(lastError(prob).find("two different algorithms"), std::string::npos);
    EXPECT_EQ(NVRAmipoptimize(prob, "l"), NVRA_RC_INVALID);
    EXPECT_EQ(result(prob).solStatus, NVRA_SOLSTATUS_OPTIMAL); // the last solution stays
    EXPECT_EQ(optimize(), 0);
    EXPECT_EQ(lastError(prob), "");
}

// Classes no solver takes fail with a text naming the class.
TEST_F(SolveTest, UnsupportedClassesAreRefused) {
    b.col(0.0, 4.0, -1.0);
    b.col(0.0, 4.0, -1.0);
    b.row('L', 5.0, {{0, 1.0}, {1, 1.0}});
    b.q(0, 0, 2.0);
    // min x0^2 - x0 - x1, x0 + x1 <= 5: x = (0.5, 4).
    ASSERT_EQ(optimize(), 0);
    EXPECT_NEAR(result(prob).lpObjVal, 0.25 - 0.5 - 4.0, 1e-6);
    b.objective({0.0, 1.0}, 0, 1.0);
    EXPECT_EQ(optimize(), NVRA_RC_UNSUPPORTED);
    EXPECT_NE(lastError(prob).find("multi-objective problems with a quadratic objective"),
              std::string::npos);
    b.q(0, 0, 0.0);
    const int zero = 0;
    const double one = 1.0;
    ASSERT_EQ(NVRAaddqmatrix64(prob, 0, 1, &zero, &zero, &one), 0);
    EXPECT_EQ(optimize(), NVRA_RC_UNSUPPORTED);
    EXPECT_NE(lastError(prob).find("multi-objective problems with quadratic rows"),
              std::string::npos);
}

// Convexity is decided on the whole matrix, not only its diagonal.
TEST_F(SolveTest, NonConvexObjectiveIsReported) {
    b.col(-1.0, 1.0, 0.0);
    b.col(-1.0, 1.0, 0.0);
    b.q(0, 0, 1.0);
    b.q(0, 1, 2.0); // 0.5 x0^2 + 2 x0 x1 + 0.5 x1^2: eigenvalues 3 and -1
    b.q(1, 1, 1.0);
    std::vector<std::string> lines;
    auto collect = [](NVRAprob, void *data, const char *msg, int, int type) {
        if (type == 4) static_cast<std::vector<std::string> *>(data)->push_back(msg);
    };
    ASSERT_EQ(NVRAaddcbmessage(prob, collect, &lines, 0), 0);
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(result(prob).lpStatus, NVRA_LP_NONCONVEX);
    EXPECT_EQ(result(prob).solveStatus, NVRA_SOLVESTATUS_FAILED);
    EXPECT_EQ(result(prob).solStatus, NVRA_SOLSTATUS_NOTFOUND);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("not convex"), std::string::npos);
    setInt(prob, nvra::kCtrlOutputLog, NVRA_OUTPUT_NONE); // silenced with the engine's log
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(lines.size(), 1u);
    // Maximising a convex objective is just as non-convex; minimising a singular positive
    // semi-definite one, (x0 + x1)^2, is fine.
    b.q(0, 0, 2.0);
    b.q(0, 1, 2.0);
    b.q(1, 1, 2.0);
    b.sense(-1);
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(result(prob).lpStatus, NVRA_LP_NONCONVEX);
    b.type(1, 'I'); // with integers as well
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(result(prob).lpStatus, NVRA_LP_NONCONVEX);
    EXPECT_EQ(result(prob).optimizeType, NVRA_OPTIMIZETYPE_MIP);
    b.type(1, 'C');
    b.sense(1);
    b.cost(0, 1.0);
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(result(prob).lpStatus, NVRA_LP_OPTIMAL);
    // min (x0 + x1)^2 + x0 over [-1, 1]^2: x0 = -1, x1 = 1.
    EXPECT_NEAR(result(prob).objVal, -1.0, 1e-6);
}

TEST_F(SolveTest, GetterRanges) {
    b.col(0.0, 1.0, 1.0);
    b.col(0.0, 1.0, 1.0);
    b.row('G', 1.0, {{0, 1.0}, {1, 1.0}});
    int st = -1;
    double v[2] = {3.0, 3.0};
    // Before any solve: success, nothing available.
    EXPECT_EQ(NVRAgetsolution(prob, &st, v, 0, 1), 0);
    EXPECT_EQ(st, NVRA_AVAIL_NONE);
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(NVRAgetsolution(prob, &st, v, 0, 2), NVRA_RC_RANGE);
    EXPECT_NE(lastError(prob).find("Column range 0..2 is invalid"), std::string::npos);
    EXPECT_EQ(NVRAgetsolution(prob, &st, v, -1, 0), NVRA_RC_RANGE);
    EXPECT_EQ(NVRAgetduals(prob, &st, v, 0, 1), NVRA_RC_RANGE);
    EXPECT_EQ(NVRAgetredcosts(prob, &st, v, 1, 1), 0);
    EXPECT_EQ(NVRAgetsolution(prob, &st, v, 1, 0), 0);       // empty range
    EXPECT_EQ(NVRAgetsolution(prob, &st, nullptr, 0, 1), 0); // status only
    EXPECT_EQ(st, NVRA_AVAIL_OPTIMAL);
    int avail = -1;
    EXPECT_EQ(NVRAgetcallbacksolution(prob, &avail, v, 0, 1), 0);
    EXPECT_EQ(avail, 0);
    EXPECT_EQ(NVRAgetcallbackduals(prob, nullptr, v, 0, 0), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAgetcallbackredcosts(prob, &avail, v, 0, 2), NVRA_RC_RANGE);
    EXPECT_EQ(NVRAgetcallbackslacks(prob, &avail, v, 1, 1), NVRA_RC_RANGE);
    EXPECT_EQ(NVRAgetsolution(nullptr, &st, v, 0, 1), NVRA_RC_MISUSE);
    EXPECT_EQ(NVRAoptimize(nullptr, "", nullptr, nullptr), NVRA_RC_MISUSE);
}

// A matrix value the engine refuses: the failure carries the engine's own text.
TEST_F(SolveTest, EngineErrorsReachTheLastError) {
    b.col(0.0, 1.0, 1.0);
    b.row('L', 1.0, {{0, 1e16}});
    EXPECT_EQ(optimize(), NVRA_RC_ENGINE);
    const std::string err = lastError(prob);
    EXPECT_NE(err.find("NVRAoptimize"), std::string::npos) << err;
    EXPECT_NE(err.find("greater than 1e+15"), std::string::npos) << err;
    EXPECT_EQ(err.find("ERROR:"), std::string::npos) << err;
    EXPECT_EQ(result(prob).solveStatus, NVRA_SOLVESTATUS_FAILED);
    EXPECT_EQ(result(prob).lpStatus, NVRA_LP_UNSOLVED);
    EXPECT_EQ(result(prob).solStatus, NVRA_SOLSTATUS_NOTFOUND);
}

// Infeasible problems whose dual is infeasible too, and a MIP whose relaxation is unbounded
// while its integers admit no solution: reported as infeasible.
TEST_F(SolveTest, InfeasibleWithUnboundedRays) {
    b.col(-nvra::kInf, nvra::kInf, -1.0);
    b.col(-nvra::kInf, nvra::kInf, -1.0);
    b.row('G', 1.0, {{0, 1.0}, {1, -1.0}});
    b.row('G', 1.0, {{0, -1.0}, {1, 1.0}});
    for (const char *flags : {"", "d", "p", "b"}) {
        ASSERT_EQ(optimize(flags), 0) << flags;
        EXPECT_EQ(result(prob).lpStatus, NVRA_LP_INFEAS) << flags;
        EXPECT_EQ(result(prob).solveStatus, NVRA_SOLVESTATUS_COMPLETED) << flags;
        EXPECT_EQ(result(prob).solStatus, NVRA_SOLSTATUS_INFEASIBLE) << flags;
    }
    NVRAprob mip = nullptr;
    ASSERT_EQ(NVRAcreateprob(&mip), 0);
    Builder bm{mip};
    bm.col(0.0, nvra::kInf, -1.0, 'I');
    bm.col(0.0, nvra::kInf, -1.0, 'I');
    bm.row('E', 0.5, {{0, 1.0}, {1, -1.0}});
    for (int presolve : {NVRA_PRESOLVE_ON, NVRA_PRESOLVE_OFF}) {
        setInt(mip, nvra::kCtrlPresolve, presolve);
        ASSERT_EQ(NVRAoptimize(mip, "", nullptr, nullptr), 0);
        EXPECT_EQ(result(mip).mipStatus, NVRA_MIP_INFEAS) << presolve;
        EXPECT_EQ(result(mip).solStatus, NVRA_SOLSTATUS_INFEASIBLE) << presolve;
    }
    EXPECT_EQ(NVRAdestroyprob(mip), 0);
}

} // namespace
