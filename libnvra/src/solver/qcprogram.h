// qcprogram.h: a compiled problem with quadratic rows or a quadratic objective seen as a smooth
// program, for the interior-point solver and the outer approximation: the image's columns and
// linear rows (user rows from the store, then auxiliary rows), the store's quadratic row parts
// and objective Hessian; values and gradients of rows and objective, the violation of a point,
// and the tangents that outer-approximate its cones.
#pragma once

#include "solver/classify.h"
#include "solver/compile.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace nvra {

namespace nl {
class Evaluator;
struct EvalFailure;
} // namespace nl

// A linear row lower <= sum value * x[col] <= upper.
struct Cut {
    std::vector<std::pair<int, double>> entries;
    double lower = -kInf, upper = kInf;
};

class QcProgram {
  public:
    // img must outlive the program; its bounds may be in either infinity (1e20 or the engine's).
    QcProgram(const Image &img, const QuadInfo &quad);
    ~QcProgram();

    // The formulas of the problem (the nonlinear parts of its rows and objective, which add to
    // the linear and quadratic parts), or none. Set before the program is used.
    void setFormulas(const nl::Evaluator *ev);
    const nl::Evaluator *formulas() const { return ev_; }
    // Evaluates the formulas at x, once per point (the values and, with jacobian, their
    // derivatives are kept until another point is evaluated). False when an evaluation fails:
    // the point is then not evaluable (values are NaN).
    bool evalFormulas(const double *x, bool jacobian = false) const;
    // After evalFormulas(x): the formula part of row r (0 for rows without one) and of the
    // objective, and the Jacobian's values in the evaluator's order.
    double formulaRow(int r) const;
    double formulaObjective() const;
    const std::vector<double> &formulaJacobian() const;
    // The evaluator's function of the objective, or -1.
    int objectiveFunction() const;
    // The evaluator's function of row r, or -1.
    int rowFunction(int r) const;
    // The last evaluation failure, as the entry points report it.
    std::string formulaFailure() const;
    // The coefficient whose evaluation failed last, or null when the last evaluation succeeded.
    const nl::EvalFailure *lastFailure() const;

    const Image &image() const { return img_; }
    const Model &model() const { return *img_.model; }
    const QuadInfo &quad() const { return quad_; }
    int numCols() const { return img_.numCols(); }
    int numRows() const { return img_.numRows(); }
    int sense() const { return img_.sense; }
    double rowLower(int r) const;
    double rowUpper(int r) const;
    // The quadratic part of row r (nullptr when it has none that constrains).
    const QTriplets *quadOf(int r) const;
    const QuadRow *quadRowOf(int r) const;

    // Calls f(col, value) for the linear entries of row r (any row of the image).
    template <class F> void forLinear(int r, F &&f) const {
        if (r < img_.userRows) {
            const SparseRows &A = model().A;
            for (int64_t k = A.start[r]; k < A.start[r + 1]; ++k)
                f(static_cast<int>(A.index[k]), A.value[k]);
        } else {
            const int a = r - img_.userRows;
            for (HighsInt k = img_.auxStart[a]; k < img_.auxStart[a + 1]; ++k)
                f(static_cast<int>(img_.auxIndex[k]), img_.auxValue[k]);
        }
    }

    // a'x + x'Px (+ its formulas) of row r; NaN where the formulas cannot be evaluated.
    double activity(int r, const double *x) const;
    // The objective as the user states it: c'x + 0.5 x'Qx + constant (+ its formulas).
    double objective(const double *x) const;
    // sense * the objective's quadratic part (convex when the objective is), and its gradient
    // added to g (dense, numCols()).
    double curvedObjective(const double *x) const;
    void addCurvedObjectiveGradient(const double *x, double *g) const;

    // The largest violation of a row or column bound by x (0 when none), and where: a row index,
    // or -1 - column. Infinite where the formulas cannot be evaluated.
    double violation(const double *x, int *where) const;
    // How far x lies outside a nonlinear row, in the form its cuts are taken from (the norm
    // form for cones): positive when violated.
    double rowExcess(const QuadRow &q, const double *x) const;

    // A cut valid for every point that satisfies cone row q, tight at p: the tangent of its
    // norm form. False at the cone's apex (no tangent).
    bool coneCut(const QuadRow &q, const double *p, Cut &cut) const;

    // a'x + x'Px of row r, without its formulas.
    double plainActivity(int r, const double *x) const;

  private:
    struct FormulaCache;

    const Image &img_;
    const QuadInfo &quad_;
    std::vector<int> quadIndex_; // per user row: index into quad_.rows, or -1
    const nl::Evaluator *ev_ = nullptr;
    std::unique_ptr<FormulaCache> cache_; // with ev_
};

// x'Px for P in the store's triplet form: (i, i, v) is v x_i^2, (i, j, v) is 2 v x_i x_j.
double quadForm(const QTriplets &P, const double *x);
// Adds scale times the gradient of quadForm(P, .) at x to g (dense).
void addQuadFormGradient(const QTriplets &P, const double *x, double scale, double *g);

} // namespace nvra
