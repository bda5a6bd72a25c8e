// nonlinear/formula.h: nonlinear expression trees as the library's token formulas (parsed
// form: reverse Polish order, see nslp.h) and back.
//
// The writer puts every function's arguments from the last to the first, so that the first
// argument lies next to the function token as the library reads it; the reader builds binary
// nodes with the item below the top of its stack as the left operand. A tree written and read
// back is therefore structurally equal to what went in (up to the simplifications that the
// arithmetic makes when it rebuilds sums and products, which the tree had already undergone).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>

#include "runtime/alloc.h"

struct problem_model_s;

// The growing token arrays of one or more formulas: capacity 256 tokens first, doubling.
struct TokenBuffer {
    GrowArray<int, 256> types;
    GrowArray<double, 256> values;
    size_t count = 0;

    // Appends one token. 0, or -1 with MemoryError.
    int push(int type, double value) {
        if (types.reserve(count + 1) != 0 || values.reserve(count + 1) != 0) return -1;
        types[count] = type;
        values[count++] = value;
        return 0;
    }
};

// Registers the callable of a user-function node (args: the node's argument tuple, callable
// first; op its operation code) with the problem's nonlinear solver and gives its identifier.
// 0, or -1 with an exception set.
using UserFunctionRegistrar = int (*)(problem_model_s *p, PyObject *args, int op, int *id);

// What the writer needs from the problem: its columns, the solver's equals column (-1 when
// it has none) and the registration of user functions (null: user functions are refused).
struct FormulaTarget {
    problem_model_s *p;
    int equalsColumn = -1;
    UserFunctionRegistrar registerUser = nullptr;
};

// Depth of the trees that the writer accepts.
constexpr int kFormulaDepth = 64;

// Appends tree (any model object or number) to buf as one whole formula closed by its end
// token. 0, or -1 with ModelError (buf keeps what was written).
int formula_write(const FormulaTarget &target, PyObject *tree, TokenBuffer &buf);

// Appends one nonlinear summand of a row or objective to buf as a coefficient: the first
// variable factor of a product becomes *outCol and leaves the formula, numeric factors then go
// into *outFactor; without a variable factor *outCol is the equals column, or the library's
// NSLP_NOCOLUMN, and the numeric factors leave the formula only when the equals column is
// known. 0, or -1 with ModelError.
int formula_write_coefficient(const FormulaTarget &target, PyObject *tree, TokenBuffer &buf,
                              int *outCol, double *outFactor);

// The model object (a tree, a number or a variable) of the parsed formula types[0..n), whose
// columns are the variables of p. origin names the formula in messages. New reference, or null
// with InterfaceError.
PyObject *nonlin_from_formula(problem_model_s *p, const int *types, const double *values, size_t n,
                              const char *origin);
