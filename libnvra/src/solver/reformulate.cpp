// reformulate.cpp: what HiGHS cannot model as the store holds it, in standard binary and big-M
// forms built from finite bounds. Auxiliary columns and rows are appended to the image.
//
// Semantics of the column types (limit = the column's threshold):
//  'S' semi-continuous: x = 0 or max(lb, limit) <= x <= ub;
//  'R' semi-integer: the same with x integer;
//  'P' partially integer: x integer in [lb, limit] or continuous in [limit, ub].
// A set's members are ordered by their reference values: SOS1 allows one non-zero member,
// SOS2 two, adjacent in that order. An indicator row holds when its binary column takes the
// value 1 (complement 1) or 0 (complement -1).
#include "solver/compile.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace nvra {
namespace {

// HiGHS clamps (or refuses) semi-variable upper bounds above this value; such columns get the
// binary form instead.
constexpr double kMaxNativeSemiUpper = 1e5;

bool finite(double v) {
    return std::fabs(v) < kInf;
}

// 'S' and 'R' columns: HiGHS's own semi-variable types where their rules allow (lower bound
// positive, upper bound at most 1e5), else x - L b >= 0, x - U b <= 0 with a binary b.
int semiVariable(NVRAprob prob, Image &img, int j) {
    const Model &m = *img.model;
    const bool integer = m.coltype[j] == 'R';
    const HighsInt plain = integer ? kHighsVarTypeInteger : kHighsVarTypeContinuous;
    const double lo = std::max(m.lb[j], m.limit[j]), up = m.ub[j];
    img.colType[j] = plain;
    img.integral = img.integral || integer;
    if (lo > up) { // only 0 remains
        img.colLower[j] = img.colUpper[j] = 0.0;
        return 0;
    }
    if (lo <= 0.0 && up >= 0.0) { // 0 lies within [lo, up]: an ordinary column
        img.colLower[j] = lo;
        img.colUpper[j] = up;
        return 0;
    }
    if (!finite(up) || !finite(lo))
        return probError(prob, NVRA_RC_INVALID,
                         "Cannot solve the problem: %s is semi-%s with an infinite %s bound; its "
                         "reformulation needs finite bounds",
                         colLabel(m, j).c_str(), integer ? "integer" : "continuous",
                         finite(up) ? "lower" : "upper");
    if (img.nativeSemi && lo > 0.0 && up <= kMaxNativeSemiUpper) {
        img.colType[j] = integer ? kHighsVarTypeSemiInteger : kHighsVarTypeSemiContinuous;
        img.colLower[j] = lo;
        img.colUpper[j] = up;
        img.integral = true;
        return 0;
    }
    const int b = img.addCol(0.0, 1.0, kHighsVarTypeInteger);
    img.addRow(0.0, kInf, {{j, 1.0}, {b, -lo}});
    img.addRow(-kInf, 0.0, {{j, 1.0}, {b, -up}});
    return 0;
}

// 'P' columns: x = y + z with y integer in [lb, floor(limit)] when b = 0 and z continuous in
// [limit, ub] when b = 1 (the other part 0); needs finite bounds.
int partiallyInteger(NVRAprob prob, Image &img, int j) {
    const Model &m = *img.model;
    const double lb = m.lb[j], ub = m.ub[j], t = m.limit[j];
    if (t <= lb) return 0; // continuous throughout
    if (t > ub) {          // integer throughout
        img.colType[j] = kHighsVarTypeInteger;
        img.integral = true;
        return 0;
    }
    if (!finite(lb) || !finite(ub))
        return probError(prob, NVRA_RC_INVALID,
                         "Cannot solve the problem: %s is partially integer with an infinite %s "
                         "bound; its reformulation needs finite bounds",
                         colLabel(m, j).c_str(), finite(lb) ? "upper" : "lower");
    const double ti = std::floor(t);
    const int y = img.addCol(std::min(lb, 0.0), std::max(ti, 0.0), kHighsVarTypeInteger);
    const int z = img.addCol(std::min(t, 0.0), std::max(ub, 0.0), kHighsVarTypeContinuous);
    const int b = img.addCol(0.0, 1.0, kHighsVarTypeInteger);
    img.addRow(0.0, 0.0, {{j, 1.0}, {y, -1.0}, {z, -1.0}});
    img.addRow(lb, kInf, {{y, 1.0}, {b, lb}});    // y >= lb (1 - b)
    img.addRow(-kInf, ti, {{y, 1.0}, {b, ti}});   // y <= floor(t) (1 - b)
    img.addRow(0.0, kInf, {{z, 1.0}, {b, -t}});   // z >= t b
    img.addRow(-kInf, 0.0, {{z, 1.0}, {b, -ub}}); // z <= ub b
    return 0;
}

// Links member column x to binaries: x <= up * (sum of them) and x >= lo * (sum of them).
// A member whose range is {0} needs nothing; an infinite bound on the side away from 0 is an
// error.
int linkMember(NVRAprob prob, Image &img, int set, int col, const std::vector<int> &binaries) {
    const Model &m = *img.model;
    const auto [lo, up] = valueRange(m, col);
    if ((up > 0.0 && !finite(up)) || (lo < 0.0 && !finite(lo)))
        return probError(prob, NVRA_RC_INVALID,
                         "Cannot solve the problem: set %d has the member %s with an infinite %s "
                         "bound; its reformulation needs finite bounds",
                         set, colLabel(m, col).c_str(), finite(up) ? "lower" : "upper");
    for (const auto &[bound, lower] : {std::pair{up, false}, std::pair{lo, true}}) {
        if (lower ? bound >= 0.0 : bound <= 0.0) continue;
        std::vector<std::pair<int, double>> entries{{col, 1.0}};
        for (int b : binaries)
            entries.emplace_back(b, -bound);
        if (lower)
            img.addRow(0.0, kInf, std::move(entries));
        else
            img.addRow(-kInf, 0.0, std::move(entries));
    }
    return 0;
}

// SOS1: one binary per member, at most one of them 1. SOS2: one binary per segment between
// neighbouring members, at most one of them 1; a member may be non-zero only with one of its
// two segments.
int specialOrderedSet(NVRAprob prob, Image &img, int s) {
    const Sos &set = img.model->sets[s];
    const int n = static_cast<int>(set.cols.size());
    const int nbin = set.type == '1' ? n : n - 1;
    if (nbin < 2) return 0; // one member (SOS1) or two (SOS2) are never restricted
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return set.weights[a] < set.weights[b]; });
    std::vector<int> bin(nbin);
    std::vector<std::pair<int, double>> sum;
    for (int k = 0; k < nbin; ++k) {
        bin[k] = img.addCol(0.0, 1.0, kHighsVarTypeInteger);
        sum.emplace_back(bin[k], 1.0);
    }
    img.addRow(-kInf, 1.0, std::move(sum));
    for (int k = 0; k < n; ++k) {
        std::vector<int> own;
        if (set.type == '1') {
            own.push_back(bin[k]);
        } else {
            if (k > 0) own.push_back(bin[k - 1]);
            if (k < n - 1) own.push_back(bin[k]);
        }
        if (int rc = linkMember(prob, img, s, set.cols[order[k]], own)) return rc;
    }
    return 0;
}

// The extreme activities of row i's linear part over the columns' value ranges; col receives a
// column that makes an extreme infinite (-1 when both are finite).
void activityRange(const Model &m, int i, double &minAct, double &maxAct, int &minCol,
                   int &maxCol) {
    minAct = maxAct = 0.0;
    minCol = maxCol = -1;
    for (int64_t k = m.A.start[i]; k < m.A.start[i + 1]; ++k) {
        const int j = m.A.index[k];
        const double a = m.A.value[k];
        const auto [lo, up] = valueRange(m, j);
        const double least = a > 0 ? lo : up, most = a > 0 ? up : lo;
        if (!finite(least) && minCol < 0) minCol = j;
        if (!finite(most) && maxCol < 0) maxCol = j;
        minAct += a * least;
        maxAct += a * most;
    }
}

bool isBinary(const Model &m, int j) {
    return m.coltype[j] == 'B' || (m.coltype[j] == 'I' && m.lb[j] >= 0.0 && m.ub[j] <= 1.0);
}

// Big-M form of an indicator: with M = (largest activity) - rhs, the row a'x <= rhs becomes
// a'x + M b <= rhs + M when it holds at b = 1, a'x - M b <= rhs when it holds at b = 0;
// the >= side mirrors it. A side whose M is not positive always holds.
int indicatorRow(NVRAprob prob, Image &img, int row, const Indicator &ind) {
    const Model &m = *img.model;
    if (ind.col < 0 || ind.col >= m.numCols() || !isBinary(m, ind.col))
        return probError(prob, NVRA_RC_INVALID,
                         "Cannot solve the problem: the indicator of %s is %s, which is not a "
                         "binary column",
                         rowLabel(m, row).c_str(), colLabel(m, ind.col).c_str());
    const char type = m.rowtype[row];
    if (type == 'N') return 0;
    const bool hasUpper = type == 'L' || type == 'E' || type == 'R';
    const bool hasLower = type == 'G' || type == 'E' || type == 'R';
    const double upper = m.rhs[row], lower = type == 'R' ? m.rhs[row] - m.range[row] : m.rhs[row];
    double minAct, maxAct;
    int minCol, maxCol;
    activityRange(m, row, minAct, maxAct, minCol, maxCol);
    const int infCol = hasUpper && maxCol >= 0 ? maxCol : hasLower && minCol >= 0 ? minCol : -1;
    if (infCol >= 0)
        return probError(prob, NVRA_RC_INVALID,
                         "Cannot solve the problem: the indicator row %d needs a big-M from the "
                         "bounds of its columns, but %s has an infinite bound",
                         row, colLabel(m, infCol).c_str());
    const bool atOne = ind.complement > 0;
    auto body = [&](double coefB) {
        std::vector<std::pair<int, double>> e;
        for (int64_t k = m.A.start[row]; k < m.A.start[row + 1]; ++k)
            e.emplace_back(m.A.index[k], m.A.value[k]);
        e.emplace_back(ind.col, coefB);
        return e;
    };
    if (hasUpper && maxAct - upper > 0.0) {
        const double M = maxAct - upper;
        img.addRow(-kInf, atOne ? upper + M : upper, body(atOne ? M : -M));
    }
    if (hasLower && lower - minAct > 0.0) {
        const double M = lower - minAct;
        img.addRow(atOne ? lower - M : lower, kInf, body(atOne ? -M : M));
    }
    return 0;
}

} // namespace

int reformulateEntities(NVRAprob prob, Image &img) {
    const Model &m = *img.model;
    for (int j = 0; j < m.numCols(); ++j) {
        const char t = m.coltype[j];
        if (t == 'S' || t == 'R') {
            if (int rc = semiVariable(prob, img, j)) return rc;
        } else if (t == 'P') {
            if (int rc = partiallyInteger(prob, img, j)) return rc;
        }
    }
    for (int s = 0; s < static_cast<int>(m.sets.size()); ++s)
        if (int rc = specialOrderedSet(prob, img, s)) return rc;
    for (const auto &[row, ind] : m.indicators)
        if (ind.complement != 0)
            if (int rc = indicatorRow(prob, img, row, ind)) return rc;
    return 0;
}

} // namespace nvra
