// Infeasible problems: IISs checked by solving their subsystems with the engine directly (the
// subsystem is infeasible, dropping any member makes it feasible), their multipliers as
// certificates, further IISs, isolations, the IIS file, and repairs whose solutions satisfy the
// relaxed bounds they report.
#include "test_analysis_util.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace {

using namespace analysistest;

struct Subsystem {
    std::vector<int> rows, cols;
    std::vector<char> contype, bndtype;
    std::vector<double> duals, djs;
};

Subsystem iisOf(NVRAprob prob, int num) {
    Subsystem s;
    int nr = -1, nc = -1;
    EXPECT_EQ(NVRAgetiisdata(prob, num, &nr, &nc, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr),
              0)
        << lastError(prob);
    s.rows.resize(nr);
    s.cols.resize(nc);
    s.contype.resize(nr);
    s.bndtype.resize(nc);
    s.duals.resize(nr);
    s.djs.resize(nc);
    EXPECT_EQ(NVRAgetiisdata(prob, num, &nr, &nc, s.rows.data(), s.cols.data(), s.contype.data(),
                             s.bndtype.data(), s.duals.data(), s.djs.data(), nullptr, nullptr),
              0)
        << lastError(prob);
    return s;
}

// The subsystem as a linear system over all columns: its rows with the ends that take part,
// its bounds, everything else free; member `drop` (rows first, then bounds) left out.
std::pair<Matrix, Ends> system(NVRAprob prob, const Subsystem &s, int drop = -1) {
    const Matrix A = denseA(prob);
    const Ends all = endsOf(prob);
    Matrix rows;
    Ends e;
    e.colLo.assign(all.colLo.size(), -1e20);
    e.colUp.assign(all.colUp.size(), 1e20);
    for (size_t k = 0; k < s.rows.size(); ++k) {
        if (static_cast<int>(k) == drop) continue;
        const int i = s.rows[k];
        rows.push_back(A[i]);
        const char t = s.contype[k];
        e.rowLo.push_back(t == 'L' ? -1e20 : all.rowLo[i]);
        e.rowUp.push_back(t == 'G' ? 1e20 : all.rowUp[i]);
    }
    for (size_t k = 0; k < s.cols.size(); ++k) {
        if (static_cast<int>(k + s.rows.size()) == drop) continue;
        const int j = s.cols[k];
        if (s.bndtype[k] != 'U') e.colLo[j] = all.colLo[j];
        if (s.bndtype[k] != 'L') e.colUp[j] = all.colUp[j];
    }
    return {rows, e};
}

void expectIrreducible(NVRAprob prob, int num) {
    const Subsystem s = iisOf(prob, num);
    ASSERT_GT(s.rows.size() + s.cols.size(), 0u);
    const auto [A, e] = system(prob, s);
    EXPECT_FALSE(feasible(A, e)) << "IIS " << num << " is feasible";
    const int members = static_cast<int>(s.rows.size() + s.cols.size());
    for (int k = 0; k < members; ++k) {
        const auto [Ak, ek] = system(prob, s, k);
        EXPECT_TRUE(feasible(Ak, ek)) << "IIS " << num << " without member " << k;
    }
    // The multipliers certify the subsystem's infeasibility.
    std::vector<double> z(prob->model.numCols(), 0.0);
    for (size_t k = 0; k < s.cols.size(); ++k)
        z[s.cols[k]] = s.djs[k];
    expectCertificate(A, e, s.duals, z);
}

// Two conflicts sharing nothing: x <= 1 with x >= 2, and y + z >= 5 with y, z <= 2.
void buildTwoConflicts(Builder &b) {
    b.col(0.0, 10.0, 1.0);
    b.col(0.0, 2.0, 1.0);
    b.col(0.0, 2.0, 1.0);
    b.row('L', 1.0, {{0, 1.0}});
    b.row('G', 2.0, {{0, 1.0}});
    b.row('G', 5.0, {{1, 1.0}, {2, 1.0}});
    b.row('L', 20.0, {{0, 1.0}, {1, 1.0}, {2, 1.0}});
}

TEST_F(AnalysisTest, IisOfAnInfeasibleNetlibProblemIsIrreducible) {
    readInstance(prob, "woodinfe.mps");
    int status = -1;
    ASSERT_EQ(NVRAiisfirst(prob, 1, &status), 0) << lastError(prob);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(intAttr(NVRA_ATTR_IISSOLSTATUS), NVRA_IISSOL_COMPLETED);
    EXPECT_EQ(intAttr(NVRA_ATTR_NUMIIS), 1);
    expectIrreducible(prob, 1);
    int count = 0, rows = 0, cols = 0, numinf = 0;
    double suminf = 0;
    ASSERT_EQ(NVRAiisstatus(prob, &count, &rows, &cols, &suminf, &numinf), 0);
    EXPECT_EQ(count, 1);
    EXPECT_GT(suminf, 0.0);
    EXPECT_GE(numinf, 1);
}

TEST_F(AnalysisTest, FurtherIisAreNewAndIsolationsFollowThem) {
    buildTwoConflicts(b);
    ASSERT_EQ(NVRAiisall(prob), 0) << lastError(prob);
    ASSERT_EQ(intAttr(NVRA_ATTR_NUMIIS), 2);
    expectIrreducible(prob, 1);
    expectIrreducible(prob, 2);
    const Subsystem a = iisOf(prob, 1), c = iisOf(prob, 2);
    EXPECT_NE(a.rows, c.rows);
    int status = -1;
    ASSERT_EQ(NVRAiisnext(prob, &status), 0);
    EXPECT_EQ(status, 1);
    // With two conflicts no single member repairs the problem; with one left, each does.
    ASSERT_EQ(NVRAiisisolations(prob, 1), 0) << lastError(prob);
    std::vector<char> isoRows(a.rows.size()), isoCols(a.cols.size());
    ASSERT_EQ(NVRAgetiisdata(prob, 1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, isoRows.data(), isoCols.data()),
              0);
    for (char v : isoRows)
        EXPECT_EQ(v, 0);
    b.bounds(1, 0.0, 4.0); // the second conflict disappears
    ASSERT_EQ(NVRAiisfirst(prob, 1, &status), 0);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(NVRAiisisolations(prob, 1), 0);
    const Subsystem only = iisOf(prob, 1);
    isoRows.assign(only.rows.size(), -1);
    ASSERT_EQ(NVRAgetiisdata(prob, 1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, isoRows.data(), nullptr),
              0);
    for (char v : isoRows)
        EXPECT_EQ(v, 1);
    EXPECT_EQ(NVRAgetiisdata(prob, 2, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr),
              NVRA_RC_RANGE);
}

// Conflicts on disjoint columns: leaving out one member of a known IIS still meets another
// known one, so the search has to go on past those to find every conflict.
TEST_F(AnalysisTest, IisAllFindsEveryDisjointConflict) {
    const int n = 5;
    for (int k = 0; k < n; ++k) {
        b.col(0.0, 10.0, 1.0);
        b.row('G', 4.0 + k, {{k, 1.0}});
        b.row('L', 2.0, {{k, 1.0}});
    }
    ASSERT_EQ(NVRAiisall(prob), 0) << lastError(prob);
    ASSERT_EQ(intAttr(NVRA_ATTR_NUMIIS), n);
    std::vector<std::vector<int>> seen;
    for (int k = 1; k <= n; ++k) {
        expectIrreducible(prob, k);
        seen.push_back(iisOf(prob, k).rows);
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
    int status = -1;
    ASSERT_EQ(NVRAiisnext(prob, &status), 0);
    EXPECT_EQ(status, 1);
}

TEST_F(AnalysisTest, IisSearchOnAFeasibleProblemSaysSo) {
    buildTwoConflicts(b);
    b.rhs(0, 3.0);
    b.bounds(1, 0.0, 4.0);
    int status = -1;
    ASSERT_EQ(NVRAiisfirst(prob, 1, &status), 0) << lastError(prob);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(intAttr(NVRA_ATTR_IISSOLSTATUS), NVRA_IISSOL_FEASIBLE);
    EXPECT_EQ(NVRAiisnext(prob, &status), NVRA_RC_ERROR);
    EXPECT_EQ(NVRAiisfirst(prob, 3, &status), NVRA_RC_INVALID);
    // A change forgets the search.
    b.rhs(0, 1.0);
    EXPECT_EQ(intAttr(NVRA_ATTR_IISSOLSTATUS), NVRA_IISSOL_UNSTARTED);
}

TEST_F(AnalysisTest, IisFileReadsBackAsAnInfeasibleProblem) {
    buildTwoConflicts(b);
    const char *names = "cap\0need\0demand\0total\0";
    ASSERT_EQ(NVRAaddnames(prob, NVRA_NAMES_ROWS, names, 0, 3), 0);
    int status = -1;
    ASSERT_EQ(NVRAiisfirst(prob, 1, &status), 0);
    const std::string file = ::testing::TempDir() + "iis.lp";
    ASSERT_EQ(NVRAiiswrite(prob, 1, file.c_str(), NVRA_IISFILE_LP, ""), 0) << lastError(prob);
    NVRAprob other = nullptr;
    ASSERT_EQ(NVRAcreateprob(&other), 0);
    ASSERT_EQ(NVRAreadprob(other, file.c_str(), ""), 0) << lastError(other);
    const Subsystem s = iisOf(prob, 1);
    EXPECT_EQ(other->model.numRows(), static_cast<int>(s.rows.size()));
    int index = -1;
    const char *rowNames[] = {"cap", "need", "demand", "total"};
    ASSERT_EQ(NVRAgetindex(other, NVRA_NAMES_ROWS, rowNames[s.rows[0]], &index), 0);
    EXPECT_GE(index, 0);
    int solve = 0, sol = 0;
    ASSERT_EQ(NVRAoptimize(other, "", &solve, &sol), 0);
    EXPECT_EQ(sol, NVRA_SOLSTATUS_INFEASIBLE);
    EXPECT_EQ(NVRAdestroyprob(other), 0);
    std::remove(file.c_str());
    EXPECT_EQ(NVRAiiswrite(prob, 1, file.c_str(), 7, ""), NVRA_RC_INVALID);
}

// ---- repair ----------------------------------------------------------------------------------

// Production plan: two products on one machine (capacity 40 h) with demand floors that need 50 h.
void buildPlan(Builder &b) {
    b.col(0.0, 1e20, -3.0); // product A: 2 h each
    b.col(0.0, 1e20, -5.0); // product B: 3 h each
    b.row('L', 40.0, {{0, 2.0}, {1, 3.0}});
    b.row('G', 10.0, {{0, 1.0}});
    b.row('G', 10.0, {{1, 1.0}});
}

void expectWithinRepairBounds(NVRAprob prob) {
    const int nr = prob->model.numRows(), nc = prob->model.numCols();
    std::vector<double> rlo(nr), rup(nr), clo(nc), cup(nc);
    ASSERT_EQ(NVRAgetrepairbounds(prob, rlo.data(), rup.data(), clo.data(), cup.data()), 0)
        << lastError(prob);
    const std::vector<double> x = solution(prob);
    const Matrix A = denseA(prob);
    for (int i = 0; i < nr; ++i) {
        double act = 0.0;
        for (int j = 0; j < nc; ++j)
            act += A[i][j] * x[j];
        EXPECT_GE(act, rlo[i] - 1e-7) << "row " << i;
        EXPECT_LE(act, rup[i] + 1e-7) << "row " << i;
    }
    for (int j = 0; j < nc; ++j) {
        EXPECT_GE(x[j], clo[j] - 1e-7);
        EXPECT_LE(x[j], cup[j] + 1e-7);
    }
}

TEST_F(AnalysisTest, RepairRelaxesByTheLeastWeightedViolation) {
    buildPlan(b);
    int status = -1;
    // Only the capacity may move: it must grow by 10 h.
    ASSERT_EQ(NVRArepairinfeas(prob, &status, 'c', 'n', 'n', 1.0, 0.0, 0.0, 0.0, 0.0), 0)
        << lastError(prob);
    ASSERT_EQ(status, 0);
    expectWithinRepairBounds(prob);
    double rup[3];
    ASSERT_EQ(NVRAgetrepairbounds(prob, nullptr, rup, nullptr, nullptr), 0);
    EXPECT_NEAR(rup[0], 50.0, 1e-7);
    // Demands cheaper to relax (preference 4 per unit: penalty 1/4) than capacity (1): the
    // repair lowers a demand instead; B's 3 h per unit make lowering B's floor by 10/3 cheapest.
    ASSERT_EQ(NVRArepairinfeas(prob, &status, 'c', 'n', 'n', 1.0, 4.0, 0.0, 0.0, 0.0), 0);
    ASSERT_EQ(status, 0);
    double rlo[3];
    ASSERT_EQ(NVRAgetrepairbounds(prob, rlo, rup, nullptr, nullptr), 0);
    EXPECT_NEAR(rup[0], 40.0, 1e-7);
    EXPECT_NEAR(rlo[2], 10.0 - 10.0 / 3.0, 1e-6);
    expectWithinRepairBounds(prob);
    // Nothing relaxable: the relaxed problem is still infeasible.
    ASSERT_EQ(NVRArepairinfeas(prob, &status, 'c', 'n', 'n', 0.0, 0.0, 0.0, 0.0, 0.0), 0);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(NVRAgetrepairbounds(prob, rlo, rup, nullptr, nullptr), NVRA_RC_ERROR);
}

TEST_F(AnalysisTest, RepairOfAMaximisationStillMinimisesTheViolation) {
    buildPlan(b);
    const int cols[2] = {0, 1};
    const double profit[2] = {3.0, 5.0};
    ASSERT_EQ(NVRAchgobj(prob, 2, cols, profit), 0);
    ASSERT_EQ(NVRAchgobjsense(prob, -1), 0);
    // As for the minimisation: lowering B's floor by 10/3 is the cheapest repair, by the
    // engine's relaxation and by the library's own elastic problem (caps that bind nothing).
    const double le[3] = {1.0, 0.0, 0.0}, ge[3] = {0.0, 4.0, 4.0}, none[2] = {0.0, 0.0};
    const double big[3] = {1e6, 1e6, 1e6}, bigc[2] = {1e6, 1e6};
    for (bool own : {false, true}) {
        int status = -1;
        ASSERT_EQ(own ? NVRArepairweightedinfeasbounds(prob, &status, le, ge, none, none, big, big,
                                                       bigc, bigc, 'n', 0.0, "")
                      : NVRArepairweightedinfeas(prob, &status, le, ge, none, none, 'n', 0.0, ""),
                  0)
            << lastError(prob);
        ASSERT_EQ(status, 0);
        double rlo[3], rup[3];
        ASSERT_EQ(NVRAgetrepairbounds(prob, rlo, rup, nullptr, nullptr), 0);
        EXPECT_NEAR(rup[0], 40.0, 1e-7) << own;
        EXPECT_NEAR(rlo[2], 10.0 - 10.0 / 3.0, 1e-6) << own;
    }
}

TEST_F(AnalysisTest, WeightedRepairsWithAndWithoutCapsAgree) {
    buildPlan(b);
    const double le[3] = {1.0, 0.0, 0.0}, ge[3] = {0.0, 2.0, 2.0};
    const double none[2] = {0.0, 0.0};
    int status = -1;
    ASSERT_EQ(NVRArepairweightedinfeas(prob, &status, le, ge, none, none, 'n', 0.0, ""), 0)
        << lastError(prob);
    ASSERT_EQ(status, 0);
    double upEngine[3], loEngine[3];
    ASSERT_EQ(NVRAgetrepairbounds(prob, loEngine, upEngine, nullptr, nullptr), 0);
    // Caps that bind nothing: the library's own elastic problem, same answer.
    const double big[3] = {1e6, 1e6, 1e6}, bigc[2] = {1e6, 1e6};
    ASSERT_EQ(NVRArepairweightedinfeasbounds(prob, &status, le, ge, none, none, big, big, bigc,
                                             bigc, 'n', 0.0, ""),
              0)
        << lastError(prob);
    ASSERT_EQ(status, 0);
    double upOwn[3], loOwn[3];
    ASSERT_EQ(NVRAgetrepairbounds(prob, loOwn, upOwn, nullptr, nullptr), 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(upOwn[i], upEngine[i], 1e-6);
        EXPECT_NEAR(loOwn[i], loEngine[i], 1e-6);
    }
    // A cap that binds: capacity may grow by 4 h only, so the demands give the rest.
    const double cap[3] = {4.0, 1e20, 1e20};
    ASSERT_EQ(NVRArepairweightedinfeasbounds(prob, &status, le, ge, none, none, cap, nullptr,
                                             nullptr, nullptr, 'n', 0.0, ""),
              0);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(NVRAgetrepairbounds(prob, loOwn, upOwn, nullptr, nullptr), 0);
    EXPECT_LE(upOwn[0], 44.0 + 1e-7);
    expectWithinRepairBounds(prob);
}

double calcObjective(NVRAprob prob) {
    double v = 0;
    EXPECT_EQ(NVRAcalcobjective(prob, nullptr, &v), 0) << lastError(prob);
    return v;
}

TEST_F(AnalysisTest, SecondPhaseOptimisesWithinTheRepair) {
    buildPlan(b);
    int status = -1;
    ASSERT_EQ(NVRArepairinfeas(prob, &status, 'c', 'n', 'n', 1.0, 1.0, 0.0, 0.0, 0.0), 0);
    const double phase1 = calcObjective(prob);
    ASSERT_EQ(NVRArepairinfeas(prob, &status, 'c', 'o', 'n', 1.0, 1.0, 0.0, 0.0, 0.5), 0)
        << lastError(prob);
    ASSERT_EQ(status, 0);
    expectWithinRepairBounds(prob);
    EXPECT_LE(calcObjective(prob), phase1 + 1e-9);
    EXPECT_EQ(NVRArepairinfeas(prob, &status, 'x', 'n', 'n', 1.0, 1.0, 0.0, 0.0, 0.0),
              NVRA_RC_INVALID);
    EXPECT_EQ(NVRArepairinfeas(prob, &status, 'c', 'n', 'n', 1.0, 1.0, 0.0, 0.0, -1.0),
              NVRA_RC_INVALID);
}

} // namespace
