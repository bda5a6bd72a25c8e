// nl_test_util.h: shared pieces of the nonlinear tests: a fixture with an optimizer problem and
// its nonlinear problem, a token builder, a snapshot of the nonlinear data, random formulas and
// an independent reference evaluation of parsed tokens.
#pragma once

#include "store_test_util.h"

#include "nslp.h"

#include <cmath>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace nltest {

// A formula under construction (parsed or unparsed tokens).
struct Tokens {
    std::vector<int> type;
    std::vector<double> value;
    Tokens &add(int t, double v = 0) {
        type.push_back(t);
        value.push_back(v);
        return *this;
    }
    Tokens &con(double v) { return add(NSLP_TOK_CON, v); }
    Tokens &col(int j) { return add(NSLP_TOK_COL, j); }
    Tokens &op(int code) { return add(NSLP_TOK_OP, code); }
    Tokens &rb() { return add(NSLP_TOK_RB); }
    Tokens &fn(int id) { return add(NSLP_TOK_IFUN, id); }
    Tokens &end() { return add(NSLP_TOK_EOF); }
    Tokens &append(const Tokens &o) {
        type.insert(type.end(), o.type.begin(), o.type.end());
        value.insert(value.end(), o.value.begin(), o.value.end());
        return *this;
    }
    bool operator==(const Tokens &) const = default;
};

inline void PrintTo(const Tokens &t, std::ostream *os) {
    for (size_t k = 0; k < t.type.size(); ++k)
        *os << (k ? " " : "") << t.type[k] << ":" << t.value[k];
}

// The value of parsed tokens (up to an end token) at x: a stack machine written independently
// of the library. User functions are not supported.
inline double reference(const Tokens &f, const std::vector<double> &x) {
    std::vector<double> stack;
    std::vector<size_t> marks;
    auto pop = [&] {
        const double v = stack.back();
        stack.pop_back();
        return v;
    };
    for (size_t k = 0; k < f.type.size() && f.type[k] != NSLP_TOK_EOF; ++k) {
        const double v = f.value[k];
        switch (f.type[k]) {
        case NSLP_TOK_CON:
            stack.push_back(v);
            break;
        case NSLP_TOK_COL:
            stack.push_back(x.at(static_cast<size_t>(v)));
            break;
        case NSLP_TOK_RB:
            marks.push_back(stack.size());
            break;
        case NSLP_TOK_OP: {
            if (v == NSLP_OP_UMINUS) {
                stack.back() = -stack.back();
                break;
            }
            const double b = pop(), a = pop();
            stack.push_back(v == NSLP_OP_EXPONENT   ? std::pow(a, b)
                            : v == NSLP_OP_MULTIPLY ? a * b
                            : v == NSLP_OP_DIVIDE   ? a / b
                            : v == NSLP_OP_PLUS     ? a + b
                                                    : a - b);
            break;
        }
        case NSLP_TOK_IFUN: {
            // Arguments: the first is on top.
            std::vector<double> a(stack.rbegin(), stack.rbegin() + (stack.size() - marks.back()));
            stack.resize(marks.back());
            marks.pop_back();
            double r = 0;
            switch (static_cast<int>(v)) {
            case NSLP_IFUN_LOG10:
                r = std::log10(a[0]);
                break;
            case NSLP_IFUN_LN:
                r = std::log(a[0]);
                break;
            case NSLP_IFUN_EXP:
                r = std::exp(a[0]);
                break;
            case NSLP_IFUN_ABS:
                r = std::fabs(a[0]);
                break;
            case NSLP_IFUN_SQRT:
                r = std::sqrt(a[0]);
                break;
            case NSLP_IFUN_SIN:
                r = std::sin(a[0]);
                break;
            case NSLP_IFUN_COS:
                r = std::cos(a[0]);
                break;
            case NSLP_IFUN_TAN:
                r = std::tan(a[0]);
                break;
            case NSLP_IFUN_ARCSIN:
                r = std::asin(a[0]);
                break;
            case NSLP_IFUN_ARCCOS:
                r = std::acos(a[0]);
                break;
            case NSLP_IFUN_ARCTAN:
                r = std::atan(a[0]);
                break;
            case NSLP_IFUN_SIGN:
                r = a[0] > 0 ? 1 : a[0] < 0 ? -1 : 0;
                break;
            case NSLP_IFUN_ERF:
                r = std::erf(a[0]);
                break;
            case NSLP_IFUN_ERFC:
                r = std::erfc(a[0]);
                break;
            case NSLP_IFUN_MIN:
                r = *std::min_element(a.begin(), a.end());
                break;
            case NSLP_IFUN_MAX:
                r = *std::max_element(a.begin(), a.end());
                break;
            case NSLP_IFUN_SUM:
                for (double t : a)
                    r += t;
                break;
            case NSLP_IFUN_PROD:
                r = 1;
                for (double t : a)
                    r *= t;
                break;
            case NSLP_IFUN_PWL: { // linear interpolation, by brute force over the segments
                const double xv = a[0];
                const size_t n = (a.size() - 1) / 2;
                auto X = [&](size_t i) { return a[1 + 2 * i]; };
                auto Y = [&](size_t i) { return a[2 + 2 * i]; };
                size_t i = 0;
                while (i + 2 < n && xv >= X(i + 1))
                    ++i;
                r = Y(i) + (Y(i + 1) - Y(i)) / (X(i + 1) - X(i)) * (xv - X(i));
                break;
            }
            default:
                throw std::logic_error("reference: unknown function");
            }
            stack.push_back(r);
            break;
        }
        default:
            break;
        }
    }
    return stack.at(0);
}

// Random formulas over ncols columns whose operations stay in their domains for any column
// values in [-2, 2]. smooth: only differentiable operations.
class RandomFormulas {
  public:
    RandomFormulas(unsigned seed, int ncols, bool smooth)
        : rng_(seed), ncols_(ncols), smooth_(smooth) {}
    Tokens next(int depth = 4) {
        Tokens t;
        gen(t, depth);
        return t;
    }
    std::mt19937 &rng() { return rng_; }

  private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    double constant() {
        // Short decimals and a few with full precision.
        const double c = std::uniform_real_distribution<double>(-3, 3)(rng_);
        return pick(3) == 0 ? c : std::round(c * 4) / 4 + (c == 0 ? 0.5 : 0.0);
    }
    // t: a^2 + 1 (at least 1).
    void positive(Tokens &t, int depth) {
        gen(t, depth);
        t.con(2).op(NSLP_OP_EXPONENT).con(1).op(NSLP_OP_PLUS);
    }
    void unary(Tokens &t, int depth, int id) {
        t.rb();
        gen(t, depth);
        t.fn(id);
    }
    void gen(Tokens &t, int depth) {
        if (depth == 0 || pick(5) == 0) {
            if (pick(3) == 0 && depth < 4)
                t.con(constant());
            else
                t.col(pick(ncols_));
            return;
        }
        const int d = depth - 1;
        switch (pick(smooth_ ? 16 : 21)) {
        case 0:
        case 1:
            gen(t, d);
            gen(t, d);
            t.op(NSLP_OP_PLUS);
            break;
        case 2:
            gen(t, d);
            gen(t, d);
            t.op(NSLP_OP_MINUS);
            break;
        case 3:
        case 4:
            gen(t, d);
            gen(t, d);
            t.op(NSLP_OP_MULTIPLY);
            break;
        case 5:
            gen(t, d);
            positive(t, d);
            t.op(NSLP_OP_DIVIDE);
            break;
        case 6:
            gen(t, d);
            t.con(pick(2) ? 2 : 3).op(NSLP_OP_EXPONENT);
            break;
        case 7:
            positive(t, d);
            t.con(pick(2) ? 0.5 : -1.5).op(NSLP_OP_EXPONENT);
            break;
        case 8:
            t.rb().rb();
            gen(t, d);
            t.fn(NSLP_IFUN_SIN).fn(NSLP_IFUN_EXP);
            break;
        case 9:
            t.rb();
            positive(t, d);
            t.fn(pick(2) ? NSLP_IFUN_LN : NSLP_IFUN_LOG10);
            break;
        case 10:
            t.rb();
            positive(t, d);
            t.fn(NSLP_IFUN_SQRT);
            break;
        case 11:
            unary(t, d, pick(2) ? NSLP_IFUN_COS : NSLP_IFUN_ARCTAN);
            break;
        case 12:
            unary(t, d, pick(2) ? NSLP_IFUN_ERF : NSLP_IFUN_ERFC);
            break;
        case 13: // arcsin(0.9 sin(a)), tan(arctan(a) / 2)
            if (pick(2)) {
                t.rb().con(0.9).rb();
                gen(t, d);
                t.fn(NSLP_IFUN_SIN)
                    .op(NSLP_OP_MULTIPLY)
                    .fn(pick(2) ? NSLP_IFUN_ARCSIN : NSLP_IFUN_ARCCOS);
            } else {
                t.rb().rb();
                gen(t, d);
                t.fn(NSLP_IFUN_ARCTAN).con(2).op(NSLP_OP_DIVIDE).fn(NSLP_IFUN_TAN);
            }
            break;
        case 14:
            t.rb();
            gen(t, d);
            gen(t, d);
            gen(t, d);
            t.fn(NSLP_IFUN_PROD);
            break;
        case 15: { // a unary minus (of a constant: the negative constant, as text reads it)
            const size_t before = t.type.size();
            gen(t, d);
            if (t.type.size() == before + 1 && t.type.back() == NSLP_TOK_CON)
                t.value.back() = -t.value.back();
            else
                t.op(NSLP_OP_UMINUS);
            break;
        }
        case 16:
            unary(t, d, NSLP_IFUN_ABS);
            break;
        case 17:
            t.rb();
            gen(t, d);
            gen(t, d);
            t.fn(pick(2) ? NSLP_IFUN_MIN : NSLP_IFUN_MAX);
            break;
        case 18:
            unary(t, d, NSLP_IFUN_SIGN);
            break;
        case 19:
            t.rb();
            gen(t, d);
            gen(t, d);
            t.fn(NSLP_IFUN_SUM);
            break;
        default: // pwl through (-1, 2), (0, 0), (0, 1), (3, -1): a jump at 0
            t.rb().con(-1).con(3).con(1).con(0).con(0).con(0).con(2).con(-1);
            gen(t, d);
            t.fn(NSLP_IFUN_PWL);
        }
    }
    std::mt19937 rng_;
    int ncols_;
    bool smooth_;
};

// A started library, a problem with ncols free columns and nrows rows 'E' 0 without entries,
// and its nonlinear problem.
class NlTest : public storetest::StoreTest {
  protected:
    NSLPprob nl = nullptr;
    void SetUp() override {
        StoreTest::SetUp();
        ASSERT_EQ(NSLPinit(nullptr), 0);
        ASSERT_EQ(NSLPcreateprob(&nl, p), 0) << err();
    }
    void TearDown() override {
        StoreTest::TearDown(); // destroys the nonlinear problem with its optimizer problem
        EXPECT_EQ(NSLPfree(), 0);
    }
    void freeColumns(int n) {
        std::vector<double> lb(n, -1e20), ub(n, 1e20);
        ASSERT_EQ(NVRAaddcols(p, n, 0, nullptr, nullptr, nullptr, nullptr, lb.data(), ub.data()),
                  0);
    }
    void emptyRows(int n, char type = 'E') {
        for (int i = 0; i < n; ++i)
            addRow(type, 0, {}, {});
    }
    // Sets the current point (initial values) of columns 0 .. x.size()-1.
    void setPoint(const std::vector<double> &x) {
        std::vector<int> cols(x.size());
        for (size_t j = 0; j < x.size(); ++j)
            cols[j] = static_cast<int>(j);
        ASSERT_EQ(NVRAnlpsetinitval(p, static_cast<int>(x.size()), cols.data(), x.data()), 0)
            << err();
    }
    // Coefficient (row, col) := factor * formula, in the given form.
    int setCoef(int row, int col, Tokens f, double factor = 1.0, int parsed = 1) {
        f.end();
        return NSLPchgcoef(nl, row, col, &factor, parsed, f.type.data(), f.value.data());
    }
    // The parsed tokens (end token included) and factor of a coefficient (of the nonlinear
    // problem of, nl when null).
    Tokens coef(int row, int col, double *factor = nullptr, int parsed = 1, NSLPprob of = nullptr) {
        NSLPprob h = of ? of : nl;
        int n = 0;
        EXPECT_EQ(NSLPgetcoefformula(h, row, col, nullptr, parsed, 0, &n, nullptr, nullptr), 0)
            << err();
        Tokens t;
        t.type.resize(n);
        t.value.resize(n);
        EXPECT_EQ(
            NSLPgetcoefformula(h, row, col, factor, parsed, n, &n, t.type.data(), t.value.data()),
            0)
            << err();
        return t;
    }
    std::string text(int row, int col) {
        char buf[4096] = "";
        EXPECT_EQ(NSLPgetccoef(nl, row, col, nullptr, buf, sizeof buf), 0) << err();
        return buf;
    }
    double evaluate(int row, int col) {
        double v = NAN;
        EXPECT_EQ(NSLPevaluatecoef(nl, row, col, &v), 0) << err();
        return v;
    }
    // Every coefficient as (row, col, factor, parsed tokens).
    struct Coef {
        int row, col;
        double factor;
        Tokens f;
        bool operator==(const Coef &) const = default;
    };
    std::vector<Coef> coefs(NSLPprob of = nullptr) {
        NSLPprob h = of ? of : nl;
        int n = 0;
        EXPECT_EQ(NSLPgetcoefs(h, &n, nullptr, nullptr), 0) << err();
        std::vector<int> r(n), c(n);
        EXPECT_EQ(NSLPgetcoefs(h, &n, r.data(), c.data()), 0) << err();
        std::vector<Coef> out;
        for (int k = 0; k < n; ++k) {
            double factor = 0;
            Tokens t = coef(r[k], c[k], &factor, 1, h);
            out.push_back({r[k], c[k], factor, t});
        }
        return out;
    }
};

} // namespace nltest
