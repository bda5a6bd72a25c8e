// solve.h: what the optimisation entry points (solve.cpp) share with the multi-objective driver
// (multiobj.cpp): one run of the engine on the model it holds, mapped to the library's statuses.
#pragma once

#include "solver/classify.h"
#include "solver/compile.h"
#include "solver/engine.h"
#include "core/problem.h"

#include <vector>

namespace nvra {

// Runs the engine once (clocks zeroed first) and maps its outcome into result; during an
// optimisation the before- and afterobjective callbacks run around it (core/callbacks.h). A
// continuous run that ends "infeasible or unbounded" is repeated once without presolve to tell them
// apart. Returns 0, or NVRA_RC_ENGINE with the engine's message when the engine reported an error
// (result then says so: solve status failed).
int runEngine(NVRAprob prob, Engine &engine, bool mip, SolveResult &result);

// Solves the priority levels of a problem with objectives 1..k (multiobj.cpp): one run per
// level, each appended to results; stops after the first level that does not end optimal.
// The engine holds img with objective 0's costs; they are changed per level and the rows that
// keep earlier levels within their tolerances are removed again at the end.
int solveLevels(NVRAprob prob, Engine &engine, const Image &img, std::vector<SolveResult> &results);

// Solves a problem with quadratic rows, or with integer entities and a quadratic objective
// (qcsolve.cpp): continuous ones on the interior-point solver, mixed-integer ones by outer
// approximation or Bonmin (control miqcqpalg). Fills st, also when the solve fails. The quadratic
// parts must have passed classifyQuadratics; img is compiled with CompileOptions::nativeSemi off.
int solveQuadratic(NVRAprob prob, const char *fn, Engine &engine, Image &img, const QuadInfo &quad,
                   SolveState &st);

// NVRA_AVAIL_* of a solution with solution status solStatus.
int availability(int solStatus);

// rhs - activity of every user row at x (image columns), quadratic parts included.
std::vector<double> rowSlacks(const Model &model, const double *x);

} // namespace nvra
