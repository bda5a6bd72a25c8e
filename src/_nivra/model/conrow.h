// model/conrow.h: constraints linked to a row of a problem: their attributes read and written
// through the library's row functions, the body rebuilt from the row, slacks and duals.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

struct constraint_s;
struct problem_model_s;
class Ref;

enum class ConAttr { Lb, Ub, Type, Rhs, RhsRange };

// An attribute of a linked constraint: a float, or an int for Type. New reference or null.
PyObject *conrow_get(const constraint_s *c, ConAttr attr);

// The constraint type of a library row type letter (L, G, E, R, N), or -1 for another letter.
long conrow_type_of_letter(char letter);
// Sets the right-hand side, the range or the type (kConLeq ... kConNonbinding) of the row.
// 0 or -1.
int conrow_set_rhs(const constraint_s *c, double rhs);
int conrow_set_range(const constraint_s *c, double range);
int conrow_set_type(const constraint_s *c, long type);
// The name of the row (a str) and its renaming. New reference or null; 0 or -1.
PyObject *conrow_name(const constraint_s *c);
int conrow_set_name(const constraint_s *c, PyObject *name);
// The body of the row as an expression: its linear and quadratic parts with the problem's
// variable objects. New reference or null.
PyObject *conrow_body(const constraint_s *c);
// Adds the nonlinear part of row `row` of p (its formula, then its coefficients with a column,
// each as its variable times its formula) to sum, which is replaced by the new sum. 0 or -1.
int conrow_add_nonlinear(problem_model_s *p, int row, Ref &sum);

// Methods of nivra.constraint: the slack or dual value of a linked constraint's row, in the
// current solution or in a callback's.
PyObject *constraint_getSlack(PyObject *self, PyObject *);
PyObject *constraint_getDual(PyObject *self, PyObject *);
PyObject *constraint_getCallbackSlack(PyObject *self, PyObject *);
PyObject *constraint_getCallbackDual(PyObject *self, PyObject *);
