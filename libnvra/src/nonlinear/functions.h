// functions.h: the operations a formula is made of (operators, internal functions, user-function
// calls) as node kinds, their table (token, name, number of arguments), and the scalar math of
// each one with first and second derivatives and its domain. Shared by the checks on entry
// (constant parts), the tapes (evaluation and derivatives) and the text form.
#pragma once

#include "nslp.h"

#include <cstdint>
#include <string_view>

namespace nvra::nl {

enum class Node : uint8_t {
    Const,
    Var,
    Neg,
    Pow,
    Mul,
    Div,
    Add,
    Sub,
    Log10,
    Ln,
    Exp,
    Abs,
    Sqrt,
    Sin,
    Cos,
    Tan,
    Asin,
    Acos,
    Atan,
    Min,
    Max,
    Pwl,
    Sum,
    Prod,
    Sign,
    Erf,
    Erfc,
    User,
};

// An operation as formulas write it: the token (NSLP_TOK_OP or NSLP_TOK_IFUN) and its value, the
// node kind, the name of the text form, and the number of arguments (maxArgs -1: any number).
struct OpInfo {
    int token;
    int code;
    Node node;
    const char *name;
    int minArgs, maxArgs;
};

// The operation of an operator code (NSLP_OP_*) or of an internal-function id (NSLP_IFUN_*), or
// nullptr when there is none.
const OpInfo *operatorInfo(int code);
const OpInfo *functionInfo(int id);
// The internal function named name in the text form (any case; aliases ln/log, asin/arcsin, ...),
// or nullptr.
const OpInfo *functionByName(std::string_view name);
// The entry of a node kind (for names in messages and the text form); nullptr for Const, Var and
// User.
const OpInfo *nodeInfo(Node k);

// True for the functions of one argument handled by unaryEval.
bool isUnaryFunction(Node k);
// Second derivatives that can be non-zero (for the structure of Hessians): for the unary
// functions, whether f'' can be non-zero.
bool curved(Node k);

// The value of a unary function at x and, up to `order` (0, 1 or 2), its first and second
// derivatives. Returns nullptr, or a text naming the domain error ("logarithm of a value at or
// below 0"). Results that are not finite are domain errors.
const char *unaryEval(Node k, double x, int order, double &v, double &d1, double &d2);

// a ^ b and its derivatives up to `order`: d[0] = dv/da, d[1] = dv/db, h[0] = d2v/da2,
// h[1] = d2v/dadb, h[2] = d2v/db2. bConstant: b is a constant of the formula (then a negative
// base is allowed for an integral b, and the derivatives in b are not computed). Returns nullptr
// or the domain error.
const char *powEval(double a, double b, bool bConstant, int order, double &v, double d[2],
                    double h[3]);

// The value of a binary or n-ary operation whose arguments are constants (the checks on entry
// evaluate the constant parts of formulas); args[0] is the first argument. Returns nullptr or
// the domain error. Not for User.
const char *constantEval(Node k, const double *args, int n, double &v);

// The piecewise linear function through the n breakpoints pts = x0, y0, x1, y1, ... (x
// non-decreasing; at a repeated x the later point), extended by its first and last segment (a
// constant where that segment is a jump): the value at x and the slope there (0 for a single
// breakpoint).
void pwlEval(double x, const double *pts, int n, double &v, double &slope);

} // namespace nvra::nl
