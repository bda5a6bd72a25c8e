// nldata.cpp: the current point, renumbering and clearing of a nonlinear problem's data (see
// nldata.h).
#include "nonlinear/nldata.h"

namespace nvra::nl {
namespace {

// Keeps the entries of v whose index is kept by map (entries beyond the map's end stay).
template <class T> void compact(std::vector<T> &v, const std::vector<int32_t> &map) {
    size_t w = 0;
    for (size_t i = 0; i < v.size(); ++i)
        if (i >= map.size() || map[i] >= 0) v[w++] = std::move(v[i]);
    v.resize(w);
}

} // namespace

std::vector<double> NlData::currentPoint(int ncols) const {
    std::vector<double> x(static_cast<size_t>(ncols), 0.0);
    for (int j = 0; j < ncols && static_cast<size_t>(j) < cols.size(); ++j)
        x[j] = cols[j].value;
    return x;
}

bool NlData::renumbered(bool rowsDeleted, const std::vector<int32_t> &map, NlData &out,
                        DeletionRefusal &refusal) const {
    if (!coefs.renumbered(rowsDeleted, map, out.coefs, refusal)) return false;
    out.cols = cols;
    out.rows = rows;
    out.tolsets = tolsets;
    out.jobs = jobs;
    out.userFunctions = userFunctions;
    out.cascadeOrder.clear();
    out.dfs.clear();
    auto renumber = [&](int i) {
        return i >= 0 && static_cast<size_t>(i) < map.size() ? map[i] : i;
    };
    for (const auto &[k, v] : dfs) {
        int col = static_cast<int32_t>(k >> 32), row = static_cast<int32_t>(k & 0xffffffffu);
        if (rowsDeleted)
            row = renumber(row);
        else
            col = renumber(col);
        if (row >= 0 && col >= 0) out.dfs[dfKey(col, row)] = v;
    }
    if (rowsDeleted) {
        compact(out.rows, map);
        for (SlpColumn &c : out.cols)
            if (c.detrow >= 0) c.detrow = renumber(c.detrow);
    } else {
        compact(out.cols, map);
        for (MsJob &job : out.jobs) {
            size_t w = 0;
            for (size_t k = 0; k < job.cols.size(); ++k) {
                const int c = renumber(job.cols[k]);
                if (c < 0) continue;
                job.cols[w] = c;
                job.values[w] = job.values[k];
                ++w;
            }
            job.cols.resize(w);
            job.values.resize(w);
        }
    }
    return true;
}

void NlData::clearModel() {
    coefs.clear();
    cols.clear();
    rows.clear();
    dfs.clear();
    jobs.clear();
    cascadeOrder.clear();
}

} // namespace nvra::nl
