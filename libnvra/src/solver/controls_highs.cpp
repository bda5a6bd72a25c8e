// controls_highs.cpp: a problem's controls as HiGHS options, set before each solve.
#include "core/problem.h"
#include "solver/engine.h"

#include "highs_c_api.h"

namespace nvra {
namespace {

static_assert(kEngineStringLength == static_cast<size_t>(kHighsMaximumStringLength));

// Sets HiGHS options on behalf of registry rows, through the engine's option cache when there is
// one; the first refusal is reported on the problem (naming the control) and ends the writing.
class OptionWriter {
  public:
    OptionWriter(NVRAprob prob, void *highs, OptionCache *cache)
        : prob_(prob), highs_(highs), cache_(cache) {}
    int rc() const { return rc_; }

    void setBool(const CaEntry &e, const char *option, bool v) {
        check(e, option, writeBoolOption(highs_, cache_, option, v));
    }
    void setInt(const CaEntry &e, const char *option, int64_t v) {
        check(e, option, writeIntOption(highs_, cache_, option, v));
    }
    // +-1e20 is the engine's infinity.
    void setDouble(const CaEntry &e, const char *option, double v) {
        const double inf = Highs_getInfinity(highs_);
        check(e, option,
              writeDoubleOption(highs_, cache_, option,
                                v >= kInf    ? inf
                                : v <= -kInf ? -inf
                                             : v));
    }
    void setString(const CaEntry &e, const char *option, const char *v) {
        check(e, option, writeStringOption(highs_, cache_, option, v));
    }
    // The value of an untranslated row, converted to the type of its option.
    void setAsIs(const CaEntry &e, const ControlValues &c) {
        switch (e.type) {
        case CaType::Int:
            if (optionType(highs_, cache_, e.highsOption) == kHighsOptionTypeBool)
                setBool(e, e.highsOption, c.ints[e.slot] != 0);
            else
                setInt(e, e.highsOption, c.ints[e.slot]);
            break;
        case CaType::Double:
            setDouble(e, e.highsOption, c.dbls[e.slot]);
            break;
        case CaType::String:
            setString(e, e.highsOption, c.strs[e.slot].c_str());
            break;
        }
    }

  private:
    void check(const CaEntry &e, const char *option, HighsInt status) {
        if (status != kHighsStatusError || rc_) return;
        rc_ = probError(prob_, NVRA_RC_ENGINE,
                        "Control %d (%s): the engine refused the value for its option %s", e.id,
                        e.name, option);
    }

    NVRAprob prob_;
    void *highs_;
    OptionCache *cache_;
    int rc_ = 0;
};

// What a translation sees: the row, its problem's values and the solve's class and algorithm.
struct Context {
    const ControlValues &c;
    SolveClass cls;
    int alg;
    int64_t value(int slot) const { return c.ints[slot]; }
};

using Translate = void (*)(OptionWriter &, const CaEntry &, const Context &);

// Presolve rules of the engine that controls switch off (bit k of presolve_rule_off is rule k).
constexpr int64_t kRuleSparsify = int64_t{1} << 14;
constexpr int64_t kRuleProbing = int64_t{1} << 15;

void presolve(OptionWriter &w, const CaEntry &e, const Context &x) {
    static const char *const modes[] = {"off", "choose", "on"};
    w.setString(e, "presolve", modes[x.value(intSlot::kCtrlPresolve)]);
}

void pricing(OptionWriter &w, const CaEntry &e, const Context &x) {
    static const int strategy[] = {0, -1, 1, 2}; // Dantzig, automatic, Devex, steepest edge
    w.setInt(e, "simplex_primal_edge_weight_strategy",
             strategy[x.value(intSlot::kCtrlPricing) + 1]);
}

void dualGradient(OptionWriter &w, const CaEntry &e, const Context &x) {
    static const int strategy[] = {-1, 1, 2}; // automatic, Devex, steepest edge
    w.setInt(e, "simplex_dual_edge_weight_strategy",
             strategy[x.value(intSlot::kCtrlDualGradient) + 1]);
}

// solver, mip_lp_solver and simplex_strategy from the chosen algorithm and dualstrategy.
void algorithm(OptionWriter &w, const CaEntry &e, const Context &x) {
    static const int dualStrategy[] = {1, 1, 2, 3};
    const int simplexStrategy =
        x.alg == NVRA_ALG_PRIMAL ? 4 : dualStrategy[x.value(intSlot::kCtrlDualStrategy)];
    const char *lpSolver = "choose";
    switch (x.alg) {
    case NVRA_ALG_DUAL:
    case NVRA_ALG_PRIMAL:
        lpSolver = "simplex";
        break;
    case NVRA_ALG_BARRIER:
        lpSolver = "ipm";
        break;
    case NVRA_ALG_FIRSTORDER:
        lpSolver = x.cls == SolveClass::Lp ? "pdlp" : "choose";
        break;
    }
    w.setString(e, "solver", x.cls == SolveClass::Lp ? lpSolver : "choose");
    w.setString(e, "mip_lp_solver", x.cls == SolveClass::Mip ? lpSolver : "choose");
    w.setInt(e, "simplex_strategy", simplexStrategy);
}

void outputLog(OptionWriter &w, const CaEntry &e, const Context &x) {
    w.setBool(e, "output_flag", true);
    w.setBool(e, "log_to_console", false);
    w.setInt(e, "log_dev_level", x.value(intSlot::kCtrlOutputLog) == NVRA_OUTPUT_DETAILED ? 1 : 0);
}

void crossover(OptionWriter &w, const CaEntry &e, const Context &x) {
    w.setString(e, "run_crossover", x.value(intSlot::kCtrlCrossover) == 0 ? "off" : "on");
}

void parallelMode(OptionWriter &w, const CaEntry &e, const Context &x) {
    static const char *const modes[] = {"choose", "off", "on"};
    w.setString(e, "parallel", modes[x.value(intSlot::kCtrlParallelMode) + 1]);
}

// Rows whose option is on unless the control is 0 (off or none).
template <int Slot> void onUnlessZero(OptionWriter &w, const CaEntry &e, const Context &x) {
    w.setBool(e, e.highsOption, x.value(Slot) != 0);
}

void presolveRules(OptionWriter &w, const CaEntry &e, const Context &x) {
    int64_t off = 0;
    if (x.value(intSlot::kCtrlPresolveCoefElim) == 0) off |= kRuleSparsify;
    if (x.value(intSlot::kCtrlPreProbing) == 0) off |= kRuleProbing;
    w.setInt(e, "presolve_rule_off", off);
}

void rootHeuristics(OptionWriter &w, const CaEntry &e, const Context &x) {
    static const char *const options[] = {
        "mip_heuristic_run_rins", "mip_heuristic_run_rens", "mip_heuristic_run_zi_round",
        "mip_heuristic_run_shifting", "mip_heuristic_run_root_reduced_cost"};
    const int64_t bits = x.value(intSlot::kCtrlHeurSearchRoot);
    for (int k = 0; k < 5; ++k)
        w.setBool(e, options[k], (bits >> k) & 1);
}

void lpIterLimit(OptionWriter &w, const CaEntry &e, const Context &x) {
    w.setInt(e, "simplex_iteration_limit", x.value(intSlot::kCtrlLpIterLimit));
    w.setInt(e, "qp_iteration_limit", x.value(intSlot::kCtrlLpIterLimit));
}

void barIterLimit(OptionWriter &w, const CaEntry &e, const Context &x) {
    w.setInt(e, "ipm_iteration_limit", x.value(intSlot::kCtrlBarIterLimit));
    w.setInt(e, "pdlp_iteration_limit", x.value(intSlot::kCtrlBarIterLimit));
}

void none(OptionWriter &, const CaEntry &, const Context &) {}

// The rows whose value is translated; every other row with a HiGHS option is passed as it is.
// Rows that share an option are written by one of them (the others map to `none`).
struct Translation {
    int id;
    Translate fn;
};
constexpr Translation kTranslations[] = {
    {kCtrlPresolve, presolve},
    {kCtrlPricing, pricing},
    {kCtrlDefaultAlg, algorithm},
    {kCtrlDualStrategy, none}, // in algorithm
    {kCtrlOutputLog, outputLog},
    {kCtrlCrossover, crossover},
    {kCtrlCutStrategy, onUnlessZero<intSlot::kCtrlCutStrategy>},
    {kCtrlParallelMode, parallelMode},
    {kCtrlDualGradient, dualGradient},
    {kCtrlFeasibilityPump, onUnlessZero<intSlot::kCtrlFeasibilityPump>},
    {kCtrlMipRestart, onUnlessZero<intSlot::kCtrlMipRestart>},
    {kCtrlPresolveCoefElim, presolveRules},
    {kCtrlPreProbing, none}, // in presolveRules
    {kCtrlHeurSearchRoot, rootHeuristics},
    {kCtrlLpIterLimit, lpIterLimit},
    {kCtrlBarIterLimit, barIterLimit},
};

Translate translationOf(int id) {
    for (const Translation &t : kTranslations)
        if (t.id == id) return t.fn;
    return nullptr;
}

} // namespace

int chooseAlgorithm(const ControlValues &controls, SolveClass cls, int requested) {
    if (requested) return requested;
    if (cls != SolveClass::Mip) {
        const int64_t flags = controls.ints[intSlot::kCtrlLpFlags];
        static const int inOrder[] = {NVRA_ALG_DUAL, NVRA_ALG_PRIMAL, NVRA_ALG_BARRIER,
                                      NVRA_ALG_FIRSTORDER};
        for (int k = 0; k < 4; ++k)
            if ((flags >> k) & 1) return inOrder[k];
    }
    return static_cast<int>(controls.ints[intSlot::kCtrlDefaultAlg]);
}

int applyControlsToHighs(NVRAprob prob, void *highs, SolveClass cls, int requestedAlg,
                         OptionCache *cache) {
    const ControlValues &c = prob->controls;
    const Context context{c, cls, chooseAlgorithm(c, cls, requestedAlg)};
    OptionWriter writer(prob, highs, cache);
    for (const CaEntry &e : kRegistry) {
        if (writer.rc()) break;
        if (e.slot < 0) continue;
        if (Translate fn = translationOf(e.id))
            fn(writer, e, context);
        else if (e.highsOption)
            writer.setAsIs(e, c);
    }
    return writer.rc();
}

} // namespace nvra
