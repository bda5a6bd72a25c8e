// api_coefs.cpp: coefficients and row formulas in and out (NSLP...coef..., NVRAslp...,
// NVRAnlp...formula...), and their evaluation at the current point.
#include "nonlinear/nlprob.h"

#include "store/store.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace nvra::nl {
namespace {

constexpr int64_t kNoLimit = std::numeric_limits<int64_t>::max();

// A batch of coefficients as the C interface hands it in (NSLPaddcoefs, NVRAnlpaddformulas).
// Formula k is tokens start[k] .. start[k+1]-1, or with start null the tokens up to its end
// token after the previous one; limit is the number of tokens the arrays hold (kNoLimit when
// unknown).
template <class S> struct Batch {
    int n = 0;
    const int *rows = nullptr, *cols = nullptr; // cols null: every coefficient without a column
    const double *factors = nullptr;            // null: 1
    const S *start = nullptr;
    int parsed = 1;
    const int *type = nullptr;
    const double *value = nullptr;
    int64_t limit = kNoLimit;
    int64_t startSize = -1; // entries start holds, -1 when unknown
};

// Checks every coefficient of a batch and compiles them into staged (nothing else changes).
template <class S>
int readBatch(NSLPprob nl, const char *fn, const Batch<S> &b, Coefficients &staged) {
    if (int rc = checkNlCount(nl, fn, "coefficients", b.n)) return rc;
    if (int rc = checkNlArray(nl, fn, "rowind", b.rows, b.n)) return rc;
    if (int rc = checkNlArray(nl, fn, "the token types", b.type, b.n)) return rc;
    if (int rc = checkNlArray(nl, fn, "the token values", b.value, b.n)) return rc;
    if (b.start && b.startSize >= 0 && b.startSize < static_cast<int64_t>(b.n) + 1)
        return nlError(nl, NVRA_RC_RANGE, "%s: the formula starts hold %lld entries, %d are needed",
                       fn, static_cast<long long>(b.startSize), b.n + 1);
    const FormulaContext ctx = formulaContext(nl);
    Formula f;
    Tree tree;
    std::string why;
    int64_t pos = 0;
    for (int k = 0; k < b.n; ++k) {
        const int row = b.rows[k], col = b.cols ? b.cols[k] : NSLP_NOCOLUMN;
        if (int rc = checkNlRow(nl, fn, row, true)) return rc;
        if (int rc = checkNlCol(nl, fn, col, true)) return rc;
        const double factor = b.factors ? b.factors[k] : 1.0;
        if (!std::isfinite(factor))
            return nlError(nl, NVRA_RC_INVALID, "%s: the factor of coefficient %d is not finite",
                           fn, k);
        int64_t begin = pos, end = -1;
        if (b.start) {
            begin = b.start[k];
            end = b.start[k + 1];
            if (begin < 0 || end < begin || end > b.limit)
                return nlError(nl, NVRA_RC_INVALID,
                               "%s: the tokens of formula %d (%lld to %lld) are not a range of "
                               "the token arrays",
                               fn, k, static_cast<long long>(begin), static_cast<long long>(end));
        }
        if (!readTokens(b.type, b.value, begin, end, b.limit, b.parsed, f, &pos, why) ||
            !analyse(f, ctx, tree, why))
            return nlError(nl, NVRA_RC_INVALID, "%s: the formula of %s and %s (entry %d): %s", fn,
                           rowText(row).c_str(), colText(col).c_str(), k, why.c_str());
        staged.add(row, col, factor, f);
    }
    return 0;
}

// Adds a batch; with load first removes every coefficient (cols given) or every row formula.
template <class S> int addBatch(NSLPprob nl, const char *fn, const Batch<S> &b, bool load) {
    Coefficients staged;
    if (int rc = readBatch(nl, fn, b, staged)) return rc;
    Coefficients &coefs = nl->data.coefs;
    if (load && b.cols) {
        coefs.clear();
    } else if (load) {
        for (const auto &[row, col] : coefs.cells())
            if (col == NSLP_NOCOLUMN) coefs.remove(row, col);
    }
    coefs.append(staged);
    coefs.compactIfWasteful();
    return 0;
}

// Replaces the coefficient of (row, col) by f (an empty f removes it); factor null keeps the
// old factor (1 for a new coefficient).
int replaceCoef(NSLPprob nl, const char *fn, int row, int col, const double *factor,
                const Formula &f) {
    if (factor && !std::isfinite(*factor))
        return nlError(nl, NVRA_RC_INVALID, "%s: the factor is not finite", fn);
    Coefficients &coefs = nl->data.coefs;
    double keep = 1.0;
    if (const std::vector<int32_t> old = coefs.cellPieces(row, col); !old.empty()) {
        Formula unused;
        coefs.cellFormula(row, col, unused, keep);
    }
    Tree tree;
    std::string why;
    if (!f.empty() && !analyse(f, formulaContext(nl), tree, why))
        return nlError(nl, NVRA_RC_INVALID, "%s: the formula of %s and %s: %s", fn,
                       rowText(row).c_str(), colText(col).c_str(), why.c_str());
    Coefficients staged; // allocates before anything changes
    if (!f.empty()) staged.add(row, col, factor ? *factor : keep, f);
    coefs.remove(row, col);
    coefs.append(staged);
    coefs.compactIfWasteful();
    return 0;
}

int checkCell(NSLPprob nl, const char *fn, int row, int col) {
    if (int rc = checkNlRow(nl, fn, row, true)) return rc;
    return checkNlCol(nl, fn, col, true);
}

// Reads a formula ending at its end token (tokens from the caller) into f.
int readOne(NSLPprob nl, const char *fn, int parsed, const int *type, const double *value,
            Formula &f) {
    if (int rc = checkNlArray(nl, fn, "the token types", type)) return rc;
    if (int rc = checkNlArray(nl, fn, "the token values", value)) return rc;
    std::string why;
    if (!readTokens(type, value, 0, -1, kNoLimit, parsed, f, nullptr, why))
        return nlError(nl, NVRA_RC_INVALID, "%s: %s", fn, why.c_str());
    return 0;
}

int readText(NSLPprob nl, const char *fn, const char *text, Formula &f) {
    if (int rc = checkNlArray(nl, fn, "the formula", text)) return rc;
    const Model &m = nl->prob->model;
    std::string why;
    if (!parseText(
            text, formulaContext(nl),
            [&](std::string_view name) { return findByName(m, NVRA_NAMES_COLUMNS, name); }, f, why))
        return nlError(nl, NVRA_RC_INVALID, "%s: %s", fn, why.c_str());
    return 0;
}

// The formula of (row, col) and its factor; an error when there is none (unless optional, when
// f is left empty and factor 1).
int cellFormula(NSLPprob nl, const char *fn, int row, int col, bool optional, Formula &f,
                double &factor, Tree &tree) {
    if (int rc = checkCell(nl, fn, row, col)) return rc;
    factor = 1.0;
    if (!nl->data.coefs.cellFormula(row, col, f, factor)) {
        if (optional) return 0;
        return nlError(nl, NVRA_RC_INVALID, "%s: %s has no coefficient for %s", fn,
                       rowText(row).c_str(), colText(col).c_str());
    }
    std::string why;
    analyse(f, formulaContext(nl), tree, why); // checked on entry: cannot fail
    return 0;
}

std::string textOf(NSLPprob nl, const Formula &f, const Tree &tree) {
    const Model &m = nl->prob->model;
    return formulaText(f, tree, formulaContext(nl),
                       [&](int j) { return displayName(m, NVRA_NAMES_COLUMNS, j); });
}

// The tokens of a formula with its end token, parsed or unparsed, into the caller's arrays.
int handOutTokens(NSLPprob nl, const char *fn, const Formula &f, const Tree &tree, int parsed,
                  int maxtypes, int *ntypes, int *type, double *value) {
    std::vector<int> t;
    std::vector<double> v;
    if (!f.empty()) {
        if (parsed) {
            t.assign(f.type.begin(), f.type.end());
            v.assign(f.value.begin(), f.value.end());
        } else {
            unparsedTokens(f, tree, t, v);
        }
    }
    t.push_back(NSLP_TOK_EOF);
    v.push_back(0.0);
    if (t.size() > static_cast<size_t>(INT32_MAX))
        return nlError(nl, NVRA_RC_RANGE, "%s: the formula has more tokens than an int counts", fn);
    const int n = static_cast<int>(t.size());
    if (ntypes) *ntypes = n;
    if (!type && !value) return 0;
    if (!type || !value)
        return nlError(nl, NVRA_RC_INVALID, "%s: give both token arrays or neither", fn);
    if (maxtypes < n)
        return nlError(nl, NVRA_RC_RANGE, "%s: the token arrays hold %d tokens, %d are needed", fn,
                       maxtypes, n);
    std::copy(t.begin(), t.end(), type);
    std::copy(v.begin(), v.end(), value);
    return 0;
}

// A formula whose factor is folded in (row formulas are handed out without a factor).
void foldFactor(Formula &f, double factor) {
    if (factor == 1.0 || f.empty()) return;
    f.push(NSLP_TOK_CON, factor);
    f.push(NSLP_TOK_OP, NSLP_OP_MULTIPLY);
}

int textOut(NSLPprob nl, const char *fn, const std::string &text, char *out, int maxbytes,
            int *nbytes) {
    if (maxbytes < 0) return nlError(nl, NVRA_RC_INVALID, "%s: negative buffer size", fn);
    copyOut(text, out, maxbytes, nbytes);
    return 0;
}

// Evaluates f (analysed as tree) at the current point.
int evaluate(NSLPprob nl, const char *fn, const Formula &f, const Tree &tree, int row, int col,
             double &out) {
    Tape tape;
    compileTape(f, tree, -1, dblControl(nl, kNlCtrlFdStep), tape);
    Workspace ws;
    ws.reserve(tape);
    const std::vector<double> x = nl->data.currentPoint(nl->prob->model.numCols());
    ++nl->counters.values;
    if (EvalError e = forward(tape, nl->data.userFunctions, x.data(), 0, ws))
        return nlError(nl, NVRA_RC_ENGINE, "%s: evaluating %s", fn,
                       describeFailure(tape, e, nl->data.userFunctions, row, col).text().c_str());
    out = ws.v[tape.root()];
    return 0;
}

// ---- bodies shared by the NSLP and NVRA forms -------------------------------------------------

int chgCoefTokens(NSLPprob nl, const char *fn, int row, int col, const double *factor, int parsed,
                  const int *type, const double *value) {
    if (int rc = checkCell(nl, fn, row, col)) return rc;
    Formula f;
    if (int rc = readOne(nl, fn, parsed, type, value, f)) return rc;
    return replaceCoef(nl, fn, row, col, factor, f);
}

int chgCoefText(NSLPprob nl, const char *fn, int row, int col, const double *factor,
                const char *text) {
    if (int rc = checkCell(nl, fn, row, col)) return rc;
    Formula f;
    if (int rc = readText(nl, fn, text, f)) return rc;
    return replaceCoef(nl, fn, row, col, factor, f);
}

int getCoefTokens(NSLPprob nl, const char *fn, int row, int col, double *factor, int parsed,
                  int maxtypes, int *ntypes, int *type, double *value) {
    Formula f;
    Tree tree;
    double k;
    if (int rc = cellFormula(nl, fn, row, col, false, f, k, tree)) return rc;
    if (factor) *factor = k;
    return handOutTokens(nl, fn, f, tree, parsed, maxtypes, ntypes, type, value);
}

int getCoefText(NSLPprob nl, const char *fn, int row, int col, double *factor, char *out,
                int maxbytes, int *nbytes) {
    Formula f;
    Tree tree;
    double k;
    if (int rc = cellFormula(nl, fn, row, col, false, f, k, tree)) return rc;
    if (factor) *factor = k;
    return textOut(nl, fn, textOf(nl, f, tree), out, maxbytes, nbytes);
}

int getCoefList(NSLPprob nl, const char *fn, int *ncoefs, int *rowind, int *colind,
                bool rowFormulas, int size = -1) {
    if (!ncoefs) return nlError(nl, NVRA_RC_INVALID, "%s: null count pointer", fn);
    std::vector<std::pair<int32_t, int32_t>> cells = nl->data.coefs.cells();
    if (rowFormulas) std::erase_if(cells, [](const auto &c) { return c.second != NSLP_NOCOLUMN; });
    const int n = static_cast<int>(cells.size());
    *ncoefs = n;
    if (!rowind && !colind) return 0;
    if (size >= 0 && size < n)
        return nlError(nl, NVRA_RC_RANGE, "%s: the array holds %d entries, %d are needed", fn, size,
                       n);
    if (!rowind || (!rowFormulas && !colind))
        return nlError(nl, NVRA_RC_INVALID, "%s: give both index arrays or neither", fn);
    for (int k = 0; k < n; ++k) {
        rowind[k] = cells[k].first;
        if (colind) colind[k] = cells[k].second;
    }
    return 0;
}

template <class S>
int nlpFormulas(NVRAprob prob, const char *fn, int n, const int *rowind, int64_t rowindSize,
                const S *start, int64_t startSize, int parsed, const int *type, const double *value,
                int64_t limit, bool load) {
    return viaProb(prob, fn, kEdit, [&](NSLPprob nl) -> int {
        if (rowindSize >= 0 && rowindSize < n)
            return nlError(nl, NVRA_RC_RANGE, "%s: rowind holds %lld entries, %d are needed", fn,
                           static_cast<long long>(rowindSize), n);
        Batch<S> b;
        b.n = n;
        b.rows = rowind;
        b.start = start;
        b.startSize = startSize;
        b.parsed = parsed;
        b.type = type;
        b.value = value;
        b.limit = limit;
        return addBatch(nl, fn, b, load);
    });
}

int nlpDelFormulas(NVRAprob prob, const char *fn, int n, const int *rowind, int64_t size) {
    return viaProb(prob, fn, kEdit, [&](NSLPprob nl) -> int {
        if (int rc = checkNlCount(nl, fn, "rows", n)) return rc;
        if (int rc = checkNlArray(nl, fn, "rowind", rowind, n)) return rc;
        if (size >= 0 && size < n)
            return nlError(nl, NVRA_RC_RANGE, "%s: rowind holds %lld entries, %d are needed", fn,
                           static_cast<long long>(size), n);
        for (int k = 0; k < n; ++k)
            if (int rc = checkNlRow(nl, fn, rowind[k], true)) return rc;
        for (int k = 0; k < n; ++k)
            nl->data.coefs.remove(rowind[k], NSLP_NOCOLUMN);
        return 0;
    });
}

} // namespace
} // namespace nvra::nl

using namespace nvra;
using namespace nvra::nl;

extern "C" {

int NSLPaddcoefs(NSLPprob nlprob, int ncoefs, const int rowind[], const int colind[],
                 const double factor[], const int fstart[], int parsed, const int type[],
                 const double value[]) {
    const char *fn = "NSLPaddcoefs";
    return nlEdit(nlprob, fn, [&](NSLPprob nl) -> int {
        if (int rc = checkNlArray(nl, fn, "colind", colind, ncoefs)) return rc;
        Batch<int> b{ncoefs, rowind, colind, factor, fstart, parsed, type, value};
        return addBatch(nl, fn, b, false);
    });
}

int NSLPloadcoefs(NSLPprob nlprob, int ncoefs, const int rowind[], const int colind[],
                  const double factor[], const int fstart[], int parsed, const int type[],
                  const double value[]) {
    const char *fn = "NSLPloadcoefs";
    return nlEdit(nlprob, fn, [&](NSLPprob nl) -> int {
        if (int rc = checkNlArray(nl, fn, "colind", colind, ncoefs)) return rc;
        // An empty load still removes every coefficient (cols must not be null then).
        static const int none = 0;
        Batch<int> b{ncoefs, rowind, colind ? colind : &none, factor, fstart, parsed, type, value};
        return addBatch(nl, fn, b, true);
    });
}

int NSLPdelcoefs(NSLPprob nlprob, int ncoefs, const int rowind[], const int colind[]) {
    const char *fn = "NSLPdelcoefs";
    return nlEdit(nlprob, fn, [&](NSLPprob nl) -> int {
        if (int rc = checkNlCount(nl, fn, "coefficients", ncoefs)) return rc;
        if (int rc = checkNlArray(nl, fn, "rowind", rowind, ncoefs)) return rc;
        if (int rc = checkNlArray(nl, fn, "colind", colind, ncoefs)) return rc;
        for (int k = 0; k < ncoefs; ++k) {
            if (int rc = checkCell(nl, fn, rowind[k], colind[k])) return rc;
            if (!nl->data.coefs.has(rowind[k], colind[k]))
                return nlError(nl, NVRA_RC_INVALID, "%s: %s has no coefficient for %s", fn,
                               rowText(rowind[k]).c_str(), colText(colind[k]).c_str());
        }
        for (int k = 0; k < ncoefs; ++k)
            nl->data.coefs.remove(rowind[k], colind[k]);
        nl->data.coefs.compactIfWasteful();
        return 0;
    });
}

int NSLPgetcoefs(NSLPprob nlprob, int *ncoefs, int rowind[], int colind[]) {
    const char *fn = "NSLPgetcoefs";
    return nlQuery(nlprob, fn, [&](NSLPprob nl) -> int {
        return getCoefList(nl, fn, ncoefs, rowind, colind, false);
    });
}

int NSLPchgcoef(NSLPprob nlprob, int row, int col, const double *factor, int parsed,
                const int type[], const double value[]) {
    const char *fn = "NSLPchgcoef";
    return nlEdit(nlprob, fn, [&](NSLPprob nl) -> int {
        return chgCoefTokens(nl, fn, row, col, factor, parsed, type, value);
    });
}

int NSLPchgccoef(NSLPprob nlprob, int row, int col, const double *factor, const char *formula) {
    const char *fn = "NSLPchgccoef";
    return nlEdit(nlprob, fn, [&](NSLPprob nl) -> int {
        return chgCoefText(nl, fn, row, col, factor, formula);
    });
}

int NSLPgetccoef(NSLPprob nlprob, int row, int col, double *factor, char *formula, int maxbytes) {
    const char *fn = "NSLPgetccoef";
    return nlQuery(nlprob, fn, [&](NSLPprob nl) -> int {
        return getCoefText(nl, fn, row, col, factor, formula, maxbytes, nullptr);
    });
}

int NSLPgetcoefformula(NSLPprob nlprob, int row, int col, double *factor, int parsed, int maxtypes,
                       int *ntypes, int type[], double value[]) {
    const char *fn = "NSLPgetcoefformula";
    return nlQuery(nlprob, fn, [&](NSLPprob nl) -> int {
        return getCoefTokens(nl, fn, row, col, factor, parsed, maxtypes, ntypes, type, value);
    });
}

int NSLPevaluatecoef(NSLPprob nlprob, int row, int col, double *value) {
    const char *fn = "NSLPevaluatecoef";
    return nlQuery(nlprob, fn, [&](NSLPprob nl) -> int {
        if (!value) return nlError(nl, NVRA_RC_INVALID, "%s: null value pointer", fn);
        Formula f;
        Tree tree;
        double factor;
        if (int rc = cellFormula(nl, fn, row, col, false, f, factor, tree)) return rc;
        double v;
        if (int rc = evaluate(nl, fn, f, tree, row, col, v)) return rc;
        *value = factor * v;
        return 0;
    });
}

int NSLPevaluateformula(NSLPprob nlprob, int parsed, const int type[], const double value[],
                        double *result) {
    const char *fn = "NSLPevaluateformula";
    return nlQuery(nlprob, fn, [&](NSLPprob nl) -> int {
        if (!result) return nlError(nl, NVRA_RC_INVALID, "%s: null result pointer", fn);
        Formula f;
        if (int rc = readOne(nl, fn, parsed, type, value, f)) return rc;
        Tree tree;
        std::string why;
        if (!analyse(f, formulaContext(nl), tree, why))
            return nlError(nl, NVRA_RC_INVALID, "%s: %s", fn, why.c_str());
        return evaluate(nl, fn, f, tree, NSLP_OBJECTIVE, NSLP_NOCOLUMN, *result);
    });
}

int NVRAslpchgcoef(NVRAprob prob, int row, int col, const double *factor, int parsed,
                   const int type[], const double value[]) {
    const char *fn = "NVRAslpchgcoef";
    return viaProb(prob, fn, kEdit, [&](NSLPprob nl) -> int {
        return chgCoefTokens(nl, fn, row, col, factor, parsed, type, value);
    });
}

int NVRAslpchgcoefstr(NVRAprob prob, int row, int col, const double *factor, const char *formula) {
    const char *fn = "NVRAslpchgcoefstr";
    return viaProb(prob, fn, kEdit, [&](NSLPprob nl) -> int {
        return chgCoefText(nl, fn, row, col, factor, formula);
    });
}

int NVRAslpgetcoefformula(NVRAprob prob, int row, int col, double *factor, int parsed, int maxtypes,
                          int *ntypes, int type[], double value[]) {
    const char *fn = "NVRAslpgetcoefformula";
    return viaProb(prob, fn, kQuery, [&](NSLPprob nl) -> int {
        return getCoefTokens(nl, fn, row, col, factor, parsed, maxtypes, ntypes, type, value);
    });
}

int NVRAslpgetcoefstr(NVRAprob prob, int row, int col, double *factor, char *formula, int maxbytes,
                      int *nbytes) {
    const char *fn = "NVRAslpgetcoefstr";
    return viaProb(prob, fn, kQuery, [&](NSLPprob nl) -> int {
        return getCoefText(nl, fn, row, col, factor, formula, maxbytes, nbytes);
    });
}

int NVRAslpgetcoefs(NVRAprob prob, int *ncoefs, int rowind[], int colind[]) {
    const char *fn = "NVRAslpgetcoefs";
    return viaProb(prob, fn, kQuery, [&](NSLPprob nl) -> int {
        return getCoefList(nl, fn, ncoefs, rowind, colind, false);
    });
}

int NVRAnlpaddformulas(NVRAprob prob, int nformulas, const int rowind[],
                       const int64_t formulastart[], int parsed, const int type[],
                       const double value[]) {
    return nlpFormulas(prob, "NVRAnlpaddformulas", nformulas, rowind, -1, formulastart, -1, parsed,
                       type, value, kNoLimit, false);
}

int NVRAnlploadformulas(NVRAprob prob, int nformulas, const int rowind[],
                        const int64_t formulastart[], int parsed, const int type[],
                        const double value[]) {
    return nlpFormulas(prob, "NVRAnlploadformulas", nformulas, rowind, -1, formulastart, -1, parsed,
                       type, value, kNoLimit, true);
}

int NVRAnlpaddformulas_witharraysizes(NVRAprob prob, int nformulas, const int rowind[],
                                      int rowindsize, const int64_t formulastart[],
                                      int formulastartsize, int parsed, const int type[],
                                      int64_t typesize, const double value[], int64_t valuesize) {
    return nlpFormulas(prob, "NVRAnlpaddformulas_witharraysizes", nformulas, rowind, rowindsize,
                       formulastart, formulastart ? formulastartsize : -1, parsed, type, value,
                       std::min(typesize, valuesize), false);
}

int NVRAnlploadformulas_witharraysizes(NVRAprob prob, int nformulas, const int rowind[],
                                       int rowindsize, const int64_t formulastart[],
                                       int formulastartsize, int parsed, const int type[],
                                       int64_t typesize, const double value[], int64_t valuesize) {
    return nlpFormulas(prob, "NVRAnlploadformulas_witharraysizes", nformulas, rowind, rowindsize,
                       formulastart, formulastart ? formulastartsize : -1, parsed, type, value,
                       std::min(typesize, valuesize), true);
}

int NVRAnlpdelformulas(NVRAprob prob, int nrows, const int rowind[]) {
    return nlpDelFormulas(prob, "NVRAnlpdelformulas", nrows, rowind, -1);
}

int NVRAnlpdelformulas_witharraysizes(NVRAprob prob, int nrows, const int rowind[],
                                      int rowindsize) {
    return nlpDelFormulas(prob, "NVRAnlpdelformulas_witharraysizes", nrows, rowind, rowindsize);
}

int NVRAnlpchgformula(NVRAprob prob, int row, int parsed, const int type[], const double value[]) {
    const char *fn = "NVRAnlpchgformula";
    const double one = 1.0;
    return viaProb(prob, fn, kEdit, [&](NSLPprob nl) -> int {
        return chgCoefTokens(nl, fn, row, NSLP_NOCOLUMN, &one, parsed, type, value);
    });
}

int NVRAnlpchgformulastr(NVRAprob prob, int row, const char *formula) {
    const char *fn = "NVRAnlpchgformulastr";
    const double one = 1.0;
    return viaProb(prob, fn, kEdit, [&](NSLPprob nl) -> int {
        return chgCoefText(nl, fn, row, NSLP_NOCOLUMN, &one, formula);
    });
}

int NVRAnlpgetformula(NVRAprob prob, int row, int parsed, int maxtypes, int *ntypes, int type[],
                      double value[]) {
    const char *fn = "NVRAnlpgetformula";
    return viaProb(prob, fn, kQuery, [&](NSLPprob nl) -> int {
        Formula f;
        Tree tree;
        double factor;
        if (int rc = cellFormula(nl, fn, row, NSLP_NOCOLUMN, true, f, factor, tree)) return rc;
        if (factor != 1.0) {
            foldFactor(f, factor);
            std::string why;
            analyse(f, formulaContext(nl), tree, why);
        }
        return handOutTokens(nl, fn, f, tree, parsed, maxtypes, ntypes, type, value);
    });
}

int NVRAnlpgetformulastr(NVRAprob prob, int row, char *formula, int maxbytes, int *nbytes) {
    const char *fn = "NVRAnlpgetformulastr";
    return viaProb(prob, fn, kQuery, [&](NSLPprob nl) -> int {
        Formula f;
        Tree tree;
        double factor;
        if (int rc = cellFormula(nl, fn, row, NSLP_NOCOLUMN, true, f, factor, tree)) return rc;
        if (f.empty()) return textOut(nl, fn, "", formula, maxbytes, nbytes);
        foldFactor(f, factor);
        std::string why;
        analyse(f, formulaContext(nl), tree, why);
        return textOut(nl, fn, textOf(nl, f, tree), formula, maxbytes, nbytes);
    });
}

int NVRAnlpgetformularows(NVRAprob prob, int *nformulas, int rowind[]) {
    const char *fn = "NVRAnlpgetformularows";
    return viaProb(prob, fn, kQuery, [&](NSLPprob nl) -> int {
        return getCoefList(nl, fn, nformulas, rowind, nullptr, true);
    });
}

int NVRAnlpgetformularows_witharraysizes(NVRAprob prob, int *nformulas, int rowind[],
                                         int rowindsize) {
    const char *fn = "NVRAnlpgetformularows_witharraysizes";
    return viaProb(prob, fn, kQuery, [&](NSLPprob nl) -> int {
        return getCoefList(nl, fn, nformulas, rowind, nullptr, true, rowindsize);
    });
}

} // extern "C"
