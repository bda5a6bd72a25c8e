// activity.cpp: values of rows and of the objective at a point (see activity.h).
#include "nonlinear/activity.h"

#include <algorithm>
#include <cmath>

namespace nvra::nl {
namespace {

// The value of quadratic triplets at x times scale, and with col >= 0 its derivative by col.
// Triplets (i, i, v) stand for v x_i^2 and (i, j, v), i < j, for 2 v x_i x_j (rows; the objective
// passes scale 0.5 for its 0.5 x'Qx).
double quadratic(const QTriplets &q, double scale, const double *x, int col, double *partial) {
    double v = 0.0, d = 0.0;
    for (size_t k = 0; k < q.v.size(); ++k) {
        const int i = q.i[k], j = q.j[k];
        const double w = (i == j ? 1.0 : 2.0) * q.v[k];
        v += w * x[i] * x[j];
        if (i == col) d += w * x[j];
        if (j == col) d += w * x[i];
    }
    if (partial) *partial = scale * d;
    return scale * v;
}

} // namespace

RowFunction::RowFunction(NSLPprob nl, int row)
    : m_(nl->prob->model), users_(nl->data.userFunctions), row_(row) {
    if (row == NSLP_OBJECTIVE) {
        for (int j = 0; j < m_.numCols(); ++j)
            if (m_.cost[j] != 0) {
                linCols_.push_back(j);
                linVals_.push_back(m_.cost[j]);
            }
        constant_ = m_.objConstant;
        q_ = &m_.Q;
        qScale_ = 0.5;
    } else {
        for (int64_t p = m_.A.start[row]; p < m_.A.start[row + 1]; ++p) {
            linCols_.push_back(m_.A.index[p]);
            linVals_.push_back(m_.A.value[p]);
        }
        if (auto it = m_.qrows.find(row); it != m_.qrows.end()) q_ = &it->second;
    }
    const FormulaContext ctx = formulaContext(nl);
    Formula f;
    Tree tree;
    std::string why;
    const double step = dblControl(nl, kNlCtrlFdStep);
    for (const auto &[r, c] : nl->data.coefs.cells()) {
        if (r != row) continue;
        for (int32_t p : nl->data.coefs.cellPieces(r, c)) {
            nl->data.coefs.pieceFormula(p, f);
            analyse(f, ctx, tree, why); // checked on entry: cannot fail
            tapes_.emplace_back();
            compileTape(f, tree, c == NSLP_NOCOLUMN ? -1 : c, step, tapes_.back());
            ws_.reserve(tapes_.back());
            factors_.push_back(nl->data.coefs.pieces[p].factor);
            pieceCols_.push_back(c);
        }
    }
}

bool RowFunction::evaluate(const double *x, int col, RowValue &value, double *partial,
                           EvalFailure &fail) {
    value = RowValue();
    value.linear = constant_;
    double d = 0.0;
    for (size_t k = 0; k < linCols_.size(); ++k) {
        value.linear += linVals_[k] * x[linCols_[k]];
        if (linCols_[k] == col) d += linVals_[k];
    }
    if (q_) {
        double dq = 0.0;
        value.quadratic = quadratic(*q_, qScale_, x, col, &dq);
        d += dq;
    }
    for (size_t p = 0; p < tapes_.size(); ++p) {
        const Tape &t = tapes_[p];
        if (EvalError e = forward(t, users_, x, col >= 0 ? 1 : 0, ws_)) {
            fail = describeFailure(t, e, users_, row_, pieceCols_[p]);
            return false;
        }
        value.nonlinear += factors_[p] * ws_.v[t.root()];
        if (col < 0) continue;
        const auto it = std::lower_bound(t.cols.begin(), t.cols.end(), col);
        if (it == t.cols.end() || *it != col) continue;
        reverse(t, ws_);
        d += factors_[p] * ws_.grad[it - t.cols.begin()];
    }
    if (partial) *partial = d;
    return true;
}

int evaluationError(NSLPprob nl, const char *fn, const EvalFailure &fail) {
    return nlError(nl, NVRA_RC_ENGINE, "%s: evaluating %s", fn, fail.text().c_str());
}

int rowValue(NSLPprob nl, const char *fn, int row, const double *x, RowValue &out) {
    RowFunction f(nl, row);
    EvalFailure fail;
    if (!f.evaluate(x, -1, out, nullptr, fail)) return evaluationError(nl, fn, fail);
    return 0;
}

int allRowValues(NSLPprob nl, const char *fn, const double *x, std::vector<double> &rows,
                 double &objective) {
    const Model &m = nl->prob->model;
    rows.assign(static_cast<size_t>(m.numRows()), 0.0);
    for (int i = 0; i < m.numRows(); ++i)
        for (int64_t p = m.A.start[i]; p < m.A.start[i + 1]; ++p)
            rows[i] += m.A.value[p] * x[m.A.index[p]];
    for (const auto &[i, q] : m.qrows)
        rows[i] += quadratic(q, 1.0, x, -1, nullptr);
    objective = m.objConstant + quadratic(m.Q, 0.5, x, -1, nullptr);
    for (int j = 0; j < m.numCols(); ++j)
        objective += m.cost[j] * x[j];
    Evaluator ev;
    ev.build(nl->data, m.numCols(), dblControl(nl, kNlCtrlFdStep), &nl->counters);
    Workspace ws = ev.workspace();
    std::vector<double> f(static_cast<size_t>(ev.functions()));
    EvalFailure fail;
    if (!ev.values(x, f.data(), ws, fail)) return evaluationError(nl, fn, fail);
    for (int k = 0; k < ev.functions(); ++k) {
        const int r = ev.functionRow(k);
        (r == NSLP_OBJECTIVE ? objective : rows[r]) += f[k];
    }
    return 0;
}

void rowBounds(const Model &m, int i, double &lo, double &hi) {
    const double rhs = m.rhs[i];
    lo = -kInf;
    hi = kInf;
    switch (m.rowtype[i]) {
    case 'L':
        hi = rhs;
        break;
    case 'G':
        lo = rhs;
        break;
    case 'E':
        lo = hi = rhs;
        break;
    case 'R':
        lo = rhs - m.range[i];
        hi = rhs;
        break;
    default:
        break;
    }
}

double rowViolation(const Model &m, int i, double value) {
    double lo, hi;
    rowBounds(m, i, lo, hi);
    return std::max({0.0, lo > -kInf ? lo - value : 0.0, hi < kInf ? value - hi : 0.0});
}

bool readsColumn(const NlData &d, int col) {
    for (const Piece &p : d.coefs.pieces) {
        if (p.row == Coefficients::kDead) continue;
        if (p.col == col) return true;
        for (int64_t k = p.begin; k < p.begin + p.length; ++k)
            if (d.coefs.type[k] == NSLP_TOK_COL && d.coefs.value[k] == col) return true;
    }
    return false;
}

std::vector<int32_t> columnsOfRow(NSLPprob nl, int row) {
    const Model &m = nl->prob->model;
    std::vector<int32_t> cols(m.A.index.begin() + m.A.start[row],
                              m.A.index.begin() + m.A.start[row + 1]);
    if (auto it = m.qrows.find(row); it != m.qrows.end()) {
        cols.insert(cols.end(), it->second.i.begin(), it->second.i.end());
        cols.insert(cols.end(), it->second.j.begin(), it->second.j.end());
    }
    const Coefficients &c = nl->data.coefs;
    for (const auto &[r, col] : c.cells()) {
        if (r != row) continue;
        if (col >= 0) cols.push_back(col);
        for (int32_t p : c.cellPieces(r, col))
            for (int64_t k = c.pieces[p].begin; k < c.pieces[p].begin + c.pieces[p].length; ++k)
                if (c.type[k] == NSLP_TOK_COL) cols.push_back(static_cast<int32_t>(c.value[k]));
    }
    std::sort(cols.begin(), cols.end());
    cols.erase(std::unique(cols.begin(), cols.end()), cols.end());
    return cols;
}

} // namespace nvra::nl
