// The engine's thread pool: solves may ask for another thread count than earlier ones.
#include "test_solve_util.h"

#include "core/controls.h"

namespace solvetest {
namespace {

// A MIP small enough to solve in an instant: max x + y, x + 2y <= 4.5, x, y integer in [0, 3].
void buildMip(NVRAprob prob) {
    Builder b{prob};
    const int x = b.col(0, 3, 1, 'I'), y = b.col(0, 3, 1, 'I');
    b.row('L', 4.5, {{x, 1}, {y, 2}});
    b.sense(-1);
}

TEST_F(SolveTest, EveryThreadCountIsHonouredOneSolveAfterAnother) {
    buildMip(prob);
    for (int threads : {1, 2, 0, 1}) {
        setInt(prob, nvra::kCtrlThreads, threads);
        ASSERT_EQ(optimize(), 0) << "threads " << threads << ": " << lastError(prob);
        EXPECT_EQ(result(prob).solStatus, NVRA_SOLSTATUS_OPTIMAL);
        EXPECT_DOUBLE_EQ(result(prob).objVal, 3.0);
    }
}

TEST_F(SolveTest, TwoProblemsWithDifferentThreadCounts) {
    NVRAprob other = nullptr;
    ASSERT_EQ(NVRAcreateprob(&other), 0);
    buildMip(prob);
    buildMip(other);
    setInt(prob, nvra::kCtrlThreads, 1);
    setInt(other, nvra::kCtrlThreads, 2);
    ASSERT_EQ(optimize(), 0) << lastError(prob);
    ASSERT_EQ(NVRAoptimize(other, "", nullptr, nullptr), 0) << lastError(other);
    EXPECT_EQ(result(other).solStatus, NVRA_SOLSTATUS_OPTIMAL);
    EXPECT_EQ(NVRAdestroyprob(other), 0);
}

} // namespace
} // namespace solvetest
