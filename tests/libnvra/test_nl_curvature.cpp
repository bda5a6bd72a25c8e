// Curvature of formulas: the verdicts of a table of small formulas against their known
// curvature, and every verdict on random formulas checked against the definition at random pairs
// of points of the box (a verdict the formula contradicts is a false claim).
#include "nl_test_util.h"

#include "nonlinear/curvature.h"
#include "nonlinear/evaluator.h"
#include "nonlinear/nlprob.h"

#include <array>
#include <random>

namespace {

using nltest::NlTest;
using nltest::RandomFormulas;
using nvra::nl::Curvature;
using nvra::nl::EvalFailure;
using nvra::nl::Evaluator;

constexpr int kCols = 3;
constexpr double kFree = 1e20;

class CurvatureTest : public NlTest {
  protected:
    void SetUp() override {
        NlTest::SetUp();
        freeColumns(kCols);
        emptyRows(1);
        const char names[] = "x\0y\0z";
        ASSERT_EQ(NVRAaddnames(p, 2, names, 0, kCols - 1), 0) << err();
    }
    void setBox(const std::array<double, 2 * kCols> &box) {
        for (int j = 0; j < kCols; ++j) {
            lower_[j] = box[2 * j];
            upper_[j] = box[2 * j + 1];
        }
    }
    Evaluator build() {
        Evaluator ev;
        ev.build(nl->data, kCols, 6.0554544523933395e-06, nullptr);
        return ev;
    }
    // The verdict on the formula of row 0 given as text.
    Curvature curvatureOf(const char *text) {
        const double one = 1.0;
        EXPECT_EQ(NSLPchgccoef(nl, 0, NSLP_NOCOLUMN, &one, text), 0) << err();
        const Evaluator ev = build();
        return nvra::nl::functionCurvature(ev, 0, lower_.data(), upper_.data(), 1e-9);
    }
    std::array<double, kCols> lower_{}, upper_{};
};

struct Case {
    const char *formula;
    std::array<double, 2 * kCols> box; // x lower, x upper, y lower, y upper, z lower, z upper
    Curvature want;
};

constexpr Curvature kAffine = Curvature::Affine, kConvex = Curvature::Convex,
                    kConcave = Curvature::Concave, kUnknown = Curvature::Unknown;
constexpr std::array<double, 6> kAllFree{-kFree, kFree, -kFree, kFree, -kFree, kFree};
constexpr std::array<double, 6> box(double xl, double xu, double yl = -kFree, double yu = kFree) {
    return {xl, xu, yl, yu, -kFree, kFree};
}

TEST_F(CurvatureTest, SmallFormulasGetTheirKnownCurvature) {
    const Case cases[] = {
        {"exp(x)", kAllFree, kConvex},
        {"ln(x)", box(1, 10), kConcave},
        // Outside its domain a logarithm counts as -inf: concave on the whole line.
        {"ln(x)", kAllFree, kConcave},
        {"ln(1 - x^2)", kAllFree, kConcave},
        {"x^2", kAllFree, kConvex},
        {"x^3", box(0, 5), kConvex},
        {"x^3", box(-5, 0), kConcave},
        {"x^3", kAllFree, kUnknown},
        {"sqrt(x)", box(0, 4), kConcave},
        {"-sqrt(x)", box(0, 4), kConvex},
        {"exp(x^2)", kAllFree, kConvex},
        {"exp(-x^2)", kAllFree, kUnknown},
        {"1/x", box(1, 5), kConvex},
        {"1/x", box(0, 5), kConvex},
        {"1/x", box(-5, -1), kConcave},
        {"1/x", box(-1, 1), kUnknown},
        {"-3/(x + y)", box(1, 2, 1, 2), kConcave},
        {"x^-2", box(-2, -0.5), kConvex},
        {"x^-2", box(-1, 1), kUnknown},
        {"x * y", kAllFree, kUnknown},
        {"x * y", box(-kFree, kFree, 2, 2), kAffine},
        {"x / y", box(1, 2, 1, 2), kUnknown},
        {"x / 2 - 3 * y", kAllFree, kAffine},
        {"abs(x)", kAllFree, kConvex},
        {"abs(exp(x))", kAllFree, kConvex},
        {"abs(x^2 - 1)", kAllFree, kUnknown},
        {"exp(x) - ln(y)", kAllFree, kConvex},
        {"exp(x) + ln(y)", kAllFree, kUnknown},
        {"-2 * exp(x) + y", kAllFree, kConcave},
        // x^1.5 of a convex argument needs it non-negative: {|x| >= 1} is not convex.
        {"(x^2 - 1)^1.5", kAllFree, kUnknown},
        {"(x^2 - 1)^1.5", box(1, 3), kConvex},
        {"sqrt(x^2 + y^2)", kAllFree, kUnknown}, // convex, but beyond these rules
        {"2^x + 0.5^y", kAllFree, kConvex},
        {"max(exp(x), y, x^2)", kAllFree, kConvex},
        {"min(ln(x), y)", kAllFree, kConcave},
        {"max(ln(x), y)", kAllFree, kUnknown},
        {"sin(x)", box(0.1, 3), kConcave},
        {"sin(x)", box(3.2, 6), kConvex},
        {"sin(x)", box(-1, 1), kUnknown},
        {"cos(x)", box(-1, 1), kConcave},
        {"tan(x)", box(0, 1), kConvex},
        {"arctan(x) + erf(y)", box(0, 5, 0, 5), kConcave},
        {"erfc(x)", box(0, 5), kConvex},
        {"arcsin(x)", box(0, 1), kConvex},
        {"arcsin(x)", box(0, 2), kUnknown},
        {"sign(x) * y", box(1, 2), kAffine},
        {"sign(x)", kAllFree, kUnknown},
        {"exp(ln(x))", box(1, 2), kUnknown},
        {"1 / ln(x)", box(2, 10), kConvex},
        {"pwl(x, -1, 1, 0, 0, 2, 4)", kAllFree, kConvex},
        {"pwl(x, -1, -1, 0, 0, 2, 1)", kAllFree, kConcave},
        {"pwl(x, 0, 0, 0, 1, 2, 3)", kAllFree, kUnknown}, // a jump at 0
        {"exp(pwl(x, -1, 1, 0, 0, 2, 4))", kAllFree, kConvex},
        // Quadratic terms as formulas write them are judged by their matrix together.
        {"3 * (x * x) - 2 * (x * y) + 5 * (y * y)", kAllFree, kConvex},
        {"-(exp(x) + (y + x * x))", kAllFree, kConcave},
        {"(x + 1) * (x - 2) + exp(y)", kAllFree, kConvex},
        {"(x - y)^2 / 4 - ln(z)", kAllFree, kConvex},
        {"x * x - y * y", kAllFree, kUnknown},
        {"exp(x * x - 2 * (x * y) + y * y)", kAllFree, kConvex},
        // g * g is a square: convex for g >= 0 convex or g affine, not for g of either sign.
        {"(1 + exp(x)) * (1 + exp(x))", kAllFree, kConvex},
        {"(exp(x) - 2) * (exp(x) - 2)", kAllFree, kUnknown},
        {"(exp(x) - 2) * (exp(y) - 2)", box(1, 2, 1, 2), kUnknown},
        {"(y - x * x) * (y - x * x)", kAllFree, kUnknown},
    };
    for (const Case &c : cases) {
        setBox(c.box);
        EXPECT_EQ(curvatureOf(c.formula), c.want)
            << c.formula << " on x in [" << c.box[0] << ", " << c.box[1] << "]";
    }
}

TEST_F(CurvatureTest, CoefficientsAddUpWithTheirFactorsAndColumns) {
    setBox(box(0.5, 2, 0.5, 2));
    const double one = 1.0, minusTwo = -2.0;
    // exp(x) - 2 ln(y) + (-2) * y * 3 is convex; a column times a formula is not proven.
    ASSERT_EQ(NSLPchgccoef(nl, 0, NSLP_NOCOLUMN, &one, "exp(x) - 2 * ln(y)"), 0) << err();
    ASSERT_EQ(NSLPchgccoef(nl, 0, 1, &minusTwo, "3"), 0) << err();
    Evaluator ev = build();
    EXPECT_EQ(nvra::nl::functionCurvature(ev, 0, lower_.data(), upper_.data(), 1e-9), kConvex);
    ASSERT_EQ(NSLPchgccoef(nl, 0, 2, &minusTwo, "ln(y)"), 0) << err();
    ev = build();
    EXPECT_EQ(nvra::nl::functionCurvature(ev, 0, lower_.data(), upper_.data(), 1e-9), kUnknown);
}

// A verdict holds at points a, b of the box when f(mid) lies on the right side of the chord
// (and is defined: the domain of a proven convex or concave function is convex).
bool holds(Curvature c, double fa, double fb, double fmid, bool midDefined) {
    if (!midDefined) return false;
    const double chord = 0.5 * (fa + fb);
    const double tol = 1e-9 * (1 + std::fabs(fa) + std::fabs(fb));
    switch (c) {
    case Curvature::Convex:
        return fmid <= chord + tol;
    case Curvature::Concave:
        return fmid >= chord - tol;
    default:
        return std::fabs(fmid - chord) <= tol;
    }
}

TEST_F(CurvatureTest, VerdictsOnRandomFormulasHoldAtRandomPoints) {
    std::mt19937 rng(29);
    RandomFormulas gen(7, kCols, false);
    const double lows[] = {-3, -1, 0, 0.5};
    const double widths[] = {0.5, 1, 3};
    int proven = 0, curved = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        std::array<double, 2 * kCols> b{};
        for (int j = 0; j < kCols; ++j) {
            b[2 * j] = lows[rng() % 4];
            b[2 * j + 1] = b[2 * j] + widths[rng() % 3];
        }
        setBox(b);
        ASSERT_EQ(setCoef(0, NSLP_NOCOLUMN, gen.next(3)), 0) << err();
        const Evaluator ev = build();
        const Curvature c = nvra::nl::functionCurvature(ev, 0, lower_.data(), upper_.data(), 1e-9);
        if (c == Curvature::Unknown) continue;
        ++proven;
        curved += c != Curvature::Affine;
        nvra::nl::Workspace ws = ev.workspace();
        EvalFailure fail;
        std::uniform_real_distribution<double> u(0, 1);
        for (int k = 0; k < 20; ++k) {
            double x[3][kCols];
            for (int j = 0; j < kCols; ++j) {
                x[0][j] = b[2 * j] + u(rng) * (b[2 * j + 1] - b[2 * j]);
                x[1][j] = b[2 * j] + u(rng) * (b[2 * j + 1] - b[2 * j]);
                x[2][j] = 0.5 * (x[0][j] + x[1][j]);
            }
            double f[3];
            if (!ev.values(x[0], &f[0], ws, fail) || !ev.values(x[1], &f[1], ws, fail)) continue;
            const bool midDefined = ev.values(x[2], &f[2], ws, fail);
            ASSERT_TRUE(holds(c, f[0], f[1], f[2], midDefined))
                << "verdict " << static_cast<int>(c) << ": " << text(0, NSLP_NOCOLUMN) << " at "
                << x[0][0] << ", " << x[0][1] << ", " << x[0][2] << " and " << x[1][0] << ", "
                << x[1][1] << ", " << x[1][2];
        }
    }
    EXPECT_GT(proven, 1000); // the check is not vacuous
    EXPECT_GT(curved, 150);
}

} // namespace
