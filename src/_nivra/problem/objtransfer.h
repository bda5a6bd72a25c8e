// problem/objtransfer.h: a nonlinear objective held as a transfer row and column. The row
// "objtransferrow" reads f(x) - t = 0 with the objective's nonlinear summands as its formula
// coefficients; the column "objtransfercol" is t, with objective coefficient 1, so that the
// optimizer's objective stays linear (or quadratic) in the columns.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

struct problem_s;
struct FormulaPieces;
class Ref;

// The transfer row and column of pieces (the nonlinear summands of the new objective, converted
// for any row) replace those of the old objective: the new ones are added and their formulas
// sent first, so that a formula the library refuses leaves the problem as it was; then the old
// ones go. Without pieces the old ones only go. The transfer column's objective coefficient is
// left at 0 (the caller clears the objective afterwards and then calls
// objtransfer_activate). 0, or -1 with an exception set.
int objtransfer_replace(problem_s *p, FormulaPieces &pieces);

// After the library replaced the model (a read): when it holds a transfer row and column (the
// row with the objective status, the column determined by it), they become the record of the
// nonlinear objective, as setObjective leaves it. 0 or -1.
int objtransfer_adopt(problem_s *p);

// Gives the transfer column, if there is one, its objective coefficient 1. 0 or -1.
int objtransfer_activate(problem_s *p);

// *col: the transfer column of the current nonlinear objective, or -1. 0 or -1.
int objtransfer_column(problem_s *p, int *col);

// Adds the nonlinear part of objective 0 (the formulas of the transfer row) to sum, which is
// replaced by the new sum. 0 or -1.
int objtransfer_read(problem_s *p, Ref &sum);
