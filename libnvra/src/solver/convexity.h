// convexity.h: whether a quadratic form is positive semi-definite, the test behind the convexity
// of quadratic objectives and rows.
#pragma once

#include "core/model.h"

namespace nvra {

enum class Convexity { Convex, NotConvex, Unknown };

// Whether sign * P is positive semi-definite, for P in the store's triplet form (upper triangle,
// (i, j, v) standing for P_ij = P_ji = v). A pivot within relTol times the largest element of
// zero counts as zero. Only the columns P touches take part, so the cost does not depend on the
// problem's size. Unknown when the factorisation would exceed its work budget.
Convexity checkSemidefinite(const QTriplets &P, int sign, double relTol);

} // namespace nvra
