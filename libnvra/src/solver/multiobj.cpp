// multiobj.cpp: problems with several objectives, solved level by level. Objectives are grouped
// by priority, highest first; the objectives of a level are blended by their weights (a negative
// weight turns an objective against the problem's sense) and optimised in the problem's sense.
// Each later level keeps every earlier level's blended objective within that level's tolerance:
// max(abstol, reltol * |value|), where a level with several objectives takes the largest
// tolerances among them. The loop stops after the first level that does not end optimal; the
// solution is that of the last level solved. With the control multiobjops set to 1 all
// objectives form one level. Limits (time, iterations, nodes) apply to each level's solve.
#include "solver/solve.h"

#include <algorithm>
#include <limits>
#include <cmath>
#include <numeric>

#include "highs_c_api.h"

namespace nvra {
namespace {

struct ObjectiveRef {
    const std::vector<double> *cost;
    double constant;
    int priority;
    double weight, absTol, relTol;
};

std::vector<ObjectiveRef> objectivesOf(const Model &m) {
    std::vector<ObjectiveRef> objs;
    objs.push_back({&m.cost, m.objConstant, m.priority0, m.weight0, m.absTol0, m.relTol0});
    for (const Objective &o : m.objectives)
        objs.push_back({&o.cost, o.constant, o.priority, o.weight, o.absTol, o.relTol});
    return objs;
}

// Objective indices grouped by priority, highest priority first, each group in index order.
std::vector<std::vector<int>> levelsOf(const std::vector<ObjectiveRef> &objs, bool oneLevel) {
    std::vector<int> order(objs.size());
    std::iota(order.begin(), order.end(), 0);
    if (oneLevel) return {order};
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return objs[a].priority > objs[b].priority; });
    std::vector<std::vector<int>> levels;
    for (size_t k = 0; k < order.size(); ++k) {
        if (k == 0 || objs[order[k]].priority != objs[order[k - 1]].priority) levels.emplace_back();
        levels.back().push_back(order[k]);
    }
    return levels;
}

struct Blend {
    std::vector<double> cost;
    double constant = 0.0, absTol = 0.0, relTol = 0.0;
};

Blend blendLevel(const std::vector<ObjectiveRef> &objs, const std::vector<int> &level, int n) {
    Blend b;
    b.cost.assign(n, 0.0);
    for (int k : level) {
        const ObjectiveRef &o = objs[k];
        for (int j = 0; j < n; ++j)
            b.cost[j] += o.weight * (*o.cost)[j];
        b.constant += o.weight * o.constant;
        b.absTol = std::max(b.absTol, o.absTol);
        b.relTol = std::max(b.relTol, o.relTol);
    }
    return b;
}

// Keeps the level's objective within its tolerance of the value reached.
void addToleranceRow(Engine &e, const Blend &b, double value, int sense) {
    std::vector<HighsInt> index;
    std::vector<double> coef;
    for (int j = 0; j < static_cast<int>(b.cost.size()); ++j)
        if (b.cost[j] != 0.0) index.push_back(j), coef.push_back(b.cost[j]);
    if (index.empty()) return;
    const double tol = std::max(b.absTol, b.relTol * std::fabs(value));
    constexpr double inf = std::numeric_limits<double>::infinity(); // the engine's own
    const double lower = sense > 0 ? -inf : value - tol - b.constant;
    const double upper = sense > 0 ? value + tol - b.constant : inf;
    forgetHandover(e);
    if (highsOk(Highs_addRow(e.highs, lower, upper, static_cast<HighsInt>(index.size()),
                             index.data(), coef.data())))
        ++e.numRow;
}

} // namespace

int solveLevels(NVRAprob prob, Engine &e, const Image &img, std::vector<SolveResult> &results) {
    const Model &m = *img.model;
    const auto objs = objectivesOf(m);
    const auto levels = levelsOf(objs, prob->controls.ints[intSlot::kCtrlMultiObjOps] == 1);
    std::vector<double> start; // the previous level's solution, a start for a MIP level
    for (size_t l = 0; l < levels.size(); ++l) {
        const Blend b = blendLevel(objs, levels[l], img.userCols);
        forgetHandover(e);
        if (img.userCols > 0)
            Highs_changeColsCostByRange(e.highs, 0, img.userCols - 1, b.cost.data());
        Highs_changeObjectiveOffset(e.highs, b.constant);
        if (!start.empty()) Highs_setSolution(e.highs, start.data(), nullptr, nullptr, nullptr);
        results.emplace_back();
        if (int rc = runEngine(prob, e, img.integral, results.back())) return rc;
        const SolveResult &r = results.back();
        if (l + 1 == levels.size() || r.solStatus != NVRA_SOLSTATUS_OPTIMAL) break;
        if (img.integral) {
            std::vector<double> colDual(Highs_getNumCol(e.highs)),
                rowValue(Highs_getNumRow(e.highs)), rowDual(rowValue.size());
            start.resize(colDual.size());
            Highs_getSolution(e.highs, start.data(), colDual.data(), rowValue.data(),
                              rowDual.data());
        }
        addToleranceRow(e, b, r.objVal, m.sense);
    }
    return 0;
}

} // namespace nvra
