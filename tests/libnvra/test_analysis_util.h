// Helpers of the analysis tests: dense linear algebra for checking the library's basis
// solves, the problem read back as dense data, and feasibility checks of subsystems solved by
// the engine directly (independently of the library's own code).
#pragma once

#include "test_solve_util.h"

#include "highs_c_api.h"

#include <memory>

namespace analysistest {

using namespace solvetest;
using Matrix = std::vector<std::vector<double>>;

// x with M x = b by Gaussian elimination with partial pivoting.
inline std::vector<double> solveDense(Matrix M, std::vector<double> b) {
    const size_t n = b.size();
    for (size_t k = 0; k < n; ++k) {
        size_t p = k;
        for (size_t i = k + 1; i < n; ++i)
            if (std::fabs(M[i][k]) > std::fabs(M[p][k])) p = i;
        std::swap(M[k], M[p]);
        std::swap(b[k], b[p]);
        for (size_t i = k + 1; i < n; ++i) {
            const double f = M[i][k] / M[k][k];
            for (size_t j = k; j < n; ++j)
                M[i][j] -= f * M[k][j];
            b[i] -= f * b[k];
        }
    }
    std::vector<double> x(n);
    for (size_t k = n; k-- > 0;) {
        double s = b[k];
        for (size_t j = k + 1; j < n; ++j)
            s -= M[k][j] * x[j];
        x[k] = s / M[k][k];
    }
    return x;
}

inline Matrix transposed(const Matrix &M) {
    Matrix T(M.empty() ? 0 : M[0].size(), std::vector<double>(M.size()));
    for (size_t i = 0; i < M.size(); ++i)
        for (size_t j = 0; j < M[i].size(); ++j)
            T[j][i] = M[i][j];
    return T;
}

// The problem's matrix, dense (rows x columns).
inline Matrix denseA(NVRAprob prob) {
    const nvra::Model &m = prob->model;
    Matrix A(m.numRows(), std::vector<double>(m.numCols(), 0.0));
    for (int i = 0; i < m.numRows(); ++i)
        for (int64_t p = m.A.start[i]; p < m.A.start[i + 1]; ++p)
            A[i][m.A.index[p]] = m.A.value[p];
    return A;
}

// The ends of every row's activity and the bounds of every column.
struct Ends {
    std::vector<double> rowLo, rowUp, colLo, colUp;
};
inline Ends endsOf(NVRAprob prob) {
    const nvra::Model &m = prob->model;
    Ends e;
    for (int i = 0; i < m.numRows(); ++i) {
        double lo = -1e20, up = 1e20;
        const double rhs = m.rhs[i];
        switch (m.rowtype[i]) {
        case 'L':
            up = rhs;
            break;
        case 'G':
            lo = rhs;
            break;
        case 'E':
            lo = up = rhs;
            break;
        case 'R':
            lo = rhs - m.range[i], up = rhs;
            break;
        default:
            break;
        }
        e.rowLo.push_back(lo);
        e.rowUp.push_back(up);
    }
    e.colLo = m.lb;
    e.colUp = m.ub;
    return e;
}

// Whether the linear system {rowLo <= A x <= rowUp, colLo <= x <= colUp} has a solution, asked of
// the engine directly.
inline bool feasible(const Matrix &A, const Ends &e) {
    void *h = Highs_create();
    std::unique_ptr<void, void (*)(void *)> guard(h, Highs_destroy);
    Highs_setBoolOptionValue(h, "output_flag", 0);
    const int nr = static_cast<int>(A.size()), nc = static_cast<int>(e.colLo.size());
    std::vector<HighsInt> start{0}, index;
    std::vector<double> value;
    for (const auto &row : A) {
        for (int j = 0; j < nc; ++j)
            if (row[j] != 0.0) index.push_back(j), value.push_back(row[j]);
        start.push_back(static_cast<HighsInt>(index.size()));
    }
    std::vector<double> cost(nc, 0.0);
    Highs_passLp(h, nc, nr, static_cast<HighsInt>(index.size()), kHighsMatrixFormatRowwise,
                 kHighsObjSenseMinimize, 0.0, cost.data(), e.colLo.data(), e.colUp.data(),
                 e.rowLo.data(), e.rowUp.data(), start.data(), index.data(), value.data());
    Highs_run(h);
    return Highs_getModelStatus(h) == kHighsModelStatusOptimal;
}

// Farkas test of an infeasibility certificate: multipliers y (rows) and z (bounds) with
// A'y + z = 0 whose selected ends (upper for positive, lower for negative) sum to a negative
// number, every selected end finite.
inline void expectCertificate(const Matrix &A, const Ends &e, const std::vector<double> &y,
                              const std::vector<double> &z) {
    const size_t nc = e.colLo.size();
    double sum = 0.0;
    for (size_t i = 0; i < y.size(); ++i) {
        if (y[i] == 0.0) continue;
        const double end = y[i] > 0 ? e.rowUp[i] : e.rowLo[i];
        ASSERT_LT(std::fabs(end), 1e20) << "row " << i << " multiplier selects an infinite end";
        sum += y[i] * end;
    }
    for (size_t j = 0; j < nc; ++j) {
        double col = z[j];
        for (size_t i = 0; i < y.size(); ++i)
            col += A[i][j] * y[i];
        EXPECT_NEAR(col, 0.0, 1e-7) << "column " << j;
        if (z[j] == 0.0) continue;
        const double end = z[j] > 0 ? e.colUp[j] : e.colLo[j];
        ASSERT_LT(std::fabs(end), 1e20) << "column " << j << " multiplier selects an infinite end";
        sum += z[j] * end;
    }
    EXPECT_LT(sum, -1e-9);
}

class AnalysisTest : public SolveTest {
  protected:
    void SetUp() override {
        SolveTest::SetUp();
        setInt(prob, NVRA_CONTROL_OUTPUTLOG, 0);
    }
    std::vector<int> basisRows() {
        std::vector<int> r(prob->model.numRows());
        EXPECT_EQ(NVRAgetbasis(prob, r.data(), nullptr), 0) << lastError(prob);
        return r;
    }
    std::vector<int> basisCols() {
        std::vector<int> c(prob->model.numCols());
        EXPECT_EQ(NVRAgetbasis(prob, nullptr, c.data()), 0) << lastError(prob);
        return c;
    }
    int64_t intAttr(int id) {
        int64_t v = -1;
        EXPECT_EQ(NVRAgetintattrib64(prob, id, &v), 0) << lastError(prob);
        return v;
    }
    double dblAttr(int id) {
        double v = 0;
        EXPECT_EQ(NVRAgetdblattrib(prob, id, &v), 0) << lastError(prob);
        return v;
    }
};

} // namespace analysistest
