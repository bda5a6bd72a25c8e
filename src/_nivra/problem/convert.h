// problem/convert.h: a model object flattened into the library's sparse arrays: a constant,
// linear entries (column, coefficient) and quadratic triplets (column, column, coefficient).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>

#include "nonlinear/formula.h"

struct problem_s;

// The nonlinear summands of rows, as the library's coefficients: piece k of row rows[k] is
// factors[k] times column cols[k] (or the library's NSLP_NOCOLUMN) times the formula of tokens
// starts[k] .. starts[k+1]-1.
struct FormulaPieces {
    FormulaTarget target;
    bool targetRead = false; // target filled (by the first piece)
    size_t count = 0;
    GrowArray<int, 256> rows, cols, starts;
    GrowArray<double, 256> factors;
    TokenBuffer tokens;

    // Records the piece whose tokens were just written. 0, or -1 with MemoryError.
    int add(int row, int col, double factor);
    // Forgets every piece (the arrays are kept).
    void clear() { count = tokens.count = 0; }
};

// The outputs of one conversion. The quadratic triplets follow the library's matrix
// convention: c·x·y (x, y in different columns i, j) becomes (i, j, c/2), c·x² becomes
// (i, i, c); for an objective every value is doubled afterwards.
struct ExprRow {
    double constant = 0.0;
    uint64_t nnz = 0;
    int *cols = nullptr;
    double *vals = nullptr;
    uint64_t nq = 0;
    int *qcols1 = nullptr;
    int *qcols2 = nullptr;
    double *qvals = nullptr;
    // Gives the arrays room for nnz linear and nq quadratic entries in all (they may move);
    // the conversion calls it, with ctx, before it writes each part of the object (at least
    // once). 0, or -1 with an exception set.
    int (*room)(ExprRow *row, uint64_t nnz, uint64_t nq, void *ctx) = nullptr;
    void *ctx = nullptr;
    // Where nonlinear summands go, as coefficients of row pieceRow; null: they are refused.
    FormulaPieces *pieces = nullptr;
    int pieceRow = 0;
};

// An ExprRow whose arrays grow on the default heap to the size needed, freed with it.
struct OwnedExprRow : ExprRow {
    OwnedExprRow();
    OwnedExprRow(const OwnedExprRow &) = delete;
    OwnedExprRow &operator=(const OwnedExprRow &) = delete;
    ~OwnedExprRow();
};

// Flattens obj (a number, variable, term, expression, or nonlinear sum of such) for problem
// prob into out, in one pass: the counts and the constant are reset at entry, and the entries
// of each part are written after out->room made room for them. Linear entries come sorted by
// column and triplets by (first, second) column; entries with the same columns are adjacent
// and not merged. Nonlinear summands become pieces of out->pieces (without pieces: ModelError,
// the nonlinear solver is not available). 0, or -1 with an exception set.
int convertExpr(problem_s *prob, PyObject *obj, ExprRow *out, bool objective);

// The writer's view of p: its columns, the nonlinear solver's equals column (read once and
// kept in the record) and the registration of user functions. 0 or -1.
int problem_formulaTarget(problem_s *p, FormulaTarget *target);

// _convert(obj, objective=False) -> (constant, cols, vals, qcols1, qcols2, qvals): a private
// problem method through which the tests see a conversion.
PyObject *problem_convertForTests(PyObject *self, PyObject *args, PyObject *kwargs);
