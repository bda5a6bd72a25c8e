// branchobj.cpp: branching objects (NVRA_bo_...): branches of column bounds, rows and pool cuts,
// built and checked against their problem. The engine takes no branching decisions from
// outside, so a branching object cannot be stored (see nvra.h).
#include "core/callbacks.h"
#include "core/env.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

using namespace nvra;

namespace {

std::atomic<int> g_nextId{1};

// Sets the branching object's last error and returns code. printf-style.
__attribute__((format(printf, 3, 4))) int boError(NVRAbranchobject bo, int code, const char *fmt,
                                                  ...) {
    char buf[NVRA_MAXMESSAGELENGTH];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    bo->lastErrorCode = code;
    try {
        bo->lastError = buf;
    } catch (const std::bad_alloc &) {
        bo->lastError.clear();
    }
    return code;
}

// Validates the handle (a failure goes to the global last error) and clears its last error.
int enterBo(NVRAbranchobject bo) {
    if (int rc = requireStarted()) return rc;
    if (!bo || handleKind(bo) != HandleKind::BranchObject)
        return setGlobalError(NVRA_RC_MISUSE,
                              "Invalid branching object handle (null, freed or foreign)");
    bo->lastError.clear();
    bo->lastErrorCode = 0;
    return 0;
}

// enterBo for calls that read or check the problem's columns.
int enterBoWithProblem(NVRAbranchobject bo, const char *fn) {
    if (int rc = enterBo(bo)) return rc;
    if (!bo->prob)
        return boError(bo, NVRA_RC_MISUSE,
                       "%s: the problem of this branching object has been destroyed", fn);
    return 0;
}

int checkBranch(NVRAbranchobject bo, const char *fn, int branch) {
    const int n = static_cast<int>(bo->branches.size());
    if (branch < 0 || branch >= n)
        return boError(bo, NVRA_RC_RANGE,
                       "%s: branch %d is out of range: the branching object has %d branches", fn,
                       branch, n);
    return 0;
}

int checkCount(NVRAbranchobject bo, const char *fn, const char *what, int64_t n,
               std::initializer_list<const void *> arrays) {
    if (n < 0) return boError(bo, NVRA_RC_INVALID, "%s: negative number of %s", fn, what);
    if (n > 0)
        for (const void *a : arrays)
            if (!a)
                return boError(bo, NVRA_RC_INVALID, "%s: null array for %lld %s", fn,
                               static_cast<long long>(n), what);
    return 0;
}

int checkColumn(NVRAbranchobject bo, const char *fn, int col) {
    const int n = bo->prob->model.numCols();
    if (col < 0 || col >= n)
        return boError(bo, NVRA_RC_RANGE,
                       "%s: column index %d is out of range: the problem has %d columns", fn, col,
                       n);
    return 0;
}

int checkValue(NVRAbranchobject bo, const char *fn, const char *what, double v) {
    if (std::isnan(v)) return boError(bo, NVRA_RC_INVALID, "%s: %s is NaN", fn, what);
    return 0;
}

int checkType(NVRAbranchobject bo, const char *fn, const char *what, char type,
              const char *allowed) {
    if (!type || !std::strchr(allowed, type))
        return boError(bo, NVRA_RC_INVALID, "%s: invalid %s type '%c': expected one of %s", fn,
                       what, type ? type : '?', allowed);
    return 0;
}

// Copies at most max entries of v into out (when given).
template <class T> void copyPrefix(const std::vector<T> &v, int max, T *out) {
    if (out && max > 0) std::copy_n(v.begin(), std::min<size_t>(v.size(), max), out);
}

int outOfMemory(NVRAbranchobject bo, const char *fn) {
    return boError(bo, NVRA_RC_NOMEM, "%s: out of memory", fn);
}

bool branchHasColumn(const nvo_bo_struct::Branch &b, int ncols) {
    auto bad = [&](int32_t j) { return j < 0 || j >= ncols; };
    return std::any_of(b.bndCol.begin(), b.bndCol.end(), bad) ||
           std::any_of(b.rowCol.begin(), b.rowCol.end(), bad);
}

} // namespace

extern "C" {

int NVRA_bo_create(NVRAbranchobject *bo, NVRAprob prob, int isoriginal) {
    if (int rc = checkProb(prob)) return rc;
    if (!bo) return probError(prob, NVRA_RC_INVALID, "NVRA_bo_create: null argument");
    *bo = nullptr;
    try {
        auto *b = new nvo_bo_struct;
        b->prob = prob;
        b->id = g_nextId.fetch_add(1);
        b->isOriginal = isoriginal != 0;
        b->lastError.reserve(NVRA_MAXMESSAGELENGTH);
        ProblemCallbacks &cbs = *prob->callbacks;
        std::lock_guard<std::mutex> lock(cbs.mutex);
        try {
            cbs.branchObjects.push_back(b);
        } catch (const std::bad_alloc &) {
            delete b;
            throw;
        }
        *bo = b;
    } catch (const std::bad_alloc &) {
        return probError(prob, NVRA_RC_NOMEM, "Out of memory creating a branching object");
    }
    return NVRA_RC_OK;
}

int NVRA_bo_destroy(NVRAbranchobject bo) {
    if (int rc = enterBo(bo)) return rc;
    if (bo->prob) {
        ProblemCallbacks &cbs = *bo->prob->callbacks;
        std::lock_guard<std::mutex> lock(cbs.mutex);
        std::erase(cbs.branchObjects, bo);
    }
    bo->header.kind = HandleKind::Freed;
    delete bo;
    return NVRA_RC_OK;
}

int NVRA_bo_addbranches(NVRAbranchobject bo, int nbranches) {
    if (int rc = enterBoWithProblem(bo, "NVRA_bo_addbranches")) return rc;
    if (int rc = checkCount(bo, "NVRA_bo_addbranches", "branches", nbranches, {})) return rc;
    try {
        bo->branches.resize(bo->branches.size() + nbranches);
    } catch (const std::bad_alloc &) {
        return outOfMemory(bo, "NVRA_bo_addbranches");
    }
    return NVRA_RC_OK;
}

int NVRA_bo_getbranches(NVRAbranchobject bo, int *nbranches) {
    if (int rc = enterBo(bo)) return rc;
    if (!nbranches) return boError(bo, NVRA_RC_INVALID, "NVRA_bo_getbranches: null argument");
    *nbranches = static_cast<int>(bo->branches.size());
    return NVRA_RC_OK;
}

int NVRA_bo_setpriority(NVRAbranchobject bo, int priority) {
    if (int rc = enterBoWithProblem(bo, "NVRA_bo_setpriority")) return rc;
    bo->priority = priority;
    return NVRA_RC_OK;
}

int NVRA_bo_setpreferredbranch(NVRAbranchobject bo, int branch) {
    if (int rc = enterBoWithProblem(bo, "NVRA_bo_setpreferredbranch")) return rc;
    if (int rc = checkBranch(bo, "NVRA_bo_setpreferredbranch", branch)) return rc;
    bo->preferredBranch = branch;
    return NVRA_RC_OK;
}

int NVRA_bo_addbounds(NVRAbranchobject bo, int branch, int nbounds, const char bndtype[],
                      const int colind[], const double bndval[]) {
    const char *fn = "NVRA_bo_addbounds";
    if (int rc = enterBoWithProblem(bo, fn)) return rc;
    if (int rc = checkBranch(bo, fn, branch)) return rc;
    if (int rc = checkCount(bo, fn, "bounds", nbounds, {bndtype, colind, bndval})) return rc;
    for (int k = 0; k < nbounds; ++k) {
        if (int rc = checkType(bo, fn, "bound", bndtype[k], "LUB")) return rc;
        if (int rc = checkColumn(bo, fn, colind[k])) return rc;
        if (int rc = checkValue(bo, fn, "a bound", bndval[k])) return rc;
    }
    try {
        nvo_bo_struct::Branch b = bo->branches[branch];
        b.bndType.insert(b.bndType.end(), bndtype, bndtype + nbounds);
        b.bndCol.insert(b.bndCol.end(), colind, colind + nbounds);
        b.bndVal.insert(b.bndVal.end(), bndval, bndval + nbounds);
        bo->branches[branch] = std::move(b);
    } catch (const std::bad_alloc &) {
        return outOfMemory(bo, fn);
    }
    return NVRA_RC_OK;
}

int NVRA_bo_getbounds(NVRAbranchobject bo, int branch, int *nbounds, int maxbounds, char bndtype[],
                      int colind[], double bndval[]) {
    const char *fn = "NVRA_bo_getbounds";
    if (int rc = enterBo(bo)) return rc;
    if (int rc = checkBranch(bo, fn, branch)) return rc;
    const nvo_bo_struct::Branch &b = bo->branches[branch];
    if (nbounds) *nbounds = static_cast<int>(b.bndType.size());
    copyPrefix(b.bndType, maxbounds, bndtype);
    copyPrefix(b.bndCol, maxbounds, colind);
    copyPrefix(b.bndVal, maxbounds, bndval);
    return NVRA_RC_OK;
}

int NVRA_bo_addrows(NVRAbranchobject bo, int branch, int nrows, int ncoefs, const char rowtype[],
                    const double rhs[], const int start[], const int colind[],
                    const double rowcoef[]) {
    const char *fn = "NVRA_bo_addrows";
    if (int rc = enterBoWithProblem(bo, fn)) return rc;
    if (int rc = checkBranch(bo, fn, branch)) return rc;
    if (int rc = checkCount(bo, fn, "rows", nrows, {rowtype, rhs, start})) return rc;
    if (int rc = checkCount(bo, fn, "coefficients", ncoefs, {colind, rowcoef})) return rc;
    for (int i = 0; i < nrows; ++i) {
        const int end = i + 1 < nrows ? start[i + 1] : ncoefs;
        if (start[i] < 0 || start[i] > end || end > ncoefs)
            return boError(bo, NVRA_RC_INVALID,
                           "%s: the starts of row %d (%d to %d) do not lie within the %d "
                           "coefficients in increasing order",
                           fn, i, start[i], end, ncoefs);
        if (int rc = checkType(bo, fn, "row", rowtype[i], "LGE")) return rc;
        if (int rc = checkValue(bo, fn, "a right-hand side", rhs[i])) return rc;
    }
    const int first = nrows > 0 ? start[0] : ncoefs;
    for (int k = first; k < ncoefs; ++k) {
        if (int rc = checkColumn(bo, fn, colind[k])) return rc;
        if (int rc = checkValue(bo, fn, "a coefficient", rowcoef[k])) return rc;
    }
    try {
        nvo_bo_struct::Branch b = bo->branches[branch];
        for (int i = 0; i < nrows; ++i) {
            const int end = i + 1 < nrows ? start[i + 1] : ncoefs;
            b.rowType.push_back(rowtype[i]);
            b.rhs.push_back(rhs[i]);
            b.rowCol.insert(b.rowCol.end(), colind + start[i], colind + end);
            b.rowCoef.insert(b.rowCoef.end(), rowcoef + start[i], rowcoef + end);
            b.rowStart.push_back(static_cast<int32_t>(b.rowCol.size()));
        }
        bo->branches[branch] = std::move(b);
    } catch (const std::bad_alloc &) {
        return outOfMemory(bo, fn);
    }
    return NVRA_RC_OK;
}

int NVRA_bo_getrows(NVRAbranchobject bo, int branch, int *nrows, int maxrows, int *ncoefs,
                    int maxcoefs, char rowtype[], double rhs[], int start[], int colind[],
                    double rowcoef[]) {
    const char *fn = "NVRA_bo_getrows";
    if (int rc = enterBo(bo)) return rc;
    if (int rc = checkBranch(bo, fn, branch)) return rc;
    const nvo_bo_struct::Branch &b = bo->branches[branch];
    if (nrows) *nrows = static_cast<int>(b.rowType.size());
    if (ncoefs) *ncoefs = static_cast<int>(b.rowCol.size());
    copyPrefix(b.rowType, maxrows, rowtype);
    copyPrefix(b.rhs, maxrows, rhs);
    copyPrefix(b.rowStart, maxrows > 0 ? maxrows + 1 : 0, start);
    copyPrefix(b.rowCol, maxcoefs, colind);
    copyPrefix(b.rowCoef, maxcoefs, rowcoef);
    return NVRA_RC_OK;
}

int NVRA_bo_addcuts(NVRAbranchobject bo, int branch, int ncuts, const NVRAcut cutind[]) {
    const char *fn = "NVRA_bo_addcuts";
    if (int rc = enterBoWithProblem(bo, fn)) return rc;
    if (int rc = checkBranch(bo, fn, branch)) return rc;
    if (int rc = checkCount(bo, fn, "cuts", ncuts, {cutind})) return rc;
    for (int k = 0; k < ncuts; ++k)
        if (!cutind[k]) return boError(bo, NVRA_RC_INVALID, "%s: cut %d is a null handle", fn, k);
    std::vector<NVRAcut> &cuts = bo->branches[branch].cuts;
    try {
        cuts.insert(cuts.end(), cutind, cutind + ncuts);
    } catch (const std::bad_alloc &) {
        return outOfMemory(bo, fn);
    }
    return NVRA_RC_OK;
}

int NVRA_bo_validate(NVRAbranchobject bo, int *status) {
    if (int rc = enterBoWithProblem(bo, "NVRA_bo_validate")) return rc;
    if (!status) return boError(bo, NVRA_RC_INVALID, "NVRA_bo_validate: null argument");
    const int ncols = bo->prob->model.numCols();
    *status = NVRA_BO_VALID;
    if (bo->branches.empty()) *status = NVRA_BO_NOBRANCHES;
    for (const nvo_bo_struct::Branch &b : bo->branches) {
        if (*status != NVRA_BO_VALID) break;
        if (b.bndType.empty() && b.rowType.empty() && b.cuts.empty())
            *status = NVRA_BO_EMPTYBRANCH;
        else if (branchHasColumn(b, ncols))
            *status = NVRA_BO_BADCOLUMN;
    }
    return NVRA_RC_OK;
}

int NVRA_bo_store(NVRAbranchobject bo, int *status) {
    if (int rc = enterBoWithProblem(bo, "NVRA_bo_store")) return rc;
    if (status) *status = 0;
    return boError(bo, NVRA_RC_UNSUPPORTED,
                   "NVRA_bo_store: this engine takes no branching decisions from outside, so a "
                   "branching object can be built and validated but not stored");
}

int NVRA_bo_getid(NVRAbranchobject bo, int *id) {
    if (int rc = enterBo(bo)) return rc;
    if (!id) return boError(bo, NVRA_RC_INVALID, "NVRA_bo_getid: null argument");
    *id = bo->id;
    return NVRA_RC_OK;
}

int NVRA_bo_getlasterror(NVRAbranchobject bo, int *code, char *msg, int maxbytes, int *nbytes) {
    if (int rc = requireStarted()) return rc;
    if (!bo || handleKind(bo) != HandleKind::BranchObject)
        return setGlobalError(NVRA_RC_MISUSE,
                              "Invalid branching object handle (null, freed or foreign)");
    if (code) *code = bo->lastErrorCode;
    copyOut(bo->lastError, msg, maxbytes, nbytes);
    return NVRA_RC_OK;
}

} // extern "C"
