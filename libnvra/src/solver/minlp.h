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

// The same problem solved by Bonmin's nonlinear branch-and-bound (bonmin.cpp): Cbc's search
// with Ipopt solving the continuous relaxation at every node. Bonmin's other algorithms take
// cuts from the quadratic forms, which is wrong for cones (their quadratic form is not a convex
// function), and its hybrid search stopped the process on an internal assertion of Cbc in
// trials, so they are not offered. On convex models with formulas they did no better: its outer
// approximation was up to 6 times faster but declared a feasible problem with every integer
// fixed infeasible, its quesada-grossmann and hybrid searches reported wrong optima as proven
// and the hybrid one stopped the process again (bench/RESULTS.md).
int solveBonmin(NVRAprob prob, const char *fn, const QcProgram &qp, const Deadline &deadline,
                MinlpOutcome &outcome);

} // namespace nvra
