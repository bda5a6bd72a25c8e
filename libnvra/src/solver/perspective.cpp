// perspective.cpp: on/off columns, the diagonal split of a convex form and perspective cuts (see
// perspective.h).
#include "solver/perspective.h"

#include "solver/convexity.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace nvra {
namespace {

constexpr double kMaxWork = 2e8;      // multiply-adds of the solves with the factor
constexpr int kMaxTerms = 2000;       // on/off columns of one form (the scaled inverse is dense)
constexpr int kPowerSteps = 200;      // power iterations for the largest eigenvalue
constexpr double kFirstShare = 0.999; // of the estimated largest diagonal, tried first
constexpr double kShrink = 0.9;       // on each failed confirmation
constexpr int kTries = 8;

// u = M^-1 e_k for M = L D L' as factorised (k an elimination index); u is overwritten.
void solveUnit(const LdlFactor &f, int k, std::vector<double> &u) {
    const int p = static_cast<int>(f.d.size());
    std::fill(u.begin(), u.end(), 0.0);
    u[k] = 1.0;
    for (int c = k; c < p; ++c)
        for (const auto &[r, l] : f.below[c])
            u[r] -= l * u[c];
    for (int c = 0; c < p; ++c)
        u[c] /= f.d[c];
    for (int c = p - 1; c >= 0; --c)
        for (const auto &[r, l] : f.below[c])
            u[c] -= l * u[r];
}

// The largest eigenvalue of the symmetric positive semi-definite matrix W (dense, n x n),
// estimated from below by power iteration.
double largestEigenvalue(const std::vector<double> &W, int n) {
    std::vector<double> v(n, 1.0 / std::sqrt(static_cast<double>(n))), w(n);
    double lambda = 0.0;
    for (int step = 0; step < kPowerSteps; ++step) {
        double norm = 0.0, rayleigh = 0.0;
        for (int a = 0; a < n; ++a) {
            double s = 0.0;
            for (int b = 0; b < n; ++b)
                s += W[static_cast<size_t>(a) * n + b] * v[b];
            w[a] = s;
            rayleigh += s * v[a];
            norm += s * s;
        }
        norm = std::sqrt(norm);
        if (norm <= 0.0) return 0.0;
        for (int a = 0; a < n; ++a)
            v[a] = w[a] / norm;
        const bool settled = std::fabs(rayleigh - lambda) <= 1e-9 * rayleigh;
        lambda = rayleigh;
        if (settled) break;
    }
    return lambda;
}

} // namespace

std::vector<PerspectiveTerms::OnOff> PerspectiveTerms::findOnOff(const QcProgram &qp,
                                                                 const std::vector<int> &cols) {
    const Image &img = qp.image();
    auto binary = [&](int j) {
        return img.colType[j] != kHighsVarTypeContinuous && img.colLower[j] == 0.0 &&
               img.colUpper[j] == 1.0;
    };
    auto nonNegative = [&](int j) {
        return img.colType[j] == kHighsVarTypeContinuous && img.colLower[j] >= 0.0;
    };
    std::unordered_map<int, int> switchOf; // column -> its binary column
    for (int r = 0; r < qp.numRows(); ++r) {
        if (qp.quadOf(r)) continue;
        int n = 0, c[2] = {-1, -1};
        double a[2] = {0.0, 0.0};
        qp.forLinear(r, [&](int col, double v) {
            if (n < 2) c[n] = col, a[n] = v;
            ++n;
        });
        if (n != 2) continue;
        // Oriented as s * row <= 0.
        const double s = qp.rowUpper(r) == 0.0 ? 1.0 : qp.rowLower(r) == 0.0 ? -1.0 : 0.0;
        for (int x = 0; x < 2 && s != 0.0; ++x) {
            const int z = 1 - x;
            if (s * a[x] > 0.0 && s * a[z] < 0.0 && nonNegative(c[x]) && binary(c[z]))
                switchOf.emplace(c[x], c[z]);
        }
    }
    std::vector<OnOff> found;
    for (int j : cols)
        if (auto it = switchOf.find(j); it != switchOf.end()) found.push_back({j, it->second});
    return found;
}

void PerspectiveTerms::split(const QcProgram &qp, const QTriplets &P, int sign, double relTol,
                             QTriplets &remainder) {
    remainder = P;
    for (double &v : remainder.v)
        v *= sign;
    terms_.clear();
    d_.clear();
    LdlFactor f;
    if (factorSemidefinite(P, sign, relTol, &f) != Convexity::Convex) return;
    for (double pivot : f.d)
        if (pivot <= 0.0) return; // singular: no share of a column is its own
    std::vector<int> storeCols = f.cols;
    std::sort(storeCols.begin(), storeCols.end());
    std::vector<OnOff> onOff = findOnOff(qp, storeCols);
    const int n = static_cast<int>(onOff.size());
    size_t nnzL = f.d.size();
    for (const auto &col : f.below)
        nnzL += col.size();
    if (n == 0 || n > kMaxTerms || static_cast<double>(n) * nnzL > kMaxWork) return;

    // The inverse on the on/off columns, scaled to a unit diagonal: W = V^1/2 (P^-1)_JJ V^1/2
    // with v_a = 1 / (P^-1)_aa. P - alpha V is semi-definite exactly for alpha <= 1 /
    // lambda_max(W).
    std::unordered_map<int, int> position; // store column -> elimination index
    for (size_t k = 0; k < f.cols.size(); ++k)
        position.emplace(f.cols[k], static_cast<int>(k));
    std::vector<double> inverse(static_cast<size_t>(n) * n), u(f.d.size());
    for (int a = 0; a < n; ++a) {
        solveUnit(f, position.at(onOff[a].x), u);
        for (int b = 0; b < n; ++b)
            inverse[static_cast<size_t>(a) * n + b] = u[position.at(onOff[b].x)];
    }
    std::vector<double> v(n);
    for (int a = 0; a < n; ++a)
        v[a] = 1.0 / inverse[static_cast<size_t>(a) * n + a];
    for (int a = 0; a < n; ++a)
        for (int b = 0; b < n; ++b)
            inverse[static_cast<size_t>(a) * n + b] *= std::sqrt(v[a] * v[b]);
    const double lambda = largestEigenvalue(inverse, n);
    if (!(lambda > 0.0)) return;

    std::unordered_map<int, size_t> diagonal; // store column -> its diagonal triplet
    for (size_t k = 0; k < P.v.size(); ++k)
        if (P.i[k] == P.j[k]) diagonal.emplace(P.i[k], k);
    double alpha = kFirstShare / lambda;
    for (int attempt = 0; attempt < kTries; ++attempt, alpha *= kShrink) {
        QTriplets R = remainder;
        for (int a = 0; a < n; ++a)
            R.v[diagonal.at(onOff[a].x)] -= alpha * v[a];
        if (checkSemidefinite(R, 1, relTol) != Convexity::Convex) continue;
        remainder = std::move(R);
        terms_ = std::move(onOff);
        for (int a = 0; a < n; ++a)
            d_.push_back(alpha * v[a]);
        points_.assign(terms_.size(), {});
        return;
    }
}

void PerspectiveTerms::addTo(Image &master, double pCost) {
    pBase_ = master.numCols();
    for (int i = 0; i < numTerms(); ++i)
        master.cost[master.addCol(0.0, kInf, kHighsVarTypeContinuous)] = pCost;
}

double PerspectiveTerms::value(const double *x) const {
    double s = 0.0;
    for (int i = 0; i < numTerms(); ++i) {
        const double xi = x[terms_[i].x], zi = x[terms_[i].z];
        if (zi > 0.0) s += d_[i] * xi * xi / zi;
    }
    return s;
}

double PerspectiveTerms::modelled(const double *xm) const {
    double s = 0.0;
    for (int i = 0; i < numTerms(); ++i)
        s += xm[pBase_ + i];
    return s;
}

void PerspectiveTerms::fillStart(const double *x, double *masterPoint) const {
    for (int i = 0; i < numTerms(); ++i) {
        const double xi = x[terms_[i].x], zi = x[terms_[i].z];
        masterPoint[pBase_ + i] = zi > 0.0 ? d_[i] * xi * xi / zi : 0.0;
    }
}

bool PerspectiveTerms::cut(int i, double v, Cut &c) {
    for (double p : points_[i])
        if (std::fabs(p - v) <= 1e-9 * (1.0 + std::fabs(v))) return false;
    points_[i].push_back(v);
    const double d = d_[i];
    c.entries = {{pBase_ + i, 1.0}, {terms_[i].x, -2.0 * d * v}, {terms_[i].z, d * v * v}};
    c.lower = 0.0;
    c.upper = kInf;
    return true;
}

void PerspectiveTerms::shortfallCuts(const double *xm, std::vector<Cut> &cuts) {
    Cut c;
    for (int i = 0; i < numTerms(); ++i) {
        const double xi = xm[terms_[i].x], zi = xm[terms_[i].z];
        if (zi <= 0.0) continue;
        const double curve = d_[i] * xi * xi / zi;
        if (curve - xm[pBase_ + i] > 1e-12 * (1.0 + curve) && cut(i, xi / zi, c)) cuts.push_back(c);
    }
}

void PerspectiveTerms::cutsAt(const double *x, std::vector<Cut> &cuts) {
    Cut c;
    for (int i = 0; i < numTerms(); ++i) {
        const double xi = x[terms_[i].x], zi = x[terms_[i].z];
        if (zi > 0.0 && xi > 0.0 && cut(i, xi / zi, c)) cuts.push_back(c);
    }
}

} // namespace nvra
