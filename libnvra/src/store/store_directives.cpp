// store_directives.cpp: data kept with rows and columns beside the model proper: branching
// directives of columns, row flags (delayed rows, model cuts), secure rows, scale factors.
// These change no solution: the calls keep the current one.
#include "store/store.h"

namespace nvra {
namespace {

int checkDirValues(NVRAprob prob, const char *fn, int n, const char *dir, const double *up,
                   const double *down) {
    for (int k = 0; k < n; ++k) {
        if (dir && dir[k] != 'U' && dir[k] != 'D' && dir[k] != 'N')
            return probError(prob, NVRA_RC_INVALID,
                             "%s: dir[%d] is '%c': the directions are U, D, N", fn, k, dir[k]);
        if ((up && (std::isnan(up[k]) || up[k] < 0)) ||
            (down && (std::isnan(down[k]) || down[k] < 0)))
            return probError(prob, NVRA_RC_INVALID,
                             "%s: pseudo costs of entry %d must be numbers >= 0", fn, k);
    }
    return 0;
}

int flagRows(NVRAprob prob, const char *fn, int n, const int *rows, int flag) {
    return sideEdit(prob, fn, [&] {
        if (int rc = checkIndexList(prob, fn, Kind::Row, n, rows)) return rc;
        auto &flags = prob->model.rowFlags;
        for (int k = 0; k < n; ++k)
            flags[rows[k]] |= flag;
        return 0;
    });
}

// The body of the directive setters (inside sideEdit).
int setDirs(NVRAprob prob, const char *fn, int n, const int *colind, const int *priority,
            const char *dir, const double *up, const double *down) {
    if (int rc = checkIndexList(prob, fn, Kind::Column, n, colind)) return rc;
    if (int rc = checkDirValues(prob, fn, n, dir, up, down)) return rc;
    auto &dirs = prob->model.dirs;
    std::map<int32_t, Direction> next = dirs;
    for (int k = 0; k < n; ++k) {
        Direction &d = next[colind[k]];
        if (priority) d.priority = priority[k];
        if (dir) d.dir = dir[k];
        if (up) d.upPseudo = up[k];
        if (down) d.downPseudo = down[k];
    }
    dirs.swap(next);
    return 0;
}

} // namespace

int checkArraySize(NVRAprob prob, const char *fn, const char *name, int64_t size, int64_t needed) {
    if (size >= needed) return 0;
    return probError(prob, NVRA_RC_RANGE, "%s: %s holds %lld entries; %lld are needed", fn, name,
                     static_cast<long long>(size), static_cast<long long>(needed));
}

int loadDirs(NVRAprob prob, const char *fn, int n, const int *colind, const int *priority,
             const char *dir, const double *up, const double *down) {
    return sideEdit(prob, fn,
                    [&] { return setDirs(prob, fn, n, colind, priority, dir, up, down); });
}

} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAloaddirs(NVRAprob prob, int ndirs, const int colind[], const int priority[],
                 const char dir[], const double uppseudo[], const double downpseudo[]) {
    return loadDirs(prob, "NVRAloaddirs", ndirs, colind, priority, dir, uppseudo, downpseudo);
}

int NVRAloadbranchdirs(NVRAprob prob, int ncols, const int colind[], const int dir[]) {
    const char *fn = "NVRAloadbranchdirs";
    return sideEdit(prob, fn, [&] {
        if (int rc = checkCount(prob, fn, "columns", ncols)) return rc;
        std::vector<char> letters(ncols, 'N');
        for (int k = 0; dir && k < ncols; ++k) {
            if (dir[k] < -1 || dir[k] > 1)
                return probError(prob, NVRA_RC_INVALID,
                                 "%s: dir[%d] is %d: 1 up first, -1 down first, 0 the engine's "
                                 "choice",
                                 fn, k, dir[k]);
            letters[k] = dir[k] > 0 ? 'U' : dir[k] < 0 ? 'D' : 'N';
        }
        return setDirs(prob, fn, ncols, colind, nullptr, letters.data(), nullptr, nullptr);
    });
}

int NVRAgetdirs(NVRAprob prob, int *ndirs, int colind[], int priority[], char dir[],
                double uppseudo[], double downpseudo[]) {
    return storeQuery(prob, "NVRAgetdirs", [&] {
        const auto &dirs = prob->model.dirs;
        if (ndirs) *ndirs = static_cast<int>(dirs.size());
        int k = 0;
        for (const auto &[j, d] : dirs) {
            if (colind) colind[k] = j;
            if (priority) priority[k] = d.priority;
            if (dir) dir[k] = d.dir;
            if (uppseudo) uppseudo[k] = d.upPseudo;
            if (downpseudo) downpseudo[k] = d.downPseudo;
            ++k;
        }
        return 0;
    });
}

int NVRAloaddelayedrows(NVRAprob prob, int nrows, const int rowind[]) {
    return flagRows(prob, "NVRAloaddelayedrows", nrows, rowind, kRowDelayed);
}

int NVRAloadmodelcuts(NVRAprob prob, int nrows, const int rowind[]) {
    return flagRows(prob, "NVRAloadmodelcuts", nrows, rowind, kRowModelCut);
}

int NVRAloadsecurevecs(NVRAprob prob, int nrows, int ncols, const int rowind[],
                       const int colind[]) {
    const char *fn = "NVRAloadsecurevecs";
    return storeQuery(prob, fn, [&] {
        if (int rc = checkIndexList(prob, fn, Kind::Row, nrows, rowind)) return rc;
        return checkIndexList(prob, fn, Kind::Column, ncols, colind);
    });
}

int NVRAgetrowflags_witharraysizes(NVRAprob prob, int flags[], int flagssize, int first, int last) {
    const char *fn = "NVRAgetrowflags_witharraysizes";
    return storeQuery(prob, fn, [&] {
        if (int rc = checkRange(prob, Kind::Row, first, last)) return rc;
        if (int rc = checkArraySize(prob, fn, "flags", flagssize, last - first + 1)) return rc;
        if (int rc = checkArray(prob, fn, "flags", flags, last - first + 1)) return rc;
        const auto &rowFlags = prob->model.rowFlags;
        for (int i = first; i <= last; ++i) {
            const auto it = rowFlags.find(i);
            flags[i - first] = it == rowFlags.end() ? 0 : it->second;
        }
        return 0;
    });
}

int NVRAclearrowflags_witharraysizes(NVRAprob prob, int flags, int first, int last) {
    const char *fn = "NVRAclearrowflags_witharraysizes";
    return sideEdit(prob, fn, [&] {
        if (int rc = checkRange(prob, Kind::Row, first, last)) return rc;
        auto &rowFlags = prob->model.rowFlags;
        for (auto it = rowFlags.lower_bound(first); it != rowFlags.end() && it->first <= last;) {
            it->second &= ~flags;
            it = it->second == 0 ? rowFlags.erase(it) : std::next(it);
        }
        return 0;
    });
}

int NVRAgetscale_witharraysizes(NVRAprob prob, double rowscale[], int rowscalesize,
                                double colscale[], int colscalesize) {
    const char *fn = "NVRAgetscale_witharraysizes";
    return storeQuery(prob, fn, [&] {
        const Model &m = prob->model;
        if (rowscale) {
            if (int rc = checkArraySize(prob, fn, "rowscale", rowscalesize, m.numRows())) return rc;
            std::fill(rowscale, rowscale + m.numRows(), 1.0);
        }
        if (colscale) {
            if (int rc = checkArraySize(prob, fn, "colscale", colscalesize, m.numCols())) return rc;
            std::fill(colscale, colscale + m.numCols(), 1.0);
        }
        return 0;
    });
}

int NVRAdelrows_witharraysizes(NVRAprob prob, int nrows, const int rowind[], int rowindsize) {
    if (int rc = enterProb(prob)) return rc;
    if (int rc = checkArraySize(prob, "NVRAdelrows_witharraysizes", "rowind", rowindsize, nrows))
        return rc;
    return NVRAdelrows(prob, nrows, rowind);
}

int NVRAdelcols_witharraysizes(NVRAprob prob, int ncols, const int colind[], int colindsize) {
    if (int rc = enterProb(prob)) return rc;
    if (int rc = checkArraySize(prob, "NVRAdelcols_witharraysizes", "colind", colindsize, ncols))
        return rc;
    return NVRAdelcols(prob, ncols, colind);
}

int NVRAdelsets_witharraysizes(NVRAprob prob, int nsets, const int setind[], int setindsize) {
    if (int rc = enterProb(prob)) return rc;
    if (int rc = checkArraySize(prob, "NVRAdelsets_witharraysizes", "setind", setindsize, nsets))
        return rc;
    return NVRAdelsets(prob, nsets, setind);
}

int NVRAaddsets64_witharraysizes(NVRAprob prob, int nsets, int64_t nelems, const char settype[],
                                 int settypesize, const int64_t start[], int startsize,
                                 const int colind[], int64_t colindsize, const double refval[],
                                 int64_t refvalsize) {
    const char *fn = "NVRAaddsets64_witharraysizes";
    if (int rc = enterProb(prob)) return rc;
    if (int rc = checkArraySize(prob, fn, "settype", settypesize, nsets)) return rc;
    if (int rc = checkArraySize(prob, fn, "start", startsize, nsets)) return rc;
    if (int rc = checkArraySize(prob, fn, "colind", colindsize, nelems)) return rc;
    if (int rc = checkArraySize(prob, fn, "refval", refvalsize, nelems)) return rc;
    return NVRAaddsets64(prob, nsets, nelems, settype, start, colind, refval);
}

} // extern "C"
