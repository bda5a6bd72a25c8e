// cutpool.cpp: the problem's cut pool. Cuts are rows kept apart from the model, each with a type
// and a handle; active ones are added as rows to every solve (heldrows.cpp). Changes to the pool
// keep the current solution.
#include "solver/analysis.h"

#include <algorithm>
#include <cmath>

namespace nvra {
namespace {

using CutPtr = std::unique_ptr<nvo_cut_struct>;

bool typeSelected(int type, int cuttype, int interp) {
    switch (interp) {
    case -1:
        return true;
    case 1:
        return type == cuttype;
    case 2:
        return (type & cuttype) != 0;
    default:
        return (type & cuttype) == cuttype;
    }
}

int checkInterp(NVRAprob prob, const char *fn, int interp) {
    if (interp == -1 || (interp >= 1 && interp <= 3)) return 0;
    return probError(prob, NVRA_RC_INVALID, "%s: interp %d: -1, 1, 2 or 3", fn, interp);
}

// The position of a handle in the pool, or an error.
int findCut(NVRAprob prob, const char *fn, NVRAcut cut, size_t &pos) {
    const auto &cuts = prob->cutPool.cuts;
    const auto it =
        std::find_if(cuts.begin(), cuts.end(), [&](const CutPtr &c) { return c.get() == cut; });
    if (it == cuts.end())
        return probError(prob, NVRA_RC_INVALID,
                         "%s: a cut handle does not belong to the problem's cut pool", fn);
    pos = static_cast<size_t>(it - cuts.begin());
    return 0;
}

// The cuts a call acts on: the listed ones (ncuts >= 0) or those selected by type.
int selectCuts(NVRAprob prob, const char *fn, int cuttype, int interp, int ncuts,
               const NVRAcut *cutind, std::vector<nvo_cut_struct *> &out) {
    out.clear();
    if (ncuts < 0) {
        if (int rc = checkInterp(prob, fn, interp)) return rc;
        for (const CutPtr &c : prob->cutPool.cuts)
            if (typeSelected(c->type, cuttype, interp)) out.push_back(c.get());
        return 0;
    }
    if (int rc = checkArray(prob, fn, "cutind", cutind, ncuts)) return rc;
    for (int k = 0; k < ncuts; ++k) {
        size_t pos = 0;
        if (int rc = findCut(prob, fn, cutind[k], pos)) return rc;
        out.push_back(prob->cutPool.cuts[pos].get());
    }
    return 0;
}

// The row activity of a cut at x.
double cutActivity(const nvo_cut_struct &c, const std::vector<double> &x) {
    double a = 0.0;
    for (size_t k = 0; k < c.cols.size(); ++k)
        a += c.coefs[k] * x[c.cols[k]];
    return a;
}

// How far x lies outside the cut (negative inside).
double violation(const nvo_cut_struct &c, const std::vector<double> &x) {
    const double a = cutActivity(c, x);
    switch (c.rowtype) {
    case 'G':
        return c.rhs - a;
    case 'E':
        return std::fabs(a - c.rhs);
    default:
        return a - c.rhs;
    }
}

// Cut columns must exist in the current model.
bool cutFits(NVRAprob prob, const nvo_cut_struct &c) {
    const int nc = prob->model.numCols();
    return std::all_of(c.cols.begin(), c.cols.end(), [&](int j) { return j < nc; });
}

// Checks and builds ncuts cuts (row-wise data as NVRAaddrows64, without ranges).
int buildCuts(NVRAprob prob, const char *fn, int ncuts, const int *cuttype, const char *rowtype,
              const double *rhs, const int64_t *start, const int *colind, const double *coef,
              std::vector<CutPtr> &out) {
    if (int rc = checkCount(prob, fn, "cuts", ncuts)) return rc;
    if (int rc = checkArray(prob, fn, "rowtype", rowtype, ncuts)) return rc;
    if (int rc = checkArray(prob, fn, "rhs", rhs, ncuts)) return rc;
    if (int rc = checkArray(prob, fn, "start", start, ncuts)) return rc;
    const int64_t total = ncuts > 0 ? start[ncuts] : 0;
    if (int rc = checkStarts(prob, fn, start, ncuts, total)) return rc;
    if (int rc = checkArray(prob, fn, "colind", colind, total)) return rc;
    if (int rc = checkArray(prob, fn, "cutcoef", coef, total)) return rc;
    const int nc = prob->model.numCols();
    for (int64_t p = 0; p < total; ++p) {
        if (colind[p] < 0 || colind[p] >= nc)
            return probError(prob, NVRA_RC_RANGE,
                             "%s: column index %d is out of range: the problem has %d columns", fn,
                             colind[p], nc);
        if (badCoef(coef[p]))
            return probError(prob, NVRA_RC_INVALID, "%s: coefficient %lld is not finite", fn,
                             static_cast<long long>(p));
    }
    std::vector<std::pair<int32_t, double>> scratch;
    for (int k = 0; k < ncuts; ++k) {
        if (rowtype[k] != 'L' && rowtype[k] != 'G' && rowtype[k] != 'E')
            return probError(prob, NVRA_RC_INVALID, "%s: cut %d has row type '%c': L, G or E", fn,
                             k, rowtype[k]);
        if (isNaN(rhs[k]) || std::fabs(rhs[k]) >= kInf)
            return probError(prob, NVRA_RC_INVALID,
                             "%s: cut %d has a right-hand side that is "
                             "not a finite number",
                             fn, k);
        auto cut = std::make_unique<nvo_cut_struct>();
        cut->type = cuttype ? cuttype[k] : 0;
        cut->rowtype = rowtype[k];
        cut->rhs = rhs[k];
        const int64_t end = start[k + 1];
        cut->cols.assign(colind + start[k], colind + end);
        cut->coefs.assign(coef + start[k], coef + end);
        const int64_t n = normaliseList(cut->cols.data(), cut->coefs.data(), 0,
                                        static_cast<int64_t>(cut->cols.size()), scratch);
        cut->cols.resize(n);
        cut->coefs.resize(n);
        out.push_back(std::move(cut));
    }
    return 0;
}

// Stores ncuts cuts (active or not); their handles into handles (may be null).
int storeCuts(NVRAprob prob, const char *fn, int ncuts, const int *cuttype, const char *rowtype,
              const double *rhs, const int64_t *start, const int *colind, const double *coef,
              bool active, NVRAcut *handles) {
    return sideEdit(prob, fn, [&] {
        std::vector<CutPtr> built;
        if (int rc = buildCuts(prob, fn, ncuts, cuttype, rowtype, rhs, start, colind, coef, built))
            return rc;
        auto &cuts = prob->cutPool.cuts;
        cuts.reserve(cuts.size() + built.size());
        for (size_t k = 0; k < built.size(); ++k) {
            built[k]->active = active;
            if (handles) handles[k] = built[k].get();
            cuts.push_back(std::move(built[k]));
        }
        return 0;
    });
}

// The current solution's values, for the calls that measure cuts.
int currentX(NVRAprob prob, const char *fn, const std::vector<double> *&x) {
    if (int rc = requireSolution(prob, fn)) return rc;
    x = &prob->solution.x;
    return 0;
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAstorecuts64(NVRAprob prob, int ncuts, const int cuttype[], const char rowtype[],
                    const double rhs[], const int64_t start[], const int colind[],
                    const double cutcoef[], NVRAcut cutind[]) {
    return storeCuts(prob, "NVRAstorecuts64", ncuts, cuttype, rowtype, rhs, start, colind, cutcoef,
                     false, cutind);
}

int NVRAaddcuts64(NVRAprob prob, int ncuts, const int cuttype[], const char rowtype[],
                  const double rhs[], const int64_t start[], const int colind[],
                  const double cutcoef[]) {
    return storeCuts(prob, "NVRAaddcuts64", ncuts, cuttype, rowtype, rhs, start, colind, cutcoef,
                     true, nullptr);
}

int NVRAaddmanagedcuts64_witharraysizes(NVRAprob prob, int globalvalid, int ncuts,
                                        const char rowtype[], int rowtypesize, const double rhs[],
                                        int rhssize, const int64_t start[], int startsize,
                                        const int colind[], int64_t colindsize,
                                        const double cutcoef[], int64_t cutcoefsize) {
    const char *fn = "NVRAaddmanagedcuts64_witharraysizes";
    if (int rc = enterProb(prob)) return rc;
    if (globalvalid != 1)
        return probError(prob, NVRA_RC_UNSUPPORTED,
                         "%s: globalvalid must be 1: cuts valid only at a node need a callback",
                         fn);
    if (int rc = checkArraySize(prob, fn, "rowtype", rowtypesize, ncuts)) return rc;
    if (int rc = checkArraySize(prob, fn, "rhs", rhssize, ncuts)) return rc;
    if (int rc = checkArraySize(prob, fn, "start", startsize, ncuts + 1)) return rc;
    const int64_t total = ncuts > 0 && start ? start[ncuts] : 0;
    if (int rc = checkArraySize(prob, fn, "colind", colindsize, total)) return rc;
    if (int rc = checkArraySize(prob, fn, "cutcoef", cutcoefsize, total)) return rc;
    return storeCuts(prob, fn, ncuts, nullptr, rowtype, rhs, start, colind, cutcoef, true, nullptr);
}

int NVRAloadcuts(NVRAprob prob, int cuttype, int interp, int ncuts, const NVRAcut cutind[]) {
    const char *fn = "NVRAloadcuts";
    return sideEdit(prob, fn, [&] {
        std::vector<nvo_cut_struct *> cuts;
        if (int rc = selectCuts(prob, fn, cuttype, interp, ncuts, cutind, cuts)) return rc;
        for (nvo_cut_struct *c : cuts)
            c->active = true;
        return 0;
    });
}

int NVRAgetcutlist(NVRAprob prob, int cuttype, int interp, int *ncuts, int maxcuts,
                   NVRAcut cutind[]) {
    const char *fn = "NVRAgetcutlist";
    return storeQuery(prob, fn, [&] {
        if (int rc = checkInterp(prob, fn, interp)) return rc;
        int count = 0;
        for (const CutPtr &c : prob->cutPool.cuts) {
            if (!c->active || !typeSelected(c->type, cuttype, interp)) continue;
            if (cutind && count < maxcuts) cutind[count] = c.get();
            ++count;
        }
        if (ncuts) *ncuts = count;
        return 0;
    });
}

int NVRAgetcpcutlist(NVRAprob prob, int cuttype, int interp, double delta, int *ncuts, int maxcuts,
                     NVRAcut cutind[], double viol[]) {
    const char *fn = "NVRAgetcpcutlist";
    return storeQuery(prob, fn, [&] {
        if (int rc = checkInterp(prob, fn, interp)) return rc;
        const std::vector<double> *x = nullptr;
        if (int rc = currentX(prob, fn, x)) return rc;
        int count = 0;
        for (const CutPtr &c : prob->cutPool.cuts) {
            if (!typeSelected(c->type, cuttype, interp) || !cutFits(prob, *c)) continue;
            const double v = violation(*c, *x);
            if (v < delta) continue;
            if (count < maxcuts) {
                if (cutind) cutind[count] = c.get();
                if (viol) viol[count] = v;
            }
            ++count;
        }
        if (ncuts) *ncuts = count;
        return 0;
    });
}

int NVRAgetcpcuts64(NVRAprob prob, const NVRAcut cutind[], int ncuts, int64_t maxcoefs,
                    int cuttype[], char rowtype[], int64_t start[], int colind[], double cutcoef[],
                    double rhs[], int64_t *ncoefs) {
    const char *fn = "NVRAgetcpcuts64";
    return storeQuery(prob, fn, [&] {
        std::vector<nvo_cut_struct *> cuts;
        if (int rc = checkCount(prob, fn, "cuts", ncuts)) return rc;
        if (int rc = selectCuts(prob, fn, 0, -1, ncuts, cutind, cuts)) return rc;
        int64_t total = 0;
        for (const nvo_cut_struct *c : cuts)
            total += static_cast<int64_t>(c->cols.size());
        bool fill = false;
        if (int rc =
                sparseSizes<int64_t>(prob, fn, total, colind || cutcoef, maxcoefs, ncoefs, fill))
            return rc;
        int64_t p = 0;
        for (size_t k = 0; k < cuts.size(); ++k) {
            const nvo_cut_struct &c = *cuts[k];
            if (cuttype) cuttype[k] = c.type;
            if (rowtype) rowtype[k] = c.rowtype;
            if (rhs) rhs[k] = c.rhs;
            if (start) start[k] = p;
            for (size_t q = 0; fill && q < c.cols.size(); ++q) {
                if (colind) colind[p + q] = c.cols[q];
                if (cutcoef) cutcoef[p + q] = c.coefs[q];
            }
            p += static_cast<int64_t>(c.cols.size());
        }
        if (start) start[cuts.size()] = p;
        return 0;
    });
}

int NVRAgetcutmap(NVRAprob prob, int ncuts, const NVRAcut cutind[], int cutmap[]) {
    const char *fn = "NVRAgetcutmap";
    return storeQuery(prob, fn, [&] {
        if (int rc = checkCount(prob, fn, "cuts", ncuts)) return rc;
        if (int rc = checkArray(prob, fn, "cutmap", cutmap, ncuts)) return rc;
        std::vector<nvo_cut_struct *> cuts;
        if (int rc = selectCuts(prob, fn, 0, -1, ncuts, cutind, cuts)) return rc;
        std::vector<int> row(prob->cutPool.cuts.size(), -1);
        int next = prob->model.numRows();
        for (size_t k = 0; k < row.size(); ++k)
            if (prob->cutPool.cuts[k]->active) row[k] = next++;
        for (int k = 0; k < ncuts; ++k) {
            size_t pos = 0;
            findCut(prob, fn, cutind[k], pos);
            cutmap[k] = row[pos];
        }
        return 0;
    });
}

int NVRAgetcutslack(NVRAprob prob, NVRAcut cut, double *slack) {
    const char *fn = "NVRAgetcutslack";
    return storeQuery(prob, fn, [&] {
        size_t pos = 0;
        if (int rc = findCut(prob, fn, cut, pos)) return rc;
        if (!slack) return probError(prob, NVRA_RC_INVALID, "%s: null slack", fn);
        if (!cut->active)
            return probError(prob, NVRA_RC_ERROR, "%s: the cut is not active (NVRAloadcuts)", fn);
        const std::vector<double> *x = nullptr;
        if (int rc = currentX(prob, fn, x)) return rc;
        if (!cutFits(prob, *cut))
            return probError(prob, NVRA_RC_ERROR,
                             "%s: the cut names a column that no longer exists", fn);
        *slack = cut->rhs - cutActivity(*cut, *x);
        return 0;
    });
}

int NVRAdelcpcuts(NVRAprob prob, int cuttype, int interp, int ncuts, const NVRAcut cutind[]) {
    const char *fn = "NVRAdelcpcuts";
    return sideEdit(prob, fn, [&] {
        std::vector<nvo_cut_struct *> cuts;
        if (int rc = selectCuts(prob, fn, cuttype, interp, ncuts, cutind, cuts)) return rc;
        std::erase_if(prob->cutPool.cuts, [&](const CutPtr &c) {
            return std::find(cuts.begin(), cuts.end(), c.get()) != cuts.end();
        });
        return 0;
    });
}

int NVRAdelcuts(NVRAprob prob, int keepbinding, int cuttype, int interp, double delta, int ncuts,
                const NVRAcut cutind[]) {
    const char *fn = "NVRAdelcuts";
    return sideEdit(prob, fn, [&] {
        if (keepbinding != 0 && keepbinding != 1)
            return probError(prob, NVRA_RC_INVALID, "%s: keepbinding must be 0 or 1", fn);
        if (isNaN(delta)) return probError(prob, NVRA_RC_INVALID, "%s: delta is not a number", fn);
        std::vector<nvo_cut_struct *> cuts;
        if (int rc = selectCuts(prob, fn, cuttype, interp, ncuts, cutind, cuts)) return rc;
        const bool all = delta <= -kInf && !keepbinding;
        const std::vector<double> *x = nullptr;
        if (!all)
            if (int rc = currentX(prob, fn, x)) return rc;
        const double tol = prob->controls.dbls[dblSlot::kCtrlFeasTol];
        for (nvo_cut_struct *c : cuts) {
            if (!c->active) continue;
            if (all) {
                c->active = false;
                continue;
            }
            if (!cutFits(prob, *c)) continue;
            const double slack = std::fabs(c->rhs - cutActivity(*c, *x));
            if (keepbinding && slack <= tol) continue;
            if (slack > delta) c->active = false;
        }
        return 0;
    });
}

} // extern "C"
