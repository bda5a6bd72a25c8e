// store_entities.cpp: special ordered sets, indicator constraints and the list of integer
// entities.
#include "store/store.h"

namespace nvra {
namespace {

template <class S>
int addSets(NVRAprob prob, const char *fn, int nsets, int64_t nelems, const char *settype,
            const S *start, const int *colind, const double *refval) {
    return storeEdit(prob, fn, [&] {
        if (int rc = checkCount(prob, fn, "sets", nsets)) return rc;
        if (int rc = checkCount(prob, fn, "set members", nelems)) return rc;
        if (nsets == 0 && nelems > 0)
            return probError(prob, NVRA_RC_INVALID, "%s: %lld set members given for no sets", fn,
                             static_cast<long long>(nelems));
        if (int rc = checkRoom(prob, Kind::Set, nsets)) return rc;
        if (int rc = checkArray(prob, fn, "settype", settype, nsets)) return rc;
        if (int rc = checkArray(prob, fn, "colind", colind, nelems)) return rc;
        if (int rc = checkArray(prob, fn, "refval", refval, nelems)) return rc;
        if (int rc = checkStarts(prob, fn, start, nsets, nelems)) return rc;
        Model &m = prob->model;
        const int64_t s0 = static_cast<int64_t>(m.sets.size());
        for (int k = 0; k < nsets; ++k) {
            if (int rc = checkSetType(prob, fn, s0 + k, settype[k])) return rc;
            const int64_t b = nelems ? static_cast<int64_t>(start[k]) : 0;
            const int64_t e = nelems ? listEnd(start, nsets, nelems, k) : 0;
            if (int rc =
                    checkSetMembers(prob, fn, s0 + k, colind + b, refval + b, e - b, m.numCols()))
                return rc;
        }
        std::vector<Sos> fresh(nsets);
        for (int k = 0; k < nsets; ++k) {
            const int64_t b = nelems ? static_cast<int64_t>(start[k]) : 0;
            const int64_t e = nelems ? listEnd(start, nsets, nelems, k) : 0;
            fresh[k].type = settype[k];
            fresh[k].cols.assign(colind + b, colind + e);
            fresh[k].weights.assign(refval + b, refval + e);
        }
        reserveFor(m.sets, m.sets.size() + nsets);
        m.setNames.resize(static_cast<int>(s0 + nsets));
        for (Sos &s : fresh)
            m.sets.push_back(std::move(s));
        return 0;
    });
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAaddsets(NVRAprob prob, int nsets, int nelems, const char settype[], const int start[],
                const int colind[], const double refval[]) {
    return addSets(prob, "NVRAaddsets", nsets, nelems, settype, start, colind, refval);
}

int NVRAaddsets64(NVRAprob prob, int nsets, int64_t nelems, const char settype[],
                  const int64_t start[], const int colind[], const double refval[]) {
    return addSets(prob, "NVRAaddsets64", nsets, nelems, settype, start, colind, refval);
}

int NVRAdelsets(NVRAprob prob, int nsets, const int setind[]) {
    const char *fn = "NVRAdelsets";
    return storeEdit(prob, fn, [&] {
        std::vector<int32_t> map, sorted;
        if (int rc = deletionMap(prob, fn, Kind::Set, nsets, setind, map, sorted)) return rc;
        prob->model.setNames.erase(sorted);
        compactByMap(prob->model.sets, map);
        return 0;
    });
}

int NVRAsetindicators(NVRAprob prob, int nrows, const int rowind[], const int colind[],
                      const int complement[]) {
    const char *fn = "NVRAsetindicators";
    return storeEdit(prob, fn, [&] {
        if (int rc = checkIndexList(prob, fn, Kind::Row, nrows, rowind)) return rc;
        if (int rc = checkArray(prob, fn, "complement", complement, nrows)) return rc;
        Model &m = prob->model;
        for (int k = 0; k < nrows; ++k) {
            const int c = complement[k];
            if (c != 0 && c != 1 && c != -1)
                return probError(prob, NVRA_RC_INVALID,
                                 "%s: row %d: invalid complement %d: expected 1 (column = 1), -1 "
                                 "(column = 0) or 0 (no indicator)",
                                 fn, rowind[k], c);
            if (c == 0) continue;
            if (int rc = checkArray(prob, fn, "colind", colind)) return rc;
            if (int rc = checkIndex(prob, Kind::Column, colind[k])) return rc;
            if (m.coltype[colind[k]] != 'B')
                return probError(prob, NVRA_RC_INVALID,
                                 "%s: row %d: the indicator column %d must be binary (its type "
                                 "is '%c')",
                                 fn, rowind[k], colind[k], m.coltype[colind[k]]);
        }
        // The final state of each row (the last entry wins), built before the store changes;
        // nodes then move into the store without allocating.
        std::map<int32_t, Indicator> wanted;
        for (int k = 0; k < nrows; ++k)
            wanted[rowind[k]] = complement[k] ? Indicator{colind[k], complement[k]} : Indicator{};
        while (!wanted.empty()) {
            auto node = wanted.extract(wanted.begin());
            auto it = m.indicators.find(node.key());
            if (node.mapped().complement == 0) {
                if (it != m.indicators.end()) m.indicators.erase(it);
            } else if (it != m.indicators.end()) {
                it->second = node.mapped();
            } else {
                m.indicators.insert(std::move(node));
            }
        }
        return 0;
    });
}

int NVRAdelindicators(NVRAprob prob, int first, int last) {
    return storeEdit(prob, "NVRAdelindicators", [&] {
        if (int rc = checkRange(prob, Kind::Row, first, last)) return rc;
        auto &ind = prob->model.indicators;
        ind.erase(ind.lower_bound(first), ind.upper_bound(last));
        return 0;
    });
}

int NVRAgetindicators(NVRAprob prob, int colind[], int complement[], int first, int last) {
    return storeQuery(prob, "NVRAgetindicators", [&] {
        if (int rc = checkRange(prob, Kind::Row, first, last)) return rc;
        for (int i = first; i <= last; ++i) {
            if (colind) colind[i - first] = -1;
            if (complement) complement[i - first] = 0;
        }
        const auto &ind = prob->model.indicators;
        for (auto it = ind.lower_bound(first); it != ind.end() && it->first <= last; ++it) {
            if (colind) colind[it->first - first] = it->second.col;
            if (complement) complement[it->first - first] = it->second.complement;
        }
        return 0;
    });
}

int NVRAgetmipentities64(NVRAprob prob, int *nentities, int *nsets, char coltype[], int colind[],
                         double limit[], char settype[], int64_t start[], int setcols[],
                         double refval[]) {
    return storeQuery(prob, "NVRAgetmipentities64", [&] {
        const Model &m = prob->model;
        int count = 0;
        for (int j = 0; j < m.numCols(); ++j) {
            const char t = m.coltype[j];
            if (t == 'C') continue;
            if (coltype) coltype[count] = t;
            if (colind) colind[count] = j;
            if (limit) limit[count] = t == 'S' || t == 'R' || t == 'P' ? m.limit[j] : 0.0;
            ++count;
        }
        if (nentities) *nentities = count;
        if (nsets) *nsets = static_cast<int>(m.sets.size());
        int64_t at = 0;
        for (size_t k = 0; k < m.sets.size(); ++k) {
            const Sos &s = m.sets[k];
            if (settype) settype[k] = s.type;
            if (start) start[k] = at;
            if (setcols) std::copy(s.cols.begin(), s.cols.end(), setcols + at);
            if (refval) std::copy(s.weights.begin(), s.weights.end(), refval + at);
            at += static_cast<int64_t>(s.cols.size());
        }
        if (start) start[m.sets.size()] = at;
        return 0;
    });
}

} // extern "C"
