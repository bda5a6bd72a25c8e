// evaluator.cpp: the problem-level evaluation of formulas (see evaluator.h).
#include "nonlinear/evaluator.h"

#include "nonlinear/nldata.h"

#include <algorithm>
#include <cmath>

namespace nvra::nl {
namespace {

uint64_t pairKey(int32_t i, int32_t j) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(i)) << 32) | static_cast<uint32_t>(j);
}

// The steps of central differences for the arguments of user functions that are columns: the
// derivative step of (column, row) when set, else the column's delta.
void setUserSteps(Tape &t, const NlData &data, int row) {
    for (int i = 0; i < t.size(); ++i) {
        if (t.kind[i] != Node::User) continue;
        for (int32_t s = t.argStart[i]; s < t.argStart[i + 1]; ++s) {
            const int a = t.arg[s];
            if (t.kind[a] != Node::Var) continue;
            const int col = t.cols[t.ref[a]];
            const SlpColumn &c = data.col(col);
            if (const double step = data.df(col, row); step > 0) {
                t.fdAbs[s] = step;
                t.fdRel[s] = 0.0;
            } else if (c.deltaType == NSLP_DELTA_ABSOLUTE) {
                t.fdAbs[s] = c.delta;
                t.fdRel[s] = 0.0;
            } else if (c.deltaType == NSLP_DELTA_RELATIVE) {
                t.fdAbs[s] = 0.0;
                t.fdRel[s] = c.delta;
            }
        }
    }
}

} // namespace

std::string EvalFailure::text() const {
    std::string where = row == NSLP_OBJECTIVE ? "the objective" : "row " + std::to_string(row);
    std::string coef = col == NSLP_NOCOLUMN
                           ? "the formula of " + where
                           : "the coefficient of " + where + " and column " + std::to_string(col);
    return coef + ": " + why + (operation.empty() ? "" : " (" + operation + ")");
}

void Evaluator::build(const NlData &data, int ncols, double fdStep, EvalCounters *counters) {
    *this = Evaluator();
    counters_ = counters;
    users_ = data.userFunctions;
    // Pieces grouped by function: the cells in (row, col) order put the objective first.
    Formula f;
    Tree tree;
    std::string why;
    FormulaContext ctx{ncols, &data.userFunctions};
    for (const auto &[row, col] : data.coefs.cells()) {
        if (functionRow_.empty() || functionRow_.back() != row) {
            functionRow_.push_back(row);
            firstPiece_.push_back(static_cast<int32_t>(pieces_.size()));
        }
        for (int32_t p : data.coefs.cellPieces(row, col)) {
            data.coefs.pieceFormula(p, f);
            analyse(f, ctx, tree, why); // checked on entry: cannot fail
            tapes_.emplace_back();
            compileTape(f, tree, col == NSLP_NOCOLUMN ? -1 : col, fdStep, tapes_.back());
            setUserSteps(tapes_.back(), data, row);
            callsUser_ = callsUser_ || tapes_.back().hasUser;
            pieces_.push_back({row, col, static_cast<int32_t>(functionRow_.size() - 1),
                               data.coefs.pieces[p].factor, 0, 0});
        }
    }
    firstPiece_.push_back(static_cast<int32_t>(pieces_.size()));

    // Jacobian: per function the union of its pieces' columns.
    jacStart_.push_back(0);
    std::vector<int32_t> cols;
    for (int k = 0; k < functions(); ++k) {
        cols.clear();
        for (int p = firstPiece_[k]; p < firstPiece_[k + 1]; ++p)
            cols.insert(cols.end(), tapes_[p].cols.begin(), tapes_[p].cols.end());
        std::sort(cols.begin(), cols.end());
        cols.erase(std::unique(cols.begin(), cols.end()), cols.end());
        for (int p = firstPiece_[k]; p < firstPiece_[k + 1]; ++p) {
            pieces_[p].jacSlot = static_cast<int64_t>(jacSlot_.size());
            for (int32_t c : tapes_[p].cols)
                jacSlot_.push_back(static_cast<int32_t>(
                    jacStart_.back() +
                    (std::lower_bound(cols.begin(), cols.end(), c) - cols.begin())));
        }
        jacCol_.insert(jacCol_.end(), cols.begin(), cols.end());
        jacStart_.push_back(static_cast<int64_t>(jacCol_.size()));
    }

    // Hessian: every piece's pairs as (larger column, smaller column), sorted and merged.
    std::vector<uint64_t> keys;
    std::vector<int32_t> pp, pq;
    for (size_t p = 0; p < tapes_.size(); ++p) {
        const Tape &t = tapes_[p];
        t.hessianPairs(pp, pq);
        pieces_[p].hessSlot = static_cast<int64_t>(hessSlot_.size());
        for (size_t e = 0; e < pp.size(); ++e) {
            const int32_t a = t.cols[pp[e]], b = t.cols[pq[e]];
            keys.push_back(pairKey(std::max(a, b), std::min(a, b)));
            hessSlot_.push_back(0);
        }
    }
    std::vector<uint64_t> sorted = keys;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (uint64_t k : sorted) {
        hessRow_.push_back(static_cast<int32_t>(k >> 32));
        hessCol_.push_back(static_cast<int32_t>(k & 0xffffffffu));
    }
    for (size_t e = 0; e < keys.size(); ++e)
        hessSlot_[e] = static_cast<int32_t>(
            std::lower_bound(sorted.begin(), sorted.end(), keys[e]) - sorted.begin());
}

Workspace Evaluator::workspace() const {
    Workspace ws;
    for (const Tape &t : tapes_)
        ws.reserve(t);
    return ws;
}

EvalFailure describeFailure(const Tape &t, const EvalError &e,
                            const std::vector<UserFunction> &users, int row, int col) {
    EvalFailure fail;
    fail.row = row;
    fail.col = col;
    fail.why = e.why;
    if (e.node >= 0) {
        const Node k = t.kind[e.node];
        if (k == Node::User)
            fail.operation = "user function '" + users[t.ref[e.node]].name + "'";
        else if (const OpInfo *op = nodeInfo(k))
            fail.operation = std::string(op->token == NSLP_TOK_OP ? "operator '" : "function '") +
                             op->name + "'";
    }
    return fail;
}

bool Evaluator::failed(const PieceRef &p, const Tape &t, const EvalError &e,
                       EvalFailure &fail) const {
    fail = describeFailure(t, e, users_, p.row, p.col);
    return false;
}

bool Evaluator::values(const double *x, double *f, Workspace &ws, EvalFailure &fail) const {
    for (int k = 0; k < functions(); ++k) {
        double sum = 0.0;
        for (int p = firstPiece_[k]; p < firstPiece_[k + 1]; ++p) {
            const Tape &t = tapes_[p];
            if (EvalError e = forward(t, users_, x, 0, ws)) return failed(pieces_[p], t, e, fail);
            sum += pieces_[p].factor * ws.v[t.root()];
        }
        f[k] = sum;
    }
    if (counters_) counters_->values += static_cast<int64_t>(tapes_.size());
    return true;
}

bool Evaluator::jacobian(const double *x, double *f, double *jac, Workspace &ws,
                         EvalFailure &fail) const {
    std::fill(jac, jac + jacCol_.size(), 0.0);
    for (int k = 0; k < functions(); ++k) {
        double sum = 0.0;
        for (int p = firstPiece_[k]; p < firstPiece_[k + 1]; ++p) {
            const Tape &t = tapes_[p];
            if (EvalError e = forward(t, users_, x, 1, ws)) return failed(pieces_[p], t, e, fail);
            reverse(t, ws);
            const double w = pieces_[p].factor;
            sum += w * ws.v[t.root()];
            const int32_t *slot = jacSlot_.data() + pieces_[p].jacSlot;
            for (int v = 0; v < t.nvars(); ++v)
                jac[slot[v]] += w * ws.grad[v];
        }
        f[k] = sum;
    }
    if (counters_) counters_->gradients += static_cast<int64_t>(tapes_.size());
    return true;
}

bool Evaluator::hessian(const double *x, double sigma, const double *lambda, double *hess,
                        Workspace &ws, EvalFailure &fail) const {
    std::fill(hess, hess + hessRow_.size(), 0.0);
    for (size_t p = 0; p < tapes_.size(); ++p) {
        const Tape &t = tapes_[p];
        const PieceRef &ref = pieces_[p];
        const double w = ref.factor * (ref.row == NSLP_OBJECTIVE ? sigma : lambda[ref.row]);
        if (w == 0 || t.terms.empty()) continue;
        if (EvalError e = forward(t, users_, x, 1, ws)) return failed(ref, t, e, fail);
        reverse(t, ws);
        if (EvalError e = addHessian(t, users_, w, hessSlot_.data() + ref.hessSlot, hess, ws))
            return failed(ref, t, e, fail);
    }
    if (counters_) counters_->hessians += static_cast<int64_t>(tapes_.size());
    return true;
}

} // namespace nvra::nl
