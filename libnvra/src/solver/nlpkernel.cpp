// nlpkernel.cpp: patterns and values of the derivatives of a QcProgram (see nlpkernel.h).
#include "solver/nlpkernel.h"

#include "solver/dependent.h"

#include <algorithm>
#include <cmath>

namespace nvra {

bool NlpKernel::absorbSingletons(double feasTol, std::vector<char> &absorbed) {
    absorbed.assign(qp_.numRows(), 0);
    for (bool changed = true; changed;) {
        changed = false;
        for (int r = 0; r < qp_.numRows(); ++r) {
            if (absorbed[r] || qp_.quadOf(r)) continue;
            const double lo = qp_.rowLower(r), up = qp_.rowUpper(r);
            if (lo <= -kInf && up >= kInf) continue;
            int free = -1, count = 0;
            double a = 0.0, fixedPart = 0.0;
            qp_.forLinear(r, [&](int c, double v) {
                if (fixed(c)) {
                    fixedPart += v * lower_[c];
                } else {
                    free = c, a = v;
                    ++count;
                }
            });
            if (count != 1) continue;
            // lo <= a x + fixedPart <= up on the one free column x.
            const double sign = a > 0.0 ? 1.0 : -1.0;
            const double toLow = lo <= -kInf ? -sign * kInf : (lo - fixedPart) / a;
            const double toUp = up >= kInf ? sign * kInf : (up - fixedPart) / a;
            const double l = a > 0.0 ? toLow : toUp, u = a > 0.0 ? toUp : toLow;
            lower_[free] = std::max(lower_[free], l);
            upper_[free] = std::min(upper_[free], u);
            if (lower_[free] > upper_[free] + feasTol) return false;
            if (lower_[free] > upper_[free]) lower_[free] = upper_[free];
            absorbed[r] = 1;
            changed = changed || fixed(free);
        }
    }
    return true;
}

bool NlpKernel::build(double feasTol, bool singletonBounds, bool dropDependent) {
    std::vector<char> leftOut;
    if (singletonBounds && !absorbSingletons(feasTol, leftOut)) return false;
    if (dropDependent) {
        std::vector<char> dependent = dependentEqualities(qp_, lower_, upper_, leftOut, feasTol);
        numLeftOut_ = static_cast<int>(std::count(dependent.begin(), dependent.end(), 1));
        if (numLeftOut_ > 0) {
            if (leftOut.empty()) leftOut.assign(qp_.numRows(), 0);
            for (size_t r = 0; r < dependent.size(); ++r)
                leftOut[r] = leftOut[r] || dependent[r];
        }
    }
    const int n = qp_.numCols();
    numFree_ = 0;
    std::vector<double> fixedPoint(n);
    for (int j = 0; j < n; ++j) {
        numFree_ += fixed(j) ? 0 : 1;
        fixedPoint[j] = std::min(std::max(0.0, lower_[j]), upper_[j]);
    }
    curved_.assign(n, 0);
    std::vector<int64_t> keys;
    addHessianKeys(qp_.model().Q, keys);
    const nl::Evaluator *ev = qp_.formulas();
    if (ev) {
        for (size_t e = 0; e < ev->hessianRows().size(); ++e) {
            keys.push_back(static_cast<int64_t>(ev->hessianRows()[e]) * n + ev->hessianCols()[e]);
            curved_[ev->hessianRows()[e]] = curved_[ev->hessianCols()[e]] = 1;
        }
        formulaJacPos_.assign(ev->jacobianCols().size(), -1);
    }
    jacStart_.assign(1, 0);
    std::vector<int> cols;
    for (int r = 0; r < qp_.numRows(); ++r) {
        const double lo = qp_.rowLower(r), up = qp_.rowUpper(r);
        if ((lo <= -kInf && up >= kInf) || (!leftOut.empty() && leftOut[r])) continue;
        const QTriplets *P = qp_.quadOf(r);
        const int fn = qp_.rowFunction(r);
        cols.clear();
        qp_.forLinear(r, [&](int c, double) { cols.push_back(c); });
        if (P) {
            cols.insert(cols.end(), P->i.begin(), P->i.end());
            cols.insert(cols.end(), P->j.begin(), P->j.end());
        }
        if (fn >= 0)
            cols.insert(cols.end(), ev->jacobianCols().begin() + ev->jacobianStart()[fn],
                        ev->jacobianCols().begin() + ev->jacobianStart()[fn + 1]);
        if (P || fn >= 0) {
            std::sort(cols.begin(), cols.end());
            cols.erase(std::unique(cols.begin(), cols.end()), cols.end());
        }
        if (std::all_of(cols.begin(), cols.end(), [&](int c) { return fixed(c); })) {
            const double a = qp_.activity(r, fixedPoint.data());
            if (a < lo - feasTol || a > up + feasTol) return false;
            continue;
        }
        const int base = static_cast<int>(jacCol_.size());
        auto position = [&](int c) {
            return base +
                   static_cast<int>(std::lower_bound(cols.begin(), cols.end(), c) - cols.begin());
        };
        qp_.forLinear(r, [&](int c, double) { linPos_.push_back(position(c)); });
        if (P) {
            for (size_t k = 0; k < P->v.size(); ++k) {
                quadPos_.push_back(position(P->i[k]));
                quadPos_.push_back(position(P->j[k]));
            }
            addHessianKeys(*P, keys);
        }
        if (fn >= 0)
            for (int64_t e = ev->jacobianStart()[fn]; e < ev->jacobianStart()[fn + 1]; ++e)
                formulaJacPos_[e] = position(ev->jacobianCols()[e]);
        jacCol_.insert(jacCol_.end(), cols.begin(), cols.end());
        jacStart_.push_back(static_cast<int>(jacCol_.size()));
        rows_.push_back(r);
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    hessKey_ = std::move(keys);
    const QTriplets &Q = qp_.model().Q;
    for (size_t k = 0; k < Q.v.size(); ++k)
        objHessPos_.push_back(hessianPosition(Q.i[k], Q.j[k]));
    for (int r : rows_)
        if (const QTriplets *P = qp_.quadOf(r))
            for (size_t k = 0; k < P->v.size(); ++k)
                rowHessPos_.push_back(hessianPosition(P->i[k], P->j[k]));
    if (ev) {
        for (size_t e = 0; e < ev->hessianRows().size(); ++e)
            formulaHessPos_.push_back(hessianPosition(ev->hessianCols()[e], ev->hessianRows()[e]));
        ws_ = ev->workspace();
        rowWeights_.assign(qp_.model().numRows(), 0.0);
        formulaHess_.resize(ev->hessianRows().size());
    }
    return true;
}

void NlpKernel::addHessianKeys(const QTriplets &P, std::vector<int64_t> &keys) {
    const int64_t n = qp_.numCols();
    for (size_t k = 0; k < P.v.size(); ++k) {
        keys.push_back(P.j[k] * n + P.i[k]); // i <= j: row j, column i
        curved_[P.i[k]] = curved_[P.j[k]] = 1;
    }
}

int NlpKernel::hessianPosition(int i, int j) const {
    const int64_t key = static_cast<int64_t>(j) * qp_.numCols() + i;
    return static_cast<int>(std::lower_bound(hessKey_.begin(), hessKey_.end(), key) -
                            hessKey_.begin());
}

void NlpKernel::bounds(double *xl, double *xu, double *gl, double *gu) const {
    std::copy(lower_.begin(), lower_.end(), xl);
    std::copy(upper_.begin(), upper_.end(), xu);
    for (size_t k = 0; k < rows_.size(); ++k) {
        gl[k] = qp_.rowLower(rows_[k]);
        gu[k] = qp_.rowUpper(rows_[k]);
    }
}

NlpKernel::BoundStats NlpKernel::boundStats() const {
    BoundStats s;
    auto take = [&](double b) {
        if (std::fabs(b) >= kInf) return;
        ++s.count;
        s.largest = std::max(s.largest, std::fabs(b));
    };
    for (int j = 0; j < numCols(); ++j) {
        if (fixed(j)) continue;
        take(lower_[j]);
        take(upper_[j]);
    }
    for (int r : rows_) {
        if (qp_.rowLower(r) == qp_.rowUpper(r)) continue;
        take(qp_.rowLower(r));
        take(qp_.rowUpper(r));
    }
    return s;
}

void NlpKernel::start(const double *from, double *x) const {
    for (int j = 0; j < numCols(); ++j)
        x[j] = std::min(std::max(from ? from[j] : 0.0, lower_[j]), upper_[j]);
}

double NlpKernel::objective(const double *x) const {
    return objScale_ * qp_.sense() * qp_.objective(x);
}

bool NlpKernel::objectiveGradient(const double *x, double *g) const {
    const Image &img = qp_.image();
    for (int j = 0; j < numCols(); ++j)
        g[j] = j < img.userCols ? objScale_ * qp_.sense() * img.cost[j] : 0.0;
    if (objScale_ == 0.0) return true;
    qp_.addCurvedObjectiveGradient(x, g);
    const int fn = qp_.objectiveFunction();
    if (fn < 0) return true;
    if (!qp_.evalFormulas(x, true)) return false;
    const nl::Evaluator &ev = *qp_.formulas();
    const double scale = objScale_ * qp_.sense();
    for (int64_t e = ev.jacobianStart()[fn]; e < ev.jacobianStart()[fn + 1]; ++e)
        g[ev.jacobianCols()[e]] += scale * qp_.formulaJacobian()[e];
    return true;
}

bool NlpKernel::rowValues(const double *x, double *g) const {
    if (!qp_.evalFormulas(x)) return false;
    for (size_t k = 0; k < rows_.size(); ++k)
        g[k] = qp_.plainActivity(rows_[k], x) + qp_.formulaRow(rows_[k]);
    return true;
}

void NlpKernel::jacobianPattern(int *iRow, int *jCol) const {
    for (size_t k = 0; k + 1 < jacStart_.size(); ++k)
        for (int p = jacStart_[k]; p < jacStart_[k + 1]; ++p)
            iRow[p] = static_cast<int>(k), jCol[p] = jacCol_[p];
}

bool NlpKernel::jacobian(const double *x, double *values) const {
    std::fill(values, values + jacCol_.size(), 0.0);
    if (!formulaJacPos_.empty()) {
        if (!qp_.evalFormulas(x, true)) return false;
        const std::vector<double> &jac = qp_.formulaJacobian();
        for (size_t e = 0; e < formulaJacPos_.size(); ++e)
            if (formulaJacPos_[e] >= 0) values[formulaJacPos_[e]] += jac[e];
    }
    size_t lin = 0, quad = 0;
    for (int r : rows_) {
        qp_.forLinear(r, [&](int, double v) { values[linPos_[lin++]] += v; });
        const QTriplets *P = qp_.quadOf(r);
        if (!P) continue;
        for (size_t k = 0; k < P->v.size(); ++k, quad += 2) {
            const int i = P->i[k], j = P->j[k];
            const double v = 2.0 * P->v[k];
            if (i == j) {
                values[quadPos_[quad]] += v * x[i];
            } else {
                values[quadPos_[quad]] += v * x[j];
                values[quadPos_[quad + 1]] += v * x[i];
            }
        }
    }
    return true;
}

void NlpKernel::hessianPattern(int *iRow, int *jCol) const {
    const int64_t n = qp_.numCols();
    for (size_t p = 0; p < hessKey_.size(); ++p) {
        iRow[p] = static_cast<int>(hessKey_[p] / n);
        jCol[p] = static_cast<int>(hessKey_[p] % n);
    }
}

bool NlpKernel::hessian(const double *x, double objFactor, const double *lambda,
                        double *values) const {
    std::fill(values, values + hessKey_.size(), 0.0);
    const QTriplets &Q = qp_.model().Q;
    const double objScale = objScale_ * objFactor * qp_.sense();
    for (size_t k = 0; k < Q.v.size(); ++k)
        values[objHessPos_[k]] += objScale * Q.v[k];
    size_t pos = 0;
    for (size_t k = 0; k < rows_.size(); ++k)
        if (const QTriplets *P = qp_.quadOf(rows_[k]))
            for (size_t t = 0; t < P->v.size(); ++t)
                values[rowHessPos_[pos++]] += 2.0 * lambda[k] * P->v[t];
    const nl::Evaluator *ev = qp_.formulas();
    if (!ev || formulaHess_.empty()) return true;
    for (size_t k = 0; k < rows_.size(); ++k)
        if (rows_[k] < static_cast<int>(rowWeights_.size())) rowWeights_[rows_[k]] = lambda[k];
    nl::EvalFailure failure;
    const bool ok = ev->hessian(x, objScale, rowWeights_.data(), formulaHess_.data(), ws_, failure);
    for (size_t k = 0; k < rows_.size(); ++k)
        if (rows_[k] < static_cast<int>(rowWeights_.size())) rowWeights_[rows_[k]] = 0.0;
    if (!ok) return false;
    for (size_t e = 0; e < formulaHess_.size(); ++e)
        values[formulaHessPos_[e]] += formulaHess_[e];
    return true;
}

} // namespace nvra
