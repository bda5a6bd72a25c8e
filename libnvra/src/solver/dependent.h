// dependent.h: linear equality rows that are linear combinations of other linear equality rows.
// Handed to an interior-point solver, such rows make its constraint Jacobian rank-deficient: its
// step equations then need regularising at every iteration, and with as many equality rows as
// free columns it takes the rows for a square system of equations and ignores the objective
// (a line of solutions, six rows of rank 5 in six columns, solved for a point of the line with
// no regard to the cost). Leaving one row of each dependent set out changes nothing else: its
// points are those of the rows kept, its multiplier is 0 (the rows kept carry the combination),
// and its activity is checked with every other row at the end of the solve.
#pragma once

#include "solver/qcprogram.h"

#include <vector>

namespace nvra {

// The linear equality rows of qp over the columns not fixed by lower and upper (a fixed column's
// part moves to the right-hand side) that are linear combinations of earlier ones, found by
// Gaussian elimination of the rows in order with the largest entry of each reduced row as its
// pivot. A row is left out only when its reduced right-hand side is within feasTol of 0 too
// (inconsistent rows stay: the solver finds the program infeasible). Rows flagged in skip
// (empty: none) and rows without a column that is not fixed are not considered. Returns one
// flag per image row, or an empty vector when no row is dependent or when the elimination's
// fill outgrows its work budget (a few times the rows' entries), so that large programs never
// pay more than a bounded share of a solve for this.
std::vector<char> dependentEqualities(const QcProgram &qp, const std::vector<double> &lower,
                                      const std::vector<double> &upper,
                                      const std::vector<char> &skip, double feasTol);

} // namespace nvra
