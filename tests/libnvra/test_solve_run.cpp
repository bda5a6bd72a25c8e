// Running solves: interrupts from another thread and from Ctrl-C, time and iteration limits,
// the log reaching the message callbacks, solves of several problems at once, and problems
// with several objectives.
#include "test_solve_util.h"

#include <atomic>
#include <cstring>
#include <chrono>
#include <csignal>
#include <mutex>
#include <random>
#include <thread>

namespace {

using namespace solvetest;
using Clock = std::chrono::steady_clock;

// A market split problem (Cornuejols and Dawande): m equations sum_j a_ij x_j = floor(sum_j
// a_ij / 2) over n = 10 (m - 1) binaries, relaxed by slacks whose sum is minimised. Branch and
// bound needs a very long time; any x with its slacks is a feasible solution.
void buildMarketSplit(Builder &b, int m, unsigned seed) {
    const int n = 10 * (m - 1);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> coef(0, 99);
    std::vector<std::vector<double>> a(m, std::vector<double>(n));
    for (auto &row : a)
        for (double &v : row)
            v = coef(rng);
    for (int j = 0; j < n; ++j)
        b.col(0.0, 1.0, 0.0, 'B');
    for (int i = 0; i < m; ++i) {
        const int up = b.col(0.0, nvra::kInf, 1.0), down = b.col(0.0, nvra::kInf, 1.0);
        Entries e{{up, 1.0}, {down, -1.0}};
        double total = 0.0;
        for (int j = 0; j < n; ++j)
            e.emplace_back(j, a[i][j]), total += a[i][j];
        b.row('E', std::floor(total / 2), e);
    }
}

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Message callback that records every line with its type, and whether a line met a condition.
struct LogRecorder {
    std::mutex mutex;
    std::vector<std::pair<std::string, int>> lines;
    std::atomic<bool> started{false};
    const char *trigger = "";
    NVRAprob interruptOnTrigger = nullptr;

    static void callback(NVRAprob prob, void *data, const char *msg, int len, int type) {
        auto &rec = *static_cast<LogRecorder *>(data);
        EXPECT_EQ(static_cast<size_t>(len), std::strlen(msg));
        {
            std::lock_guard<std::mutex> lock(rec.mutex);
            rec.lines.emplace_back(msg, type);
        }
        if (std::strstr(msg, rec.trigger)) {
            rec.started = true;
            if (rec.interruptOnTrigger) NVRAinterrupt(rec.interruptOnTrigger, 1);
        }
        (void)prob;
    }
    void waitForTrigger() const {
        while (!started)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
};

void expectInterrupted(NVRAprob prob) {
    const auto &r = result(prob);
    EXPECT_EQ(r.solveStatus, NVRA_SOLVESTATUS_STOPPED);
    EXPECT_EQ(r.stopStatus, NVRA_STOP_INTERRUPT);
}

// An interrupt from another thread stops a long MIP search, which keeps its best solution;
// while the solve runs, edits and a second solve are refused and queries answered.
TEST_F(SolveTest, InterruptFromAnotherThread) {
    buildMarketSplit(b, 5, 1);
    setDbl(prob, nvra::kCtrlTimeLimit, 60.0);
    LogRecorder rec;
    rec.trigger = "Solving MIP model";
    ASSERT_EQ(NVRAaddcbmessage(prob, LogRecorder::callback, &rec, 0), 0);
    int rc = -1;
    const auto t0 = Clock::now();
    std::thread solver([&] { rc = optimize(); });
    rec.waitForTrigger();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(NVRAoptimize(prob, "", nullptr, nullptr), NVRA_RC_BUSY);
    EXPECT_EQ(NVRAdestroyprob(prob), NVRA_RC_BUSY);
    int status = -1;
    EXPECT_EQ(NVRAgetsolution(prob, &status, nullptr, 0, 0), 0);
    EXPECT_EQ(NVRAinterrupt(prob, 1), 0);
    solver.join();
    EXPECT_LT(seconds(t0), 20.0);
    ASSERT_EQ(rc, 0) << lastError(prob);
    expectInterrupted(prob);
    EXPECT_EQ(result(prob).mipStatus, NVRA_MIP_SOLUTION);
    EXPECT_EQ(result(prob).solStatus, NVRA_SOLSTATUS_FEASIBLE);
    const std::vector<double> x = solution(prob, &status);
    EXPECT_EQ(status, NVRA_AVAIL_FEASIBLE);
    for (int j = 0; j < 40; ++j)
        EXPECT_TRUE(x[j] == 0.0 || x[j] == 1.0);
    EXPECT_GE(result(prob).objVal, result(prob).bestBound);
}

// The simplex and interior point methods stop at their next iteration after a request; the
// request (sticky inside the engine) does not reach the next solve.
TEST_F(SolveTest, InterruptStopsLpAlgorithms) {
    readInstance(prob, "25fv47.mps");
    setInt(prob, nvra::kCtrlPresolve, NVRA_PRESOLVE_OFF);
    LogRecorder rec;
    rec.interruptOnTrigger = prob; // the first line interrupts
    ASSERT_EQ(NVRAaddcbmessage(prob, LogRecorder::callback, &rec, 0), 0);
    for (const char *flags : {"d", "p", "b"}) {
        ASSERT_EQ(optimize(flags), 0) << flags << ": " << lastError(prob);
        expectInterrupted(prob);
        EXPECT_EQ(result(prob).lpStatus, NVRA_LP_UNFINISHED) << flags;
    }
    ASSERT_EQ(NVRAremovecbmessage(prob, nullptr, nullptr), 0);
    NVRAinterrupt(prob, 1); // made while no solve runs: forgotten
    ASSERT_EQ(optimize("d"), 0);
    EXPECT_EQ(result(prob).solStatus, NVRA_SOLSTATUS_OPTIMAL);
    EXPECT_NEAR(result(prob).objVal, 5.5018458883E+03, 1e-5);
}

TEST_F(SolveTest, TimeAndIterationLimits) {
    buildMarketSplit(b, 5, 2);
    setDbl(prob, nvra::kCtrlTimeLimit, 0.5);
    const auto t0 = Clock::now();
    ASSERT_EQ(optimize(), 0);
    EXPECT_LT(seconds(t0), 5.0);
    const auto &r = result(prob);
    EXPECT_EQ(r.solveStatus, NVRA_SOLVESTATUS_STOPPED);
    EXPECT_EQ(r.stopStatus, NVRA_STOP_TIMELIMIT);
    EXPECT_GE(r.solveTime, 0.45);
    EXPECT_TRUE(r.mipStatus == NVRA_MIP_SOLUTION || r.mipStatus == NVRA_MIP_NO_SOL_FOUND ||
                r.mipStatus == NVRA_MIP_LP_OPTIMAL);
    EXPECT_EQ(r.solStatus == NVRA_SOLSTATUS_FEASIBLE, r.mipStatus == NVRA_MIP_SOLUTION);
    // Each solve has the full time again (the engine's clock is cumulative otherwise).
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(result(prob).stopStatus, NVRA_STOP_TIMELIMIT);
    EXPECT_GE(result(prob).solveTime, 0.45);
    // Node limit.
    setDbl(prob, nvra::kCtrlTimeLimit, 60.0);
    setInt(prob, nvra::kCtrlMaxNodes, 20);
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(result(prob).stopStatus, NVRA_STOP_NODELIMIT);
    EXPECT_LE(result(prob).nodes, 21);

    NVRAprob lp = nullptr;
    ASSERT_EQ(NVRAcreateprob(&lp), 0);
    readInstance(lp, "afiro.mps");
    setInt(lp, nvra::kCtrlPresolve, NVRA_PRESOLVE_OFF);
    setInt(lp, nvra::kCtrlLpIterLimit, 3);
    ASSERT_EQ(NVRAoptimize(lp, "d", nullptr, nullptr), 0);
    EXPECT_EQ(result(lp).lpStatus, NVRA_LP_UNFINISHED);
    EXPECT_EQ(result(lp).solveStatus, NVRA_SOLVESTATUS_STOPPED);
    EXPECT_EQ(result(lp).stopStatus, NVRA_STOP_ITERLIMIT);
    EXPECT_LE(result(lp).simplexIter, 3);
    int status = -1;
    EXPECT_EQ(NVRAgetduals(lp, &status, nullptr, 0, 0), 0);
    EXPECT_EQ(status, NVRA_AVAIL_NONE);
    EXPECT_EQ(NVRAdestroyprob(lp), 0);
}

// Ctrl-C during a solve interrupts it; the default disposition is back afterwards.
TEST_F(SolveTest, CtrlCInterruptsTheRunningSolve) {
    struct sigaction before {};
    ASSERT_EQ(sigaction(SIGINT, nullptr, &before), 0);
    ASSERT_EQ(before.sa_handler, SIG_DFL);
    buildMarketSplit(b, 5, 3);
    setDbl(prob, nvra::kCtrlTimeLimit, 60.0);
    LogRecorder rec;
    rec.trigger = "Solving MIP model";
    ASSERT_EQ(NVRAaddcbmessage(prob, LogRecorder::callback, &rec, 0), 0);
    int rc = -1;
    std::thread solver([&] { rc = optimize(); });
    rec.waitForTrigger();
    struct sigaction during {};
    ASSERT_EQ(sigaction(SIGINT, nullptr, &during), 0);
    ASSERT_NE(during.sa_handler, SIG_DFL); // else the signal would end the test program
    kill(getpid(), SIGINT);
    solver.join();
    ASSERT_EQ(rc, 0);
    expectInterrupted(prob);
    struct sigaction after {};
    ASSERT_EQ(sigaction(SIGINT, nullptr, &after), 0);
    EXPECT_EQ(after.sa_handler, SIG_DFL);
}

// A second Ctrl-C during the same solve takes the default action. Both signals arrive while
// the solve runs (raise delivers to the calling thread before it returns), so a process that
// ignored the second one would exit normally once the interrupted solve returned.
TEST(SolveDeathTest, SecondCtrlCEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            NVRAinit(nullptr);
            NVRAprob p = nullptr;
            NVRAcreateprob(&p);
            Builder bb{p};
            buildMarketSplit(bb, 5, 4);
            LogRecorder rec;
            rec.trigger = "Solving MIP model";
            NVRAaddcbmessage(p, LogRecorder::callback, &rec, 0);
            std::thread ctrlC([&rec] {
                rec.waitForTrigger();
                raise(SIGINT);
                raise(SIGINT);
            });
            NVRAoptimize(p, "", nullptr, nullptr);
            ctrlC.join();
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGINT), "");
}

// The log arrives line by line, with types 1 to 4, and ends with a flush request; the output
// control silences it, while engine errors still reach the last error.
TEST_F(SolveTest, LogReachesTheMessageCallbacks) {
    readInstance(prob, "egout.mps");
    LogRecorder rec;
    ASSERT_EQ(NVRAaddcbmessage(prob, LogRecorder::callback, &rec, 0), 0);
    ASSERT_EQ(optimize(), 0);
    ASSERT_GT(rec.lines.size(), 10u);
    bool summary = false;
    for (size_t k = 0; k + 1 < rec.lines.size(); ++k) {
        const auto &[line, type] = rec.lines[k];
        EXPECT_EQ(line.find('\n'), std::string::npos);
        EXPECT_GE(type, 1);
        EXPECT_LE(type, 4);
        summary = summary || line.find("Primal bound") != std::string::npos;
    }
    EXPECT_TRUE(summary);
    EXPECT_EQ(rec.lines.back().second, 0);

    rec.lines.clear();
    setInt(prob, nvra::kCtrlOutputLog, NVRA_OUTPUT_NONE);
    ASSERT_EQ(optimize(), 0);
    EXPECT_TRUE(rec.lines.empty());
    b.row('L', 1.0, {{0, 1e16}});
    EXPECT_EQ(optimize(), NVRA_RC_ENGINE);
    EXPECT_NE(lastError(prob).find("greater than 1e+15"), std::string::npos);
    EXPECT_TRUE(rec.lines.empty());
}

// Several problems solved at the same time from different threads.
TEST(SolveConcurrency, ProblemsSolvedAtTheSameTime) {
    ASSERT_EQ(NVRAinit(nullptr), 0);
    struct Job {
        const char *file;
        double optimum;
        NVRAprob prob = nullptr;
        int rc = -1;
    };
    std::vector<Job> jobs{{"egout.mps", 568.1007},     {"p0548.mps", 8691},
                          {"25fv47.mps", 5501.845888}, {"qptestnw.lp", -6.45},
                          {"lseu.mps", 1120},          {"stair.mps", -251.26695119}};
    for (Job &j : jobs) {
        ASSERT_EQ(NVRAcreateprob(&j.prob), 0);
        readInstance(j.prob, j.file);
        setDbl(j.prob, nvra::kCtrlMipRelStop, 1e-9);
    }
    std::vector<std::thread> threads;
    for (Job &j : jobs)
        threads.emplace_back([&j] { j.rc = NVRAoptimize(j.prob, "", nullptr, nullptr); });
    for (auto &t : threads)
        t.join();
    for (Job &j : jobs) {
        EXPECT_EQ(j.rc, 0) << j.file;
        EXPECT_EQ(result(j.prob).solStatus, NVRA_SOLSTATUS_OPTIMAL) << j.file;
        EXPECT_NEAR(result(j.prob).objVal, j.optimum, 1e-6 * std::fabs(j.optimum)) << j.file;
        EXPECT_EQ(NVRAdestroyprob(j.prob), 0);
    }
    EXPECT_EQ(NVRAfree(), 0);
}

// ---- several objectives ------------------------------------------------------------------------

// x in [0, 6], y in [0, 10], x + y <= 10; objective 0: max x + y (priority 2); objective 1:
// max x - y (priority 1). Level 1 reaches 10; level 2 then keeps x + y >= 10 - tolerance.
class MultiObjectiveTest : public SolveTest {
  protected:
    void SetUp() override {
        SolveTest::SetUp();
        b.col(0.0, 6.0, 1.0);
        b.col(0.0, 10.0, 1.0);
        b.row('L', 10.0, {{0, 1.0}, {1, 1.0}});
        b.sense(-1);
        b.priority(0, 2);
    }
};

TEST_F(MultiObjectiveTest, LevelsInDecreasingPriority) {
    b.objective({1.0, -1.0}, 1, 1.0);
    ASSERT_EQ(optimize(), 0) << lastError(prob);
    ASSERT_EQ(numSolves(prob), 2);
    EXPECT_NEAR(result(prob, 0).objVal, 10.0, 1e-9);
    EXPECT_NEAR(result(prob, 1).objVal, 2.0, 1e-9); // x = 6, y = 4
    const std::vector<double> x = solution(prob);
    EXPECT_NEAR(x[0], 6.0, 1e-9);
    EXPECT_NEAR(x[1], 4.0, 1e-9);
    for (int k = 0; k < 2; ++k)
        EXPECT_EQ(result(prob, k).solStatus, NVRA_SOLSTATUS_OPTIMAL);
    // An absolute tolerance of 4 on level 1: x + y >= 6, so x = 6, y = 0.
    b.objControl(0, NVRA_OBJCONTROL_ABSTOL, 4.0);
    ASSERT_EQ(optimize(), 0);
    EXPECT_NEAR(result(prob).objVal, 6.0, 1e-9);
    // A relative one of 0.2: x + y >= 8.
    b.objControl(0, NVRA_OBJCONTROL_ABSTOL, 0.0);
    b.objControl(0, NVRA_OBJCONTROL_RELTOL, 0.2);
    ASSERT_EQ(optimize(), 0);
    EXPECT_NEAR(result(prob).objVal, 4.0, 1e-9);
    // The priorities the other way round: max x - y first (6 at x = 6, y = 0), then x + y.
    b.objControl(0, NVRA_OBJCONTROL_RELTOL, 0.0);
    b.priority(1, 3);
    ASSERT_EQ(optimize(), 0);
    EXPECT_NEAR(result(prob, 0).objVal, 6.0, 1e-9);
    EXPECT_NEAR(result(prob, 1).objVal, 6.0, 1e-9);
}

TEST_F(MultiObjectiveTest, EqualPrioritiesAreBlendedAndWeightsFlipSenses) {
    // Same priority, weight 2: max (x + y) + 2 (x - y) = 3x - y: x = 6, y = 0, value 18.
    b.objective({1.0, -1.0}, 2, 2.0);
    ASSERT_EQ(optimize(), 0);
    ASSERT_EQ(numSolves(prob), 1);
    EXPECT_NEAR(result(prob).objVal, 18.0, 1e-9);
    // Weight -1 on a lower priority: level 2 maximises -(x - y), keeping x + y = 10: x = 0.
    b.priority(1, 1);
    b.objControl(1, NVRA_OBJCONTROL_WEIGHT, -1.0);
    ASSERT_EQ(optimize(), 0);
    ASSERT_EQ(numSolves(prob), 2);
    EXPECT_NEAR(solution(prob)[0], 0.0, 1e-9);
    EXPECT_NEAR(result(prob).objVal, 10.0, 1e-9);
    // One blended level over all objectives whatever their priorities.
    setInt(prob, nvra::kCtrlMultiObjOps, 1);
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(numSolves(prob), 1);
    EXPECT_NEAR(result(prob).objVal, 20.0, 1e-9); // max 2y: y = 10, x = 0
}

TEST_F(MultiObjectiveTest, ConstantsIntegersAndInfeasibleLevels) {
    b.type(0, 'I');
    b.type(1, 'I');
    b.bounds(0, 0.0, 5.5);
    b.constant(1.0);
    b.objective({1.0, 0.0}, 1, 1.0, 0.0, 0.0, 100.0);
    ASSERT_EQ(optimize(), 0);
    ASSERT_EQ(numSolves(prob), 2);
    EXPECT_NEAR(result(prob, 0).objVal, 11.0, 1e-9);
    EXPECT_EQ(result(prob, 1).optimizeType, NVRA_OPTIMIZETYPE_MIP);
    EXPECT_NEAR(result(prob, 1).mipObjVal, 105.0, 1e-9); // x = 5, y = 5
    EXPECT_NEAR(solution(prob)[1], 5.0, 1e-9);
    b.row('G', 11.0, {{0, 1.0}, {1, 1.0}});
    ASSERT_EQ(optimize(), 0);
    EXPECT_EQ(numSolves(prob), 1);
    EXPECT_EQ(result(prob).solStatus, NVRA_SOLSTATUS_INFEASIBLE);
}

} // namespace
