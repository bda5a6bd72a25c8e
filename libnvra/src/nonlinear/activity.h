// activity.h: values of rows and of the objective at a point (linear, quadratic and nonlinear
// parts together), the bounds they are checked against, and what the checking and cascading
// entry points share.
#pragma once

#include "nonlinear/evaluator.h"
#include "nonlinear/nlprob.h"

#include <string>
#include <vector>

namespace nvra::nl {

// A row's value at a point by parts.
struct RowValue {
    double linear = 0.0, quadratic = 0.0, nonlinear = 0.0;
    double total() const { return linear + quadratic + nonlinear; }
};

// One row (or the objective, row NSLP_OBJECTIVE, whose linear part includes its constant)
// compiled for repeated evaluation with the derivative by one column.
class RowFunction {
  public:
    RowFunction(NSLPprob nl, int row);
    // The value at x by parts; with col >= 0 also d value / d x_col into *partial.
    bool evaluate(const double *x, int col, RowValue &value, double *partial, EvalFailure &fail);

  private:
    const Model &m_;
    const std::vector<UserFunction> &users_;
    int row_;
    std::vector<int32_t> linCols_;
    std::vector<double> linVals_;
    double constant_ = 0.0;
    const QTriplets *q_ = nullptr;
    double qScale_ = 1.0; // 0.5 for the objective's Q
    std::vector<Tape> tapes_;
    std::vector<double> factors_;
    std::vector<int32_t> pieceCols_;
    Workspace ws_;
};

// Row row at x by parts; evaluation failures are reported as errors of fn.
int rowValue(NSLPprob nl, const char *fn, int row, const double *x, RowValue &out);
// Every row's value at x and the objective's.
int allRowValues(NSLPprob nl, const char *fn, const double *x, std::vector<double> &rows,
                 double &objective);
// The interval a row's value must lie in.
void rowBounds(const Model &m, int i, double &lo, double &hi);
// How far value lies outside row i's interval (0 inside).
double rowViolation(const Model &m, int i, double value);
// Whether a formula reads column col or a coefficient has it as its column.
bool readsColumn(const NlData &d, int col);
// The columns that row row reads (linear, quadratic and nonlinear parts).
std::vector<int32_t> columnsOfRow(NSLPprob nl, int row);
// The columns with a determining row, each after the determined columns its row reads (ties by
// sequence number, then index); fails on a cycle with an error of fn naming a column in it.
int cascadeOrder(NSLPprob nl, const char *fn, std::vector<int32_t> &order);
// Newton's method on the determining row of column j for its value (within at most limit steps
// and the column's bounds): true with the new value in x[j], false (why says why) with x[j] as
// it was.
bool cascadeColumn(NSLPprob nl, int j, std::vector<double> &x, int limit, std::string &why);
// Whether column j is recomputed from its determining row during a solve: columns marked
// NSLP_VAR_CASCADE (with control slp_cascade on) and those of rows that carry the objective.
bool cascadesInSolve(NSLPprob nl, int j);

// An evaluation failure as the error of fn.
int evaluationError(NSLPprob nl, const char *fn, const EvalFailure &fail);

} // namespace nvra::nl
