// minlp.h: the algorithms for mixed-integer problems with convex quadratic rows or objective
// (MIQP, MIQCQP, MISOCP), which the engine's MIP solver cannot take as they are.
#pragma once

#include "solver/deadline.h"
#include "solver/qcprogram.h"

#include <string>
#include <vector>

namespace nvra {

struct MinlpOutcome {
    SolveResult result;    // statuses, objective, bound, gap and counts (solve time excepted)
    std::vector<double> x; // the incumbent over the image's columns; empty when there is none
};

// LP/NLP outer approximation (outer.cpp). A MIP master on the problem's engine holds the linear
// rows and tangent cuts of the nonlinear rows and of the objective (epigraph column); each
// master solution is cut off where it violates a nonlinear row, and its integer assignment is
// handed to the interior-point solver with the integers fixed, which gives an incumbent and
// the cuts at it. Ends when the incumbent is within the gap controls of the master's bound,
// which is a proof for convex problems. qp's image must compile every discrete choice into
// integer columns (CompileOptions::nativeSemi off). Returns 0 or an error code with the last
// error set (an engine failure).
int solveOuterApprox(NVRAprob prob, const char *fn, Engine &engine, const QcProgram &qp,
                     const Deadline &deadline, MinlpOutcome &outcome);

// The same problem solved by Bonmin (bonmin.cpp): nonlinear branch-and-bound (hybrid false) or
// its hybrid outer approximation (hybrid true).
int solveBonmin(NVRAprob prob, const char *fn, const QcProgram &qp, const Deadline &deadline,
                bool hybrid, MinlpOutcome &outcome);

} // namespace nvra
