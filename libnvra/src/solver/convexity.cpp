// convexity.cpp: a sparse LDL' factorisation without pivoting that decides positive
// semi-definiteness. A symmetric matrix is positive semi-definite exactly when, eliminating in
// any fixed order, every pivot is >= 0 and a zero pivot has a zero column below it (else a 2x2
// principal minor [0 a; a b] is negative). Zero pivots are judged against a tolerance relative
// to the largest element.
#include "solver/convexity.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace nvra {
namespace {

constexpr double kRelativeTolerance = 1e-9;
constexpr size_t kMaxFill = 20'000'000; // entries of the factor
constexpr double kMaxWork = 2e9;        // multiply-adds

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

} // namespace

Convexity checkConvexity(const QTriplets &Q, int numCols, int sense) {
    // Columns that take part, ordered by increasing degree (a cheap fill-reducing order).
    std::vector<int> degree(numCols, 0);
    double scale = 0.0;
    bool diagonal = true;
    for (size_t k = 0; k < Q.v.size(); ++k) {
        ++degree[Q.i[k]];
        if (Q.j[k] != Q.i[k]) ++degree[Q.j[k]], diagonal = false;
        scale = std::max(scale, std::fabs(Q.v[k]));
    }
    const double tol = kRelativeTolerance * scale;
    if (diagonal) {
        for (size_t k = 0; k < Q.v.size(); ++k)
            if (sense * Q.v[k] < -tol) return Convexity::NotConvex;
        return Convexity::Convex;
    }
    std::vector<int> order;
    for (int j = 0; j < numCols; ++j)
        if (degree[j] > 0) order.push_back(j);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return degree[a] < degree[b]; });
    std::vector<int> pos(numCols, -1);
    for (int k = 0; k < static_cast<int>(order.size()); ++k)
        pos[order[k]] = k;

    const int p = static_cast<int>(order.size());
    std::vector<double> diag(p, 0.0);
    std::vector<Column> cols(p);
    for (size_t k = 0; k < Q.v.size(); ++k) {
        const int a = pos[Q.i[k]], b = pos[Q.j[k]];
        const double v = sense * Q.v[k];
        if (a == b)
            diag[a] += v;
        else
            cols[std::min(a, b)].emplace_back(std::max(a, b), v);
    }
    for (Column &c : cols)
        std::sort(c.begin(), c.end());

    size_t fill = 0;
    double work = 0.0;
    const double negligible = std::sqrt(tol * scale);
    for (int k = 0; k < p; ++k) {
        const double d = diag[k];
        const Column &col = cols[k];
        if (d < -tol) return Convexity::NotConvex;
        if (d <= tol) {
            for (const auto &[row, v] : col)
                if (std::fabs(v) > negligible) return Convexity::NotConvex;
            continue;
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
        Column().swap(cols[k]);
    }
    return Convexity::Convex;
}

} // namespace nvra
