// lifted.h: a convex quadratic form x'Ax (A positive semi-definite) lifted into separable terms
// for an outer-approximation master: with A = L D L', x'Ax = sum_k d_k y_k^2 where y = L'x.
// The master gets a column y_k per term (tied to x by the rows y = L'x) and a column t_k >= 0
// that stands for d_k y_k^2 and is held from below by tangents of that one-dimensional
// parabola. Tangents of the terms approximate the form far better than tangents of the whole
// form (one cut per point for all directions), which is what makes the approximation of a dense
// covariance converge in few iterations.
#pragma once

#include "solver/compile.h"
#include "solver/convexity.h"
#include "solver/qcprogram.h"

#include <vector>

namespace nvra {

class LiftedForm {
  public:
    // Factorises sign * P; false when the factorisation is not available (too large).
    bool factor(const QTriplets &P, int sign, double relTol);
    // Adds the y and t columns (t costing tCost each) and the rows y = L'x to the master.
    void addTo(Image &master, double tCost);

    int numTerms() const { return static_cast<int>(f_.d.size()); }
    // y_k at a point of the original columns.
    double y(int k, const double *x) const;
    // sum_k d_k y_k^2 at a point of the original columns (x'Ax).
    double value(const double *x) const;
    // The master's y and t columns of term k (-1 for a term without curvature).
    int yCol(int k) const { return yBase_ < 0 || f_.d[k] <= 0.0 ? -1 : yBase_ + k; }
    int tCol(int k) const { return yCol(k) < 0 ? -1 : tBase_ + k; }
    // The master's y and t columns at the point x of the original columns (t_k = d_k y_k^2).
    void fillStart(const double *x, double *masterPoint) const;
    // The tangent t_k >= d_k (2 v y_k - v^2) at y_k = v; false when term k already has a
    // tangent there (or has no curvature).
    bool tangent(int k, double v, Cut &cut);
    // Tangents of every term at the point xm of the master (its y and t columns), for the
    // terms where t_k falls short of d_k y_k^2 there.
    void shortfallTangents(const double *xm, std::vector<Cut> &cuts);
    // Tangents of every term at the point x of the original columns.
    void tangentsAt(const double *x, std::vector<Cut> &cuts);

  private:
    LdlFactor f_;
    int yBase_ = -1, tBase_ = -1;
    std::vector<std::vector<double>> points_; // tangent points per term
};

} // namespace nvra
