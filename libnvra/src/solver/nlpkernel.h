// nlpkernel.h: a QcProgram over given column bounds in the form both interior-point adapters
// (Ipopt's TNLP, Bonmin's TMINLP) hand to their solver: the rows handed over, the sparsity
// patterns of the Jacobian and of the Hessian of the Lagrangian (lower triangle), and their
// values, with the objective in minimisation form (times the sense). The program's formulas, if
// it has any, add to its rows and objective; evaluations at points where they cannot be
// evaluated return false (NaN for the objective), which the solvers take as a step too far.
#pragma once

#include "nonlinear/evaluator.h"
#include "solver/qcprogram.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace nvra {

class NlpKernel {
  public:
    // Column bounds: numCols entries each.
    NlpKernel(const QcProgram &qp, std::vector<double> lower, std::vector<double> upper)
        : qp_(qp), lower_(std::move(lower)), upper_(std::move(upper)) {}

    // Builds the patterns. Rows with a finite bound are handed over, unless all their columns
    // are fixed: those are checked at the fixed point, and build returns false when one of
    // them is violated beyond feasTol (the program is then infeasible without a solve). With
    // singletonBounds, a linear row with a single column that is not fixed becomes bounds on
    // that column (repeatedly, as columns become fixed); its multiplier is then lost, so this
    // is for subproblems whose duals nobody reads (integers fixed in an outer approximation:
    // w <= z with z = 0 then fixes w at exactly 0). With dropDependent, linear equality rows
    // that are combinations of others are left out (dependent.h; their multipliers are then 0).
    bool build(double feasTol, bool singletonBounds = false, bool dropDependent = false);

    int numCols() const { return qp_.numCols(); }
    int numRows() const { return static_cast<int>(rows_.size()); }
    int numFree() const { return numFree_; }
    int numLeftOut() const { return numLeftOut_; } // dependent rows left out by build
    int jacobianSize() const { return static_cast<int>(jacCol_.size()); }
    int hessianSize() const { return static_cast<int>(hessKey_.size()); }
    int imageRow(int k) const { return rows_[k]; } // the image row of handed-over row k
    bool rowIsLinear(int k) const { return qp_.quadOf(rows_[k]) == nullptr; }
    bool columnIsLinear(int j) const { return !curved_[j]; }
    double lower(int j) const { return lower_[j]; }
    double upper(int j) const { return upper_[j]; }
    const QcProgram &program() const { return qp_; }

    void bounds(double *xl, double *xu, double *gl, double *gu) const;
    // The finite bounds of the free columns and the finite sides of the inequality rows handed
    // over: how many (the complementarity pairs of an interior-point solve), and the largest
    // magnitude.
    struct BoundStats {
        int count = 0;
        double largest = 0.0;
    };
    BoundStats boundStats() const;
    // from (or 0 when null) moved into the column bounds.
    void start(const double *from, double *x) const;
    // Without objective, the program asks for a feasible point only.
    void dropObjective() { objScale_ = 0.0; }
    double objective(const double *x) const; // sense * the objective
    bool objectiveGradient(const double *x, double *g) const;
    bool rowValues(const double *x, double *g) const;
    void jacobianPattern(int *iRow, int *jCol) const;
    bool jacobian(const double *x, double *values) const;
    void hessianPattern(int *iRow, int *jCol) const;
    // objFactor * sense * (Hessian of the objective) + sum_k lambda_k * (Hessian of row k) at x.
    bool hessian(const double *x, double objFactor, const double *lambda, double *values) const;

  private:
    bool fixed(int j) const { return lower_[j] >= upper_[j]; }
    // Singleton rows as column bounds; false when some bounds cross (infeasible).
    bool absorbSingletons(double feasTol, std::vector<char> &absorbed);
    void addHessianKeys(const QTriplets &P, std::vector<int64_t> &keys);
    int hessianPosition(int i, int j) const;

    const QcProgram &qp_;
    std::vector<double> lower_, upper_;
    int numFree_ = 0, numLeftOut_ = 0;
    double objScale_ = 1.0;
    std::vector<char> curved_;     // per column: in the objective's or a row's quadratic part
    std::vector<int> rows_;        // image rows handed over
    std::vector<int> jacStart_;    // per handed-over row, into jacCol_ (plus the end)
    std::vector<int> jacCol_;      // the Jacobian's columns
    std::vector<int> linPos_;      // position of every linear element, rows in order
    std::vector<int> quadPos_;     // two positions per quadratic element (i's, j's)
    std::vector<int64_t> hessKey_; // row * n + column, sorted
    std::vector<int> objHessPos_;  // per objective Hessian element
    std::vector<int> rowHessPos_;  // per quadratic row element, rows in order
    // Formulas: the position of each of the evaluator's Jacobian entries (-1 for the objective's
    // and for rows not handed over) and Hessian entries.
    std::vector<int> formulaJacPos_, formulaHessPos_;
    mutable nl::Workspace ws_;
    mutable std::vector<double> rowWeights_, formulaHess_; // by model row; by Hessian entry
};

} // namespace nvra
