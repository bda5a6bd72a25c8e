// Evaluation of formulas: values against an independent evaluation of the tokens, exact first
// and second derivatives (the engines' evaluator) against finite differences on random formulas,
// domain errors, user functions with and without derivatives, and the derivative conventions at
// points where a function has none.
#include "nl_test_util.h"

#include "nonlinear/nlprob.h"

#include <algorithm>
#include <map>

namespace {

using nltest::NlTest;
using nltest::RandomFormulas;
using nltest::Tokens;
using nvra::nl::EvalFailure;
using nvra::nl::Evaluator;
using nvra::nl::Workspace;

constexpr int kCols = 5;

class Eval : public NlTest {
  protected:
    void SetUp() override {
        NlTest::SetUp();
        freeColumns(kCols);
        emptyRows(3);
    }
    std::vector<double> randomPoint(std::mt19937 &rng) {
        std::uniform_real_distribution<double> u(-2, 2);
        std::vector<double> x(kCols);
        for (double &v : x)
            v = u(rng);
        return x;
    }
    Evaluator build() {
        Evaluator ev;
        ev.build(nl->data, kCols, 6.0554544523933395e-06, nullptr);
        return ev;
    }
};

TEST_F(Eval, ValuesAgreeWithAnIndependentEvaluation) {
    RandomFormulas gen(11, kCols, false);
    for (int trial = 0; trial < 400; ++trial) {
        const Tokens f = gen.next(5);
        const std::vector<double> x = randomPoint(gen.rng());
        setPoint(x);
        ASSERT_EQ(setCoef(1, NSLP_NOCOLUMN, f, -1.5), 0) << err();
        const double want = -1.5 * nltest::reference(f, x);
        EXPECT_NEAR(evaluate(1, NSLP_NOCOLUMN), want, 1e-12 * (1 + std::fabs(want))) << trial;
        Tokens g = f;
        g.end();
        double v = 0;
        ASSERT_EQ(NSLPevaluateformula(nl, 1, g.type.data(), g.value.data(), &v), 0) << err();
        EXPECT_NEAR(v, want / -1.5, 1e-12 * (1 + std::fabs(want)));
    }
}

// The Jacobian and the Hessian of the Lagrangian of random formulas in several rows, the
// objective and coefficients with a column, against central differences of the values and of
// the exact gradients; entries outside the structures must be zero.
TEST_F(Eval, DerivativesAgreeWithFiniteDifferences) {
    RandomFormulas gen(23, kCols, true);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int trial = 0; trial < 60; ++trial) {
        SCOPED_TRACE(trial);
        ASSERT_EQ(NSLPloadcoefs(nl, 0, nullptr, nullptr, nullptr, nullptr, 1, nullptr, nullptr), 0);
        const int rows[] = {NSLP_OBJECTIVE, 0, 0, 2};
        const int cols[] = {NSLP_NOCOLUMN, 3, NSLP_NOCOLUMN, 1};
        for (int k = 0; k < 4; ++k)
            ASSERT_EQ(setCoef(rows[k], cols[k], gen.next(4), u(gen.rng()) + 2), 0) << err();
        const Evaluator ev = build();
        Workspace ws = ev.workspace();
        const int nf = ev.functions();
        ASSERT_EQ(nf, 3);
        const std::vector<double> x = randomPoint(gen.rng());
        std::vector<double> lambda = {u(gen.rng()), 0.0, u(gen.rng())};
        const double sigma = u(gen.rng());
        EvalFailure fail;
        auto jacobian = [&](const std::vector<double> &at) { // dense, by function
            std::vector<double> f(nf), jac(ev.jacobianCols().size());
            EXPECT_TRUE(ev.jacobian(at.data(), f.data(), jac.data(), ws, fail)) << fail.text();
            std::vector<std::vector<double>> dense(nf, std::vector<double>(kCols, 0.0));
            for (int k = 0; k < nf; ++k)
                for (int64_t e = ev.jacobianStart()[k]; e < ev.jacobianStart()[k + 1]; ++e)
                    dense[k][ev.jacobianCols()[e]] = jac[e];
            return dense;
        };
        auto values = [&](const std::vector<double> &at) {
            std::vector<double> f(nf);
            EXPECT_TRUE(ev.values(at.data(), f.data(), ws, fail)) << fail.text();
            return f;
        };
        auto lagrangianGradient = [&](const std::vector<double> &at) {
            const auto J = jacobian(at);
            std::vector<double> g(kCols, 0.0);
            for (int k = 0; k < nf; ++k) {
                const int r = ev.functionRow(k);
                const double w = r == NSLP_OBJECTIVE ? sigma : lambda[r];
                for (int j = 0; j < kCols; ++j)
                    g[j] += w * J[k][j];
            }
            return g;
        };
        const auto J = jacobian(x);
        std::vector<double> H(ev.hessianRows().size());
        ASSERT_TRUE(ev.hessian(x.data(), sigma, lambda.data(), H.data(), ws, fail)) << fail.text();
        std::map<std::pair<int, int>, double> hess;
        for (size_t e = 0; e < H.size(); ++e)
            hess[{ev.hessianRows()[e], ev.hessianCols()[e]}] = H[e];
        for (int j = 0; j < kCols; ++j) {
            const double h = 1e-6 * std::max(1.0, std::fabs(x[j]));
            std::vector<double> xp = x, xm = x;
            xp[j] += h;
            xm[j] -= h;
            const auto fp = values(xp), fm = values(xm);
            for (int k = 0; k < nf; ++k) {
                const double fd = (fp[k] - fm[k]) / (2 * h);
                EXPECT_NEAR(J[k][j], fd, 1e-6 * (1 + std::fabs(fd)))
                    << "function " << k << " col " << j;
            }
            const auto gp = lagrangianGradient(xp), gm = lagrangianGradient(xm);
            for (int i = j; i < kCols; ++i) {
                const double fd = (gp[i] - gm[i]) / (2 * h);
                const auto it = hess.find({i, j});
                const double exact = it == hess.end() ? 0.0 : it->second;
                EXPECT_NEAR(exact, fd, 1e-5 * (1 + std::fabs(fd))) << "H(" << i << "," << j << ")";
            }
        }
    }
}

TEST_F(Eval, DomainErrorsNameTheOperation) {
    setPoint({-1, 2, 0, 0, 0});
    ASSERT_EQ(setCoef(0, NSLP_NOCOLUMN, Tokens().rb().col(0).fn(NSLP_IFUN_LN)), 0);
    ASSERT_EQ(setCoef(1, 4, Tokens().col(1).col(2).op(NSLP_OP_DIVIDE)), 0);
    double v = 0;
    EXPECT_EQ(NSLPevaluatecoef(nl, 0, NSLP_NOCOLUMN, &v), NVRA_RC_ENGINE);
    EXPECT_NE(
        err().find("the formula of row 0: logarithm of a value at or below 0 (function 'ln')"),
        std::string::npos)
        << err();
    EXPECT_EQ(NSLPevaluatecoef(nl, 1, 4, &v), NVRA_RC_ENGINE);
    EXPECT_NE(err().find("the coefficient of row 1 and column 4: division by zero (operator '/')"),
              std::string::npos)
        << err();
    // The value of sqrt at 0 exists, its derivative does not.
    ASSERT_EQ(setCoef(2, NSLP_NOCOLUMN, Tokens().rb().col(2).fn(NSLP_IFUN_SQRT)), 0);
    EXPECT_DOUBLE_EQ(evaluate(2, NSLP_NOCOLUMN), 0.0);
    const int two[] = {0, 1}, cols[] = {NSLP_NOCOLUMN, 4};
    ASSERT_EQ(NSLPdelcoefs(nl, 2, two, cols), 0);
    const Evaluator ev = build();
    Workspace ws = ev.workspace();
    const std::vector<double> x = {-1, 2, 0, 0, 0};
    std::vector<double> f(1), jac(1);
    EvalFailure fail;
    EXPECT_FALSE(ev.jacobian(x.data(), f.data(), jac.data(), ws, fail));
    EXPECT_EQ(fail.text(), "the formula of row 2: derivative of the square root at 0 (infinite) "
                           "(function 'sqrt')");
}

TEST_F(Eval, DerivativeConventionsWhereNoneExists) {
    setPoint({0, 1, 1, 0, 0});
    // abs(x0) at 0 (right derivative 1), min(x1, x2) at a tie (the first), pwl(x0) at its
    // breakpoint 0 (the segment to the right, slope 3), sign(x1) (0).
    ASSERT_EQ(setCoef(0, NSLP_NOCOLUMN, Tokens().rb().col(0).fn(NSLP_IFUN_ABS)), 0);
    ASSERT_EQ(setCoef(1, NSLP_NOCOLUMN, Tokens().rb().col(2).col(1).fn(NSLP_IFUN_MIN)), 0);
    ASSERT_EQ(setCoef(2, NSLP_NOCOLUMN,
                      Tokens()
                          .rb()
                          .con(3)
                          .con(1)
                          .con(0)
                          .con(0)
                          .con(-1)
                          .con(-1)
                          .col(0)
                          .fn(NSLP_IFUN_PWL)
                          .rb()
                          .col(1)
                          .fn(NSLP_IFUN_SIGN)
                          .op(NSLP_OP_PLUS)),
              0)
        << err();
    const Evaluator ev = build();
    Workspace ws = ev.workspace();
    std::vector<double> f(3), jac(ev.jacobianCols().size());
    EvalFailure fail;
    const std::vector<double> x = {0, 1, 1, 0, 0};
    ASSERT_TRUE(ev.jacobian(x.data(), f.data(), jac.data(), ws, fail)) << fail.text();
    EXPECT_EQ(f, (std::vector<double>{0, 1, 1}));
    ASSERT_EQ(ev.jacobianCols(), (std::vector<int32_t>{0, 1, 2, 0, 1}));
    EXPECT_EQ(jac, (std::vector<double>{1, 1, 0, 3, 0}));
}

// f(a, b) = a * b + sin(a), value only (central differences), failing for a < -1 through
// NSLPsetfunctionerror; g(a, b) = a^2 * b with derivatives, NaN for a > 10.
double fValue(const double *a, void *data) {
    if (a[0] < -1) NSLPsetfunctionerror(static_cast<NSLPprob>(data));
    return a[0] * a[1] + std::sin(a[0]);
}
int gDerivs(const double *a, const double *deltas, double *value, double *derivs, void *) {
    *value = a[0] > 10 ? NAN : a[0] * a[0] * a[1];
    if (deltas) {
        if (deltas[0] != 0) derivs[0] = 2 * a[0] * a[1];
        if (deltas[1] != 0) derivs[1] = a[0] * a[0];
    }
    return 0;
}

TEST_F(Eval, UserFunctionsWithAndWithoutDerivatives) {
    int f = 0, g = 0;
    ASSERT_EQ(NSLPadduserfunction(nl, "f", NSLP_USERFUNC_VALUE, 2, 1, 0,
                                  reinterpret_cast<void (*)(void)>(fValue), nl, &f),
              0);
    ASSERT_EQ(NSLPadduserfunction(nl, "g", NSLP_USERFUNC_DERIVS, 2, 1, 0,
                                  reinterpret_cast<void (*)(void)>(gDerivs), nullptr, &g),
              0);
    EXPECT_EQ(NSLPadduserfunction(nl, "h", 3, 1, 1, 0, reinterpret_cast<void (*)(void)>(fValue),
                                  nullptr, &g),
              NVRA_RC_INVALID);
    // f(x0, x1 * x2) + g(x1, x0); arguments in parsed form from the last to the first.
    ASSERT_EQ(NSLPchgccoef(nl, 0, NSLP_NOCOLUMN, nullptr, "f(C0, C1 * C2) + g(C1, C0)"), 0)
        << err();
    const Tokens want = Tokens()
                            .rb()
                            .col(1)
                            .col(2)
                            .op(NSLP_OP_MULTIPLY)
                            .col(0)
                            .add(NSLP_TOK_FUN, f)
                            .rb()
                            .col(0)
                            .col(1)
                            .add(NSLP_TOK_FUN, g)
                            .op(NSLP_OP_PLUS)
                            .end();
    EXPECT_EQ(coef(0, NSLP_NOCOLUMN), want);
    EXPECT_EQ(text(0, NSLP_NOCOLUMN), "f(C0, C1 * C2) + g(C1, C0)");
    EXPECT_EQ(NSLPchgccoef(nl, 1, NSLP_NOCOLUMN, nullptr, "f(C0)"), NVRA_RC_INVALID);
    EXPECT_NE(err().find("user function 'f' takes 2 arguments, not 1"), std::string::npos);

    const std::vector<double> x = {0.7, -1.3, 0.4, 0, 0};
    setPoint(x);
    const double a = x[0], b = x[1] * x[2];
    EXPECT_DOUBLE_EQ(evaluate(0, NSLP_NOCOLUMN), a * b + std::sin(a) + x[1] * x[1] * x[0]);
    const Evaluator ev = build();
    Workspace ws = ev.workspace();
    std::vector<double> fv(1), jac(ev.jacobianCols().size()), H(ev.hessianRows().size());
    EvalFailure fail;
    ASSERT_TRUE(ev.jacobian(x.data(), fv.data(), jac.data(), ws, fail)) << fail.text();
    ASSERT_EQ(ev.jacobianCols(), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_NEAR(jac[0], b + std::cos(a) + x[1] * x[1], 1e-8);
    EXPECT_NEAR(jac[1], a * x[2] + 2 * x[1] * x[0], 1e-8);
    EXPECT_NEAR(jac[2], a * x[1], 1e-8);
    const double lambda[] = {2.0, 0, 0};
    ASSERT_TRUE(ev.hessian(x.data(), 0.0, lambda, H.data(), ws, fail)) << fail.text();
    std::map<std::pair<int, int>, double> h;
    for (size_t e = 0; e < H.size(); ++e)
        h[{ev.hessianRows()[e], ev.hessianCols()[e]}] = H[e];
    auto at = [&](int i, int j) { return h[{i, j}]; };
    EXPECT_NEAR(at(0, 0), 2 * -std::sin(a), 1e-4);
    EXPECT_NEAR(at(1, 0), 2 * (x[2] + 2 * x[1]), 1e-4);
    EXPECT_NEAR(at(2, 0), 2 * x[1], 1e-4);
    EXPECT_NEAR(at(1, 1), 2 * 2 * x[0], 1e-4);
    EXPECT_NEAR(at(2, 1), 2 * a, 1e-4);
    EXPECT_NEAR(at(2, 2), 0.0, 1e-4);

    double v = 0;
    setPoint({-2, 1, 1, 0, 0});
    EXPECT_EQ(NSLPevaluatecoef(nl, 0, NSLP_NOCOLUMN, &v), NVRA_RC_ENGINE);
    EXPECT_NE(err().find("(user function 'f')"), std::string::npos) << err();
    setPoint({1, 11, 1, 0, 0});
    EXPECT_EQ(NSLPevaluatecoef(nl, 0, NSLP_NOCOLUMN, &v), NVRA_RC_ENGINE);
    EXPECT_NE(err().find("(user function 'g')"), std::string::npos) << err();
}

} // namespace
