// Controls as HiGHS options: defaults keep the engine's defaults, each translation reaches its
// options, the algorithm choice follows the problem class.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "highs_c_api.h"
#include "nvra.h"
#include "core/problem.h"
#include "nvra_test.h"
#include "solver/engine.h"

namespace {

using nvra::SolveClass;

// Every option value of a HiGHS instance as text: the listed options plus the advanced ones the
// controls drive, which the listing leaves out.
std::map<std::string, std::string> options(void *h) {
    std::vector<std::string> names = {"presolve_rule_off", "log_dev_level",
                                      "simplex_primal_edge_weight_strategy",
                                      "simplex_dual_edge_weight_strategy"};
    for (HighsInt i = 0, n = Highs_getNumOptions(h); i < n; ++i) {
        char *name = nullptr;
        if (Highs_getOptionName(h, i, &name) == kHighsStatusOk) names.emplace_back(name);
        free(name); // allocated by the engine for the caller
    }
    std::map<std::string, std::string> out;
    for (const std::string &name : names) {
        HighsInt type = -1;
        EXPECT_EQ(Highs_getOptionType(h, name.c_str(), &type), kHighsStatusOk) << name;
        char text[kHighsMaximumStringLength] = "";
        if (type == kHighsOptionTypeBool) {
            HighsInt v = 0;
            Highs_getBoolOptionValue(h, name.c_str(), &v);
            snprintf(text, sizeof text, "%d", static_cast<int>(v));
        } else if (type == kHighsOptionTypeInt) {
            HighsInt v = 0;
            Highs_getIntOptionValue(h, name.c_str(), &v);
            snprintf(text, sizeof text, "%d", static_cast<int>(v));
        } else if (type == kHighsOptionTypeDouble) {
            double v = 0;
            Highs_getDoubleOptionValue(h, name.c_str(), &v);
            snprintf(text, sizeof text, "%.17g", v);
        } else {
            Highs_getStringOptionValue(h, name.c_str(), text);
        }
        out[name] = text;
    }
    return out;
}

class ControlsHighs : public nvratest::ProblemTest {
  protected:
    void SetUp() override {
        ProblemTest::SetUp();
        h = Highs_create();
        Highs_setBoolOptionValue(h, "output_flag", 0);
    }
    void TearDown() override {
        Highs_destroy(h);
        ProblemTest::TearDown();
    }
    void apply(SolveClass cls = SolveClass::Lp, int alg = 0) {
        ASSERT_EQ(nvra::applyControlsToHighs(p, h, cls, alg), 0);
    }
    std::string str(const char *option) {
        char v[kHighsMaximumStringLength] = "";
        EXPECT_EQ(Highs_getStringOptionValue(h, option, v), kHighsStatusOk) << option;
        return v;
    }
    int integer(const char *option) {
        HighsInt v = -99;
        EXPECT_EQ(Highs_getIntOptionValue(h, option, &v), kHighsStatusOk) << option;
        return static_cast<int>(v);
    }
    bool boolean(const char *option) {
        HighsInt v = -1;
        EXPECT_EQ(Highs_getBoolOptionValue(h, option, &v), kHighsStatusOk) << option;
        return v != 0;
    }
    double dbl(const char *option) {
        double v = -99;
        EXPECT_EQ(Highs_getDoubleOptionValue(h, option, &v), kHighsStatusOk) << option;
        return v;
    }
    void setInt(int id, int64_t v) { ASSERT_EQ(NVRAsetintcontrol64(p, id, v), 0); }

    void *h = nullptr;
};

TEST_F(ControlsHighs, DefaultControlsKeepTheEngineDefaults) {
    for (SolveClass cls : {SolveClass::Lp, SolveClass::Qp, SolveClass::Mip}) {
        void *fresh = Highs_create();
        Highs_setBoolOptionValue(fresh, "output_flag", 0);
        apply(cls);
        auto expected = options(fresh);
        auto actual = options(h);
        // Fixed by the library whatever the controls say.
        expected.insert_or_assign("output_flag", std::string("1"));
        expected.insert_or_assign("log_to_console", std::string("0"));
        ASSERT_EQ(actual.size(), expected.size());
        for (const auto &[name, value] : expected)
            EXPECT_EQ(actual[name], value) << name << " for class " << static_cast<int>(cls);
        Highs_destroy(fresh);
    }
}

TEST_F(ControlsHighs, ValuesAsTheyAre) {
    setInt(nvra::kCtrlThreads, 3);
    setInt(nvra::kCtrlSeed, 12345);
    setInt(nvra::kCtrlMaxNodes, 77);
    setInt(nvra::kCtrlSymmetry, 0);
    setInt(nvra::kCtrlRootPresolveOnly, 1);
    ASSERT_EQ(NVRAsetdblcontrol(p, nvra::kCtrlTimeLimit, 2.5), 0);
    ASSERT_EQ(NVRAsetdblcontrol(p, nvra::kCtrlMipRelStop, 0.01), 0);
    ASSERT_EQ(NVRAsetdblcontrol(p, nvra::kCtrlMipTol, 1e-5), 0);
    apply();
    EXPECT_EQ(integer("threads"), 3);
    EXPECT_EQ(integer("random_seed"), 12345);
    EXPECT_EQ(integer("mip_max_nodes"), 77);
    EXPECT_FALSE(boolean("mip_detect_symmetry"));
    EXPECT_TRUE(boolean("mip_root_presolve_only"));
    EXPECT_EQ(dbl("time_limit"), 2.5);
    EXPECT_EQ(dbl("mip_rel_gap"), 0.01);
    EXPECT_EQ(dbl("mip_feasibility_tolerance"), 1e-5);
    // 1e20 is the engine's infinity; the values are written again at every application.
    ASSERT_EQ(NVRAsetdblcontrol(p, nvra::kCtrlTimeLimit, 1e20), 0);
    setInt(nvra::kCtrlThreads, 0);
    apply();
    EXPECT_TRUE(std::isinf(dbl("time_limit")));
    EXPECT_EQ(integer("threads"), 0);
}

TEST_F(ControlsHighs, WithACacheOnlyChangedValuesAreWritten) {
    nvra::OptionCache cache;
    auto applyCached = [&] {
        ASSERT_EQ(nvra::applyControlsToHighs(p, h, SolveClass::Lp, 0, &cache), 0);
    };
    applyCached();
    // Options changed behind the cache's back keep their values: nothing was written again.
    Highs_setIntOptionValue(h, "random_seed", 99);
    Highs_setStringOptionValue(h, "presolve", "off");
    Highs_setDoubleOptionValue(h, "time_limit", 9.0);
    applyCached();
    EXPECT_EQ(integer("random_seed"), 99);
    EXPECT_EQ(str("presolve"), "off");
    EXPECT_EQ(dbl("time_limit"), 9.0);
    // A control that changes is written, the others still are not.
    setInt(nvra::kCtrlSeed, 7);
    ASSERT_EQ(NVRAsetdblcontrol(p, nvra::kCtrlTimeLimit, 2.5), 0);
    applyCached();
    EXPECT_EQ(integer("random_seed"), 7);
    EXPECT_EQ(dbl("time_limit"), 2.5);
    EXPECT_EQ(str("presolve"), "off");
    // Without the cache everything is written.
    apply();
    EXPECT_EQ(str("presolve"), "choose");
}

TEST_F(ControlsHighs, TranslatedValues) {
    const char *presolve[] = {"off", "choose", "on"};
    for (int v = 0; v <= 2; ++v) {
        setInt(NVRA_CONTROL_PRESOLVE, v);
        apply();
        EXPECT_EQ(str("presolve"), presolve[v]);
    }
    const int primalPricing[] = {0, -1, 1, 2};
    for (int v = -1; v <= 2; ++v) {
        setInt(nvra::kCtrlPricing, v);
        apply();
        EXPECT_EQ(integer("simplex_primal_edge_weight_strategy"), primalPricing[v + 1]);
    }
    const int dualPricing[] = {-1, 1, 2};
    for (int v = -1; v <= 1; ++v) {
        setInt(nvra::kCtrlDualGradient, v);
        apply();
        EXPECT_EQ(integer("simplex_dual_edge_weight_strategy"), dualPricing[v + 1]);
    }
    const char *crossover[] = {"on", "off", "on"};
    const char *parallel[] = {"choose", "off", "on"};
    for (int v = -1; v <= 1; ++v) {
        setInt(nvra::kCtrlCrossover, v);
        setInt(nvra::kCtrlParallelMode, v);
        apply();
        EXPECT_EQ(str("run_crossover"), crossover[v + 1]);
        EXPECT_EQ(str("parallel"), parallel[v + 1]);
    }
    // Off at 0, on otherwise.
    for (int v : {-1, 0, 2}) {
        setInt(nvra::kCtrlCutStrategy, v);
        setInt(nvra::kCtrlMipRestart, v);
        setInt(nvra::kCtrlFeasibilityPump, v == 2 ? 1 : v);
        apply();
        EXPECT_EQ(boolean("mip_allow_cut_separation_at_nodes"), v != 0);
        EXPECT_EQ(boolean("mip_allow_restart"), v != 0);
        EXPECT_EQ(boolean("mip_heuristic_run_feasibility_jump"), v != 0);
    }
    // Both presolve rule controls go into one bit mask.
    setInt(nvra::kCtrlPresolveCoefElim, 0);
    apply();
    EXPECT_EQ(integer("presolve_rule_off"), 1 << 14);
    setInt(nvra::kCtrlPreProbing, 0);
    apply();
    EXPECT_EQ(integer("presolve_rule_off"), (1 << 14) | (1 << 15));
    setInt(nvra::kCtrlPresolveCoefElim, 1);
    setInt(nvra::kCtrlPreProbing, 2);
    apply();
    EXPECT_EQ(integer("presolve_rule_off"), 0);
    // Root heuristics bit by bit.
    setInt(nvra::kCtrlHeurSearchRoot, 4 | 8);
    apply();
    EXPECT_FALSE(boolean("mip_heuristic_run_rins"));
    EXPECT_FALSE(boolean("mip_heuristic_run_rens"));
    EXPECT_TRUE(boolean("mip_heuristic_run_zi_round"));
    EXPECT_TRUE(boolean("mip_heuristic_run_shifting"));
    EXPECT_FALSE(boolean("mip_heuristic_run_root_reduced_cost"));
    // Iteration limits cover the QP and first-order methods too.
    setInt(nvra::kCtrlLpIterLimit, 500);
    setInt(nvra::kCtrlBarIterLimit, 40);
    apply();
    EXPECT_EQ(integer("simplex_iteration_limit"), 500);
    EXPECT_EQ(integer("qp_iteration_limit"), 500);
    EXPECT_EQ(integer("ipm_iteration_limit"), 40);
    EXPECT_EQ(integer("pdlp_iteration_limit"), 40);
}

TEST_F(ControlsHighs, OutputKeepsErrorsFlowing) {
    for (int level : {NVRA_OUTPUT_NONE, NVRA_OUTPUT_NORMAL, NVRA_OUTPUT_DETAILED}) {
        setInt(NVRA_CONTROL_OUTPUTLOG, level);
        Highs_setBoolOptionValue(h, "log_to_console", 1);
        apply();
        EXPECT_TRUE(boolean("output_flag"));
        EXPECT_FALSE(boolean("log_to_console"));
        EXPECT_EQ(integer("log_dev_level"), level == NVRA_OUTPUT_DETAILED ? 1 : 0);
    }
}

TEST_F(ControlsHighs, LogFileIsSetOnlyWhenItChanges) {
    char path[] = "/tmp/nvra_ctrl_logXXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_EQ(NVRAsetstrcontrol(p, nvra::kCtrlLogFile, path), 0);
    apply();
    EXPECT_EQ(str("log_file"), path);
    ASSERT_EQ(NVRAsetstrcontrol(p, nvra::kCtrlLogFile, ""), 0);
    apply();
    EXPECT_EQ(str("log_file"), "");
    remove(path);
}

struct AlgCase {
    SolveClass cls;
    int requested;
    int defaultAlg;
    int lpFlags;
    int dualStrategy;
    int expectedAlg;
    const char *solver;
    const char *mipLpSolver;
    int simplexStrategy;
};

TEST_F(ControlsHighs, AlgorithmFollowsTheProblemClass) {
    using C = SolveClass;
    const AlgCase cases[] = {
        // An LP gets the algorithm itself.
        {C::Lp, 0, NVRA_ALG_AUTOMATIC, 0, 0, NVRA_ALG_AUTOMATIC, "choose", "choose", 1},
        {C::Lp, 0, NVRA_ALG_DUAL, 0, 2, NVRA_ALG_DUAL, "simplex", "choose", 2},
        {C::Lp, 0, NVRA_ALG_PRIMAL, 0, 2, NVRA_ALG_PRIMAL, "simplex", "choose", 4},
        {C::Lp, 0, NVRA_ALG_BARRIER, 0, 0, NVRA_ALG_BARRIER, "ipm", "choose", 1},
        {C::Lp, 0, NVRA_ALG_FIRSTORDER, 0, 3, NVRA_ALG_FIRSTORDER, "pdlp", "choose", 3},
        // lpflags decide for continuous solves (first bit in the order dual, primal, barrier).
        {C::Lp, 0, NVRA_ALG_DUAL, 4 | 8, 0, NVRA_ALG_BARRIER, "ipm", "choose", 1},
        {C::Lp, 0, NVRA_ALG_BARRIER, 2 | 4, 0, NVRA_ALG_PRIMAL, "simplex", "choose", 4},
        // The letters of the optimize call win over both.
        {C::Lp, NVRA_ALG_PRIMAL, NVRA_ALG_BARRIER, 1, 0, NVRA_ALG_PRIMAL, "simplex", "choose", 4},
        // A MIP keeps solver "choose" and hands the algorithm to its LPs; lpflags do not apply.
        {C::Mip, 0, NVRA_ALG_BARRIER, 2, 0, NVRA_ALG_BARRIER, "choose", "ipm", 1},
        {C::Mip, 0, NVRA_ALG_PRIMAL, 0, 0, NVRA_ALG_PRIMAL, "choose", "simplex", 4},
        {C::Mip, NVRA_ALG_DUAL, NVRA_ALG_AUTOMATIC, 0, 0, NVRA_ALG_DUAL, "choose", "simplex", 1},
        {C::Mip, 0, NVRA_ALG_FIRSTORDER, 0, 0, NVRA_ALG_FIRSTORDER, "choose", "choose", 1},
        // A quadratic objective always goes to the engine's QP method.
        {C::Qp, 0, NVRA_ALG_BARRIER, 0, 0, NVRA_ALG_BARRIER, "choose", "choose", 1},
        {C::Qp, NVRA_ALG_PRIMAL, NVRA_ALG_AUTOMATIC, 0, 0, NVRA_ALG_PRIMAL, "choose", "choose", 4},
    };
    for (const AlgCase &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "class " << static_cast<int>(c.cls) << " requested " << c.requested
                     << " defaultalg " << c.defaultAlg << " lpflags " << c.lpFlags);
        setInt(NVRA_CONTROL_DEFAULTALG, c.defaultAlg);
        setInt(nvra::kCtrlLpFlags, c.lpFlags);
        setInt(nvra::kCtrlDualStrategy, c.dualStrategy);
        EXPECT_EQ(nvra::chooseAlgorithm(p->controls, c.cls, c.requested), c.expectedAlg);
        apply(c.cls, c.requested);
        EXPECT_EQ(str("solver"), c.solver);
        EXPECT_EQ(str("mip_lp_solver"), c.mipLpSolver);
        EXPECT_EQ(integer("simplex_strategy"), c.simplexStrategy);
    }
}

} // namespace
