// The basis and its factorisation: solves with B and B' against dense linear algebra, warm
// starts, loading bases, the ratio test and basis exchanges, and what the calls refuse.
#include "test_analysis_util.h"

namespace {

using namespace analysistest;

// max 3x + 2y + z over rows of each kind; the optimum leaves some rows basic.
void buildLp(Builder &b) {
    b.col(0.0, 4.0, 3.0);
    b.col(0.0, 1e20, 2.0);
    b.col(-1e20, 1e20, 1.0);
    b.row('L', 10.0, {{0, 1.0}, {1, 1.0}, {2, 1.0}});
    b.row('G', -2.0, {{0, 1.0}, {1, -1.0}});
    b.row('R', 6.0, {{1, 1.0}, {2, 2.0}}, 8.0);
    b.row('E', 1.0, {{0, 1.0}, {2, -1.0}});
    b.sense(-1);
}

// The basis matrix from the pivot order: unit columns for rows, A's columns for columns.
Matrix basisMatrix(NVRAprob prob) {
    const int m = prob->model.numRows();
    std::vector<int> order(m);
    EXPECT_EQ(NVRAgetpivotorder(prob, order.data()), 0) << lastError(prob);
    const Matrix A = denseA(prob);
    int cuts = 0;
    EXPECT_EQ(NVRAgetintattrib(prob, NVRA_ATTR_CUTS, &cuts), 0);
    Matrix B(m, std::vector<double>(m, 0.0));
    for (int p = 0; p < m; ++p)
        for (int i = 0; i < m; ++i)
            B[i][p] = order[p] < m ? (order[p] == i ? 1.0 : 0.0) : A[i][order[p] - m - cuts];
    return B;
}

void expectTransformsMatchDense(NVRAprob prob) {
    const int m = prob->model.numRows();
    const Matrix B = basisMatrix(prob);
    std::vector<double> b(m);
    for (int i = 0; i < m; ++i)
        b[i] = 1.5 * i - 2.0 + (i % 2);
    std::vector<double> f = b, t = b;
    ASSERT_EQ(NVRAftran(prob, f.data()), 0) << lastError(prob);
    ASSERT_EQ(NVRAbtran(prob, t.data()), 0) << lastError(prob);
    const std::vector<double> fx = solveDense(B, b), tx = solveDense(transposed(B), b);
    for (int i = 0; i < m; ++i) {
        EXPECT_NEAR(f[i], fx[i], 1e-9) << "ftran " << i;
        EXPECT_NEAR(t[i], tx[i], 1e-9) << "btran " << i;
    }
    // The sparse forms on a unit vector: a column of B^-1 and of B^-T.
    for (int transpose = 0; transpose < 2; ++transpose) {
        std::vector<double> val(m, 0.0);
        std::vector<int> ind(m, 0);
        val[m - 1] = 2.0;
        ind[0] = m - 1;
        int nnz = 1;
        const int rc =
            transpose ? NVRAsparsebtran_witharraysizes(prob, val.data(), m, ind.data(), m, &nnz)
                      : NVRAsparseftran_witharraysizes(prob, val.data(), m, ind.data(), m, &nnz);
        ASSERT_EQ(rc, 0) << lastError(prob);
        std::vector<double> e(m, 0.0);
        e[m - 1] = 2.0;
        const std::vector<double> dense = solveDense(transpose ? transposed(B) : B, e);
        int count = 0;
        for (int i = 0; i < m; ++i) {
            EXPECT_NEAR(val[i], dense[i], 1e-9);
            count += std::fabs(dense[i]) > 1e-12;
        }
        EXPECT_EQ(nnz, count);
        for (int k = 0; k < nnz; ++k)
            EXPECT_NE(val[ind[k]], 0.0);
    }
}

TEST_F(AnalysisTest, TransformsSolveWithTheBasisMatrix) {
    buildLp(b);
    ASSERT_EQ(optimize(), 0);
    ASSERT_EQ(result(prob).lpStatus, NVRA_LP_OPTIMAL);
    const std::vector<int> rows = basisRows(), cols = basisCols();
    int basic = 0;
    for (int s : rows)
        basic += s == NVRA_BASIS_BASIC;
    for (int s : cols)
        basic += s == NVRA_BASIS_BASIC;
    EXPECT_EQ(basic, prob->model.numRows());
    expectTransformsMatchDense(prob);
    // The same after the engine was used for something else: the basis is factorised again.
    int has = -1;
    ASSERT_EQ(NVRAgetdualray(prob, nullptr, &has), 0);
    ASSERT_EQ(NVRAloadbasis(prob, rows.data(), cols.data()), 0) << lastError(prob);
    expectTransformsMatchDense(prob);
}

TEST_F(AnalysisTest, BadBasesAreRefusedAndChangeNothing) {
    buildLp(b);
    ASSERT_EQ(optimize(), 0);
    const std::vector<int> rows = basisRows(), cols = basisCols();
    auto refused = [&](std::vector<int> r, std::vector<int> c, const char *words) {
        EXPECT_EQ(NVRAloadbasis(prob, r.data(), c.data()), NVRA_RC_INVALID);
        EXPECT_NE(lastError(prob).find(words), std::string::npos) << lastError(prob);
        EXPECT_EQ(basisRows(), rows);
        EXPECT_EQ(result(prob).lpStatus, NVRA_LP_OPTIMAL);
    };
    std::vector<int> r = rows, c = cols;
    r[0] = 7;
    refused(r, cols, "status 7");
    c.assign(cols.size(), NVRA_BASIS_BASIC);
    refused(rows, c, "basic entries");
    c = cols;
    c[2] = NVRA_BASIS_LOWER; // column 2 is free
    if (cols[2] == NVRA_BASIS_BASIC) {
        // keep the count right by making a non-basic row basic
        for (size_t i = 0; i < r.size(); ++i)
            if (rows[i] != NVRA_BASIS_BASIC) {
                r = rows;
                r[i] = NVRA_BASIS_BASIC;
                break;
            }
        refused(r, c, "infinite");
    }
    EXPECT_EQ(NVRAloadbasis(prob, nullptr, cols.data()), NVRA_RC_INVALID);
}

TEST_F(AnalysisTest, PivotMovesToTheBasisTheRatioTestPredicts) {
    // min -x - y: start from the slack basis (x, y at 0) and pivot x in.
    b.col(0.0, 1e20, -1.0);
    b.col(0.0, 1e20, -1.0);
    b.row('L', 4.0, {{0, 1.0}, {1, 2.0}});
    b.row('L', 6.0, {{0, 3.0}, {1, 1.0}});
    const int rows[2] = {NVRA_BASIS_BASIC, NVRA_BASIS_BASIC};
    const int cols[2] = {NVRA_BASIS_LOWER, NVRA_BASIS_LOWER};
    ASSERT_EQ(NVRAloadbasis(prob, rows, cols), 0);
    const int x = 2; // combined index of column 0: rows + cuts + 0
    int out[3] = {-1, -1, -1}, n = -1;
    double steps[3] = {0, 0, 0}, objval = 0;
    ASSERT_EQ(NVRAgetpivots(prob, x, out, steps, &objval, &n, 3), 0) << lastError(prob);
    // Row 1 blocks first (x = 6/3 = 2), then row 0 (x = 4).
    ASSERT_EQ(n, 2);
    EXPECT_EQ(out[0], 1);
    EXPECT_NEAR(steps[0], 2.0, 1e-12);
    EXPECT_EQ(out[1], 0);
    EXPECT_NEAR(steps[1], 4.0, 1e-12);
    EXPECT_NEAR(objval, -2.0, 1e-12);
    ASSERT_EQ(NVRApivot(prob, x, out[0]), 0) << lastError(prob);
    EXPECT_NEAR(solution(prob)[0], 2.0, 1e-12);
    EXPECT_NEAR(result(prob).objVal, objval, 1e-12);
    EXPECT_EQ(basisCols()[0], NVRA_BASIS_BASIC);
    EXPECT_EQ(basisRows()[1], NVRA_BASIS_UPPER);
    // A basic entry cannot enter, a non-basic one cannot leave.
    EXPECT_EQ(NVRApivot(prob, x, 0), NVRA_RC_INVALID);
    EXPECT_EQ(NVRApivot(prob, 3, 1), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAgetpivots(prob, 99, out, steps, &objval, &n, 3), NVRA_RC_RANGE);
}

TEST_F(AnalysisTest, StabilityMeasuresOfAnOptimalBasis) {
    readInstance(prob, "afiro.mps");
    ASSERT_EQ(optimize(), 0);
    double cond = 0, primal = -1, dual = -1;
    ASSERT_EQ(NVRAbasisstability(prob, 0, 1, 0, &cond), 0) << lastError(prob);
    EXPECT_GE(cond, 1.0);
    ASSERT_EQ(NVRAbasisstability(prob, 1, 0, 0, &primal), 0);
    ASSERT_EQ(NVRAbasisstability(prob, 2, 0, 0, &dual), 0);
    EXPECT_LT(primal, 1e-9);
    EXPECT_LT(dual, 1e-9);
    EXPECT_EQ(NVRAbasisstability(prob, 3, 0, 0, &cond), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAbasisstability(prob, 0, 2, 0, &cond), NVRA_RC_INVALID);
}

} // namespace
