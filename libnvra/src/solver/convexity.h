// convexity.h: whether a quadratic form is positive semi-definite, the test behind the convexity
// of quadratic objectives and rows.
#pragma once

#include "core/model.h"

#include <utility>
#include <vector>

namespace nvra {

enum class Convexity { Convex, NotConvex, Unknown };

// Whether sign * P is positive semi-definite, for P in the store's triplet form (upper triangle,
// (i, j, v) standing for P_ij = P_ji = v). A pivot within relTol times the largest element of
// zero counts as zero. Only the columns P touches take part, so the cost does not depend on the
// problem's size. Unknown when the factorisation would exceed its work budget.
Convexity checkSemidefinite(const QTriplets &P, int sign, double relTol);

// sign * P = L D L' on the columns P touches: x' (sign * P) x = sum_k d[k] (y_k)^2 with
// y_k = x[cols[k]] + sum over (r, l) in below[k] of l * x[cols[r]] (r > k). Terms whose pivot
// counted as zero are left out (d[k] = 0).
struct LdlFactor {
    std::vector<int> cols;                                  // store columns in elimination order
    std::vector<double> d;                                  // pivots
    std::vector<std::vector<std::pair<int, double>>> below; // L below the diagonal, by column
};

// checkSemidefinite that also gives the factor when the answer is Convex (factor may be null).
Convexity factorSemidefinite(const QTriplets &P, int sign, double relTol, LdlFactor *factor);

} // namespace nvra
