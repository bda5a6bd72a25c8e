// presolve.cpp: the presolved state. A presolve-only solve (flag 'r') presolves the problem in its
// engine, solves the presolved problem in an engine of its own and stops; the presolved
// problem's map, solution and basis can then be read, a basis loaded into it, original rows
// expressed in it, and its solution (or any other) postsolved back to the original problem.
//
// The map comes from names: the original rows and columns are named "r<i>" and "c<j>" for the
// presolve, and the engine names each presolved row and column after its original.
#include "solver/analysis.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "highs_c_api.h"

namespace nvra {
namespace {

void nameForMap(void *h, int rows, int cols) {
    char name[24];
    for (int i = 0; i < rows; ++i) {
        snprintf(name, sizeof name, "r%d", i);
        Highs_passRowName(h, i, name);
    }
    for (int j = 0; j < cols; ++j) {
        snprintf(name, sizeof name, "c%d", j);
        Highs_passColName(h, j, name);
    }
}

// The original index of a presolved entry from its name ("r12" -> 12), or -1.
int originalIndex(const char *name, char kind) {
    if (name[0] != kind) return -1;
    char *end = nullptr;
    const long v = strtol(name + 1, &end, 10);
    return end && *end == '\0' && end != name + 1 ? static_cast<int>(v) : -1;
}

// The presolved problem as the engine gives it, with its map.
struct Reduced {
    HighsInt cols = 0, rows = 0, nnz = 0, sense = 1;
    double offset = 0.0;
    std::vector<double> cost, colLower, colUpper, rowLower, rowUpper, value;
    std::vector<HighsInt> start, index, integrality;
    std::vector<int32_t> rowMap, colMap;
};

int readReduced(NVRAprob prob, Engine &e, Reduced &r) {
    void *h = e.highs;
    r.cols = Highs_getPresolvedNumCol(h);
    r.rows = Highs_getPresolvedNumRow(h);
    r.nnz = Highs_getPresolvedNumNz(h);
    r.cost.resize(r.cols);
    r.colLower.resize(r.cols);
    r.colUpper.resize(r.cols);
    r.rowLower.resize(r.rows);
    r.rowUpper.resize(r.rows);
    r.start.resize(r.cols + 1);
    r.index.resize(r.nnz);
    r.value.resize(r.nnz);
    r.integrality.resize(r.cols);
    HighsInt nc = 0, nr = 0, nz = 0;
    if (!highsOk(Highs_getPresolvedLp(
            h, kHighsMatrixFormatColwise, &nc, &nr, &nz, &r.sense, &r.offset, r.cost.data(),
            r.colLower.data(), r.colUpper.data(), r.rowLower.data(), r.rowUpper.data(),
            r.start.data(), r.index.data(), r.value.data(), r.integrality.data())))
        return engineError(prob, e, "The engine did not give the presolved problem");
    char name[kHighsMaximumStringLength];
    r.rowMap.resize(r.rows);
    r.colMap.resize(r.cols);
    for (HighsInt i = 0; i < r.rows; ++i)
        r.rowMap[i] =
            highsOk(Highs_getPresolvedRowName(h, i, name)) ? originalIndex(name, 'r') : -1;
    for (HighsInt j = 0; j < r.cols; ++j)
        r.colMap[j] =
            highsOk(Highs_getPresolvedColName(h, j, name)) ? originalIndex(name, 'c') : -1;
    return 0;
}

// "rhs" of a presolved row for its slack: its upper end, else its lower end.
double rowRhs(double lower, double upper) {
    return upper < kInf ? upper : lower > -kInf ? lower : 0.0;
}

// Reads the presolved problem's solution and basis from its engine after a run.
void keepPresolved(PresolvedState &ps, const SolveResult &r) {
    void *g = ps.highs.get();
    ps.x.assign(ps.cols, 0.0);
    ps.redCost.assign(ps.cols, 0.0);
    ps.dual.assign(ps.rows, 0.0);
    std::vector<double> rowValue(ps.rows);
    ps.basis = Basis();
    ps.dualsAvailable = false;
    const bool solved =
        r.solStatus == NVRA_SOLSTATUS_OPTIMAL || r.solStatus == NVRA_SOLSTATUS_FEASIBLE;
    if (!solved) {
        ps.x.clear();
        ps.slack.clear();
        return;
    }
    Highs_getSolution(g, ps.x.data(), ps.redCost.data(), rowValue.data(), ps.dual.data());
    ps.slack.resize(ps.rows);
    for (int i = 0; i < ps.rows; ++i)
        ps.slack[i] = rowRhs(ps.rowLower[i], ps.rowUpper[i]) - rowValue[i];
    ps.dualsAvailable = r.solStatus == NVRA_SOLSTATUS_OPTIMAL;
    HighsInt validity = kHighsBasisValidityInvalid;
    Highs_getIntInfoValue(g, "basis_validity", &validity);
    if (validity != kHighsBasisValidityValid) return;
    std::vector<HighsInt> rows(ps.rows), cols(ps.cols);
    Highs_getBasis(g, cols.data(), rows.data());
    ps.basis.rows.resize(ps.rows);
    ps.basis.cols.resize(ps.cols);
    for (int i = 0; i < ps.rows; ++i)
        ps.basis.rows[i] = basisFromEngine(rows[i]);
    for (int j = 0; j < ps.cols; ++j)
        ps.basis.cols[j] = basisFromEngine(cols[j]);
}

// Runs the presolved problem's engine and records the outcome.
SolveResult runPresolved(PresolvedState &ps, int sense) {
    void *g = ps.highs.get();
    Highs_zeroAllClocks(g);
    const bool failed = !highsOk(Highs_run(g));
    SolveResult r = engineOutcome(g, false, failed, sense);
    keepPresolved(ps, r);
    return r;
}

int presolvedState(NVRAprob prob, const char *fn, PresolvedState *&ps) {
    ps = prob->solution.presolved.get();
    if (ps) return 0;
    return probError(prob, NVRA_RC_ERROR,
                     "%s: the problem is not in its presolved state: solve it with flag 'r' "
                     "first",
                     fn);
}

int postsolve(NVRAprob prob, const char *fn, Engine &e) {
    PresolvedState *ps = nullptr;
    if (int rc = presolvedState(prob, fn, ps)) return rc;
    if (ps->x.empty())
        return probError(prob, NVRA_RC_ERROR,
                         "%s: the presolved problem has no solution to postsolve", fn);
    const bool duals = ps->dualsAvailable;
    beginCapture(e, false);
    const bool ok =
        highsOk(Highs_postsolve(e.highs, ps->x.data(), duals ? ps->redCost.data() : nullptr,
                                duals ? ps->dual.data() : nullptr));
    endCapture(e);
    if (!ok)
        return engineError(prob, e, (std::string(fn) + ": the engine could not postsolve").c_str());
    const Model &m = prob->model;
    SolveState st;
    st.solves = prob->solution.solves;
    const int nc = m.numCols(), nr = m.numRows();
    std::vector<double> rowValue(nr);
    st.x.resize(nc);
    st.redCost.resize(nc);
    st.dual.resize(nr);
    Highs_getSolution(e.highs, st.x.data(), st.redCost.data(), rowValue.data(), st.dual.data());
    st.slack.resize(nr);
    for (int i = 0; i < nr; ++i)
        st.slack[i] = m.rhs[i] - rowValue[i];
    st.primalAvail = st.solves.back().solStatus == NVRA_SOLSTATUS_OPTIMAL ? NVRA_AVAIL_OPTIMAL
                                                                          : NVRA_AVAIL_FEASIBLE;
    if (duals) {
        st.dualAvail = NVRA_AVAIL_OPTIMAL;
    } else {
        st.dual.clear();
        st.redCost.clear();
    }
    prob->solution = std::move(st);
    return 0;
}

// The presolved index of each original column (-1 when presolve removed it).
std::vector<int> inverseMap(const std::vector<int32_t> &map, int n) {
    std::vector<int> inverse(n, -1);
    for (size_t k = 0; k < map.size(); ++k)
        if (map[k] >= 0 && map[k] < n) inverse[map[k]] = static_cast<int>(k);
    return inverse;
}

struct RowIn {
    char rowtype;
    int n;
    const int *colind;
    const double *coef;
    double rhs;
};

struct RowOut {
    int maxcoefs;
    int *ncoefs;
    int *colind;
    double *coef;
    double *rhs;
    int *status;
};

int presolveRow(NVRAprob prob, const char *fn, const RowIn &in, const RowOut &out) {
    PresolvedState *ps = nullptr;
    if (int rc = presolvedState(prob, fn, ps)) return rc;
    if (int rc = checkRowData(prob, -1, in.rowtype, in.rhs, 0.0)) return rc;
    if (int rc = checkIndexList(prob, fn, Kind::Column, in.n, in.colind)) return rc;
    if (int rc = checkArray(prob, fn, "origrowcoef", in.coef, in.n)) return rc;
    if (!out.ncoefs || !out.rhs || !out.status)
        return probError(prob, NVRA_RC_INVALID, "%s: null ncoefs, rhs or status", fn);
    const Model &m = prob->model;
    const std::vector<int> presolvedCol = inverseMap(ps->colMap, m.numCols());
    std::vector<std::pair<int, double>> entries;
    double rhs = in.rhs;
    for (int k = 0; k < in.n; ++k) {
        const int j = in.colind[k];
        if (presolvedCol[j] >= 0) {
            entries.emplace_back(presolvedCol[j], in.coef[k]);
        } else if (m.lb[j] == m.ub[j]) {
            rhs -= in.coef[k] * m.lb[j];
        } else {
            *out.status = -1;
            return 0;
        }
    }
    if (static_cast<int>(entries.size()) > out.maxcoefs)
        return probError(prob, NVRA_RC_RANGE,
                         "%s: the presolved row has %zu coefficients; maxcoefs is %d", fn,
                         entries.size(), out.maxcoefs);
    if (!entries.empty() && (!out.colind || !out.coef))
        return probError(prob, NVRA_RC_INVALID, "%s: null colind or rowcoef", fn);
    for (size_t k = 0; k < entries.size(); ++k) {
        out.colind[k] = entries[k].first;
        out.coef[k] = entries[k].second;
    }
    *out.ncoefs = static_cast<int>(entries.size());
    *out.rhs = rhs;
    *out.status = 0;
    return 0;
}

int loadPresolveBasis(NVRAprob prob, const char *fn, const int *rowstat, const int *colstat) {
    PresolvedState *ps = nullptr;
    if (int rc = presolvedState(prob, fn, ps)) return rc;
    if (int rc = checkArray(prob, fn, "rowstat", rowstat, ps->rows)) return rc;
    if (int rc = checkArray(prob, fn, "colstat", colstat, ps->cols)) return rc;
    int basic = 0;
    for (int i = 0; i < ps->rows; ++i) {
        if (rowstat[i] < 0 || rowstat[i] > 3)
            return probError(prob, NVRA_RC_INVALID,
                             "%s: row %d has status %d: the statuses are 0 to 3", fn, i,
                             rowstat[i]);
        basic += rowstat[i] == NVRA_BASIS_BASIC;
    }
    for (int j = 0; j < ps->cols; ++j) {
        if (colstat[j] < 0 || colstat[j] > 3)
            return probError(prob, NVRA_RC_INVALID,
                             "%s: column %d has status %d: the statuses are 0 to 3", fn, j,
                             colstat[j]);
        basic += colstat[j] == NVRA_BASIS_BASIC;
    }
    if (basic != ps->rows)
        return probError(prob, NVRA_RC_INVALID,
                         "%s: the basis has %d basic entries but the presolved problem has %d rows",
                         fn, basic, ps->rows);
    std::vector<HighsInt> rows(rowstat, rowstat + ps->rows), cols(colstat, colstat + ps->cols);
    for (HighsInt &s : rows)
        s = basisToEngine(s);
    for (HighsInt &s : cols)
        s = basisToEngine(s);
    if (!highsOk(Highs_setBasis(ps->highs.get(), cols.data(), rows.data())))
        return probError(prob, NVRA_RC_ENGINE, "%s: the engine refused the basis", fn);
    prob->solution.solves.back() = runPresolved(*ps, prob->model.sense);
    return 0;
}

} // namespace

int presolveOnly(NVRAprob prob, Engine &e, const Image &img, SolveState &st) {
    void *h = e.highs;
    nameForMap(h, img.userRows, img.userCols);
    if (!highsOk(Highs_presolve(h))) return engineError(prob, e, "The engine's presolve failed");
    const HighsInt status = Highs_getModelStatus(h);
    if (status == kHighsModelStatusInfeasible || status == kHighsModelStatusUnbounded ||
        status == kHighsModelStatusUnboundedOrInfeasible) {
        // Presolve settled the problem: there is no presolved problem to stop at.
        st.solves.push_back(engineOutcome(h, false, false, img.sense));
        return 0;
    }
    Reduced r;
    if (int rc = readReduced(prob, e, r)) return rc;
    auto ps = std::make_shared<PresolvedState>();
    ps->rows = r.rows;
    ps->cols = r.cols;
    ps->rowMap = std::move(r.rowMap);
    ps->colMap = std::move(r.colMap);
    ps->rowLower = r.rowLower;
    ps->rowUpper = r.rowUpper;
    for (double &v : ps->rowLower)
        v = fromEngine(v);
    for (double &v : ps->rowUpper)
        v = fromEngine(v);
    void *g = Highs_create();
    if (!g) return probError(prob, NVRA_RC_NOMEM, "Out of memory creating an engine instance");
    ps->highs = std::shared_ptr<void>(g, Highs_destroy);
    if (int rc = applyControlsToHighs(prob, g, SolveClass::Lp, 0)) return rc;
    Highs_setStringOptionValue(g, "presolve", "off");
    Highs_setBoolOptionValue(g, "output_flag", 0);
    if (!highsOk(Highs_passLp(g, r.cols, r.rows, r.nnz, kHighsMatrixFormatColwise, r.sense,
                              r.offset, r.cost.data(), r.colLower.data(), r.colUpper.data(),
                              r.rowLower.data(), r.rowUpper.data(), r.start.data(), r.index.data(),
                              r.value.data())))
        return probError(prob, NVRA_RC_ENGINE, "The engine refused the presolved problem");
    st.solves.push_back(runPresolved(*ps, img.sense));
    st.presolved = std::move(ps);
    return 0;
}

} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAgetpresolvemap(NVRAprob prob, int rowmap[], int colmap[]) {
    const char *fn = "NVRAgetpresolvemap";
    return storeQuery(prob, fn, [&] {
        PresolvedState *ps = nullptr;
        if (int rc = presolvedState(prob, fn, ps)) return rc;
        if (rowmap) std::copy(ps->rowMap.begin(), ps->rowMap.end(), rowmap);
        if (colmap) std::copy(ps->colMap.begin(), ps->colMap.end(), colmap);
        return 0;
    });
}

int NVRAgetpresolvesol(NVRAprob prob, double x[], double slack[], double duals[], double djs[]) {
    const char *fn = "NVRAgetpresolvesol";
    return storeQuery(prob, fn, [&] {
        PresolvedState *ps = nullptr;
        if (int rc = presolvedState(prob, fn, ps)) return rc;
        if (ps->x.empty())
            return probError(prob, NVRA_RC_ERROR, "%s: the presolved problem has no solution", fn);
        if ((duals || djs) && !ps->dualsAvailable)
            return probError(prob, NVRA_RC_ERROR,
                             "%s: the presolved problem's duals are not available (its solve "
                             "did not end optimal)",
                             fn);
        if (x) std::copy(ps->x.begin(), ps->x.end(), x);
        if (slack) std::copy(ps->slack.begin(), ps->slack.end(), slack);
        if (duals) std::copy(ps->dual.begin(), ps->dual.end(), duals);
        if (djs) std::copy(ps->redCost.begin(), ps->redCost.end(), djs);
        return 0;
    });
}

int NVRAgetpresolvebasis(NVRAprob prob, int rowstat[], int colstat[]) {
    const char *fn = "NVRAgetpresolvebasis";
    return storeQuery(prob, fn, [&] {
        PresolvedState *ps = nullptr;
        if (int rc = presolvedState(prob, fn, ps)) return rc;
        if (ps->basis.empty() && ps->rows + ps->cols > 0)
            return probError(prob, NVRA_RC_ERROR, "%s: the presolved problem has no basis", fn);
        if (rowstat) std::copy(ps->basis.rows.begin(), ps->basis.rows.end(), rowstat);
        if (colstat) std::copy(ps->basis.cols.begin(), ps->basis.cols.end(), colstat);
        return 0;
    });
}

int NVRAloadpresolvebasis(NVRAprob prob, const int rowstat[], const int colstat[]) {
    const char *fn = "NVRAloadpresolvebasis";
    return engineCall(prob, fn,
                      [&](Engine &) { return loadPresolveBasis(prob, fn, rowstat, colstat); });
}

int NVRAloadpresolvedirs(NVRAprob prob, int ndirs, const int colind[], const int priority[],
                         const char dir[], const double uppseudo[], const double downpseudo[]) {
    const char *fn = "NVRAloadpresolvedirs";
    return storeQuery(prob, fn, [&] {
        PresolvedState *ps = nullptr;
        if (int rc = presolvedState(prob, fn, ps)) return rc;
        if (int rc = checkCount(prob, fn, "directives", ndirs)) return rc;
        if (int rc = checkArray(prob, fn, "colind", colind, ndirs)) return rc;
        std::vector<int> original(ndirs);
        for (int k = 0; k < ndirs; ++k) {
            if (colind[k] < 0 || colind[k] >= ps->cols)
                return probError(prob, NVRA_RC_RANGE,
                                 "%s: presolved column %d is out of range: the presolved "
                                 "problem has %d columns",
                                 fn, colind[k], ps->cols);
            original[k] = ps->colMap[colind[k]];
        }
        return loadDirs(prob, fn, ndirs, original.data(), priority, dir, uppseudo, downpseudo);
    });
}

int NVRApresolverow(NVRAprob prob, char rowtype, int norigcoefs, const int origcolind[],
                    const double origrowcoef[], double origrhs, int maxcoefs, int *ncoefs,
                    int colind[], double rowcoef[], double *rhs, int *status) {
    const char *fn = "NVRApresolverow";
    return storeQuery(prob, fn, [&] {
        return presolveRow(prob, fn, RowIn{rowtype, norigcoefs, origcolind, origrowcoef, origrhs},
                           RowOut{maxcoefs, ncoefs, colind, rowcoef, rhs, status});
    });
}

int NVRApostsolve(NVRAprob prob) {
    const char *fn = "NVRApostsolve";
    return engineCall(prob, fn, [&](Engine &e) { return postsolve(prob, fn, e); });
}

int NVRApostsolvesol_witharraysizes(NVRAprob prob, const double prex[], int prexsize,
                                    double origx[], int origxsize) {
    const char *fn = "NVRApostsolvesol_witharraysizes";
    return engineCall(prob, fn, [&](Engine &e) {
        PresolvedState *ps = nullptr;
        if (int rc = presolvedState(prob, fn, ps)) return rc;
        const int nc = prob->model.numCols();
        if (prexsize < ps->cols || origxsize < nc)
            return probError(prob, NVRA_RC_RANGE,
                             "%s: prex must hold %d entries (the presolved columns) and origx %d "
                             "(the columns); they hold %d and %d",
                             fn, ps->cols, nc, prexsize, origxsize);
        if (int rc = checkArray(prob, fn, "prex", prex, ps->cols)) return rc;
        if (int rc = checkArray(prob, fn, "origx", origx, nc)) return rc;
        std::vector<double> x(prex, prex + ps->cols);
        if (!highsOk(Highs_postsolve(e.highs, x.data(), nullptr, nullptr)))
            return engineError(prob, e,
                               (std::string(fn) + ": the engine could not postsolve").c_str());
        std::vector<double> colValue(nc);
        Highs_getSolution(e.highs, colValue.data(), nullptr, nullptr, nullptr);
        std::copy(colValue.begin(), colValue.end(), origx);
        return 0;
    });
}

} // extern "C"
