// The successive linear programming branch and bound (nlp_solver = 1 with integer columns):
// optima checked by enumeration, infeasible models, node and solution limits. The node
// callbacks and their out-values are tested through the module (tests/nonlinear/test_nl_branch.py).
#include "nl_test_util.h"

#include <cmath>
#include <limits>

namespace {

using nltest::NlTest;

// min (x0 - 2.7)^2 + (x1 - 1.6)^2 + (x2 - 2.2)^2 - x0 x1 / 4
// s.t. exp(0.5 x0) + x1^2 + x2^2 <= 12, x0 + x1 + x2 >= 3, x integer in [0, 4]: convex rows,
// a convex objective (its Hessian is positive definite), so the exhausted tree is the optimum.
class Branch : public NlTest {
  protected:
    void SetUp() override {
        NlTest::SetUp();
        std::vector<double> lb(3, 0.0), ub(3, 4.0);
        ASSERT_EQ(NVRAaddcols(p, 3, 0, nullptr, nullptr, nullptr, nullptr, lb.data(), ub.data()),
                  0);
        const std::vector<int> cols{0, 1, 2};
        ASSERT_EQ(NVRAchgcoltype(p, 3, cols.data(), "III"), 0);
        addRow('L', 12, {}, {});
        addRow('G', 3, {0, 1, 2}, {1, 1, 1});
        ASSERT_EQ(NVRAnlpchgformulastr(p, 0, "exp(0.5 * C0) + C1 ^ 2 + C2 ^ 2"), 0) << err();
        ASSERT_EQ(NVRAnlpchgformulastr(p, NSLP_OBJECTIVE,
                                       "(C0 - 2.7) ^ 2 + (C1 - 1.6) ^ 2 + (C2 - 2.2) ^ 2 - "
                                       "C0 * C1 / 4"),
                  0)
            << err();
        ASSERT_EQ(NSLPsetintcontrol(nl, 12300, 1), 0);
    }
    static double objective(int a, int b, int c) {
        return (a - 2.7) * (a - 2.7) + (b - 1.6) * (b - 1.6) + (c - 2.2) * (c - 2.2) - a * b / 4.0;
    }
    static double enumerated() {
        double best = std::numeric_limits<double>::infinity();
        for (int a = 0; a <= 4; ++a)
            for (int b = 0; b <= 4; ++b)
                for (int c = 0; c <= 4; ++c)
                    if (std::exp(0.5 * a) + b * b + c * c <= 12 && a + b + c >= 3)
                        best = std::min(best, objective(a, b, c));
        return best;
    }
    struct Outcome {
        int solve = -1, sol = -1, nlp = -1, mip = -1, stop = -1, nodes = -1;
        double obj = NAN;
    };
    Outcome optimize() {
        Outcome o;
        EXPECT_EQ(NVRAoptimize(p, "", &o.solve, &o.sol), 0) << err();
        EXPECT_EQ(NSLPgetintattrib(nl, NSLP_ATTR_STATUS, &o.nlp), 0);
        EXPECT_EQ(NVRAgetintattrib(p, 1011, &o.mip), 0);
        EXPECT_EQ(NVRAgetintattrib(p, 1508, &o.stop), 0);
        EXPECT_EQ(NVRAgetintattrib(p, 1507, &o.nodes), 0);
        EXPECT_EQ(NVRAgetdblattrib(p, 2500, &o.obj), 0);
        return o;
    }
};

TEST_F(Branch, ExhaustedTreeFindsTheEnumeratedOptimum) {
    const Outcome o = optimize();
    EXPECT_EQ(o.solve, NVRA_SOLVESTATUS_COMPLETED);
    EXPECT_EQ(o.sol, NVRA_SOLSTATUS_FEASIBLE); // no bound is claimed
    EXPECT_EQ(o.nlp, NSLP_STATUS_LOCALLY_OPTIMAL);
    EXPECT_EQ(o.mip, NVRA_MIP_SOLUTION);
    EXPECT_GT(o.nodes, 1);
    EXPECT_NEAR(o.obj, enumerated(), 1e-7);
    double x[3];
    ASSERT_EQ(NVRAgetsolution(p, nullptr, x, 0, 2), 0) << err();
    for (double v : x)
        EXPECT_EQ(v, std::round(v));
    EXPECT_NEAR(objective(int(x[0]), int(x[1]), int(x[2])), o.obj, 1e-9);
    double bound = 0;
    ASSERT_EQ(NVRAgetdblattrib(p, 2501, &bound), 0);
    EXPECT_TRUE(std::isinf(bound) || std::fabs(bound) >= 1e20);
    // Bonmin's route (the interior-point solver at the nodes) agrees.
    ASSERT_EQ(NSLPsetintcontrol(nl, 12300, 2), 0);
    EXPECT_NEAR(optimize().obj, o.obj, 1e-6);
}

TEST_F(Branch, InfeasibleIntegersEndInfeasible) {
    // x0 + x1 + x2 = 2.5 has no integer solution, though every relaxation is feasible.
    const int row = 1;
    const double rhs = 2.5;
    ASSERT_EQ(NVRAchgrhs(p, 1, &row, &rhs), 0);
    ASSERT_EQ(NVRAchgrowtype(p, 1, &row, "E"), 0);
    const Outcome o = optimize();
    EXPECT_EQ(o.solve, NVRA_SOLVESTATUS_COMPLETED);
    EXPECT_EQ(o.sol, NVRA_SOLSTATUS_INFEASIBLE);
    EXPECT_EQ(o.mip, NVRA_MIP_INFEAS);
    EXPECT_EQ(o.nlp, NSLP_STATUS_LOCALLY_INFEASIBLE);
    EXPECT_GE(o.nodes, 3);
}

TEST_F(Branch, NodeAndSolutionLimitsStopWithTheIncumbent) {
    ASSERT_EQ(NVRAsetintcontrol(p, 8505, 1), 0); // maxmipsols
    Outcome o = optimize();
    EXPECT_EQ(o.solve, NVRA_SOLVESTATUS_STOPPED);
    EXPECT_EQ(o.stop, NVRA_STOP_NODELIMIT);
    EXPECT_EQ(o.sol, NVRA_SOLSTATUS_FEASIBLE);
    EXPECT_EQ(o.nlp, NSLP_STATUS_UNFINISHED);
    EXPECT_GE(o.obj, enumerated() - 1e-9);
    ASSERT_EQ(NVRAsetintcontrol(p, 8505, 1000), 0);
    ASSERT_EQ(NVRAsetintcontrol(p, 8504, 1), 0); // maxnodes: the root only, fractional
    o = optimize();
    EXPECT_EQ(o.solve, NVRA_SOLVESTATUS_STOPPED);
    EXPECT_EQ(o.stop, NVRA_STOP_NODELIMIT);
    EXPECT_EQ(o.nodes, 1);
    EXPECT_EQ(o.sol, NVRA_SOLSTATUS_NOTFOUND);
}

} // namespace
