// highs_callbacks.cpp: the engine's callback points as events of the running solve's callbacks
// (see highs_callbacks.h), and solutions given during a solve handed to the engine.
#include "solver/highs_callbacks.h"

#include <cmath>
#include <limits>

namespace nvra {
namespace {

// The engine's infinities as the library's 1e20.
double libraryValue(double v) {
    return std::fabs(v) >= kInf ? std::copysign(kInf, v) : v;
}

MipPoint mipPoint(const HighsCallbackDataOut &out) {
    MipPoint at;
    at.primal = libraryValue(out.mip_primal_bound);
    at.dual = libraryValue(out.mip_dual_bound);
    at.gap = out.mip_gap >= 0 ? out.mip_gap : kInf;
    at.time = out.running_time;
    at.nodes = out.mip_node_count;
    at.lpIterations = out.mip_total_lp_iterations;
    return at;
}

// ---- solutions given during a solve -------------------------------------------------------------

bool integral(char type) {
    return type == 'B' || type == 'I';
}

// Row activity of x (one value per column) against the row's type and right-hand side.
bool rowHolds(const Model &m, int i, const std::vector<double> &x, double tol) {
    const double a = m.activity(i, x.data());
    const double rhs = m.rhs[i];
    switch (m.rowtype[i]) {
    case 'L':
        return a <= rhs + tol;
    case 'G':
        return a >= rhs - tol;
    case 'E':
        return std::fabs(a - rhs) <= tol;
    case 'R':
        return a >= rhs - m.range[i] - tol && a <= rhs + tol;
    default:
        return true;
    }
}

// The columns the solution gives lie within their bounds and are integral where they must be.
bool columnsHold(const Model &m, const UserSolution &s, double feasTol, double intTol) {
    for (size_t k = 0; k < s.values.size(); ++k) {
        const int j = s.colind.empty() ? static_cast<int>(k) : s.colind[k];
        const double v = s.values[k];
        if (!std::isfinite(v) || v < m.lb[j] - feasTol || v > m.ub[j] + feasTol) return false;
        if (integral(m.coltype[j]) && std::fabs(v - std::round(v)) > intTol) return false;
    }
    return true;
}

// The engine's C interface sets a solution given in a callback on its own record of the call
// but not on the copy it hands the callback, and copies that back over its record when the
// callback returns: the solution would be dropped unless the copy says there is one.
bool handedOver(int highsStatus, HighsCallbackDataIn *in) {
    if (!highsOk(highsStatus)) return false;
    in->user_has_solution = 1;
    return true;
}

// A full solution of a model the engine holds as it is (plain columns, no auxiliary ones) is
// checked here; any other is handed over for the engine to complete, which it may fail to do.
int offerUserSolution(const Model &m, const Engine &e, const NVRAprob prob, const UserSolution &s,
                      HighsCallbackDataIn *in) {
    const double feasTol = prob->controls.dbls[dblSlot::kCtrlFeasTol];
    const double intTol = prob->controls.dbls[dblSlot::kCtrlMipTol];
    if (!columnsHold(m, s, feasTol, intTol)) return NVRA_USERSOL_INFEASIBLE;
    const int n = m.numCols();
    bool plain = e.numCol == n;
    for (char t : m.coltype)
        plain = plain && (t == 'C' || integral(t));
    if (plain && s.colind.empty() && static_cast<int>(s.values.size()) == n) {
        for (int i = 0; i < m.numRows(); ++i)
            if (!rowHolds(m, i, s.values, feasTol)) return NVRA_USERSOL_INFEASIBLE;
        return handedOver(Highs_setCallbackSolution(in, n, s.values.data()), in)
                   ? NVRA_USERSOL_ACCEPTED
                   : NVRA_USERSOL_INFEASIBLE;
    }
    std::vector<HighsInt> index(s.colind.begin(), s.colind.end());
    if (index.empty())
        for (int j = 0; j < static_cast<int>(s.values.size()); ++j)
            index.push_back(j);
    if (!highsOk(Highs_setCallbackSparseSolution(in, static_cast<HighsInt>(index.size()),
                                                 index.data(), s.values.data())) ||
        !handedOver(Highs_repairCallbackSolution(in), in))
        return NVRA_USERSOL_INFEASIBLE;
    return NVRA_USERSOL_ACCEPTED;
}

void userSolutionPoint(CallbackRun &run, Engine &e, HighsCallbackDataIn *in) {
    UserSolution s;
    if (!in || !run.takeUserSolution(s)) return;
    int status = NVRA_USERSOL_INFEASIBLE;
    try {
        status = offerUserSolution(e.prob->model, e, e.prob, s, in);
    } catch (const std::bad_alloc &) {
    }
    run.userSolutionDone(s, status);
}

} // namespace

void engineEvent(CallbackRun &run, Engine &e, int kind, const HighsCallbackDataOut *out,
                 HighsCallbackDataIn *in) {
    if (!out) return;
    switch (kind) {
    case kHighsCallbackSimplexInterrupt:
        run.iteration({false, out->simplex_iteration_count, out->running_time});
        break;
    case kHighsCallbackIpmInterrupt:
        run.iteration({true, out->ipm_iteration_count, out->running_time});
        break;
    case kHighsCallbackMipInterrupt:
        run.mipCheck(mipPoint(*out));
        break;
    case kHighsCallbackMipLogging:
        run.mipLog(mipPoint(*out));
        break;
    case kHighsCallbackMipSolution:
    case kHighsCallbackMipImprovingSolution: {
        // The solution is over the engine's columns, the user's first.
        const bool whole = out->mip_solution && out->mip_solution_size >= e.prob->model.numCols();
        run.mipSolution(mipPoint(*out), whole ? out->mip_solution : nullptr,
                        kind == kHighsCallbackMipImprovingSolution);
        break;
    }
    case kHighsCallbackMipGetCutPool:
        run.cutPool(mipPoint(*out), out->cutpool_num_cut);
        break;
    case kHighsCallbackCallbackMipUserSolution:
        userSolutionPoint(run, e, in);
        break;
    default:
        break;
    }
}

EngineEvents::EngineEvents(Engine &engine, const CallbackRun &run) : engine_(engine) {
    auto start = [&](int kind, bool needed) {
        if (needed && highsOk(Highs_startCallback(engine_.highs, kind))) started_.push_back(kind);
    };
    start(kHighsCallbackMipSolution, run.wants(CbKind::preintsol));
    start(kHighsCallbackMipImprovingSolution,
          run.wants(CbKind::intsol) || run.wants(CbKind::gapnotify));
    start(kHighsCallbackMipLogging, run.wants(CbKind::miplog));
    start(kHighsCallbackMipGetCutPool, run.wants(CbKind::cutlog) || run.wants(CbKind::cutround));
    // Solutions may be given during any MIP solve.
    start(kHighsCallbackCallbackMipUserSolution, true);
}

EngineEvents::~EngineEvents() {
    for (int kind : started_)
        Highs_stopCallback(engine_.highs, kind);
}

} // namespace nvra
