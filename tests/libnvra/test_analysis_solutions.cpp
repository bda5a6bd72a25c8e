// Solutions given and derived: the presolved state and postsolve, MIP starts, loaded LP
// solutions with the calculations and infeasibilities on them, crossover, strong branching,
// fixing and refining MIP solutions and delayed rows. The cut pool and strong branching with a
// solve callback are tested through the module (tests/api/test_cutpool.py,
// tests/callbacks/test_strongbranchcb.py).
#include "test_analysis_util.h"

#include <cmath>

namespace {

using namespace analysistest;

TEST_F(AnalysisTest, PresolveThenPostsolveGivesTheOriginalOptimum) {
    readInstance(prob, "afiro.mps");
    ASSERT_EQ(optimize(), 0);
    const double optimum = result(prob).objVal;
    const std::vector<double> reference = solution(prob);
    const int rows = prob->model.numRows(), cols = prob->model.numCols();
    ASSERT_EQ(optimize("r"), 0) << lastError(prob);
    EXPECT_EQ(intAttr(NVRA_ATTR_PRESOLVESTATE), 3);
    const int prows = static_cast<int>(intAttr(NVRA_ATTR_ROWS));
    const int pcols = static_cast<int>(intAttr(NVRA_ATTR_COLS));
    EXPECT_LT(pcols, cols);
    EXPECT_EQ(intAttr(NVRA_ATTR_ORIGINALCOLS), cols);
    // The map names distinct original rows and columns.
    std::vector<int> rowmap(prows), colmap(pcols);
    ASSERT_EQ(NVRAgetpresolvemap(prob, rowmap.data(), colmap.data()), 0) << lastError(prob);
    for (const auto &[map, n] : {std::pair{&rowmap, rows}, std::pair{&colmap, cols}}) {
        std::vector<int> sorted = *map;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_TRUE(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end());
        EXPECT_GE(sorted.front(), 0);
        EXPECT_LT(sorted.back(), n);
    }
    // Presolved columns keep their bounds within the original ones.
    for (int k = 0; k < pcols; ++k)
        EXPECT_GE(prob->model.ub[colmap[k]], 0.0);
    std::vector<double> px(pcols);
    ASSERT_EQ(NVRAgetpresolvesol(prob, px.data(), nullptr, nullptr, nullptr), 0);
    std::vector<int> prs(prows), pcs(pcols);
    ASSERT_EQ(NVRAgetpresolvebasis(prob, prs.data(), pcs.data()), 0) << lastError(prob);
    // Calls on the original problem's solution wait for the postsolve.
    std::vector<double> x(cols);
    EXPECT_EQ(NVRAgetlpsol(prob, x.data(), nullptr, nullptr, nullptr), NVRA_RC_ERROR);
    std::vector<double> viaSol(cols);
    ASSERT_EQ(NVRApostsolvesol_witharraysizes(prob, px.data(), pcols, viaSol.data(), cols), 0)
        << lastError(prob);
    ASSERT_EQ(NVRApostsolve(prob), 0) << lastError(prob);
    EXPECT_EQ(intAttr(NVRA_ATTR_PRESOLVESTATE), 1);
    EXPECT_EQ(intAttr(NVRA_ATTR_ROWS), rows);
    ASSERT_EQ(NVRAgetlpsol(prob, x.data(), nullptr, nullptr, nullptr), 0) << lastError(prob);
    double objective = 0;
    ASSERT_EQ(NVRAcalcobjective(prob, x.data(), &objective), 0);
    EXPECT_NEAR(objective, optimum, 1e-7);
    for (int j = 0; j < cols; ++j)
        EXPECT_NEAR(viaSol[j], x[j], 1e-9);
    double worst = 1;
    ASSERT_EQ(NVRAcalcsolinfo(prob, x.data(), nullptr, NVRA_SOLINFO_ABSPRIMALINFEAS, &worst), 0);
    EXPECT_LT(worst, 1e-7);
    (void)reference;
    EXPECT_EQ(NVRApostsolve(prob), NVRA_RC_ERROR);
    b.type(0, 'I');
    EXPECT_EQ(optimize("r"), NVRA_RC_UNSUPPORTED);
}

TEST_F(AnalysisTest, PresolvedRowsAndBasesStayInThePresolvedSpace) {
    readInstance(prob, "afiro.mps");
    ASSERT_EQ(optimize("r"), 0);
    const int prows = static_cast<int>(intAttr(NVRA_ATTR_ROWS));
    const int pcols = static_cast<int>(intAttr(NVRA_ATTR_COLS));
    std::vector<int> prs(prows), pcs(pcols), colmap(pcols);
    ASSERT_EQ(NVRAgetpresolvebasis(prob, prs.data(), pcs.data()), 0);
    ASSERT_EQ(NVRAgetpresolvemap(prob, nullptr, colmap.data()), 0);
    // Loading the presolved problem's own basis solves it again in no time.
    ASSERT_EQ(NVRAloadpresolvebasis(prob, prs.data(), pcs.data()), 0) << lastError(prob);
    EXPECT_EQ(result(prob).simplexIter, 0);
    // A row over two kept columns is the same row in presolved indices.
    const int cols[2] = {colmap[0], colmap[1]};
    const double coefs[2] = {1.0, 2.0};
    int n = -1, status = -1, outcols[2];
    double outcoefs[2], rhs = 0;
    ASSERT_EQ(
        NVRApresolverow(prob, 'L', 2, cols, coefs, 5.0, 2, &n, outcols, outcoefs, &rhs, &status), 0)
        << lastError(prob);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(outcols[0], 0);
    EXPECT_EQ(outcols[1], 1);
    EXPECT_EQ(rhs, 5.0);
    pcs[0] = 9;
    EXPECT_EQ(NVRAloadpresolvebasis(prob, prs.data(), pcs.data()), NVRA_RC_INVALID);
}

// A small knapsack-like MIP whose optimum the tests know: max 5a + 4b + 3c + 7d with
// 2a + 3b + c + 4d <= 6, 2a + b + 3c + 2d <= 5, binaries.
void buildMip(Builder &b) {
    for (double c : {5.0, 4.0, 3.0, 7.0})
        b.col(0.0, 1.0, c, 'B');
    b.row('L', 6.0, {{0, 2.0}, {1, 3.0}, {2, 1.0}, {3, 4.0}});
    b.row('L', 5.0, {{0, 2.0}, {1, 1.0}, {2, 3.0}, {3, 2.0}});
    b.sense(-1);
}

TEST_F(AnalysisTest, FeasibleMipStartIsTheIncumbentAtTheRoot) {
    buildMip(b);
    const double start[4] = {1.0, 0.0, 0.0, 1.0}; // value 12, feasible (6 <= 6, 4 <= 5)
    const double bad[4] = {1.0, 1.0, 1.0, 1.0};
    int status = -1;
    ASSERT_EQ(NVRAloadmipsol(prob, bad, &status), 0);
    EXPECT_EQ(status, 1);
    ASSERT_EQ(NVRAloadmipsol(prob, start, &status), 0) << lastError(prob);
    EXPECT_EQ(status, 0);
    // Stop at the root, without heuristics or cuts: the start is the incumbent.
    setInt(prob, nvra::kCtrlMaxNodes, 0);
    setDbl(prob, nvra::kCtrlHeurEffort, 0.0);
    setInt(prob, nvra::kCtrlPresolve, 0);
    ASSERT_EQ(NVRAmipoptimize(prob, ""), 0) << lastError(prob);
    EXPECT_GE(result(prob).mipObjVal, 12.0 - 1e-9);
    // A partial start is completed by the engine.
    const int col = 3;
    const double one = 1.0;
    ASSERT_EQ(NVRAaddmipsol(prob, 1, &one, &col, "d only"), 0);
    ASSERT_EQ(NVRAaddmipsol(prob, 1, &one, nullptr, "a only"), 0); // no indices: the first ones
    ASSERT_EQ(NVRAmipoptimize(prob, ""), 0);
    EXPECT_NE(result(prob).solStatus, NVRA_SOLSTATUS_NOTFOUND);
    EXPECT_EQ(NVRAaddmipsol(prob, 5, start, nullptr, nullptr), NVRA_RC_RANGE);
}

TEST_F(AnalysisTest, LoadedSolutionsFeedTheCalculations) {
    readInstance(prob, "afiro.mps");
    ASSERT_EQ(optimize(), 0);
    const int nr = prob->model.numRows(), nc = prob->model.numCols();
    std::vector<double> x(nc), slack(nr), dual(nr), dj(nc), calc(std::max(nr, nc));
    ASSERT_EQ(NVRAgetlpsol(prob, x.data(), slack.data(), dual.data(), dj.data()), 0);
    double obj = 0;
    ASSERT_EQ(NVRAcalcobjective(prob, nullptr, &obj), 0);
    EXPECT_NEAR(obj, result(prob).objVal, 1e-9);
    ASSERT_EQ(NVRAcalcslacks(prob, x.data(), calc.data()), 0);
    for (int i = 0; i < nr; ++i)
        EXPECT_NEAR(calc[i], slack[i], 1e-9);
    ASSERT_EQ(NVRAcalcreducedcosts(prob, dual.data(), nullptr, calc.data()), 0);
    for (int j = 0; j < nc; ++j)
        EXPECT_NEAR(calc[j], dj[j], 1e-9);
    int npc = -1, npr = -1, ndr = -1, ndc = -1;
    ASSERT_EQ(NVRAgetinfeas(prob, &npc, &npr, &ndr, &ndc, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(npc + npr + ndr + ndc, 0);
    double v = 0;
    ASSERT_EQ(NVRAgetlpsolval(prob, 2, 1, &v, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(v, x[2]);
    // A loaded solution that breaks row 0 and has a dual of the wrong sign.
    std::vector<double> y = x;
    const nvra::Model &m = prob->model;
    for (int64_t p = m.A.start[0]; p < m.A.start[1]; ++p)
        y[m.A.index[p]] += 100.0 / m.A.value[p] / (m.A.start[1] - m.A.start[0]);
    int status = -1;
    ASSERT_EQ(NVRAloadlpsol(prob, y.data(), nullptr, nullptr, nullptr, &status), 0);
    std::vector<int> rows(nr);
    ASSERT_EQ(NVRAgetinfeas(prob, &npc, &npr, &ndr, &ndc, nullptr, rows.data(), nullptr, nullptr),
              0);
    ASSERT_GE(npr, 1);
    EXPECT_EQ(rows[0], 0);
    EXPECT_EQ(ndr + ndc, 0); // no duals given
    EXPECT_EQ(NVRAgetlpsol(prob, nullptr, nullptr, dual.data(), nullptr), NVRA_RC_ERROR);
    std::vector<double> nan(nc, std::nan(""));
    EXPECT_EQ(NVRAloadlpsol(prob, nan.data(), nullptr, nullptr, nullptr, &status), NVRA_RC_INVALID);
}

TEST_F(AnalysisTest, CrossoverFromABarrierSolutionEndsBasic) {
    readInstance(prob, "afiro.mps");
    ASSERT_EQ(optimize(), 0);
    const double optimum = result(prob).objVal;
    setInt(prob, nvra::kCtrlCrossover, 0);
    ASSERT_EQ(optimize("b"), 0);
    EXPECT_GT(result(prob).barIter, 0);
    int status = -1;
    ASSERT_EQ(NVRAgetlastbarsol(prob, nullptr, nullptr, nullptr, nullptr, &status), 0);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(NVRAgetbasis(prob, nullptr, nullptr), NVRA_RC_ERROR);
    ASSERT_EQ(NVRAcrossoverlpsol(prob, &status), 0) << lastError(prob);
    EXPECT_EQ(status, 0);
    EXPECT_NEAR(result(prob).objVal, optimum, 1e-6);
    std::vector<int> rows = basisRows();
    EXPECT_EQ(rows.size(), static_cast<size_t>(prob->model.numRows()));
}

TEST_F(AnalysisTest, StrongBranchingLeavesTheProblemAsItWas) {
    buildMip(b);
    ASSERT_EQ(NVRAlpoptimize(prob, ""), 0);
    const std::vector<double> x = solution(prob);
    const double relaxed = result(prob).objVal;
    const std::vector<int> rows = basisRows();
    // Branch on the first fractional column both ways; compare with solving each branch.
    int j = 0;
    while (j < 4 && std::fabs(x[j] - std::round(x[j])) < 1e-9)
        ++j;
    ASSERT_LT(j, 4);
    const int cols[2] = {j, j};
    const char types[2] = {'U', 'L'};
    const double vals[2] = {std::floor(x[j]), std::ceil(x[j])};
    double obj[2];
    int status[2];
    ASSERT_EQ(NVRAstrongbranch(prob, 2, cols, types, vals, 1000, obj, status), 0)
        << lastError(prob);
    EXPECT_EQ(basisRows(), rows);
    EXPECT_EQ(result(prob).objVal, relaxed);
    for (int k = 0; k < 2; ++k) {
        NVRAprob branch = nullptr;
        ASSERT_EQ(NVRAcreateprob(&branch), 0);
        ASSERT_EQ(NVRAcopyprob(branch, prob, nullptr), 0);
        ASSERT_EQ(NVRAchgbounds(branch, 1, &cols[k], &types[k], &vals[k]), 0);
        ASSERT_EQ(NVRAlpoptimize(branch, ""), 0);
        EXPECT_EQ(status[k], result(branch).lpStatus);
        EXPECT_NEAR(obj[k], result(branch).objVal, 1e-7);
        EXPECT_EQ(NVRAdestroyprob(branch), 0);
    }
    // The basis functions still describe the problem.
    std::vector<double> v(2, 1.0);
    EXPECT_EQ(NVRAftran(prob, v.data()), 0) << lastError(prob);
}

TEST_F(AnalysisTest, FixingAndRefiningAMipSolution) {
    buildMip(b);
    b.col(0.0, 3.0, 0.5); // a continuous column
    b.row('L', 2.5, {{4, 1.0}, {0, 1.0}});
    ASSERT_EQ(optimize(), 0);
    const std::vector<double> x = solution(prob);
    const double best = result(prob).objVal;
    // Refining a solution with the continuous column at 0 lifts it to its best value.
    std::vector<double> start = x, refined(5);
    start[4] = 0.0;
    int status = -1;
    ASSERT_EQ(NVRArefinemipsol(prob, 0, "", start.data(), refined.data(), &status), 0)
        << lastError(prob);
    EXPECT_EQ(status, 0);
    EXPECT_NEAR(refined[4], x[4], 1e-9);
    std::vector<double> broken = x;
    broken[0] = 0.5;
    ASSERT_EQ(NVRArefinemipsol(prob, 0, "", broken.data(), refined.data(), &status), 0);
    EXPECT_EQ(status, 1);
    ASSERT_EQ(NVRAfixmipentities(prob, 1), 0) << lastError(prob);
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(prob->model.lb[j], std::round(x[j]));
        EXPECT_EQ(prob->model.ub[j], std::round(x[j]));
    }
    ASSERT_EQ(NVRAlpoptimize(prob, ""), 0);
    EXPECT_NEAR(result(prob).objVal, best, 1e-9);
    EXPECT_EQ(NVRAfixmipentities(prob, 1), NVRA_RC_ERROR); // no MIP solution now
}

TEST_F(AnalysisTest, DelayedRowsLeaveTheOptimumAsItIs) {
    buildMip(b);
    b.row('L', 1.0, {{0, 1.0}, {3, 1.0}}); // cuts the relaxation's and the MIP's optimum
    ASSERT_EQ(optimize(), 0);
    const double mip = result(prob).objVal;
    ASSERT_EQ(NVRAlpoptimize(prob, ""), 0);
    const double lp = result(prob).objVal;
    const int rows[2] = {1, 2};
    ASSERT_EQ(NVRAloaddelayedrows(prob, 1, &rows[1]), 0);
    ASSERT_EQ(NVRAloadmodelcuts(prob, 1, &rows[0]), 0);
    int flags[3] = {-1, -1, -1};
    ASSERT_EQ(NVRAgetrowflags_witharraysizes(prob, flags, 3, 0, 2), 0);
    EXPECT_EQ(flags[0], 0);
    EXPECT_EQ(flags[1], NVRA_ROWFLAG_MODELCUT);
    EXPECT_EQ(flags[2], NVRA_ROWFLAG_DELAYED);
    ASSERT_EQ(optimize(), 0);
    EXPECT_NEAR(result(prob).objVal, mip, 1e-9);
    ASSERT_EQ(NVRAlpoptimize(prob, ""), 0);
    EXPECT_NEAR(result(prob).objVal, lp, 1e-9);
    // The continuous solve ends holding the whole problem: its basis is there.
    EXPECT_EQ(basisRows().size(), 3u);
    ASSERT_EQ(NVRAclearrowflags_witharraysizes(prob, NVRA_ROWFLAG_DELAYED, 0, 2), 0);
    ASSERT_EQ(NVRAgetrowflags_witharraysizes(prob, flags, 3, 0, 2), 0);
    EXPECT_EQ(flags[2], 0);
    EXPECT_EQ(NVRAgetrowflags_witharraysizes(prob, flags, 2, 0, 2), NVRA_RC_RANGE);
    // Deleting a row renumbers the flags.
    const int first = 0;
    ASSERT_EQ(NVRAdelrows(prob, 1, &first), 0);
    ASSERT_EQ(NVRAgetrowflags_witharraysizes(prob, flags, 2, 0, 1), 0);
    EXPECT_EQ(flags[0], NVRA_ROWFLAG_MODELCUT);
}

TEST_F(AnalysisTest, DelayedRowsBindInSolvesOfQuadraticRows) {
    // min -x - y on the disc x^2 + y^2 <= 2 with x <= 0.5 delayed: the library's quadratic
    // route takes the whole problem, so the delayed row still cuts off (1, 1).
    b.col(-10.0, 10.0, -1.0);
    b.col(-10.0, 10.0, -1.0);
    b.row('L', 2.0, {});
    b.row('L', 0.5, {{0, 1.0}});
    const int q[2] = {0, 1};
    const double ones[2] = {1.0, 1.0};
    ASSERT_EQ(NVRAaddqmatrix64(prob, 0, 2, q, q, ones), 0) << lastError(prob);
    const int delayed = 1;
    ASSERT_EQ(NVRAloaddelayedrows(prob, 1, &delayed), 0);
    ASSERT_EQ(optimize(), 0) << lastError(prob);
    EXPECT_NEAR(result(prob).objVal, -0.5 - std::sqrt(1.75), 1e-5);
}

} // namespace
