// heldrows.cpp: the rows the library adds to a solve or holds back. Active cuts of the cut pool
// become auxiliary rows; delayed rows and model cuts start out free and are restored, with a new
// run, whenever the solution violates them, so that the result is that of the whole problem.
#include "solver/analysis.h"

#include <cmath>

#include "highs_c_api.h"

namespace nvra {
namespace {

// The ends of a cut's row.
std::pair<double, double> cutEnds(const nvo_cut_struct &cut) {
    switch (cut.rowtype) {
    case 'G':
        return {cut.rhs, kInf};
    case 'E':
        return {cut.rhs, cut.rhs};
    default:
        return {-kInf, cut.rhs};
    }
}

void addActiveCuts(NVRAprob prob, Image &img) {
    for (const auto &cut : prob->cutPool.cuts) {
        if (!cut->active) continue;
        bool fits = true;
        std::vector<std::pair<int, double>> entries;
        entries.reserve(cut->cols.size());
        for (size_t k = 0; k < cut->cols.size(); ++k) {
            fits = fits && cut->cols[k] < img.userCols;
            entries.emplace_back(cut->cols[k], cut->coefs[k]);
        }
        if (!fits) {
            notice(prob, NVRA_MSG_CUTDROPPED, 3,
                   "An active cut names a column that no longer exists: it is left out");
            continue;
        }
        const auto [lower, upper] = cutEnds(*cut);
        img.addRow(lower, upper, std::move(entries));
    }
}

// Delayed rows and model cuts of a single-objective solve, except rows carrying an indicator
// (their condition lives in auxiliary rows).
void holdBackRows(const Model &m, Image &img) {
    if (!m.objectives.empty()) return;
    for (const auto &[row, flags] : m.rowFlags) {
        if (!(flags & (kRowDelayed | kRowModelCut)) || m.indicators.count(row)) continue;
        if (img.rowLower[row] <= -kInf && img.rowUpper[row] >= kInf) continue;
        img.heldRows.push_back(row);
        img.heldLower.push_back(img.rowLower[row]);
        img.heldUpper.push_back(img.rowUpper[row]);
        img.rowLower[row] = -kInf;
        img.rowUpper[row] = kInf;
    }
}

// The held rows (positions into img.heldRows, not yet restored) that the engine's solution
// violates by more than the feasibility tolerance.
std::vector<size_t> violatedHeldRows(NVRAprob prob, Engine &e, const Image &img,
                                     const std::vector<char> &restored) {
    const HighsInt nc = Highs_getNumCol(e.highs), nr = Highs_getNumRow(e.highs);
    std::vector<double> colValue(nc), rowValue(nr);
    Highs_getSolution(e.highs, colValue.data(), nullptr, rowValue.data(), nullptr);
    const double tol = prob->controls.dbls[dblSlot::kCtrlFeasTol];
    std::vector<size_t> violated;
    for (size_t k = 0; k < img.heldRows.size(); ++k) {
        if (restored[k]) continue;
        const double v = rowValue[img.heldRows[k]];
        if (v < img.heldLower[k] - tol || v > img.heldUpper[k] + tol) violated.push_back(k);
    }
    return violated;
}

void restoreRows(Engine &e, const Image &img, const std::vector<size_t> &which,
                 std::vector<char> &restored) {
    const double inf = Highs_getInfinity(e.highs);
    auto engineValue = [&](double v) { return v >= kInf ? inf : v <= -kInf ? -inf : v; };
    if (!which.empty()) forgetHandover(e);
    for (size_t k : which) {
        Highs_changeRowBounds(e.highs, img.heldRows[k], engineValue(img.heldLower[k]),
                              engineValue(img.heldUpper[k]));
        restored[k] = 1;
    }
}

bool hasSolution(const SolveResult &r) {
    return r.solStatus == NVRA_SOLSTATUS_OPTIMAL || r.solStatus == NVRA_SOLSTATUS_FEASIBLE;
}

// A run's effort added to the totals of the runs before it.
void addEffort(SolveResult &total, const SolveResult &run) {
    const SolveResult before = total;
    total = run;
    total.simplexIter += before.simplexIter;
    total.barIter += before.barIter;
    total.nodes += before.nodes;
    total.solveTime += before.solveTime;
}

} // namespace

int addLibraryRows(NVRAprob prob, Image &img) {
    try {
        addActiveCuts(prob, img);
        holdBackRows(*img.model, img);
    } catch (const std::bad_alloc &) {
        return probError(prob, NVRA_RC_NOMEM, "Out of memory compiling the problem for the engine");
    }
    return 0;
}

void unholdRows(Image &img) {
    for (size_t k = 0; k < img.heldRows.size(); ++k) {
        img.rowLower[img.heldRows[k]] = img.heldLower[k];
        img.rowUpper[img.heldRows[k]] = img.heldUpper[k];
    }
    img.heldRows.clear();
    img.heldLower.clear();
    img.heldUpper.clear();
}

int runWithHeldRows(NVRAprob prob, Engine &e, Image &img, SolveResult &result) {
    if (int rc = runEngine(prob, e, img.integral, result)) return rc;
    if (img.heldRows.empty()) return 0;
    std::vector<char> restored(img.heldRows.size(), 0);
    std::vector<size_t> all;
    for (size_t k = 0; k < img.heldRows.size(); ++k)
        all.push_back(k);
    for (;;) {
        std::vector<size_t> violated;
        if (result.solStatus == NVRA_SOLSTATUS_UNBOUNDED)
            for (size_t k : all)
                if (!restored[k]) violated.push_back(k);
        if (hasSolution(result)) violated = violatedHeldRows(prob, e, img, restored);
        if (violated.empty()) break;
        restoreRows(e, img, violated, restored);
        if (result.solveStatus == NVRA_SOLVESTATUS_STOPPED) {
            // A limit ended the run with a solution that violates rows held back: there is no
            // solution of the whole problem to report.
            result.solStatus = NVRA_SOLSTATUS_NOTFOUND;
            result.objVal = result.lpObjVal = result.mipObjVal = kInf * img.sense;
            if (img.integral) result.mipStatus = NVRA_MIP_NO_SOL_FOUND;
            return 0;
        }
        SolveResult run;
        const int rc = runEngine(prob, e, img.integral, run);
        addEffort(result, run);
        if (rc) return rc;
    }
    if (img.integral || !hasSolution(result)) return 0;
    // The rows still held back are satisfied: with them restored the continuous solution stays
    // optimal, and one more run (from its basis, without iterations) leaves the engine holding
    // the whole problem.
    restoreRows(e, img, all, restored);
    SolveResult run;
    const int rc = runEngine(prob, e, false, run);
    addEffort(result, run);
    img.heldRows.clear();
    return rc;
}

} // namespace nvra
