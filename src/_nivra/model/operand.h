// model/operand.h: the operand kinds shared by every operator, recognition of numbers, and the
// compatibility check that every binary operation makes before it combines its operands.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

struct var_s;

// Operand kinds (exprtype).
enum ExprKind : int {
    kConst = 0,      // float, int (bool included), NumPy float16/32/64, int8/16/32/64 scalars
    kVar = 1,        // nivra.var
    kLinterm = 2,    // nivra.linterm
    kQuadterm = 3,   // nivra.quadterm
    kExpression = 4, // nivra.expression
    kNonlinear = 5,  // nivra.nonlinear
};
constexpr int kNumKinds = 6;

extern PyTypeObject var_type, linterm_type, expression_type;

// The kind of an object that is not a variable, float, linear term or expression: see
// exprKindOf.
int exprKindOfOther(PyObject *o);
// The kind of o, or -1 (no exception) for any other object. The commonest operands are told
// apart inline, by their type alone.
inline int exprKindOf(PyObject *o) {
    const PyTypeObject *t = Py_TYPE(o);
    if (t == &var_type) return kVar;
    if (t == &PyFloat_Type) return kConst;
    if (t == &linterm_type) return kLinterm;
    if (t == &expression_type) return kExpression;
    return exprKindOfOther(o);
}
// The kind of o, or -1 with ModelError "Invalid object in operation: <%S>".
int getExprType(PyObject *o);
// 1 when obj is a number (kind 0) or an expression with neither a linear nor a quadratic map;
// then *kind and *value are set. 0 otherwise, -1 with an exception when the number conversion
// fails. kind may be null.
int isObjectConst(PyObject *obj, int *kind, double *value);
// The same for an object of known kind.
int isConstOfKind(PyObject *obj, int kind, double *value);
// True for a NumPy array (or subclass) and for any Python sequence.
bool isArrayOrSequence(PyObject *o);

// The representative variable of obj (borrowed, or null for constants and empty expressions).
// ModelError "Invalid operand in expression" for other objects and "Deleted variable in
// expression" for a deleted representative. 0 or -1.
int check_first_var(PyObject *obj, var_s **var);
// The same for an object whose kind is known.
int firstVarOfKind(PyObject *obj, int kind, var_s **var);
// The same, checked against the variable other (may be null): an expression's representative
// is read without merging its maps, so it may be a variable that entries not merged yet cancel;
// when it belongs to another owner than other, the expression is merged and read again, so that
// a disagreement is exact. 0 or -1.
int firstVarAgreeing(PyObject *obj, int kind, const var_s *other, var_s **var);
// Refuses to combine variables of different problems, or linked with unlinked variables
// (ModelError). *unlinked (may be null) is set to 1 when a representative is unlinked.
// 0 or -1.
int check_expressions_compatible(PyObject *a, PyObject *b, int *unlinked);
// The same for operands of known kinds.
int checkCompatibleKinds(PyObject *a, int ka, PyObject *b, int kb);

// A 0-d array of the variable element type (for a variable) or the expression element type
// (anything else) holding o. Combined with an array by an operator or a comparison, it makes
// NumPy apply the module's element loops, so that the result is an array of the module's
// element type also against arrays of plain numbers. New reference or null.
PyObject *nvr_zero_dim_element(PyObject *o);
