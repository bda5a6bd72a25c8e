// Rays and sensitivity: certificates checked against the problem's data, ranges checked by
// re-solving just inside and just outside them, dual ranges by the objective's derivatives.
#include "test_analysis_util.h"

namespace {

using namespace analysistest;

void expectPrimalRay(NVRAprob prob, int sense) {
    std::vector<double> d(prob->model.numCols());
    int has = 0;
    ASSERT_EQ(NVRAgetprimalray(prob, d.data(), &has), 0) << lastError(prob);
    ASSERT_EQ(has, 1);
    const Matrix A = denseA(prob);
    const Ends e = endsOf(prob);
    const nvra::Model &m = prob->model;
    double gain = 0.0;
    for (size_t j = 0; j < d.size(); ++j) {
        gain += m.cost[j] * d[j];
        if (e.colLo[j] > -1e20) {
            EXPECT_GE(d[j], -1e-9);
        }
        if (e.colUp[j] < 1e20) {
            EXPECT_LE(d[j], 1e-9);
        }
    }
    for (size_t i = 0; i < A.size(); ++i) {
        double move = 0.0;
        for (size_t j = 0; j < d.size(); ++j)
            move += A[i][j] * d[j];
        if (e.rowLo[i] > -1e20) {
            EXPECT_GE(move, -1e-9) << "row " << i;
        }
        if (e.rowUp[i] < 1e20) {
            EXPECT_LE(move, 1e-9) << "row " << i;
        }
    }
    EXPECT_LT(gain * sense, -1e-9);
}

TEST_F(AnalysisTest, PrimalRayIsAnImprovingDirection) {
    b.col(0.0, 1e20, -1.0);
    b.col(0.0, 5.0, -2.0);
    b.col(-1e20, 1e20, 0.0);
    b.row('G', 1.0, {{0, 1.0}, {1, -1.0}});
    b.row('E', 0.0, {{0, 1.0}, {2, -2.0}});
    ASSERT_EQ(optimize(), 0);
    ASSERT_EQ(result(prob).lpStatus, NVRA_LP_UNBOUNDED);
    expectPrimalRay(prob, 1);
    int seq = -2;
    ASSERT_EQ(NVRAgetunbvec(prob, &seq), 0) << lastError(prob);
    ASSERT_GE(seq, 0);
    // The entry named is non-basic.
    std::vector<int> rows = basisRows(), cols = basisCols();
    const int status = seq < 2 ? rows[seq] : cols[seq - 2];
    EXPECT_NE(status, NVRA_BASIS_BASIC);
    // The same problem maximising the negated objective.
    for (int j = 0; j < 3; ++j)
        b.cost(j, -prob->model.cost[j]);
    b.sense(-1);
    ASSERT_EQ(optimize(), 0);
    ASSERT_EQ(result(prob).lpStatus, NVRA_LP_UNBOUNDED);
    expectPrimalRay(prob, -1);
    // An optimal problem has no unbounded entry.
    b.bounds(0, 0.0, 10.0);
    ASSERT_EQ(optimize(), 0);
    ASSERT_EQ(NVRAgetunbvec(prob, &seq), 0);
    EXPECT_EQ(seq, -1);
}

// A non-degenerate LP with a unique optimal basis:
// min -3x - 2y - z s.t. x + y + z <= 10, x + 3y <= 15, 2x + z <= 12, 0 <= x,y,z <= 8.
void buildRangingLp(Builder &b) {
    b.col(0.0, 8.0, -3.0);
    b.col(0.0, 8.0, -2.0);
    b.col(0.0, 8.0, -1.0);
    b.row('L', 10.0, {{0, 1.0}, {1, 1.0}, {2, 1.0}});
    b.row('L', 15.0, {{0, 1.0}, {1, 3.0}});
    b.row('L', 12.0, {{0, 2.0}, {2, 1.0}});
}

class RangingTest : public AnalysisTest {
  protected:
    // The outcome of a solve: its status and basis.
    struct Basis {
        int64_t status;
        std::vector<int> rows, cols;
        bool operator==(const Basis &o) const {
            return status == o.status && rows == o.rows && cols == o.cols;
        }
    };
    Basis solvedBasis() {
        EXPECT_EQ(optimize("p"), 0);
        const int64_t status = result(prob).lpStatus;
        if (status != NVRA_LP_OPTIMAL) return {status, {}, {}};
        return {status, basisRows(), basisCols()};
    }
    // Sets a value, re-solves, compares the basis with the original one, restores the value.
    void probe(const std::function<void(double)> &set, double original, double end, bool finite,
               const Basis &base, const char *what) {
        if (!finite) return;
        const double step = 1e-3 * (1.0 + std::fabs(end));
        const double inward = end < original ? step : -step;
        set(end + inward);
        EXPECT_TRUE(solvedBasis() == base) << what << ": inside the range at " << end + inward;
        set(end - inward);
        EXPECT_FALSE(solvedBasis() == base) << what << ": outside the range at " << end - inward;
        set(original);
    }
};

TEST_F(RangingTest, ObjectiveRangesBoundTheBasisOptimality) {
    buildRangingLp(b);
    const Basis base = solvedBasis();
    const int cols[3] = {0, 1, 2};
    double lo[3], up[3];
    ASSERT_EQ(NVRAobjsa(prob, 3, cols, lo, up), 0) << lastError(prob);
    for (int j = 0; j < 3; ++j) {
        const double c = prob->model.cost[j];
        EXPECT_LE(lo[j], c);
        EXPECT_GE(up[j], c);
        auto set = [&](double v) { b.cost(j, v); };
        probe(set, c, lo[j], lo[j] > -1e20, base, "cost lower end");
        probe(set, c, up[j], up[j] < 1e20, base, "cost upper end");
    }
}

TEST_F(RangingTest, RhsAndBoundRangesBoundTheBasisFeasibility) {
    buildRangingLp(b);
    const Basis base = solvedBasis();
    const int rows[3] = {0, 1, 2};
    double lo[3], up[3];
    ASSERT_EQ(NVRArhssa(prob, 3, rows, lo, up), 0) << lastError(prob);
    for (int i = 0; i < 3; ++i) {
        const double rhs = prob->model.rhs[i];
        auto set = [&](double v) { b.rhs(i, v); };
        probe(set, rhs, lo[i], lo[i] > -1e20, base, "rhs lower end");
        probe(set, rhs, up[i], up[i] < 1e20, base, "rhs upper end");
    }
    ASSERT_TRUE(solvedBasis() == base);
    const int cols[3] = {0, 1, 2};
    double lblo[3], lbup[3], ublo[3], ubup[3];
    ASSERT_EQ(NVRAbndsa(prob, 3, cols, lblo, lbup, ublo, ubup), 0) << lastError(prob);
    for (int j = 0; j < 3; ++j) {
        const double lb = prob->model.lb[j], ub = prob->model.ub[j];
        auto setLb = [&](double v) { b.bounds(j, v, ub); };
        auto setUb = [&](double v) { b.bounds(j, lb, v); };
        // Only the ends that the basis reaches: moving a bound past the column's value changes
        // which bound is active, not the basis in every case; the active bound's range is exact.
        const int status = base.cols[j];
        if (status == NVRA_BASIS_LOWER) {
            probe(setLb, lb, lblo[j], lblo[j] > -1e20, base, "lower bound lower end");
            probe(setLb, lb, lbup[j], lbup[j] < ub, base, "lower bound upper end");
        }
        if (status == NVRA_BASIS_UPPER) {
            probe(setUb, ub, ublo[j], ublo[j] > lb, base, "upper bound lower end");
            probe(setUb, ub, ubup[j], ubup[j] < 1e20, base, "upper bound upper end");
        }
        if (status == NVRA_BASIS_BASIC) {
            const double x = solution(prob)[j];
            EXPECT_NEAR(lbup[j], x, 1e-9);
            EXPECT_NEAR(ublo[j], x, 1e-9);
        }
    }
}

TEST_F(AnalysisTest, DualRangesAreTheObjectivesOneSidedDerivatives) {
    // Degenerate at the optimum: three rows meet at (2, 2) in two dimensions.
    b.col(0.0, 1e20, -1.0);
    b.col(0.0, 1e20, -1.0);
    b.row('L', 4.0, {{0, 1.0}, {1, 1.0}});
    b.row('L', 2.0, {{0, 1.0}});
    b.row('L', 2.0, {{1, 1.0}});
    ASSERT_EQ(optimize(), 0);
    const int rows[3] = {0, 1, 2};
    double lo[3], up[3];
    ASSERT_EQ(NVRAestimaterowdualranges(prob, 3, rows, 100, lo, up), 0) << lastError(prob);
    const double base = result(prob).objVal, eps = 1e-4;
    for (int i = 0; i < 3; ++i) {
        const double rhs = prob->model.rhs[i];
        b.rhs(i, rhs + eps);
        ASSERT_EQ(optimize(), 0);
        const double right = (result(prob).objVal - base) / eps;
        b.rhs(i, rhs - eps);
        ASSERT_EQ(optimize(), 0);
        const double left = (base - result(prob).objVal) / eps;
        b.rhs(i, rhs);
        EXPECT_NEAR(lo[i], std::min(left, right), 1e-6) << "row " << i;
        EXPECT_NEAR(up[i], std::max(left, right), 1e-6) << "row " << i;
    }
    EXPECT_LT(lo[0], up[0]); // degenerate: the dual of row 0 is not unique
}

} // namespace
