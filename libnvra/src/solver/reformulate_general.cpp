// reformulate_general.cpp: piecewise-linear constraints and general constraints (max, min, and,
// or, abs) as exact mixed-integer rows over auxiliary columns appended to the image. Big-M values
// come from the operands' finite bounds; where a needed bound is infinite, the solve is refused
// with a message naming the constraint. In a relaxed solve the auxiliary binaries are continuous
// in [0, 1] (the rows stay, so the relaxation is the usual one of these forms).
#include "solver/compile.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace nvra {
namespace {

const char *const kTypeNames[kNumGenConsTypes] = {"max", "min", "and", "or", "abs"};

bool finite(double v) {
    return std::fabs(v) < kInf;
}

using Entries = std::vector<std::pair<int, double>>;

// One linear piece of a piecewise-linear function: y = ya + slope (x - xa) on [xa, xb].
struct Piece {
    double xa, xb, ya, slope;
};

// The pieces of f over x's range [lo, up]: the segments between breakpoints of different x,
// and the end slopes extended to the range's ends (which must then be finite); a function
// whose breakpoints share one x over a range of that single point has one piece per breakpoint.
// Pieces outside the range are left out.
void piecesOf(const Pwl &f, double lo, double up, std::vector<Piece> &pieces, bool &needLo,
              bool &needUp) {
    const size_t n = f.x.size();
    double firstSlope = 0.0, lastSlope = 0.0;
    bool sloped = false;
    for (size_t k = 0; k + 1 < n; ++k) {
        if (f.x[k + 1] == f.x[k]) continue;
        const double slope = (f.y[k + 1] - f.y[k]) / (f.x[k + 1] - f.x[k]);
        if (!sloped) firstSlope = slope;
        lastSlope = slope;
        sloped = true;
        if (f.x[k + 1] >= lo && f.x[k] <= up) pieces.push_back({f.x[k], f.x[k + 1], f.y[k], slope});
    }
    needLo = lo < f.x.front();
    needUp = up > f.x.back();
    if (needLo && finite(lo))
        pieces.push_back(
            {lo, f.x.front(), f.y.front() + firstSlope * (lo - f.x.front()), firstSlope});
    if (needUp && finite(up)) pieces.push_back({f.x.back(), up, f.y.back(), lastSlope});
    if (pieces.empty())
        for (size_t k = 0; k < n; ++k)
            pieces.push_back({f.x[k], f.x[k], f.y[k], 0.0});
}

class General {
  public:
    General(NVRAprob prob, Image &img, bool relax)
        : prob_(prob), img_(img), m_(*img.model),
          binary_(relax ? kHighsVarTypeContinuous : kHighsVarTypeInteger) {}

    int pwl(int k);
    int gen(int k);

  private:
    using Range = std::pair<double, double>;
    NVRAprob prob_;
    Image &img_;
    const Model &m_;
    HighsInt binary_;

    int binaryCol() { return img_.addCol(0.0, 1.0, binary_); }
    // Fixes the row sum of entries to value.
    void equal(Entries e, double value) { img_.addRow(value, value, std::move(e)); }

    std::string genLabel(int k) const {
        return "general constraint " + std::to_string(k) + " (" + kTypeNames[m_.gencons[k].type] +
               ")";
    }
    int needBound(const std::string &what, int col, bool upper) {
        return probError(prob_, NVRA_RC_INVALID,
                         "Cannot solve the problem: %s needs a finite %s bound on %s for its "
                         "reformulation",
                         what.c_str(), upper ? "upper" : "lower", colLabel(m_, col).c_str());
    }

    // The range of column j's values in every solution: its bounds, tightened by what one row of
    // bounded other columns or the constraint that defines it as a resultant implies. The
    // big-M values use it, so that an auxiliary column t == expression, or the resultant of a
    // nested max, needs no bounds of its own.
    Range range(int j);
    Range rowImplied(int j);
    Range resultantRange(int j, int depth);
    Range rangeAt(int j, int depth);
    std::vector<std::vector<std::pair<int, double>>> colRows_; // built on first use
    std::vector<int> definedBy_;                               // resultant -> pwl k or -2-gencons k

    int extreme(int k, int sign);
    int absolute(int k);
    int logical(int k, bool conjunction);
};

General::Range General::range(int j) {
    return rangeAt(j, 0);
}

General::Range General::rangeAt(int j, int depth) {
    Range r = valueRange(m_, j);
    if (finite(r.first) && finite(r.second)) return r;
    const Range implied = rowImplied(j);
    r = {std::max(r.first, implied.first), std::min(r.second, implied.second)};
    if (finite(r.first) && finite(r.second)) return r;
    const Range defined = resultantRange(j, depth);
    return {std::max(r.first, defined.first), std::min(r.second, defined.second)};
}

// a x_j = activity - sum of the others: each row of finite activity bounds whose other columns
// are bounded gives bounds on x_j.
General::Range General::rowImplied(int j) {
    if (colRows_.empty()) {
        colRows_.resize(m_.numCols());
        for (int i = 0; i < m_.numRows(); ++i)
            for (int64_t k = m_.A.start[i]; k < m_.A.start[i + 1]; ++k)
                colRows_[m_.A.index[k]].emplace_back(i, m_.A.value[k]);
    }
    Range r{-kInf, kInf};
    for (const auto &[i, a] : colRows_[j]) {
        if (m_.indicators.count(i) && m_.indicators.at(i).complement != 0) continue;
        const char t = m_.rowtype[i];
        const double up = t == 'L' || t == 'E' || t == 'R' ? m_.rhs[i] : kInf;
        const double lo = t == 'G' || t == 'E' ? m_.rhs[i]
                          : t == 'R'           ? m_.rhs[i] - m_.range[i]
                                               : -kInf;
        double othersMin = 0.0, othersMax = 0.0;
        for (int64_t k = m_.A.start[i]; k < m_.A.start[i + 1]; ++k) {
            if (m_.A.index[k] == j) continue;
            const auto [l, u] = valueRange(m_, m_.A.index[k]);
            const double c = m_.A.value[k];
            othersMin += c > 0 ? c * l : c * u;
            othersMax += c > 0 ? c * u : c * l;
        }
        const bool minOk = finite(othersMin), maxOk = finite(othersMax);
        // a x_j lies in [lo - othersMax, up - othersMin].
        const double axLo = finite(lo) && maxOk ? lo - othersMax : -kInf;
        const double axUp = finite(up) && minOk ? up - othersMin : kInf;
        const double xLo =
            a > 0 ? (finite(axLo) ? axLo / a : -kInf) : (finite(axUp) ? axUp / a : -kInf);
        const double xUp =
            a > 0 ? (finite(axUp) ? axUp / a : kInf) : (finite(axLo) ? axLo / a : kInf);
        r = {std::max(r.first, xLo), std::min(r.second, xUp)};
    }
    return r;
}

// The range of a resultant from its operands' ranges (nested constraints up to a depth).
General::Range General::resultantRange(int j, int depth) {
    if (definedBy_.empty()) {
        definedBy_.assign(m_.numCols(), -1);
        for (size_t k = 0; k < m_.pwls.size(); ++k)
            definedBy_[m_.pwls[k].resultant] = static_cast<int>(k);
        for (size_t k = 0; k < m_.gencons.size(); ++k)
            definedBy_[m_.gencons[k].resultant] = -2 - static_cast<int>(k);
    }
    const Range none{-kInf, kInf};
    const int d = definedBy_[j];
    if (d == -1 || depth > 32) return none;
    if (d >= 0) { // pwl: the values over the argument's range, with the end slopes
        const Pwl &f = m_.pwls[d];
        const auto [xl, xu] = rangeAt(f.col, depth + 1);
        std::vector<Piece> pieces;
        bool needLo, needUp;
        piecesOf(f, xl, xu, pieces, needLo, needUp);
        if ((needLo && !finite(xl)) || (needUp && !finite(xu))) return none;
        Range r{kInf, -kInf};
        for (const Piece &p : pieces)
            for (double x : {std::max(p.xa, xl), std::min(p.xb, xu)}) {
                const double y = p.ya + p.slope * (x - p.xa);
                r = {std::min(r.first, y), std::max(r.second, y)};
            }
        return r.first <= r.second ? r : none;
    }
    const GenCons &g = m_.gencons[-2 - d];
    switch (g.type) {
    case kGenAnd:
    case kGenOr:
        return {0.0, 1.0};
    case kGenAbs: {
        const auto [l, u] = rangeAt(g.cols[0], depth + 1);
        if (!finite(l) || !finite(u)) return {0.0, kInf};
        return {l > 0 ? l : u < 0 ? -u : 0.0, std::max(std::fabs(l), std::fabs(u))};
    }
    default: { // max, min: between the largest (smallest) lower and upper bounds
        const bool isMax = g.type == kGenMax;
        Range r{isMax ? -kInf : kInf, isMax ? -kInf : kInf};
        auto take = [&](double l, double u) {
            r = isMax ? Range{std::max(r.first, l), std::max(r.second, u)}
                      : Range{std::min(r.first, l), std::min(r.second, u)};
        };
        for (int col : g.cols) {
            const auto [l, u] = rangeAt(col, depth + 1);
            take(l, u);
        }
        for (double c : g.vals)
            take(c, c);
        return r;
    }
    }
}

// y = max (sign 1) or min (sign -1) of the columns and constants, written for s*y = max(s*x):
// s*y >= s*x_i and s*y >= s*c for every operand; a binary per operand selects the one that s*y
// equals: s*y - s*x_i <= (U - L_i)(1 - z_i), U the largest upper bound of the s*operands and
// L_i the lower bound of s*x_i.
int General::extreme(int k, int sign) {
    const GenCons &g = m_.gencons[k];
    const double s = sign;
    const int y = g.resultant;
    if (g.cols.size() == 1 && g.vals.empty()) { // y = x
        equal({{y, 1.0}, {g.cols[0], -1.0}}, 0.0);
        return 0;
    }
    double top = -kInf;
    for (int col : g.cols) {
        const auto [lo, up] = range(col);
        const double hi = sign > 0 ? up : -lo;
        if (!finite(hi)) return needBound(genLabel(k), col, sign > 0);
        top = std::max(top, hi);
    }
    double best = -kInf;
    for (double c : g.vals)
        best = std::max(best, s * c);
    top = std::max(top, best);
    Entries select;
    for (int col : g.cols) {
        const auto [lo, up] = range(col);
        const double low = sign > 0 ? lo : -up;
        if (!finite(low)) return needBound(genLabel(k), col, sign < 0);
        img_.addRow(0.0, kInf, {{y, s}, {col, -s}});
        const double M = std::max(0.0, top - low);
        const int z = binaryCol();
        img_.addRow(-kInf, M, {{y, s}, {col, -s}, {z, M}});
        select.emplace_back(z, 1.0);
    }
    if (!g.vals.empty()) {
        img_.addRow(best, kInf, {{y, s}});
        const double M = std::max(0.0, top - best);
        const int z = binaryCol();
        img_.addRow(-kInf, best + M, {{y, s}, {z, M}});
        select.emplace_back(z, 1.0);
    }
    equal(std::move(select), 1.0);
    return 0;
}

// y = |x|: y >= x, y >= -x, and with a binary z: y <= x + M1 (1 - z), y <= -x + M2 z, where
// M1 = -2 L and M2 = 2 U over x's range [L, U]. A range on one side of 0 needs no binary.
int General::absolute(int k) {
    const GenCons &g = m_.gencons[k];
    const int y = g.resultant, x = g.cols[0];
    const auto [lo, up] = range(x);
    if (lo >= 0.0) {
        equal({{y, 1.0}, {x, -1.0}}, 0.0);
        return 0;
    }
    if (up <= 0.0) {
        equal({{y, 1.0}, {x, 1.0}}, 0.0);
        return 0;
    }
    if (!finite(lo)) return needBound(genLabel(k), x, false);
    if (!finite(up)) return needBound(genLabel(k), x, true);
    const int z = binaryCol();
    img_.addRow(0.0, kInf, {{y, 1.0}, {x, -1.0}});
    img_.addRow(0.0, kInf, {{y, 1.0}, {x, 1.0}});
    img_.addRow(-kInf, -2.0 * lo, {{y, 1.0}, {x, -1.0}, {z, -2.0 * lo}});
    img_.addRow(-kInf, 0.0, {{y, 1.0}, {x, 1.0}, {z, -2.0 * up}});
    return 0;
}

// and: y <= x_i, y >= sum x_i - (n - 1), y >= 0; or: y >= x_i, y <= sum x_i, y <= 1. A constant
// 0 (and) or 1 (or) decides the result; the other constant is neutral.
int General::logical(int k, bool conjunction) {
    const GenCons &g = m_.gencons[k];
    const int y = g.resultant;
    for (int col : g.cols) {
        const auto [lo, up] = valueRange(m_, col);
        const char t = m_.coltype[col];
        if ((t != 'B' && t != 'I') || lo < 0.0 || up > 1.0)
            return probError(prob_, NVRA_RC_INVALID,
                             "Cannot solve the problem: %s needs binary operands, but %s is not "
                             "binary",
                             genLabel(k).c_str(), colLabel(m_, col).c_str());
    }
    const double decisive = conjunction ? 0.0 : 1.0;
    if (std::find(g.vals.begin(), g.vals.end(), decisive) != g.vals.end()) {
        equal({{y, 1.0}}, decisive);
        return 0;
    }
    if (g.cols.empty()) { // only neutral constants
        equal({{y, 1.0}}, 1.0 - decisive);
        return 0;
    }
    const double n = static_cast<double>(g.cols.size());
    Entries sum{{y, 1.0}};
    for (int col : g.cols) {
        sum.emplace_back(col, -1.0);
        if (conjunction)
            img_.addRow(-kInf, 0.0, {{y, 1.0}, {col, -1.0}});
        else
            img_.addRow(0.0, kInf, {{y, 1.0}, {col, -1.0}});
    }
    if (conjunction) {
        img_.addRow(1.0 - n, kInf, std::move(sum));
        img_.addRow(0.0, kInf, {{y, 1.0}});
    } else {
        img_.addRow(-kInf, 0.0, std::move(sum));
        img_.addRow(-kInf, 1.0, {{y, 1.0}});
    }
    return 0;
}

int General::gen(int k) {
    switch (m_.gencons[k].type) {
    case kGenMax:
        return extreme(k, 1);
    case kGenMin:
        return extreme(k, -1);
    case kGenAnd:
        return logical(k, true);
    case kGenOr:
        return logical(k, false);
    default:
        return absolute(k);
    }
}

// With a binary z_p and a part w_p of x per piece: sum z = 1, xa_p z_p <= w_p <= xb_p z_p,
// x = sum w, y = sum (ya_p - slope_p xa_p) z_p + slope_p w_p.
int General::pwl(int k) {
    const Pwl &f = m_.pwls[k];
    const auto [lo, up] = range(f.col);
    std::vector<Piece> pieces;
    bool needLo, needUp;
    piecesOf(f, lo, up, pieces, needLo, needUp);
    const std::string label = "piecewise-linear constraint " + std::to_string(k);
    if (needLo && !finite(lo)) return needBound(label, f.col, false);
    if (needUp && !finite(up)) return needBound(label, f.col, true);
    Entries select, xs{{f.col, 1.0}}, ys{{f.resultant, 1.0}};
    for (const Piece &p : pieces) {
        const int z = binaryCol();
        const int w =
            img_.addCol(std::min(p.xa, 0.0), std::max(p.xb, 0.0), kHighsVarTypeContinuous);
        img_.addRow(0.0, kInf, {{w, 1.0}, {z, -p.xa}});
        img_.addRow(-kInf, 0.0, {{w, 1.0}, {z, -p.xb}});
        select.emplace_back(z, 1.0);
        xs.emplace_back(w, -1.0);
        ys.emplace_back(z, -(p.ya - p.slope * p.xa));
        ys.emplace_back(w, -p.slope);
    }
    equal(std::move(select), 1.0);
    equal(std::move(xs), 0.0);
    equal(std::move(ys), 0.0);
    return 0;
}

} // namespace

int reformulateGeneral(NVRAprob prob, Image &img, bool relax) {
    const Model &m = *img.model;
    General g(prob, img, relax);
    for (int k = 0; k < static_cast<int>(m.pwls.size()); ++k)
        if (int rc = g.pwl(k)) return rc;
    for (int k = 0; k < static_cast<int>(m.gencons.size()); ++k)
        if (int rc = g.gen(k)) return rc;
    return 0;
}

} // namespace nvra
