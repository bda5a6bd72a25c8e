// convexity.h: whether a quadratic objective is convex, so that a non-convex one is reported as
// such instead of being handed to the engine.
#pragma once

#include "core/model.h"

namespace nvra {

enum class Convexity { Convex, NotConvex, Unknown };

// Whether sense * 0.5 x'Qx is convex (Q positive semi-definite when minimising, negative
// semi-definite when maximising), for Q as the store keeps it. Unknown when the factorisation
// would exceed its work budget (very large, dense matrices).
Convexity checkConvexity(const QTriplets &Q, int numCols, int sense);

} // namespace nvra
