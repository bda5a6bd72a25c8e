// qcprogram.cpp: values, gradients, violations and cuts of a program with quadratic parts.
#include "solver/qcprogram.h"

#include "nonlinear/evaluator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace nvra {
namespace {

// Sums the values of equal columns and drops zeros.
void merge(std::vector<std::pair<int, double>> &entries) {
    std::sort(entries.begin(), entries.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    size_t out = 0;
    for (size_t k = 0; k < entries.size();) {
        const int col = entries[k].first;
        double sum = 0.0;
        for (; k < entries.size() && entries[k].first == col; ++k)
            sum += entries[k].second;
        if (sum != 0.0) entries[out++] = {col, sum};
    }
    entries.resize(out);
}

double finiteOr(double v, double inf) {
    return std::fabs(v) >= kInf ? inf : v;
}

} // namespace

double quadForm(const QTriplets &P, const double *x) {
    double s = 0.0;
    for (size_t k = 0; k < P.v.size(); ++k) {
        const int i = P.i[k], j = P.j[k];
        s += (i == j ? 1.0 : 2.0) * P.v[k] * x[i] * x[j];
    }
    return s;
}

void addQuadFormGradient(const QTriplets &P, const double *x, double scale, double *g) {
    for (size_t k = 0; k < P.v.size(); ++k) {
        const int i = P.i[k], j = P.j[k];
        const double v = 2.0 * scale * P.v[k];
        if (i == j) {
            g[i] += v * x[i];
        } else {
            g[i] += v * x[j];
            g[j] += v * x[i];
        }
    }
}

// The formulas' values (and Jacobian) at the last point evaluated.
struct QcProgram::FormulaCache {
    nl::Workspace ws;
    std::vector<int> functionOfRow; // per user row: the evaluator's function, or -1
    int objectiveFunction = -1;
    std::vector<double> x, f, jac;
    bool valuesAt = false, jacobianAt = false, failed = false;
    nl::EvalFailure failure;
};

QcProgram::QcProgram(const Image &img, const QuadInfo &quad)
    : img_(img), quad_(quad), quadIndex_(img.userRows, -1) {
    for (size_t k = 0; k < quad.rows.size(); ++k)
        quadIndex_[quad.rows[k].row] = static_cast<int>(k);
}

QcProgram::~QcProgram() = default;

void QcProgram::setFormulas(const nl::Evaluator *ev) {
    ev_ = ev;
    cache_.reset();
    if (!ev) return;
    cache_ = std::make_unique<FormulaCache>();
    FormulaCache &c = *cache_;
    c.ws = ev->workspace();
    c.functionOfRow.assign(img_.userRows, -1);
    for (int k = 0; k < ev->functions(); ++k) {
        const int row = ev->functionRow(k);
        if (row < 0)
            c.objectiveFunction = k;
        else if (row < img_.userRows)
            c.functionOfRow[row] = k;
    }
    c.f.resize(ev->functions());
    c.jac.resize(ev->jacobianCols().size());
}

bool QcProgram::evalFormulas(const double *x, bool jacobian) const {
    if (!ev_) return true;
    FormulaCache &c = *cache_;
    const size_t n = static_cast<size_t>(numCols());
    const bool same =
        c.valuesAt && c.x.size() == n && std::memcmp(c.x.data(), x, n * sizeof(double)) == 0;
    if (same && (c.jacobianAt || !jacobian)) return !c.failed;
    c.x.assign(x, x + n);
    c.jacobianAt = jacobian;
    c.valuesAt = true;
    c.failed = jacobian ? !ev_->jacobian(x, c.f.data(), c.jac.data(), c.ws, c.failure)
                        : !ev_->values(x, c.f.data(), c.ws, c.failure);
    return !c.failed;
}

double QcProgram::formulaRow(int r) const {
    if (!ev_ || r >= img_.userRows) return 0.0;
    if (cache_->failed) return std::numeric_limits<double>::quiet_NaN();
    const int k = cache_->functionOfRow[r];
    return k < 0 ? 0.0 : cache_->f[k];
}

double QcProgram::formulaObjective() const {
    if (!ev_ || cache_->objectiveFunction < 0) return 0.0;
    return cache_->failed ? std::numeric_limits<double>::quiet_NaN()
                          : cache_->f[cache_->objectiveFunction];
}

const std::vector<double> &QcProgram::formulaJacobian() const {
    return cache_->jac;
}

int QcProgram::objectiveFunction() const {
    return ev_ ? cache_->objectiveFunction : -1;
}

int QcProgram::rowFunction(int r) const {
    return ev_ && r < img_.userRows ? cache_->functionOfRow[r] : -1;
}

std::string QcProgram::formulaFailure() const {
    return ev_ && cache_->failed ? cache_->failure.text() : std::string();
}

const nl::EvalFailure *QcProgram::lastFailure() const {
    return ev_ && cache_->failed ? &cache_->failure : nullptr;
}

double QcProgram::rowLower(int r) const {
    return finiteOr(r < img_.userRows ? img_.rowLower[r] : img_.auxLower[r - img_.userRows], -kInf);
}

double QcProgram::rowUpper(int r) const {
    return finiteOr(r < img_.userRows ? img_.rowUpper[r] : img_.auxUpper[r - img_.userRows], kInf);
}

const QuadRow *QcProgram::quadRowOf(int r) const {
    if (r >= img_.userRows || quadIndex_[r] < 0) return nullptr;
    return &quad_.rows[quadIndex_[r]];
}

const QTriplets *QcProgram::quadOf(int r) const {
    return quadRowOf(r) ? &model().qrows.at(r) : nullptr;
}

double QcProgram::activity(int r, const double *x) const {
    if (ev_ && rowFunction(r) >= 0 && !evalFormulas(x))
        return std::numeric_limits<double>::quiet_NaN();
    return plainActivity(r, x) + formulaRow(r);
}

double QcProgram::plainActivity(int r, const double *x) const {
    double s = 0.0;
    forLinear(r, [&](int c, double v) { s += v * x[c]; });
    if (const QTriplets *P = quadOf(r)) s += quadForm(*P, x);
    return s;
}

double QcProgram::objective(const double *x) const {
    double s = img_.offset;
    for (int j = 0; j < img_.userCols; ++j)
        s += img_.cost[j] * x[j];
    if (objectiveFunction() >= 0 && !evalFormulas(x))
        return std::numeric_limits<double>::quiet_NaN();
    return s + 0.5 * quadForm(model().Q, x) + formulaObjective();
}

double QcProgram::curvedObjective(const double *x) const {
    return 0.5 * img_.sense * quadForm(model().Q, x);
}

void QcProgram::addCurvedObjectiveGradient(const double *x, double *g) const {
    addQuadFormGradient(model().Q, x, 0.5 * img_.sense, g);
}

double QcProgram::violation(const double *x, int *where) const {
    double worst = 0.0;
    int at = 0;
    auto consider = [&](double v, int place) {
        if (v > worst) worst = v, at = place;
    };
    for (int j = 0; j < numCols(); ++j) {
        consider(finiteOr(img_.colLower[j], -kInf) - x[j], -1 - j);
        consider(x[j] - finiteOr(img_.colUpper[j], kInf), -1 - j);
    }
    if (!evalFormulas(x)) {
        if (where) *where = 0;
        return kInf;
    }
    for (int r = 0; r < numRows(); ++r) {
        const double lo = rowLower(r), up = rowUpper(r);
        if (lo <= -kInf && up >= kInf) continue;
        const double a = plainActivity(r, x) + formulaRow(r);
        consider(lo - a, r);
        consider(a - up, r);
    }
    if (where) *where = at;
    return worst;
}

double QcProgram::rowExcess(const QuadRow &q, const double *x) const {
    if (q.shape == RowShape::Convex) {
        const double bound = q.orient > 0 ? rowUpper(q.row) : rowLower(q.row);
        return q.orient * (activity(q.row, x) - bound);
    }
    double norm2 = q.wConst * q.wConst;
    for (uint32_t k = q.wBegin; k < q.wEnd; ++k) {
        const double w = quad_.wTerms[k].value(x);
        norm2 += w * w;
    }
    return std::sqrt(norm2) - q.u.value(x);
}

bool QcProgram::coneCut(const QuadRow &q, const double *p, Cut &cut) const {
    cut.entries.clear();
    cut.lower = -kInf;
    // || (w(x), c) || <= u(x) with w(p) / ||(w(p), c)|| as the direction.
    double norm2 = q.wConst * q.wConst;
    for (uint32_t k = q.wBegin; k < q.wEnd; ++k) {
        const double w = quad_.wTerms[k].value(p);
        norm2 += w * w;
    }
    const double norm = std::sqrt(norm2);
    if (norm <= 1e-12) return false;
    for (uint32_t k = q.wBegin; k < q.wEnd; ++k) {
        const Lin2 &t = quad_.wTerms[k];
        const double d = t.value(p) / norm;
        cut.entries.emplace_back(t.col1, d * t.a1);
        if (t.col2 >= 0) cut.entries.emplace_back(t.col2, d * t.a2);
    }
    cut.entries.emplace_back(q.u.col1, -q.u.a1);
    if (q.u.col2 >= 0) cut.entries.emplace_back(q.u.col2, -q.u.a2);
    merge(cut.entries);
    cut.upper = -q.wConst * q.wConst / norm;
    return true;
}

} // namespace nvra
