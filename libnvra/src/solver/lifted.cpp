// lifted.cpp: separable lifting of convex quadratic forms (see lifted.h).
#include "solver/lifted.h"

#include <cmath>

namespace nvra {

bool LiftedForm::factor(const QTriplets &P, int sign, double relTol) {
    if (factorSemidefinite(P, sign, relTol, &f_) != Convexity::Convex) return false;
    points_.assign(f_.d.size(), {});
    return true;
}

void LiftedForm::addTo(Image &master, double tCost) {
    const int n = numTerms();
    yBase_ = master.numCols();
    for (int k = 0; k < n; ++k)
        master.addCol(-kInf, kInf, kHighsVarTypeContinuous);
    tBase_ = master.numCols();
    for (int k = 0; k < n; ++k) {
        const int t = master.addCol(0.0, f_.d[k] > 0.0 ? kInf : 0.0, kHighsVarTypeContinuous);
        master.cost[t] = tCost;
    }
    for (int k = 0; k < n; ++k) {
        if (f_.d[k] <= 0.0) continue;
        std::vector<std::pair<int, double>> entries{{yBase_ + k, 1.0}, {f_.cols[k], -1.0}};
        for (const auto &[r, l] : f_.below[k])
            entries.emplace_back(f_.cols[r], -l);
        master.addRow(0.0, 0.0, std::move(entries));
    }
}

double LiftedForm::y(int k, const double *x) const {
    double v = x[f_.cols[k]];
    for (const auto &[r, l] : f_.below[k])
        v += l * x[f_.cols[r]];
    return v;
}

double LiftedForm::value(const double *x) const {
    double s = 0.0;
    for (int k = 0; k < numTerms(); ++k)
        if (f_.d[k] > 0.0) {
            const double v = y(k, x);
            s += f_.d[k] * v * v;
        }
    return s;
}

void LiftedForm::fillStart(const double *x, double *masterPoint) const {
    for (int k = 0; k < numTerms(); ++k)
        if (yCol(k) >= 0) {
            const double v = y(k, x);
            masterPoint[yCol(k)] = v;
            masterPoint[tCol(k)] = f_.d[k] * v * v;
        }
}

bool LiftedForm::tangent(int k, double v, Cut &cut) {
    if (yCol(k) < 0) return false;
    for (double p : points_[k])
        if (std::fabs(p - v) <= 1e-9 * (1.0 + std::fabs(v))) return false;
    points_[k].push_back(v);
    const double d = f_.d[k];
    cut.entries = {{tCol(k), 1.0}, {yCol(k), -2.0 * d * v}};
    cut.lower = -d * v * v;
    cut.upper = kInf;
    return true;
}

void LiftedForm::shortfallTangents(const double *xm, std::vector<Cut> &cuts) {
    Cut cut;
    for (int k = 0; k < numTerms(); ++k) {
        if (yCol(k) < 0) continue;
        const double v = xm[yCol(k)], curve = f_.d[k] * v * v;
        if (curve - xm[tCol(k)] > 1e-12 * (1.0 + curve) && tangent(k, v, cut)) cuts.push_back(cut);
    }
}

void LiftedForm::tangentsAt(const double *x, std::vector<Cut> &cuts) {
    Cut cut;
    for (int k = 0; k < numTerms(); ++k)
        if (tangent(k, y(k, x), cut)) cuts.push_back(cut);
}

} // namespace nvra
