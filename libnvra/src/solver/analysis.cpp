// analysis.cpp: the shared machinery of the analysis entry points: checks naming what a call
// lacks, combined indices, basis codes, re-establishing the engine's state, notices, and the
// hooks of the solve (starts, kept basis).
#include "solver/analysis.h"

#include <cmath>
#include <cstdio>

#include "highs_c_api.h"

namespace nvra {

// ---- what a call needs
// ---------------------------------------------------------------------------

int requireNotPresolved(NVRAprob prob, const char *fn) {
    if (!prob->solution.presolved) return 0;
    return probError(prob, NVRA_RC_ERROR,
                     "%s: the problem is in its presolved state: call NVRApostsolve first", fn);
}

int requireSolution(NVRAprob prob, const char *fn) {
    if (int rc = requireNotPresolved(prob, fn)) return rc;
    const SolveState &st = prob->solution;
    if (st.primalAvail != NVRA_AVAIL_NONE && !st.x.empty()) return 0;
    return probError(prob, NVRA_RC_ERROR,
                     "%s: no solution is available: solve the problem (or load a solution) first",
                     fn);
}

int requireDuals(NVRAprob prob, const char *fn) {
    if (int rc = requireSolution(prob, fn)) return rc;
    const SolveState &st = prob->solution;
    if (st.dualAvail != NVRA_AVAIL_NONE && !st.dual.empty()) return 0;
    return probError(prob, NVRA_RC_ERROR,
                     "%s: no dual values are available: they come from an optimal continuous "
                     "solve",
                     fn);
}

int requireBasis(NVRAprob prob, const char *fn) {
    if (int rc = requireNotPresolved(prob, fn)) return rc;
    if (!prob->solution.basis.empty()) return 0;
    return probError(prob, NVRA_RC_ERROR,
                     "%s: no basis is available: it comes from a continuous simplex solve of a "
                     "linear problem with one objective (or NVRAloadbasis)",
                     fn);
}

int passContinuous(NVRAprob prob, Engine &e, Image &img) {
    CompileOptions options;
    options.relax = true;
    options.libraryRows = false;
    if (int rc = compileModel(prob, options, img)) return rc;
    beginCapture(e, false);
    const bool passed = passImage(e, img);
    endCapture(e);
    if (!passed) return engineError(prob, e, "The engine refused the problem");
    const SolveClass cls = img.qValue.empty() ? SolveClass::Lp : SolveClass::Qp;
    return applyControlsToHighs(prob, e.highs, cls, 0, &e.options);
}

// The engine factorises a basis it was given when its basic variables are first asked for.
int factorise(NVRAprob prob, const char *fn, Engine &e) {
    std::vector<HighsInt> basic(prob->model.numRows());
    if (basic.empty() || highsOk(Highs_getBasicVariables(e.highs, basic.data()))) return 0;
    return engineError(prob, e,
                       (std::string(fn) + ": the engine could not factorise the basis").c_str());
}

int requireFactor(NVRAprob prob, const char *fn, Engine &e) {
    if (int rc = requireBasis(prob, fn)) return rc;
    SolveState &st = prob->solution;
    if (st.engineExact) return factorise(prob, fn, e);
    Image img;
    if (int rc = passContinuous(prob, e, img)) return rc;
    std::vector<HighsInt> rows(st.basis.rows.size()), cols(st.basis.cols.size());
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = basisToEngine(st.basis.rows[i]);
    for (size_t j = 0; j < cols.size(); ++j)
        cols[j] = basisToEngine(st.basis.cols[j]);
    if (!highsOk(Highs_setBasis(e.highs, cols.data(), rows.data())))
        return engineError(prob, e, (std::string(fn) + ": the engine refused the basis").c_str());
    st.engineExact = true;
    st.engineSolved = false;
    return factorise(prob, fn, e);
}

int requireSolved(NVRAprob prob, const char *fn, Engine &e) {
    SolveState &st = prob->solution;
    if (st.engineExact && st.engineSolved) return 0;
    const bool continuous = !st.solves.empty() && st.current().optimizeType == NVRA_OPTIMIZETYPE_LP;
    if (!continuous || st.basis.empty())
        return probError(prob, NVRA_RC_ERROR,
                         "%s: the engine no longer holds the last continuous solve, and it has "
                         "no basis to repeat it from: solve the problem again",
                         fn);
    if (int rc = requireFactor(prob, fn, e)) return rc;
    SolveResult again;
    beginCapture(e, false);
    const int rc = runFromBasis(prob, e, again);
    endCapture(e);
    if (rc || again.lpStatus != st.current().lpStatus)
        return probError(prob, NVRA_RC_ENGINE,
                         "%s: the engine could not repeat the last solve from its basis", fn);
    st.engineSolved = true;
    return 0;
}

// ---- indices ----------------------------------------------------------------------------------

int combinedOffset(NVRAprob prob) {
    return prob->model.numRows() + prob->cutPool.activeCount();
}

int decodeCombined(NVRAprob prob, const char *fn, int index, bool &isRow, int &k) {
    const int rows = prob->model.numRows(), offset = combinedOffset(prob);
    const int cols = prob->model.numCols();
    if (index >= 0 && index < rows) {
        isRow = true;
        k = index;
        return 0;
    }
    if (index >= offset && index - offset < cols) {
        isRow = false;
        k = index - offset;
        return 0;
    }
    if (index >= rows && index < offset)
        return probError(prob, NVRA_RC_INVALID,
                         "%s: index %d is an active cut, which has no place in the basis", fn,
                         index);
    return probError(prob, NVRA_RC_RANGE,
                     "%s: index %d is out of range: rows are 0..%d, columns %d..%d", fn, index,
                     rows - 1, offset, offset + cols - 1);
}

int combinedFromEngine(NVRAprob prob, int basicVariable) {
    return basicVariable >= 0 ? combinedOffset(prob) + basicVariable : -basicVariable - 1;
}

// ---- basis codes ------------------------------------------------------------------------------

namespace {

// The engine's basis statuses and the library's (the engine's "non-basic, unspecified" reads as
// lower).
constexpr std::pair<int, int> kBasisCodes[] = {
    {kHighsBasisStatusLower, NVRA_BASIS_LOWER},
    {kHighsBasisStatusBasic, NVRA_BASIS_BASIC},
    {kHighsBasisStatusUpper, NVRA_BASIS_UPPER},
    {kHighsBasisStatusZero, NVRA_BASIS_SUPERBASIC},
};

} // namespace

int basisFromEngine(int highsStatus) {
    for (const auto &[engine, library] : kBasisCodes)
        if (engine == highsStatus) return library;
    return NVRA_BASIS_LOWER;
}

int basisToEngine(int status) {
    for (const auto &[engine, library] : kBasisCodes)
        if (library == status) return engine;
    return kHighsBasisStatusLower;
}

std::pair<double, double> rowEnds(const Model &m, int i) {
    const double rhs = m.rhs[i];
    switch (m.rowtype[i]) {
    case 'L':
        return {-kInf, rhs};
    case 'G':
        return {rhs, kInf};
    case 'E':
        return {rhs, rhs};
    case 'R':
        return {rhs - m.range[i], rhs};
    default:
        return {-kInf, kInf};
    }
}

namespace {

// One entry's status against its ends; what names the entry for the message.
int checkStatus(NVRAprob prob, const char *fn, const std::string &what, int status, double lower,
                double upper) {
    const char *fault = nullptr;
    switch (status) {
    case NVRA_BASIS_BASIC:
        return 0;
    case NVRA_BASIS_LOWER:
        fault = lower <= -kInf ? "is at its lower end, which is infinite" : nullptr;
        break;
    case NVRA_BASIS_UPPER:
        fault = upper >= kInf ? "is at its upper end, which is infinite" : nullptr;
        break;
    case NVRA_BASIS_SUPERBASIC:
        fault = lower > -kInf || upper < kInf ? "is superbasic but has a finite end" : nullptr;
        break;
    default:
        return probError(prob, NVRA_RC_INVALID, "%s: %s has status %d: the statuses are 0 to 3", fn,
                         what.c_str(), status);
    }
    if (!fault) return 0;
    return probError(prob, NVRA_RC_INVALID, "%s: %s %s", fn, what.c_str(), fault);
}

} // namespace

int checkBasis(NVRAprob prob, const char *fn, const Model &m, const int *rowstat,
               const int *colstat) {
    const int nr = m.numRows(), nc = m.numCols();
    if (int rc = checkArray(prob, fn, "rowstat", rowstat, nr)) return rc;
    if (int rc = checkArray(prob, fn, "colstat", colstat, nc)) return rc;
    int basic = 0;
    for (int i = 0; i < nr; ++i) {
        const auto [lo, up] = rowEnds(m, i);
        if (int rc = checkStatus(prob, fn, rowLabel(m, i), rowstat[i], lo, up)) return rc;
        basic += rowstat[i] == NVRA_BASIS_BASIC;
    }
    for (int j = 0; j < nc; ++j) {
        const auto [lo, up] = valueRange(m, j);
        if (int rc = checkStatus(prob, fn, colLabel(m, j), colstat[j], lo, up)) return rc;
        basic += colstat[j] == NVRA_BASIS_BASIC;
    }
    if (basic != nr)
        return probError(prob, NVRA_RC_INVALID,
                         "%s: the basis has %d basic entries but the problem has %d rows", fn,
                         basic, nr);
    return 0;
}

double fromEngine(double v) {
    return std::fabs(v) >= kInf ? std::copysign(kInf, v) : v;
}

int runFromBasis(NVRAprob prob, Engine &e, SolveResult &result, int iterlim) {
    writeStringOption(e.highs, &e.options, "presolve", "off");
    if (iterlim >= 0) writeIntOption(e.highs, &e.options, "simplex_iteration_limit", iterlim);
    const int rc = runEngine(prob, e, false, result);
    const int restored = applyControlsToHighs(prob, e.highs, SolveClass::Lp, 0, &e.options);
    return rc ? rc : restored;
}

int runAndKeep(NVRAprob prob, Engine &e, const Image &img, int iterlim) {
    SolveState st;
    st.solves.emplace_back();
    beginCapture(e, false);
    const int rc = runFromBasis(prob, e, st.solves.back(), iterlim);
    keepSolution(e, img, st.solves.back(), st);
    keepAnalysis(prob, e, img, st);
    endCapture(e);
    prob->solution = std::move(st);
    if (rc) return engineError(prob, e, "The engine failed");
    return 0;
}

// ---- notices ----------------------------------------------------------------------------------

void notice(NVRAprob prob, int code, int type, const char *fmt, ...) {
    if (prob->controls.ints[intSlot::kCtrlOutputLog] == NVRA_OUTPUT_NONE) return;
    const auto it = prob->messageStatus.find(code);
    if (it != prob->messageStatus.end() && it->second == 0) return;
    char buf[NVRA_MAXMESSAGELENGTH];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    probMessage(prob, buf, type, code);
}

// ---- hooks of the solve -----------------------------------------------------------------------

namespace {

bool exactImage(const Image &img) {
    return !img.integral && img.qValue.empty() && img.model->objectives.empty() &&
           img.numCols() == img.userCols && img.numAuxRows() == 0 && img.heldRows.empty();
}

void applyBasisStart(NVRAprob prob, Engine &e, const Image &img, Basis basis) {
    const bool fits = exactImage(img) && basis.rows.size() == static_cast<size_t>(img.userRows) &&
                      basis.cols.size() == static_cast<size_t>(img.userCols);
    if (!fits) {
        notice(prob, NVRA_MSG_STARTDROPPED, 3,
               "The loaded basis does not fit the problem as solved (its shape changed, or the "
               "solve is not a continuous one of the problem as it is): it is not used");
        return;
    }
    std::vector<HighsInt> rows(basis.rows.size()), cols(basis.cols.size());
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = basisToEngine(basis.rows[i]);
    for (size_t j = 0; j < cols.size(); ++j)
        cols[j] = basisToEngine(basis.cols[j]);
    if (!highsOk(Highs_setBasis(e.highs, cols.data(), rows.data())))
        notice(prob, NVRA_MSG_STARTDROPPED, 3, "The engine refused the loaded basis: not used");
}

// The engine takes one MIP start: the last one given that still fits the columns.
void applyMipStart(NVRAprob prob, Engine &e, const Image &img, std::vector<MipStart> starts) {
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
        if (it->numCols != img.userCols) {
            notice(prob, NVRA_MSG_STARTDROPPED, 3,
                   "MIP start \"%s\" was given for %d columns; the problem has %d: not used",
                   it->name.c_str(), it->numCols, img.userCols);
            continue;
        }
        const bool dense = it->cols.empty() && img.numCols() == img.userCols;
        long status;
        if (dense) {
            status = Highs_setSolution(e.highs, it->values.data(), nullptr, nullptr, nullptr);
        } else {
            std::vector<HighsInt> cols(it->cols.begin(), it->cols.end());
            if (cols.empty())
                for (int j = 0; j < img.userCols; ++j)
                    cols.push_back(j);
            status = Highs_setSparseSolution(e.highs, static_cast<HighsInt>(cols.size()),
                                             cols.data(), it->values.data());
        }
        if (!highsOk(status))
            notice(prob, NVRA_MSG_STARTDROPPED, 3, "The engine refused MIP start \"%s\"",
                   it->name.c_str());
        return;
    }
}

} // namespace

int applyStarts(NVRAprob prob, Engine &e, const Image &img) {
    Starts &starts = prob->starts;
    if (!prob->model.dirs.empty())
        notice(prob, NVRA_MSG_DIRSUNUSED, 3,
               "The problem has branching directives for %zu columns: the engine takes none, so "
               "they have no effect on this solve",
               prob->model.dirs.size());
    if (!starts.basis.empty()) {
        Basis basis = std::move(starts.basis);
        starts.basis = Basis();
        applyBasisStart(prob, e, img, std::move(basis));
    }
    if (img.integral && !starts.mip.empty()) {
        std::vector<MipStart> mip = std::move(starts.mip);
        starts.mip.clear();
        applyMipStart(prob, e, img, std::move(mip));
    }
    return 0;
}

void keepAnalysis(NVRAprob, Engine &e, const Image &img, SolveState &st) {
    st.basis = Basis();
    st.engineExact = st.engineSolved = exactImage(img);
    if (!st.engineExact) return;
    HighsInt validity = kHighsBasisValidityInvalid;
    Highs_getIntInfoValue(e.highs, "basis_validity", &validity);
    if (validity != kHighsBasisValidityValid) return;
    std::vector<HighsInt> rows(img.userRows), cols(img.userCols);
    if (!highsOk(Highs_getBasis(e.highs, cols.data(), rows.data()))) return;
    st.basis.rows.resize(rows.size());
    st.basis.cols.resize(cols.size());
    for (size_t i = 0; i < rows.size(); ++i)
        st.basis.rows[i] = basisFromEngine(rows[i]);
    for (size_t j = 0; j < cols.size(); ++j)
        st.basis.cols[j] = basisFromEngine(cols[j]);
}

} // namespace nvra
