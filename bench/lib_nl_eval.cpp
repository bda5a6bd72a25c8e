// lib_nl_eval.cpp: speed and accuracy of libnvra's formula evaluation, as the solving engines
// use it (nonlinear/evaluator.h).
//
//   - objective: one formula of about 10^6 tokens over 10^5 columns (sums of sin, exp, ln,
//     sqrt, powers and products), stored through NVRAnlpchgformula; the time of its gradient
//     (values and reverse sweep) against the time of evaluating it once. Target: at most 3.
//   - rows: 10^5 rows of 5 to 10 tokens each, added in one NVRAnlpaddformulas call (time per
//     token); the sparse Jacobian and the sparse Hessian of the Lagrangian with random
//     multipliers, the Hessian checked against central differences of the exact gradients in
//     random directions and along columns. Target: 1e-6 relative.
//
// Times are CPU time of this thread, medians of the repetitions.
//
// Build: cmake -DNIVRA_BUILD_BENCH=ON ... && cmake --build <dir> --target lib_nl_eval
// Run:   <dir>/bench/lib_nl_eval [scale] [reps]   (scale 1 = the sizes above; 0.1 for a quick run)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <random>
#include <vector>

#include "nonlinear/nlprob.h"
#include "nslp.h"
#include "nvra.h"

namespace {

using nvra::nl::EvalFailure;
using nvra::nl::Evaluator;
using nvra::nl::Workspace;

double cpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + 1e-9 * ts.tv_nsec;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double timeMedian(int reps, const std::function<void()> &f) {
    std::vector<double> t;
    for (int r = 0; r < reps; ++r) {
        const double t0 = cpuSeconds();
        f();
        t.push_back(cpuSeconds() - t0);
    }
    return median(t);
}

void check(int rc, NVRAprob p, const char *what) {
    if (rc == 0) return;
    char buf[NVRA_MAXMESSAGELENGTH];
    NVRAgetlasterror(p, buf, sizeof buf);
    fprintf(stderr, "%s failed: %s\n", what, buf);
    exit(1);
}

struct Tokens {
    std::vector<int> type;
    std::vector<double> value;
    void add(int t, double v = 0) {
        type.push_back(t);
        value.push_back(v);
    }
    void col(int j) { add(NSLP_TOK_COL, j); }
    void con(double c) { add(NSLP_TOK_CON, c); }
    void op(int o) { add(NSLP_TOK_OP, o); }
    void fn(int id) { add(NSLP_TOK_IFUN, id); }
};

// Term k of the objective over n columns (10 to 12 tokens).
void objectiveTerm(Tokens &t, int k, int n) {
    const int a = k % n, b = (k * 7 + 1) % n, c = (k * 13 + 5) % n;
    switch (k % 4) {
    case 0: // sin(xa) * xb + exp(xc / 10)
        t.add(NSLP_TOK_RB), t.col(a), t.fn(NSLP_IFUN_SIN), t.col(b), t.op(NSLP_OP_MULTIPLY);
        t.add(NSLP_TOK_RB), t.col(c), t.con(10), t.op(NSLP_OP_DIVIDE), t.fn(NSLP_IFUN_EXP);
        t.op(NSLP_OP_PLUS);
        break;
    case 1: // ln(xa^2 + 1) - xb * xc
        t.add(NSLP_TOK_RB), t.col(a), t.con(2), t.op(NSLP_OP_EXPONENT), t.con(1),
            t.op(NSLP_OP_PLUS);
        t.fn(NSLP_IFUN_LN), t.col(b), t.col(c), t.op(NSLP_OP_MULTIPLY), t.op(NSLP_OP_MINUS);
        break;
    case 2: // sqrt(xa^2 + xb^2 + 1)
        t.add(NSLP_TOK_RB), t.col(a), t.con(2), t.op(NSLP_OP_EXPONENT), t.col(b), t.con(2);
        t.op(NSLP_OP_EXPONENT), t.op(NSLP_OP_PLUS), t.con(1), t.op(NSLP_OP_PLUS),
            t.fn(NSLP_IFUN_SQRT);
        break;
    default: // xa * xb * cos(xc) / 2
        t.col(a), t.col(b), t.op(NSLP_OP_MULTIPLY), t.add(NSLP_TOK_RB), t.col(c);
        t.fn(NSLP_IFUN_COS), t.op(NSLP_OP_MULTIPLY), t.con(2), t.op(NSLP_OP_DIVIDE);
    }
}

// A sum of `terms` terms joined as a balanced tree.
Tokens objective(int terms, int n) {
    Tokens t;
    int written = 0;
    for (int k = 0; k < terms; ++k) {
        objectiveTerm(t, k, n);
        const int plus = k + 1 < terms ? __builtin_ctz(k + 1) : terms - 1 - written;
        for (int j = 0; j < plus; ++j)
            t.op(NSLP_OP_PLUS);
        written += plus;
    }
    t.add(NSLP_TOK_EOF);
    return t;
}

// Row i's formula (5 to 10 tokens): x_i * exp(x_{i+1}), x_i / (x_{i+1}^2 + 1), sin(x_i x_{i+2}).
void rowFormula(Tokens &t, int i, int n) {
    const int a = i, b = (i + 1) % n, c = (i + 2) % n;
    switch (i % 3) {
    case 0:
        t.col(a), t.add(NSLP_TOK_RB), t.col(b), t.fn(NSLP_IFUN_EXP), t.op(NSLP_OP_MULTIPLY);
        break;
    case 1:
        t.col(a), t.col(b), t.con(2), t.op(NSLP_OP_EXPONENT), t.con(1), t.op(NSLP_OP_PLUS);
        t.op(NSLP_OP_DIVIDE);
        break;
    default:
        t.add(NSLP_TOK_RB), t.col(a), t.col(c), t.op(NSLP_OP_MULTIPLY), t.fn(NSLP_IFUN_SIN);
    }
    t.add(NSLP_TOK_EOF);
}

struct Problem {
    NVRAprob p = nullptr;
    NSLPprob nl = nullptr;
    explicit Problem(int ncols) {
        check(NVRAcreateprob(&p), p, "NVRAcreateprob");
        check(NSLPcreateprob(&nl, p), p, "NSLPcreateprob");
        std::vector<double> lb(ncols, -1e20), ub(ncols, 1e20);
        check(NVRAaddcols(p, ncols, 0, nullptr, nullptr, nullptr, nullptr, lb.data(), ub.data()), p,
              "NVRAaddcols");
    }
    ~Problem() { NVRAdestroyprob(p); }
};

void objectiveBenchmark(double scale, int reps) {
    const int n = std::max(100, static_cast<int>(1e5 * scale));
    const int terms = static_cast<int>(1e6 * scale / 12);
    Problem pr(n);
    const Tokens f = objective(terms, n);
    check(NVRAnlpchgformula(pr.p, NSLP_OBJECTIVE, 1, f.type.data(), f.value.data()), pr.p,
          "NVRAnlpchgformula");
    Evaluator ev;
    const double build = timeMedian(1, [&] { ev.build(pr.nl->data, n, 6e-6, nullptr); });
    Workspace ws = ev.workspace();
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<double> x(n), val(1), jac(ev.jacobianCols().size());
    for (double &v : x)
        v = u(rng);
    EvalFailure fail;
    const double once = timeMedian(reps, [&] {
        if (!ev.values(x.data(), val.data(), ws, fail))
            fprintf(stderr, "%s\n", fail.text().c_str());
    });
    const double grad = timeMedian(reps, [&] {
        if (!ev.jacobian(x.data(), val.data(), jac.data(), ws, fail))
            fprintf(stderr, "%s\n", fail.text().c_str());
    });
    // The gradient checked against central differences along a few columns.
    double worst = 0;
    for (int k = 0; k < 5; ++k) {
        const int e = static_cast<int>(rng() % jac.size());
        const int j = ev.jacobianCols()[e];
        const double h = 1e-6, keep = x[j];
        double fp, fm;
        x[j] = keep + h;
        ev.values(x.data(), &fp, ws, fail);
        x[j] = keep - h;
        ev.values(x.data(), &fm, ws, fail);
        x[j] = keep;
        worst = std::max(worst, std::fabs((fp - fm) / (2 * h) - jac[e]) / (1 + std::fabs(jac[e])));
    }
    printf(
        "| objective: %zu tokens, %d columns | build %.3f s | value %.4f s (%.2f ns/token) | "
        "gradient %.4f s | gradient / value %.2f (target <= 3) | gradient vs differences %.1e |\n",
        f.type.size(), n, build, once, 1e9 * once / f.type.size(), grad, grad / once, worst);
}

void rowsBenchmark(double scale, int reps) {
    const int n = std::max(100, static_cast<int>(1e5 * scale));
    Problem pr(n);
    for (int i = 0; i < n; ++i) {
        const char type = 'E';
        const double rhs = 0;
        const int start = 0;
        check(NVRAaddrows(pr.p, 1, 0, &type, &rhs, nullptr, &start, nullptr, nullptr), pr.p,
              "NVRAaddrows");
    }
    Tokens all;
    std::vector<int> rows(n);
    std::vector<int64_t> starts(n + 1);
    for (int i = 0; i < n; ++i) {
        rows[i] = i;
        starts[i] = static_cast<int64_t>(all.type.size());
        rowFormula(all, i, n);
    }
    starts[n] = static_cast<int64_t>(all.type.size());
    const double add = timeMedian(reps, [&] {
        check(NVRAnlploadformulas(pr.p, n, rows.data(), starts.data(), 1, all.type.data(),
                                  all.value.data()),
              pr.p, "NVRAnlploadformulas");
    });
    Evaluator ev;
    const double build = timeMedian(1, [&] { ev.build(pr.nl->data, n, 6e-6, nullptr); });
    Workspace ws = ev.workspace();
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<double> x(n), lambda(n), f(ev.functions()), jac(ev.jacobianCols().size()),
        H(ev.hessianRows().size());
    for (int j = 0; j < n; ++j)
        x[j] = u(rng), lambda[j] = u(rng);
    EvalFailure fail;
    const double tj =
        timeMedian(reps, [&] { ev.jacobian(x.data(), f.data(), jac.data(), ws, fail); });
    const double th = timeMedian(reps, [&] {
        if (!ev.hessian(x.data(), 0.0, lambda.data(), H.data(), ws, fail))
            fprintf(stderr, "%s\n", fail.text().c_str());
    });
    // The gradient of the Lagrangian, dense.
    auto lagrangianGradient = [&](const std::vector<double> &at) {
        std::vector<double> g(n, 0.0), fv(ev.functions()), jv(jac.size());
        ev.jacobian(at.data(), fv.data(), jv.data(), ws, fail);
        for (int k = 0; k < ev.functions(); ++k)
            for (int64_t e = ev.jacobianStart()[k]; e < ev.jacobianStart()[k + 1]; ++e)
                g[ev.jacobianCols()[e]] += lambda[ev.functionRow(k)] * jv[e];
        return g;
    };
    // H v from the lower triangle.
    auto hessTimes = [&](const std::vector<double> &v) {
        std::vector<double> out(n, 0.0);
        for (size_t e = 0; e < H.size(); ++e) {
            const int i = ev.hessianRows()[e], j = ev.hessianCols()[e];
            out[i] += H[e] * v[j];
            if (i != j) out[j] += H[e] * v[i];
        }
        return out;
    };
    auto relativeError = [&](const std::vector<double> &v) {
        const double h = 1e-6;
        std::vector<double> xp = x, xm = x;
        for (int j = 0; j < n; ++j)
            xp[j] += h * v[j], xm[j] -= h * v[j];
        const std::vector<double> gp = lagrangianGradient(xp), gm = lagrangianGradient(xm),
                                  hv = hessTimes(v);
        double num = 0, den = 0;
        for (int j = 0; j < n; ++j) {
            const double fd = (gp[j] - gm[j]) / (2 * h);
            num += (fd - hv[j]) * (fd - hv[j]);
            den += fd * fd;
        }
        return std::sqrt(num / std::max(den, 1e-300));
    };
    double worst = 0;
    for (int k = 0; k < 3; ++k) { // random directions
        std::vector<double> v(n);
        for (double &t : v)
            t = u(rng);
        worst = std::max(worst, relativeError(v));
    }
    for (int k = 0; k < 5; ++k) { // single columns
        std::vector<double> v(n, 0.0);
        v[rng() % n] = 1.0;
        worst = std::max(worst, relativeError(v));
    }
    printf("| rows: %d formulas, %zu tokens | add %.4f s (%.1f ns/token) | build %.3f s | "
           "Jacobian %.4f s (%zu entries) | Hessian %.4f s (%zu entries) | Hessian vs differences "
           "%.1e (target 1e-6) |\n",
           n, all.type.size(), add, 1e9 * add / all.type.size(), build, tj, jac.size(), th,
           H.size(), worst);
}

} // namespace

int main(int argc, char **argv) {
    const double scale = argc > 1 ? atof(argv[1]) : 1.0;
    const int reps = argc > 2 ? atoi(argv[2]) : 5;
    if (NSLPinit(nullptr) != 0) return 1;
    objectiveBenchmark(scale, reps);
    rowsBenchmark(scale, reps);
    NSLPfree();
    return 0;
}
