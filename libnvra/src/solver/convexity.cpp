// convexity.cpp: an LDL' factorisation without pivoting that decides positive
// semi-definiteness. A symmetric matrix is positive semi-definite exactly when, eliminating in
// any fixed order, every pivot is >= 0 and a zero pivot has a zero column below it (else a 2x2
// principal minor [0 a; a b] is negative). Zero pivots are judged against a tolerance relative
// to the largest element. Dense matrices (a portfolio's covariance) are factorised in packed
// dense form, sparse ones column by column in order of increasing degree.
#include "solver/convexity.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace nvra {
namespace {

constexpr size_t kMaxFill = 20'000'000; // entries of a sparse factor
constexpr double kMaxWork = 2e9;        // multiply-adds
constexpr int kMaxDense = 2300;         // p^3 / 6 stays within kMaxWork
constexpr double kDenseShare = 0.1;     // share of non-zeros from which the dense form is used

// The matrix on the columns it touches: sign * P with local indices 0..p-1.
struct Local {
    int p = 0;
    std::vector<int> cols; // store column of each local index
    std::vector<int> i, j; // local indices, i <= j in the store's order
    std::vector<double> v; // sign * value
    double scale = 0.0;    // largest |value|
    bool diagonal = true;
};

Local localMatrix(const QTriplets &P, int sign) {
    std::vector<int> cols;
    cols.reserve(2 * P.v.size());
    cols.insert(cols.end(), P.i.begin(), P.i.end());
    cols.insert(cols.end(), P.j.begin(), P.j.end());
    std::sort(cols.begin(), cols.end());
    cols.erase(std::unique(cols.begin(), cols.end()), cols.end());
    auto local = [&](int c) {
        return static_cast<int>(std::lower_bound(cols.begin(), cols.end(), c) - cols.begin());
    };
    Local m;
    m.p = static_cast<int>(cols.size());
    m.cols = cols;
    m.i.reserve(P.v.size());
    m.j.reserve(P.v.size());
    m.v.reserve(P.v.size());
    for (size_t k = 0; k < P.v.size(); ++k) {
        m.i.push_back(local(P.i[k]));
        m.j.push_back(local(P.j[k]));
        m.v.push_back(sign * P.v[k]);
        m.scale = std::max(m.scale, std::fabs(P.v[k]));
        m.diagonal = m.diagonal && P.i[k] == P.j[k];
    }
    return m;
}

// The pivot rule shared by both forms: negative -> not convex; zero -> its column below must be
// negligible (checked by the caller).
enum class Pivot { Positive, Zero, Negative };
Pivot judge(double d, double tol) {
    return d < -tol ? Pivot::Negative : d <= tol ? Pivot::Zero : Pivot::Positive;
}

// Row-oriented LDL' on the packed lower triangle: row i of L from the rows above it.
Convexity denseTest(const Local &m, double tol, double negligible, LdlFactor *factor) {
    const int p = m.p;
    auto at = [](int r, int c) { return static_cast<size_t>(r) * (r + 1) / 2 + c; };
    std::vector<double> L(static_cast<size_t>(p) * (p + 1) / 2, 0.0);
    for (size_t k = 0; k < m.v.size(); ++k)
        L[at(std::max(m.i[k], m.j[k]), std::min(m.i[k], m.j[k]))] += m.v[k];
    std::vector<double> d(p, 0.0), u(p, 0.0);
    std::vector<char> zero(p, 0);
    for (int r = 0; r < p; ++r) {
        double *row = &L[at(r, 0)];
        for (int c = 0; c < r; ++c) {
            const double *above = &L[at(c, 0)];
            double s = row[c];
            for (int k = 0; k < c; ++k)
                s -= u[k] * above[k];
            if (zero[c]) {
                if (std::fabs(s) > negligible) return Convexity::NotConvex;
                row[c] = u[c] = 0.0;
            } else {
                u[c] = s;
                row[c] = s / d[c];
            }
        }
        double s = row[r];
        for (int k = 0; k < r; ++k)
            s -= u[k] * row[k];
        d[r] = s;
        switch (judge(s, tol)) {
        case Pivot::Negative:
            return Convexity::NotConvex;
        case Pivot::Zero:
            zero[r] = 1;
            break;
        case Pivot::Positive:
            break;
        }
    }
    if (factor) {
        factor->cols = m.cols;
        factor->d.assign(p, 0.0);
        factor->below.assign(p, {});
        for (int k = 0; k < p; ++k) {
            if (zero[k]) continue;
            factor->d[k] = d[k];
            for (int r = k + 1; r < p; ++r)
                if (const double l = L[at(r, k)]; l != 0.0) factor->below[k].emplace_back(r, l);
        }
    }
    return Convexity::Convex;
}

using Column = std::vector<std::pair<int, double>>; // (row, value), rows increasing

// column[target] -= update (both sorted by row).
void subtractInto(Column &target, const Column &update) {
    Column merged;
    merged.reserve(target.size() + update.size());
    size_t a = 0, b = 0;
    while (a < target.size() || b < update.size()) {
        if (b == update.size() || (a < target.size() && target[a].first < update[b].first)) {
            merged.push_back(target[a++]);
        } else if (a == target.size() || update[b].first < target[a].first) {
            merged.emplace_back(update[b].first, -update[b].second);
            ++b;
        } else {
            merged.emplace_back(target[a].first, target[a].second - update[b].second);
            ++a, ++b;
        }
    }
    target.swap(merged);
}

// Right-looking sparse LDL' with the columns in order of increasing degree (a cheap
// fill-reducing order).
Convexity sparseTest(const Local &m, double tol, double negligible, LdlFactor *factor) {
    const int p = m.p;
    std::vector<int> degree(p, 0);
    for (size_t k = 0; k < m.v.size(); ++k) {
        ++degree[m.i[k]];
        if (m.i[k] != m.j[k]) ++degree[m.j[k]];
    }
    std::vector<int> order(p);
    for (int k = 0; k < p; ++k)
        order[k] = k;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return degree[a] < degree[b]; });
    std::vector<int> pos(p);
    for (int k = 0; k < p; ++k)
        pos[order[k]] = k;

    std::vector<double> diag(p, 0.0);
    std::vector<Column> cols(p);
    for (size_t k = 0; k < m.v.size(); ++k) {
        const int a = pos[m.i[k]], b = pos[m.j[k]];
        if (a == b)
            diag[a] += m.v[k];
        else
            cols[std::min(a, b)].emplace_back(std::max(a, b), m.v[k]);
    }
    for (Column &c : cols)
        std::sort(c.begin(), c.end());

    if (factor) {
        factor->cols.resize(p);
        for (int k = 0; k < p; ++k)
            factor->cols[k] = m.cols[order[k]];
        factor->d.assign(p, 0.0);
        factor->below.assign(p, {});
    }
    size_t fill = 0;
    double work = 0.0;
    for (int k = 0; k < p; ++k) {
        const double d = diag[k];
        Column &col = cols[k];
        switch (judge(d, tol)) {
        case Pivot::Negative:
            return Convexity::NotConvex;
        case Pivot::Zero:
            for (const auto &[row, v] : col)
                if (std::fabs(v) > negligible) return Convexity::NotConvex;
            continue;
        case Pivot::Positive:
            break;
        }
        work += 0.5 * static_cast<double>(col.size()) * static_cast<double>(col.size());
        if (work > kMaxWork) return Convexity::Unknown;
        for (size_t a = 0; a < col.size(); ++a) {
            const auto [ra, va] = col[a];
            diag[ra] -= va * va / d;
            Column update;
            update.reserve(col.size() - a - 1);
            for (size_t b = a + 1; b < col.size(); ++b)
                update.emplace_back(col[b].first, va * col[b].second / d);
            const size_t before = cols[ra].size();
            subtractInto(cols[ra], update);
            fill += cols[ra].size() - before;
            if (fill > kMaxFill) return Convexity::Unknown;
        }
        if (factor) {
            factor->d[k] = d;
            for (auto &[row, v] : col)
                v /= d;
            factor->below[k].swap(col);
        }
        Column().swap(col);
    }
    return Convexity::Convex;
}

} // namespace

Convexity checkSemidefinite(const QTriplets &P, int sign, double relTol) {
    return factorSemidefinite(P, sign, relTol, nullptr);
}

Convexity factorSemidefinite(const QTriplets &P, int sign, double relTol, LdlFactor *factor) {
    if (factor) *factor = LdlFactor();
    if (P.v.empty()) return Convexity::Convex;
    const Local m = localMatrix(P, sign);
    const double tol = relTol * m.scale;
    if (m.diagonal) {
        for (double v : m.v)
            if (v < -tol) return Convexity::NotConvex;
        if (factor) {
            factor->cols = m.cols;
            factor->d.assign(m.p, 0.0);
            factor->below.assign(m.p, {});
            for (size_t k = 0; k < m.v.size(); ++k)
                if (m.v[k] > tol) factor->d[m.i[k]] = m.v[k];
        }
        return Convexity::Convex;
    }
    const double negligible = std::sqrt(tol * m.scale);
    const double p = m.p;
    const bool dense =
        m.p <= kMaxDense && 2.0 * static_cast<double>(m.v.size()) >= kDenseShare * p * p;
    return dense ? denseTest(m, tol, negligible, factor) : sparseTest(m, tol, negligible, factor);
}

} // namespace nvra
