// Multistart runs side by side: a callback keeps them serial. That runs side by side pick the
// serial winner is tested through the module (tests/nonlinear/test_nl_solve.py).
#include "nl_test_util.h"

#include <string>
#include <vector>

namespace {

using nltest::NlTest;

std::vector<std::string> lines;
void collect(NVRAprob, void *, const char *msg, int, int) {
    lines.emplace_back(msg);
}

// sum_j 10 (x_j^2 - 1)^2 + (j + 1) x_j / 4 over [-3, 3]^4: 16 local minima, one global;
// 8 random starts by the successive linear programming solver.
class Multistart : public NlTest {
  protected:
    static constexpr int kCols = 4;
    void SetUp() override {
        NlTest::SetUp();
        std::vector<double> lb(kCols, -3.0), ub(kCols, 3.0);
        ASSERT_EQ(
            NVRAaddcols(p, kCols, 0, nullptr, nullptr, nullptr, nullptr, lb.data(), ub.data()), 0);
        std::string f;
        for (int j = 0; j < kCols; ++j)
            f += (j ? " + " : "") + std::string("10 * (C") + std::to_string(j) +
                 " ^ 2 - 1) ^ 2 + " + std::to_string(0.25 * (j + 1)) + " * C" + std::to_string(j);
        ASSERT_EQ(NVRAnlpchgformulastr(p, NSLP_OBJECTIVE, f.c_str()), 0) << err();
        ASSERT_EQ(NSLPsetintcontrol(nl, 12300, 1), 0);
        ASSERT_EQ(NSLPmsaddpreset(nl, "random", NSLP_MSPRESET_RANDOM, 8, nullptr), 0) << err();
        ASSERT_EQ(NVRAaddcbmessage(p, collect, nullptr, 0), 0);
    }
    // The winner's objective and point, with the summary line of the runs.
    double solve(int threads, std::vector<double> &x, std::string &summary) {
        lines.clear();
        EXPECT_EQ(NSLPsetintcontrol(nl, 12306, threads), 0);
        int solve = -1, sol = -1;
        EXPECT_EQ(NVRAoptimize(p, "", &solve, &sol), 0) << err();
        EXPECT_EQ(sol, NVRA_SOLSTATUS_FEASIBLE);
        double obj = 0;
        EXPECT_EQ(NVRAgetdblattrib(p, 2500, &obj), 0);
        x.assign(kCols, 0.0);
        EXPECT_EQ(NVRAgetsolution(p, nullptr, x.data(), 0, kCols - 1), 0) << err();
        for (const std::string &l : lines)
            if (l.rfind("Multistart:", 0) == 0) summary = l;
        return obj;
    }
};

int countIterations(NSLPprob, void *data) {
    ++*static_cast<int *>(data);
    return 0;
}

TEST_F(Multistart, CallbacksKeepTheRunsSerial) {
    int iterations = 0;
    ASSERT_EQ(NSLPsetcbiterend(nl, countIterations, &iterations), 0);
    std::vector<double> x;
    std::string line;
    solve(2, x, line);
    EXPECT_EQ(line.find("side by side"), std::string::npos) << line;
    EXPECT_GT(iterations, 8);
}

} // namespace
