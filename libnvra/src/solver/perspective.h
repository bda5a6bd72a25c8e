// perspective.h: the perspective strengthening of a convex quadratic objective over on/off
// columns, for an outer-approximation master.
//
// A column x >= 0 is on/off when a row a x + b z <= 0 (a > 0 > b) ties it to a binary column z,
// so that z = 0 forces x = 0 (a cardinality limit, a semi-continuous column in binary form). The
// objective's form is split as x'Px = x'Rx + sum_i d_i x_i^2 with R positive semi-definite and
// d > 0 on on/off columns only; each d_i x_i^2 is then held in the master by a column p_i and
// perspective cuts p_i >= d_i (2 v x_i - v^2 z_i), which are tangents of d_i x_i^2 where z_i = 1
// and give p_i >= 0 where z_i = 0. Their continuous relaxation is the perspective d_i x_i^2 / z_i,
// far tighter than d_i x_i^2 when z_i is fractional, which is what keeps the master's search
// small on cardinality-limited portfolios.
//
// The diagonal is d_i = alpha / (P^-1)_ii with the largest alpha (found by power iteration on
// the scaled inverse, then confirmed by factorising R) that leaves R semi-definite: a share of
// each column's curvature that no other column explains. It needs P positive definite on the
// columns it touches; otherwise, or beyond a work budget, nothing is split.
#pragma once

#include "solver/compile.h"
#include "solver/qcprogram.h"

#include <vector>

namespace nvra {

class PerspectiveTerms {
  public:
    // Splits sign * P (the store's triplet form) for the on/off columns of qp's image: the
    // remainder R in the same form (sign applied) into remainder. Without a split, remainder is
    // sign * P and numTerms() is 0.
    void split(const QcProgram &qp, const QTriplets &P, int sign, double relTol,
               QTriplets &remainder);
    int numTerms() const { return static_cast<int>(d_.size()); }

    // Adds the p columns (costing pCost each) to the master.
    void addTo(Image &master, double pCost);
    // sum_i d_i x_i^2 / z_i at a point of the original columns (terms with z_i <= 0 count 0).
    double value(const double *x) const;
    // sum_i p_i at a point of the master.
    double modelled(const double *xm) const;
    // The master's p columns at the point x of the original columns.
    void fillStart(const double *x, double *masterPoint) const;
    // Perspective cuts at the master's point xm for the terms whose p_i falls short there.
    void shortfallCuts(const double *xm, std::vector<Cut> &cuts);
    // Perspective cuts at the point x of the original columns, for the terms switched on there.
    void cutsAt(const double *x, std::vector<Cut> &cuts);

  private:
    struct OnOff {
        int x, z;
    };
    // The on/off columns of qp's image among cols, with their binary columns.
    static std::vector<OnOff> findOnOff(const QcProgram &qp, const std::vector<int> &cols);
    // The perspective cut of term i at x_i = v; false when term i already has one there.
    bool cut(int i, double v, Cut &cut);

    std::vector<OnOff> terms_;
    std::vector<double> d_;
    int pBase_ = -1;
    std::vector<std::vector<double>> points_; // cut points per term
};

} // namespace nvra
