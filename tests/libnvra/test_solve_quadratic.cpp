// Problems with quadratic rows and mixed-integer quadratic problems: classification and the
// refusals it gives, continuous QCQP and SOCP on the interior-point solver, MIQP and MIQCQP by
// outer approximation and by Bonmin, statuses, limits and interrupts. Optima are checked
// against closed forms or enumeration.
#include "test_solve_util.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <random>
#include <thread>
#include <unistd.h>

namespace {

using namespace solvetest;

// Adds a quadratic part to row i: (i, i, v) is v x_i^2, (i, j, v) with i != j is 2 v x_i x_j.
void qrow(NVRAprob prob, int row, const std::vector<std::tuple<int, int, double>> &t) {
    std::vector<int> c1, c2;
    std::vector<double> v;
    for (auto [i, j, x] : t)
        c1.push_back(i), c2.push_back(j), v.push_back(x);
    ASSERT_EQ(
        NVRAaddqmatrix64(prob, row, static_cast<int64_t>(v.size()), c1.data(), c2.data(), v.data()),
        0)
        << lastError(prob);
}

// A mean-variance portfolio with a cardinality limit: min w'Sw, sum w = 1, mu'w >= target,
// w_i <= z_i, sum z <= k, S = F'F + diag from seeded random data. With risk true, the variance
// is a '<=' row instead (max mu'w, w'Sw <= limit).
void portfolio(NVRAprob p, int n, int k, bool risk) {
    std::mt19937 rng(11);
    std::normal_distribution<double> g;
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const int f = 3;
    std::vector<double> F(f * n), mu(n);
    for (double &v : F)
        v = g(rng);
    for (double &v : mu)
        v = 0.02 + 0.13 * u(rng);
    Builder b{p};
    for (int i = 0; i < n; ++i)
        b.col(0.0, 1.0, risk ? mu[i] : 0.0);
    for (int i = 0; i < n; ++i)
        b.col(0.0, 1.0, 0.0, 'B');
    std::vector<std::tuple<int, int, double>> S;
    for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j) {
            double v = i == j ? 0.1 + 0.4 * u(rng) : 0.0;
            for (int a = 0; a < f; ++a)
                v += F[a * n + i] * F[a * n + j];
            S.emplace_back(i, j, v);
        }
    Entries all, ret, card;
    for (int i = 0; i < n; ++i) {
        all.emplace_back(i, 1.0);
        ret.emplace_back(i, mu[i]);
        card.emplace_back(n + i, 1.0);
        b.row('L', 0.0, {{i, 1.0}, {n + i, -1.0}});
    }
    b.row('E', 1.0, all);
    b.row('L', k, card);
    if (risk) {
        b.sense(-1);
        const int row = b.row('L', 0.6, {});
        qrow(p, row, S);
    } else {
        b.row('G', 0.08, ret);
        for (auto [i, j, v] : S)
            b.q(i, j, i == j ? 2.0 * v : v); // 0.5 w'(2S)w
    }
}

// Runs f with the process's standard output sent to a file; returns what was written.
std::string stdoutOf(const std::function<void()> &f) {
    char path[] = "/tmp/nvra_stdout_XXXXXX";
    const int fd = mkstemp(path);
    fflush(stdout);
    const int saved = dup(1);
    dup2(fd, 1);
    f();
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::string text;
    char buf[256];
    lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
        text.append(buf, n);
    close(fd);
    unlink(path);
    return text;
}

class QuadTest : public SolveTest {
  protected:
    std::vector<double> slacks() {
        std::vector<double> s(prob->model.numRows());
        int st = -1;
        EXPECT_EQ(NVRAgetslacks(prob, &st, s.data(), 0, prob->model.numRows() - 1), 0);
        return s;
    }
    std::vector<double> duals() {
        std::vector<double> d(prob->model.numRows(), std::nan(""));
        int st = -1;
        EXPECT_EQ(NVRAgetduals(prob, &st, d.data(), 0, prob->model.numRows() - 1), 0);
        EXPECT_EQ(st, NVRA_AVAIL_OPTIMAL);
        return d;
    }
};

// min c'x over the ellipsoid x'Px <= 1: x* = -P^-1 c / sqrt(c'P^-1 c), objective
// -sqrt(c'P^-1 c); the dual of the row is d(objective)/d(rhs) = objective / 2.
TEST_F(QuadTest, EllipsoidHasItsClosedForm) {
    for (int sense : {1, -1}) {
        SCOPED_TRACE(sense);
        NVRAprob p = nullptr;
        ASSERT_EQ(NVRAcreateprob(&p), 0);
        Builder bp{p};
        bp.col(-nvra::kInf, nvra::kInf, 1.0 * sense);
        bp.col(-nvra::kInf, nvra::kInf, 2.0 * sense);
        bp.sense(sense);
        bp.row('L', 1.0, {});
        // P = [2 1; 1 3], P^-1 = [3 -1; -1 2] / 5, c'P^-1 c = (3 - 4 + 8) / 5 = 7/5.
        qrow(p, 0, {{0, 0, 2.0}, {0, 1, 1.0}, {1, 1, 3.0}});
        ASSERT_EQ(NVRAoptimize(p, "", nullptr, nullptr), 0) << lastError(p);
        const Results r = result(p);
        EXPECT_EQ(r.lpStatus, NVRA_LP_OPTIMAL);
        EXPECT_EQ(r.solStatus, NVRA_SOLSTATUS_OPTIMAL);
        const double opt = -std::sqrt(7.0 / 5.0);
        EXPECT_NEAR(r.objVal, sense * opt, 1e-7);
        const std::vector<double> x = solution(p);
        EXPECT_NEAR(x[0], -(3.0 - 2.0) / 5.0 / std::sqrt(7.0 / 5.0), 1e-6);
        EXPECT_NEAR(x[1], -(-1.0 + 4.0) / 5.0 / std::sqrt(7.0 / 5.0), 1e-6);
        double y = 0, d[2] = {1, 1};
        int st = -1;
        ASSERT_EQ(NVRAgetduals(p, &st, &y, 0, 0), 0);
        EXPECT_EQ(st, NVRA_AVAIL_OPTIMAL);
        EXPECT_NEAR(y, sense * opt / 2.0, 1e-6);
        ASSERT_EQ(NVRAgetredcosts(p, &st, d, 0, 1), 0);
        EXPECT_NEAR(d[0], 0.0, 1e-6); // free columns: c - y grad g(x) = 0
        EXPECT_NEAR(d[1], 0.0, 1e-6);
        double slack = 1;
        ASSERT_EQ(NVRAgetslacks(p, &st, &slack, 0, 0), 0);
        EXPECT_NEAR(slack, 0.0, 1e-7);
        EXPECT_GT(r.barIter, 0);
        EXPECT_LE(r.bestBound, r.objVal + 1e-9);
        EXPECT_EQ(NVRAdestroyprob(p), 0);
    }
}

// min t, ||(x0 - 0.3, x1 - 1.7)|| <= t: a cone over free differences r = x - a. With x
// continuous the optimum is 0; with x integer in [-3, 3]^2 it is the distance to the nearest
// integer point. The rotated form r0^2 + r1^2 <= 2 t u with u = 1/2 gives the squared distance.
TEST_F(QuadTest, ConesPlainAndRotated) {
    const double a[2] = {0.3, 1.7};
    for (bool rotated : {false, true}) {
        for (char type : {'C', 'I'}) {
            SCOPED_TRACE(std::string(rotated ? "rotated " : "plain ") + type);
            NVRAprob p = nullptr;
            ASSERT_EQ(NVRAcreateprob(&p), 0);
            Builder bp{p};
            const int x0 = bp.col(-3.0, 3.0, 0.0, type), x1 = bp.col(-3.0, 3.0, 0.0, type);
            const int r0 = bp.col(-nvra::kInf, nvra::kInf, 0.0);
            const int r1 = bp.col(-nvra::kInf, nvra::kInf, 0.0);
            const int t = bp.col(0.0, nvra::kInf, 1.0);
            bp.row('E', -a[0], {{r0, 1.0}, {x0, -1.0}});
            bp.row('E', -a[1], {{r1, 1.0}, {x1, -1.0}});
            if (rotated) {
                const int u = bp.col(0.5, 0.5, 0.0);
                bp.row('L', 0.0, {});
                qrow(p, 2, {{r0, r0, 1.0}, {r1, r1, 1.0}, {t, u, -1.0}});
            } else {
                bp.row('G', 0.0, {}); // the '>=' form: t^2 - r0^2 - r1^2 >= 0
                qrow(p, 2, {{t, t, 1.0}, {r0, r0, -1.0}, {r1, r1, -1.0}});
            }
            ASSERT_EQ(NVRAoptimize(p, "", nullptr, nullptr), 0) << lastError(p);
            const double d2 = 0.3 * 0.3 + 0.3 * 0.3;
            const double expected = type == 'C' ? 0.0 : rotated ? d2 : std::sqrt(d2);
            EXPECT_EQ(result(p).solStatus, NVRA_SOLSTATUS_OPTIMAL);
            EXPECT_NEAR(result(p).objVal, expected, 1e-6);
            if (type == 'I') {
                const std::vector<double> x = solution(p);
                EXPECT_EQ(x[0], 0.0);
                EXPECT_EQ(x[1], 2.0);
                EXPECT_EQ(result(p).mipStatus, NVRA_MIP_OPTIMAL);
                EXPECT_LE(result(p).mipGap, 1e-4);
                EXPECT_GT(result(p).masterSolves, 0);
            }
            EXPECT_EQ(NVRAdestroyprob(p), 0);
        }
    }
}

// Rows that are not convex are refused before anything is solved, naming the row and why; the
// problem stays usable and solves once the row is mended.
TEST_F(QuadTest, NonConvexRowsAreRefusedByName) {
    const int x = b.col(-1.0, 1.0, -1.0), y = b.col(-1.0, 1.0, -1.0);
    const int t = b.col(-nvra::kInf, nvra::kInf, 0.0);
    b.row('L', 1.0, {});
    qrow(prob, 0, {{x, x, 1.0}, {y, y, 1.0}});
    ASSERT_EQ(optimize(), 0);
    EXPECT_NEAR(result(prob).objVal, -std::sqrt(2.0), 1e-6);
    const char *names = "disc\0cone";
    ASSERT_EQ(NVRAaddnames(prob, NVRA_NAMES_ROWS, names, 0, 0), 0);
    struct Case {
        const char *what;
        std::function<void()> edit;
        const char *message;
    };
    const Case cases[] = {
        {"equality", [&] { b.rowType(0, 'E'); }, "row 0 (\"disc\") is a quadratic equality row"},
        {"range", [&] { b.rowType(0, 'R'); }, "is a quadratic range row"},
        {"'>=' with a convex part", [&] { b.rowType(0, 'G'); }, "row 0 (\"disc\") is not convex"},
        {"indefinite",
         [&] {
             qrow(prob, 0, {{x, y, 2.0}});
         },
         "is not convex"},
        {"cone with a free t",
         [&] {
             qrow(prob, 0, {{t, t, -1.0}});
             b.rhs(0, 0.0);
         },
         "is a second-order cone only where column 2 keeps one sign"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        NVRAprob saved = nullptr;
        ASSERT_EQ(NVRAcreateprob(&saved), 0);
        ASSERT_EQ(NVRAcopyprob(saved, prob, ""), 0);
        c.edit();
        EXPECT_EQ(optimize(), NVRA_RC_UNSUPPORTED);
        EXPECT_NE(lastError(prob).find(c.message), std::string::npos) << lastError(prob);
        EXPECT_EQ(result(prob).solveStatus, NVRA_SOLVESTATUS_UNSTARTED);
        ASSERT_EQ(NVRAcopyprob(prob, saved, ""), 0);
        EXPECT_EQ(NVRAdestroyprob(saved), 0);
    }
    // The cone with t >= 0 is fine: min -x - y, x^2 + y^2 <= t^2, t <= 1.
    qrow(prob, 0, {{t, t, -1.0}});
    b.rhs(0, 0.0);
    b.bounds(t, 0.0, 1.0);
    ASSERT_EQ(optimize(), 0) << lastError(prob);
    EXPECT_NEAR(result(prob).objVal, -std::sqrt(2.0), 1e-6);
    EXPECT_NEAR(slacks()[0], 0.0, 1e-6);
}

// A random convex pure-integer quadratic program, 0.5 x'Qx + c'x over x in {-2..2}^4 with
// x0 + x1 + x2 + x3 <= 1 and a convex quadratic row sum x^2 <= 9, checked against enumeration,
// with every algorithm for mixed-integer problems.
TEST_F(QuadTest, MixedIntegerQuadraticMatchesEnumeration) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const int n = 4;
    double F[n][n], Q[n][n], c[n];
    for (auto &row : F)
        for (double &v : row)
            v = u(rng);
    for (int i = 0; i < n; ++i) {
        c[i] = 3.0 * u(rng);
        for (int j = 0; j < n; ++j) {
            Q[i][j] = i == j ? 0.1 : 0.0;
            for (int k = 0; k < n; ++k)
                Q[i][j] += F[k][i] * F[k][j];
        }
    }
    double best = nvra::kInf;
    for (int code = 0; code < 625; ++code) {
        double x[n], f = 0.0, sum = 0.0, sq = 0.0;
        for (int i = 0, v = code; i < n; ++i, v /= 5)
            x[i] = v % 5 - 2;
        for (int i = 0; i < n; ++i) {
            sum += x[i], sq += x[i] * x[i];
            f += c[i] * x[i];
            for (int j = 0; j < n; ++j)
                f += 0.5 * Q[i][j] * x[i] * x[j];
        }
        if (sum <= 1.0 && sq <= 9.0) best = std::min(best, f);
    }
    for (int col = 0; col < n; ++col)
        b.col(-2.0, 2.0, c[col], 'I');
    for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j)
            b.q(i, j, Q[i][j]);
    b.row('L', 1.0, {{0, 1.0}, {1, 1.0}, {2, 1.0}, {3, 1.0}});
    b.row('L', 9.0, {});
    qrow(prob, 1, {{0, 0, 1.0}, {1, 1, 1.0}, {2, 2, 1.0}, {3, 3, 1.0}});
    setDbl(prob, nvra::kCtrlMipRelStop, 0.0);
    for (int alg : {0, 1, 2}) {
        SCOPED_TRACE(alg);
        setInt(prob, nvra::kCtrlMiqcqpAlg, alg);
        ASSERT_EQ(optimize(), 0) << lastError(prob);
        const Results r = result(prob);
        EXPECT_EQ(r.mipStatus, NVRA_MIP_OPTIMAL);
        EXPECT_NEAR(r.objVal, best, 1e-6);
        EXPECT_LE(r.bestBound, r.objVal + 1e-6);
        EXPECT_GE(r.bestBound, r.objVal - 1e-5);
        EXPECT_EQ(r.optimizeType, NVRA_OPTIMIZETYPE_MIP);
        for (double v : solution(prob))
            EXPECT_EQ(v, std::round(v));
        int st = -1;
        double y = 0.0;
        EXPECT_EQ(NVRAgetduals(prob, &st, &y, 0, 0), 0);
        EXPECT_EQ(st, NVRA_AVAIL_NONE); // no duals for a mixed-integer solve
    }
}

// Small facility location with cone rows (the fac benchmark's model at G = F = 2 after a
// change of data): the optimum from outer approximation, Bonmin, and the best of the
// continuous solves over every assignment.
TEST_F(QuadTest, FacilityLocationConesMatchAssignmentEnumeration) {
    const double pts[4][2] = {{0.0, 0.0}, {1.0, 0.2}, {0.1, 0.9}, {0.8, 1.0}};
    const double M = 2.0 * std::sqrt(2.0);
    // Builds the model with every assignment z free (fix < 0) or fixed by the bits of fix.
    auto build = [&](NVRAprob p, int fix) {
        Builder bp{p};
        const int d = bp.col(0.0, nvra::kInf, 1.0);
        int y[2][2];
        for (auto &f : y)
            for (int &k : f)
                k = bp.col(0.0, 1.0, 0.0);
        for (int i = 0; i < 4; ++i) {
            std::vector<std::pair<int, double>> one;
            for (int f = 0; f < 2; ++f) {
                const bool on = fix >= 0 && ((fix >> i) & 1) == f;
                const int z = fix < 0 ? bp.col(0.0, 1.0, 0.0, 'B') : bp.col(on, on, 0.0);
                const int s = bp.col(0.0, nvra::kInf, 0.0);
                const int r0 = bp.col(-nvra::kInf, nvra::kInf, 0.0);
                const int r1 = bp.col(-nvra::kInf, nvra::kInf, 0.0);
                one.emplace_back(z, 1.0);
                bp.row('E', M, {{s, 1.0}, {d, -1.0}, {z, M}}); // s = d + M (1 - z)
                bp.row('E', pts[i][0], {{r0, 1.0}, {y[f][0], 1.0}});
                bp.row('E', pts[i][1], {{r1, 1.0}, {y[f][1], 1.0}});
                const int row = bp.row('L', 0.0, {});
                qrow(p, row, {{r0, r0, 1.0}, {r1, r1, 1.0}, {s, s, -1.0}});
            }
            bp.row('E', 1.0, one);
        }
    };
    double best = nvra::kInf;
    for (int fix = 0; fix < 16; ++fix) {
        NVRAprob p = nullptr;
        ASSERT_EQ(NVRAcreateprob(&p), 0);
        build(p, fix);
        ASSERT_EQ(NVRAoptimize(p, "", nullptr, nullptr), 0) << lastError(p);
        ASSERT_EQ(result(p).lpStatus, NVRA_LP_OPTIMAL);
        best = std::min(best, result(p).objVal);
        EXPECT_EQ(NVRAdestroyprob(p), 0);
    }
    build(prob, -1);
    setDbl(prob, nvra::kCtrlMipRelStop, 1e-7);
    for (int alg : {1, 2}) {
        SCOPED_TRACE(alg);
        setInt(prob, nvra::kCtrlMiqcqpAlg, alg);
        ASSERT_EQ(optimize(), 0) << lastError(prob);
        EXPECT_EQ(result(prob).mipStatus, NVRA_MIP_OPTIMAL);
        EXPECT_NEAR(result(prob).objVal, best, 1e-6 * best);
        EXPECT_LE(result(prob).maxViolation, 1e-6);
    }
}

// Time limits, NVRAinterrupt and Ctrl-C end the interior-point solver, the outer approximation
// and Bonmin, with the statuses saying why; the SIGINT disposition is what it was afterwards.
TEST_F(QuadTest, LimitsAndStopRequestsEndEverySolver) {
    portfolio(prob, 40, 5, false);
    struct sigaction before {};
    sigaction(SIGINT, nullptr, &before);
    for (int alg : {1, 2}) {
        SCOPED_TRACE(alg);
        setInt(prob, nvra::kCtrlMiqcqpAlg, alg);
        setDbl(prob, nvra::kCtrlTimeLimit, 0.0);
        ASSERT_EQ(optimize(), 0) << lastError(prob);
        EXPECT_EQ(result(prob).solveStatus, NVRA_SOLVESTATUS_STOPPED);
        EXPECT_EQ(result(prob).stopStatus, NVRA_STOP_TIMELIMIT);
        setDbl(prob, nvra::kCtrlTimeLimit, 60.0);
        for (bool ctrlC : {false, true}) {
            SCOPED_TRACE(ctrlC);
            std::atomic<bool> done{false};
            std::thread stopper([&] {
                while (!prob->busy.load() && !done.load())
                    std::this_thread::yield();
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                if (ctrlC)
                    kill(getpid(), SIGINT);
                else
                    NVRAinterrupt(prob, 1);
            });
            ASSERT_EQ(optimize(), 0) << lastError(prob);
            done = true;
            stopper.join();
            EXPECT_EQ(result(prob).solveStatus, NVRA_SOLVESTATUS_STOPPED);
            EXPECT_EQ(result(prob).stopStatus, NVRA_STOP_INTERRUPT);
            EXPECT_LT(result(prob).solveTime, 30.0);
            struct sigaction after {};
            sigaction(SIGINT, nullptr, &after);
            EXPECT_EQ(after.sa_handler, before.sa_handler);
        }
    }
}

// The solvers' output reaches the problem's message callbacks, never the process's standard
// output, at every output level.
TEST_F(QuadTest, OutputGoesToTheLogOnly) {
    std::vector<std::string> lines;
    auto collect = [](NVRAprob, void *data, const char *msg, int, int type) {
        if (type > 0) static_cast<std::vector<std::string> *>(data)->push_back(msg);
    };
    ASSERT_EQ(NVRAaddcbmessage(prob, collect, &lines, 0), 0);
    portfolio(prob, 12, 3, true);
    for (int level : {NVRA_OUTPUT_NONE, NVRA_OUTPUT_NORMAL, NVRA_OUTPUT_DETAILED}) {
        for (int alg : {1, 2}) {
            SCOPED_TRACE(std::to_string(level) + " " + std::to_string(alg));
            lines.clear();
            setInt(prob, nvra::kCtrlOutputLog, level);
            setInt(prob, nvra::kCtrlMiqcqpAlg, alg);
            const std::string out = stdoutOf([&] {
                ASSERT_EQ(optimize(), 0) << lastError(prob);
                ASSERT_EQ(NVRAlpoptimize(prob, ""), 0) << lastError(prob);
            });
            EXPECT_EQ(out, "");
            EXPECT_EQ(lines.empty(), level == NVRA_OUTPUT_NONE) << lines.size();
            auto has = [&](const char *text) {
                return std::any_of(lines.begin(), lines.end(), [&](const std::string &l) {
                    return l.find(text) != std::string::npos;
                });
            };
            if (level == NVRA_OUTPUT_NONE) continue;
            EXPECT_TRUE(has("iter    objective")); // the interior-point log of the relaxation
            if (alg == 1) {
                EXPECT_TRUE(has("Outer approximation: optimal"));
            }
            EXPECT_FALSE(has("Ipopt is released")); // no banner
        }
    }
}

} // namespace
