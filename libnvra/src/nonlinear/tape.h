// tape.h: a formula compiled for evaluation, with exact first and second derivatives.
//
// A tape is the formula's expression tree in postfix order (constant parts folded into one
// constant, pwl breakpoints moved aside), over its local variables: the distinct columns it reads,
// in increasing order. Every node but the root has exactly one parent, which comes after it.
//  - values: one forward sweep;
//  - gradient: a forward sweep that also keeps each node's partial derivatives with respect to
//    its arguments, then one reverse sweep (reverse mode) that hands every node its adjoint
//    df/dnode (assignment, not accumulation: the tree has one parent per node) and sums them into
//    the variables;
//  - Hessian: the second-order chain rule over the tree,
//        H = sum over nodes n of adjoint(n) * sum over arguments a, b of n of
//            d2 n / (da db) * grad(a) grad(b)',
//    where grad(a) is the gradient of argument a's subtree (a reverse sweep over that subtree
//    alone). Only the terms whose second derivative can be non-zero are kept: the structure is
//    found once at compilation (the "terms" and the variable pairs they touch), the values are
//    computed at each evaluation into caller-given slots.
// A tape never changes after compilation and may be evaluated from several threads at once, each
// with its own Workspace. Evaluation allocates nothing once the workspace is sized.
#pragma once

#include "nonlinear/formula.h"

#include <cstdint>
#include <vector>

namespace nvra::nl {

struct Workspace;

struct Tape {
    std::vector<Node> kind;
    std::vector<double> cval;      // Const: the value
    std::vector<int32_t> ref;      // Var: local variable; User: function index (0-based);
                                   // Pwl: offset of its breakpoints in pwl; Pow: 1 when the
                                   // exponent is a constant
    std::vector<int32_t> argStart; // arguments of node i: arg[argStart[i] .. argStart[i+1])
    std::vector<int32_t> arg;
    std::vector<int32_t> first;    // the subtree of node i is first[i] .. i
    std::vector<double> pwl;       // breakpoints x0, y0, x1, y1, ... of the pwl nodes
    std::vector<int32_t> pwlCount; // Pwl: number of breakpoints, by node (0 elsewhere)
    std::vector<int32_t> cols;     // local variable -> column, increasing
    // Steps of central differences by argument slot (parallel to arg; used for the arguments of
    // User nodes): h = fdAbs + fdRel * max(1, |argument|).
    std::vector<double> fdAbs, fdRel;
    bool hasUser = false;

    // Hessian structure. Term t adds adjoint(node) * d2 node / (d arg_a d arg_b) * (grad(a)
    // grad(b)' + grad(b) grad(a)') / (a == b ? 2 : 1) to H. Its variable pairs are enumerated as:
    // a != b: for p in vars(a), for q in vars(b): (p, q); a == b: for p, for q <= p: (p, q), where
    // vars(x) = lists[listStart(x) ..] are the sorted local variables of argument x's subtree.
    struct Term {
        int32_t node;
        int32_t a, b;       // argument positions, a <= b
        int32_t la, lb;     // offsets of the variable lists in lists
        int32_t na, nb;     // their lengths
        int64_t pairOffset; // index of its first pair in the enumeration
    };
    std::vector<Term> terms;
    std::vector<int32_t> lists;
    int64_t pairCount = 0;

    int size() const { return static_cast<int>(kind.size()); }
    int nvars() const { return static_cast<int>(cols.size()); }
    int root() const { return size() - 1; }
    // The local variable pairs (p, q) of the Hessian enumeration in order, p and q local
    // variables (so that the caller can map them to its slots).
    void hessianPairs(std::vector<int32_t> &p, std::vector<int32_t> &q) const;
};

// Compiles an analysed formula. outCol >= 0 makes the tape compute x[outCol] * f(x) (the formula
// times the coefficient's column). fdStep is the relative step of central differences of user
// function arguments (the evaluator may change fdAbs/fdRel afterwards).
void compileTape(const Formula &f, const Tree &t, int outCol, double fdStep, Tape &tape);

// An evaluation failure: the node and the reason.
struct EvalError {
    int node = -1;
    const char *why = nullptr;
    explicit operator bool() const { return why != nullptr; }
};

// Working arrays of evaluations, sized for the largest tape it serves (reserve) and reused.
struct Workspace {
    std::vector<double> v;      // node values
    std::vector<double> d;      // partial derivatives by argument slot
    std::vector<double> adj;    // adjoints
    std::vector<double> sadj;   // adjoints of a subtree sweep
    std::vector<double> grad;   // by local variable
    std::vector<double> dense;  // by local variable, zero between uses
    std::vector<double> ga, gb; // gradients of term arguments
    // User-function calls: arguments, derivatives wanted, steps, gradients at shifted points,
    // Hessian.
    std::vector<double> uargs, uwant, ustep, uplus, uminus, uhess;
    void reserve(const Tape &t);
};

// Values of every node at x (indexed by column); order 1 also keeps the partial derivatives.
// The tape's value is ws.v[root].
EvalError forward(const Tape &t, const std::vector<UserFunction> &users, const double *x, int order,
                  Workspace &ws);
// The gradient by local variable into ws.grad, after forward(..., 1, ...).
void reverse(const Tape &t, Workspace &ws);
// Adds w times the Hessian's enumerated pair values into H[slot[k]] (k over the pair
// enumeration), after forward(..., 1, ...) and reverse(). Fails only in user functions.
EvalError addHessian(const Tape &t, const std::vector<UserFunction> &users, double w,
                     const int32_t *slot, double *H, Workspace &ws);

// Calls set and test the calling thread's user-function error flag (NSLPsetfunctionerror).
void setUserFunctionError();

} // namespace nvra::nl
