// nlbranch.h: the nonlinear branch and bound whose nodes are solved by the successive linear
// programming solver (nlp_solver = 1 on a problem with integer columns). Every node is the
// problem with the integer columns' bounds of its branchings, solved locally from its parent's
// point; an integral point is an incumbent, a fractional one is branched on its most fractional
// integer column. The search is depth-first until the first incumbent, then by the best local
// value of the parents. A node is dropped when it is infeasible (the solver's point of least
// violation) or when its local value, or its parent's, cannot beat the incumbent by the gap
// controls (miprelstop, mipabsstop). For a convex problem that value is a bound of the node's
// subtree, and an exhausted tree proves the incumbent optimal; for a non-convex one it is only a
// local value, and pruning by it is a heuristic: the statuses claim a local solution only.
//
// The nonlinear problem's node callbacks: prenode, then slpnode before a node is solved (an
// out-value of 1 drops the node), optnode after it (1 marks it infeasible), intsol at each new
// incumbent. Limits: maxnodes, maxmipsols (stop status NVRA_STOP_NODELIMIT), the time limits and
// stop requests of the deadline.
#pragma once

#include "solver/minlp.h"
#include "solver/multistart.h"

#include <functional>
#include <vector>

struct tagNSLPproblem;

namespace nvra {

// One local solve from start (image columns) within the column bounds lower, upper.
using BoxSolve = std::function<LocalRun(std::vector<double> start, const std::vector<double> &lower,
                                        const std::vector<double> &upper)>;

// The search from start (image columns). outcome gets the statuses (no bound is claimed), the
// node and iteration counts and the incumbent. Returns 0, NVRA_RC_UNSUPPORTED for column kinds
// the search cannot branch on, or the error of a node solve that failed when the search found
// nothing (a node that fails while an incumbent exists is dropped, and the search is then not
// reported exhausted).
int solveSlpBranch(NVRAprob prob, const char *fn, tagNSLPproblem *nl, const QcProgram &qp,
                   const std::vector<double> &start, const Deadline &deadline,
                   const BoxSolve &solve, MinlpOutcome &outcome);

} // namespace nvra
