// evaluator.h: the nonlinear parts of a problem compiled for the solving engines.
//
// The functions are the nonlinear part of the objective (when it has coefficients) and of every
// row with coefficients, objective first, then rows in increasing order. Each coefficient piece
// becomes one tape (tape.h). The structure is fixed at build: the sparse Jacobian of the
// functions (columns increasing within each function) and the sparse lower triangle of the
// Hessian of their Lagrangian (entries (row, col) with row >= col, sorted); evaluations fill
// values in that order, allocate nothing once a Workspace is made, and may run on several
// threads at once, each with its own Workspace. The linear and quadratic parts of the rows and
// the objective stay in the optimizer problem's model; engines add them.
#pragma once

#include "nonlinear/coefs.h"
#include "nonlinear/tape.h"

#include <atomic>
#include <cstdint>
#include <string>
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
    // Compiles the coefficients of data over ncols columns. fdStep: control nlp_fdstep. Steps of
    // the central differences of user-function arguments that are columns follow the columns'
    // deltas and the derivative steps (NSLPchgdeltatype, NSLPadddfs).
    void build(const NlData &data, int ncols, double fdStep, EvalCounters *counters);

    int functions() const { return static_cast<int>(functionRow_.size()); }
    // The row of function k (NSLP_OBJECTIVE for the objective).
    int functionRow(int k) const { return functionRow_[k]; }
    // Jacobian: function k has the entries jacStart[k] .. jacStart[k+1]-1, of columns jacCol.
    const std::vector<int64_t> &jacobianStart() const { return jacStart_; }
    const std::vector<int32_t> &jacobianCols() const { return jacCol_; }
    // Hessian of the Lagrangian, lower triangle.
    const std::vector<int32_t> &hessianRows() const { return hessRow_; }
    const std::vector<int32_t> &hessianCols() const { return hessCol_; }

    // A workspace sized for every tape.
    Workspace workspace() const;

    // f[k] = function k at x (one value per column).
    bool values(const double *x, double *f, Workspace &ws, EvalFailure &fail) const;
    // Values and the Jacobian's values (jacobianCols order).
    bool jacobian(const double *x, double *f, double *jac, Workspace &ws,
                  EvalFailure &fail) const;
    // The Hessian of sigma * objective + sum over rows r of lambda[r] * (row r's nonlinear
    // part), lambda one value per row of the model (rows without coefficients are not read).
    bool hessian(const double *x, double sigma, const double *lambda, double *hess, Workspace &ws,
                 EvalFailure &fail) const;

  private:
    struct PieceRef {
        int32_t row, col;   // the coefficient
        int32_t function;
        double factor;
        int64_t jacSlot;    // offset of its local variables' Jacobian entries in jacSlot_
        int64_t hessSlot;   // offset of its Hessian pairs' entries in hessSlot_
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
};

} // namespace nvra::nl
