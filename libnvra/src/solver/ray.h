// ray.h: a certificate of unboundedness for a convex program with quadratic rows, found by an
// LP, so that an unbounded problem is reported as such instead of leaving the interior-point
// solver chasing diverging iterates until a limit stops it.
//
// A direction d along which every feasible point stays feasible and the objective decreases
// without end: d lies in the recession cone of every linear row and column bound, in the null
// space of every convex row's matrix with a'd not increasing the row, in the recession cone of
// every cone (here w(d) = 0 and u(d) >= 0, a part of that cone), in the null space of the
// objective's Hessian, and sense * c'd <= -1. With such a d, the problem is unbounded exactly
// when it is feasible. Directions that need the curved part of a cone are not sought: such
// problems are left to the interior-point solver's divergence test.
#pragma once

#include "solver/deadline.h"
#include "solver/qcprogram.h"

namespace nvra {

// Whether qp (integrality ignored) has such a direction. 0 with *found set, or an error code
// when the engine failed (the last error set).
int findUnboundedRay(NVRAprob prob, const QcProgram &qp, const Deadline &deadline, bool *found);

} // namespace nvra
