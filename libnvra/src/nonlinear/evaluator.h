// evaluator.h: the nonlinear parts of a problem compiled for the solving engines.
//
// What it computes. The functions are the nonlinear part of the objective (when it has
// coefficients) and of every row with coefficients, objective first, then rows in increasing
// order; rows without coefficients are not functions. Function k's value is the sum of the
// coefficients of its row: factor * x_col * f(x) for a coefficient with a column, factor * f(x)
// for one without (NSLP_NOCOLUMN). The linear and quadratic parts of the rows and of the
// objective (and the objective's constant) stay in the optimizer problem's model (nvra::Model:
// matrix, qrows, the objective's Q with its 0.5): engines add them. Values are as stored,
// whatever the objective sense: an engine that minimises a maximisation negates sigma.
//
// Structure once, values many times. build() fixes the structure:
//  - the Jacobian of the functions: function k has entries jacobianStart()[k] ..
//    jacobianStart()[k+1]-1, their columns in jacobianCols(), increasing within each function
//    (exactly the columns the function reads, whatever their values);
//  - the lower triangle of the Hessian of the Lagrangian: entries (hessianRows()[e],
//    hessianCols()[e]) with row >= col, sorted by (row, col), no duplicates; the union over all
//    functions of the pairs whose second derivative can be non-zero (a pair of a linear
//    function, like x + y inside exp(), is kept: the structure does not depend on the point).
// The evaluations fill caller-given arrays in that order: they resize nothing, allocate nothing
// once a Workspace is made by workspace(), and may run on several threads at once on one
// Evaluator, each thread with its own Workspace. They read x as one value per column of the
// problem (ncols values; columns no formula reads are not read).
//
// How an engine gets one. NSLPconstruct builds one for the problem's current data into
// tagNSLPproblem::constructed (nlprob.h), with the problem's evaluation counters; any change of
// coefficients or SLP data drops it (nl->constructed becomes null), and so does
// NSLPunconstruct. An engine holds the problem busy during its solve (nothing can change it) and
// may use nl->constructed, or build its own Evaluator from nl->data the same way. Several
// Evaluators of one problem are independent.
//
// Failures. An evaluation stops at the first piece that fails (a domain error: a logarithm at
// or below 0, a square root of a negative value, a division by zero, a non-finite result, an
// infinite derivative, a user function that fails) and returns false with the failure in
// EvalFailure (row, column, operation, reason; text() gives the message the entry points
// report). The output arrays then hold partial results: engines treat the point as not
// evaluable (shorten the step) and must not read them. There are no exceptions.
//
// Derivatives are exact (reverse mode for the Jacobian, the second-order chain rule over each
// formula's tree for the Hessian, nslp.h tells which one-sided derivative is taken where a
// function has none); user functions without derivatives are differentiated by central
// differences with the steps nslp.h documents (the columns' deltas and derivative steps at
// build time, control nlp_fdstep otherwise). User functions are called through their
// pointers on the evaluating thread. nslp.h promises callers that one problem's user functions
// are never called concurrently: an engine evaluates on several threads at once only when
// callsUserFunctions() is false.
#pragma once

#include "nonlinear/coefs.h"
#include "nonlinear/tape.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace nvra::nl {

struct NlData;

// Evaluations counted for the problem's attributes (one per piece evaluated).
struct EvalCounters {
    std::atomic<int64_t> values{0}, gradients{0}, hessians{0};
};

// Where an evaluation failed: the coefficient (row, col), and the operation and reason.
struct NVRA_API EvalFailure {
    int row = 0, col = 0;
    std::string operation; // "function 'ln'", "operator '/'", "user function 'f'"
    const char *why = nullptr;
    // "the coefficient of row 3 and column 5: logarithm of a value at or below 0 (function
    // 'ln')".
    std::string text() const;
};

// The failure e of tape t (a coefficient of (row, col)) as an EvalFailure.
EvalFailure describeFailure(const Tape &t, const EvalError &e,
                            const std::vector<UserFunction> &users, int row, int col);

// (Exported for the library's own tests.)
class NVRA_API Evaluator {
  public:
    // Compiles the coefficients of data over ncols columns (the optimizer problem's count; every
    // formula was checked against it on entry). fdStep: control nlp_fdstep. Steps of the central
    // differences of user-function arguments that are columns follow the columns' deltas and the
    // derivative steps (NSLPchgdeltatype, NSLPadddfs) as they are now. counters (may be null)
    // receive one count per piece evaluated. Throws std::bad_alloc only; replaces any earlier
    // build.
    void build(const NlData &data, int ncols, double fdStep, EvalCounters *counters);

    int functions() const { return static_cast<int>(functionRow_.size()); }
    // Whether some formula calls a user function (then evaluate on one thread at a time).
    bool callsUserFunctions() const { return callsUser_; }
    // The row of function k (NSLP_OBJECTIVE for the objective).
    int functionRow(int k) const { return functionRow_[k]; }
    // The pieces of function k (one per coefficient's formula), for analyses of the formulas:
    // pieces first .. second - 1, each adding pieceFactor(p) times its tape's value.
    std::pair<int, int> piecesOf(int k) const { return {firstPiece_[k], firstPiece_[k + 1]}; }
    const Tape &pieceTape(int p) const { return tapes_[p]; }
    double pieceFactor(int p) const { return pieces_[p].factor; }
    // Jacobian: function k has the entries jacStart[k] .. jacStart[k+1]-1, of columns jacCol.
    const std::vector<int64_t> &jacobianStart() const { return jacStart_; }
    const std::vector<int32_t> &jacobianCols() const { return jacCol_; }
    // Hessian of the Lagrangian, lower triangle.
    const std::vector<int32_t> &hessianRows() const { return hessRow_; }
    const std::vector<int32_t> &hessianCols() const { return hessCol_; }

    // A workspace sized for every piece: make one per thread, reuse it for every evaluation.
    Workspace workspace() const;

    // f[k] = function k at x (functions() values).
    bool values(const double *x, double *f, Workspace &ws, EvalFailure &fail) const;
    // Values into f as values() does, and the Jacobian's values into jac (jacobianCols().size()
    // values, in that order).
    bool jacobian(const double *x, double *f, double *jac, Workspace &ws, EvalFailure &fail) const;
    // The Hessian of the Lagrangian sigma * objective + sum over rows r of lambda[r] * (row r's
    // nonlinear part) at x into hess (hessianRows().size() values, lower triangle in that
    // order). lambda holds one value per row of the model, indexed by row (rows without
    // coefficients are not read); it may be null only when there are no row functions. Pieces
    // with a zero weight are skipped (their user functions are not called).
    bool hessian(const double *x, double sigma, const double *lambda, double *hess, Workspace &ws,
                 EvalFailure &fail) const;

  private:
    struct PieceRef {
        int32_t row, col; // the coefficient
        int32_t function;
        double factor;
        int64_t jacSlot;  // offset of its local variables' Jacobian entries in jacSlot_
        int64_t hessSlot; // offset of its Hessian pairs' entries in hessSlot_
    };
    bool failed(const PieceRef &p, const Tape &t, const EvalError &e, EvalFailure &fail) const;

    std::vector<Tape> tapes_; // one per piece
    std::vector<PieceRef> pieces_;
    std::vector<int32_t> functionRow_;
    std::vector<int32_t> firstPiece_; // pieces of function k: firstPiece_[k] .. [k+1]-1
    std::vector<int64_t> jacStart_;
    std::vector<int32_t> jacCol_;
    std::vector<int32_t> jacSlot_;
    std::vector<int32_t> hessRow_, hessCol_;
    std::vector<int32_t> hessSlot_;
    std::vector<UserFunction> users_;
    EvalCounters *counters_ = nullptr;
    bool callsUser_ = false;
};

} // namespace nvra::nl
