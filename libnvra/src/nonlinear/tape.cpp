// tape.cpp: compilation and evaluation of tapes (see tape.h).
#include "nonlinear/tape.h"

#include <algorithm>
#include <cmath>

namespace nvra::nl {
namespace {

thread_local bool tlUserError = false;

// The relative step of the second differences of user functions without derivatives
// (the fourth root of the machine epsilon).
constexpr double kSecondStep = 1.220703125e-4;

// ---- user functions ---------------------------------------------------------------------------

// One call of user function u at args (n of them): the value, and with want != null the
// derivatives of the arguments whose want entry is non-zero (from the function itself or by
// central differences with steps).
struct UserCaller {
    const UserFunction &u;
    Workspace &ws;

    bool value(const double *args, double &v) {
        tlUserError = false;
        if (u.type == NSLP_USERFUNC_VALUE) {
            v = reinterpret_cast<NSLPuserfuncvalue>(u.fn)(args, u.data);
            return !tlUserError && std::isfinite(v);
        }
        const int rc =
            reinterpret_cast<NSLPuserfuncderivs>(u.fn)(args, nullptr, &v, nullptr, u.data);
        return rc == 0 && !tlUserError && std::isfinite(v);
    }

    // Value and derivatives (into deriv, n entries; 0 where want is 0).
    bool derivatives(double *args, int n, const double *want, const double *step, double &v,
                     double *deriv) {
        std::fill(deriv, deriv + n, 0.0);
        if (u.type == NSLP_USERFUNC_DERIVS) {
            tlUserError = false;
            const int rc =
                reinterpret_cast<NSLPuserfuncderivs>(u.fn)(args, want, &v, deriv, u.data);
            if (rc != 0 || tlUserError || !std::isfinite(v)) return false;
            for (int k = 0; k < n; ++k)
                if (want[k] == 0)
                    deriv[k] = 0;
                else if (!std::isfinite(deriv[k]))
                    return false;
            return true;
        }
        if (!value(args, v)) return false;
        for (int k = 0; k < n; ++k) {
            if (want[k] == 0) continue;
            const double a = args[k], h = step[k];
            double fp, fm;
            args[k] = a + h;
            const bool ok = value(args, fp);
            args[k] = a - h;
            const bool ok2 = ok && value(args, fm);
            args[k] = a;
            if (!ok2) return false;
            deriv[k] = (fp - fm) / (2 * h);
        }
        return true;
    }

    // The n x n Hessian (row-major into H) of the arguments whose want entry is non-zero.
    bool hessian(double *args, int n, const double *want, const double *step, double *H) {
        std::fill(H, H + n * n, 0.0);
        double v;
        if (u.type == NSLP_USERFUNC_DERIVS) {
            double *gp = ws.uplus.data(), *gm = ws.uminus.data();
            for (int j = 0; j < n; ++j) {
                if (want[j] == 0) continue;
                const double a = args[j], h = step[j];
                args[j] = a + h;
                const bool ok = derivatives(args, n, want, step, v, gp);
                args[j] = a - h;
                const bool ok2 = ok && derivatives(args, n, want, step, v, gm);
                args[j] = a;
                if (!ok2) return false;
                for (int i = 0; i < n; ++i)
                    H[i * n + j] = (gp[i] - gm[i]) / (2 * h);
            }
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < i; ++j)
                    H[i * n + j] = H[j * n + i] = 0.5 * (H[i * n + j] + H[j * n + i]);
            return true;
        }
        double f0;
        if (!value(args, f0)) return false;
        auto at = [&](int i, double si, int j, double sj, double &out) {
            const double ai = args[i], aj = args[j];
            args[i] += si;
            args[j] += sj;
            const bool ok = value(args, out);
            args[i] = ai;
            args[j] = aj;
            return ok;
        };
        for (int i = 0; i < n; ++i) {
            if (want[i] == 0) continue;
            const double hi = kSecondStep * std::max(1.0, std::fabs(args[i]));
            double fp, fm;
            if (!at(i, hi, i, 0, fp) || !at(i, -hi, i, 0, fm)) return false;
            H[i * n + i] = (fp - 2 * f0 + fm) / (hi * hi);
            for (int j = 0; j < i; ++j) {
                if (want[j] == 0) continue;
                const double hj = kSecondStep * std::max(1.0, std::fabs(args[j]));
                double fpp, fpm, fmp, fmm;
                if (!at(i, hi, j, hj, fpp) || !at(i, hi, j, -hj, fpm) || !at(i, -hi, j, hj, fmp) ||
                    !at(i, -hi, j, -hj, fmm))
                    return false;
                H[i * n + j] = H[j * n + i] = (fpp - fpm - fmp + fmm) / (4 * hi * hj);
            }
        }
        return true;
    }
};

const char *kUserFailed = "a user function failed or returned a value that is not finite";

// Gathers node i's user-function arguments, their wanted derivatives and steps into ws.
void userArgs(const Tape &t, int i, Workspace &ws) {
    const int b = t.argStart[i], n = t.argStart[i + 1] - b;
    for (int k = 0; k < n; ++k) {
        const int a = t.arg[b + k];
        const double x = ws.v[a];
        ws.uargs[k] = x;
        ws.ustep[k] = t.fdAbs[b + k] + t.fdRel[b + k] * std::max(1.0, std::fabs(x));
        // A constant argument needs no derivative.
        ws.uwant[k] = t.kind[a] == Node::Const ? 0.0 : 1.0;
    }
}

} // namespace

void setUserFunctionError() {
    tlUserError = true;
}

void Tape::hessianPairs(std::vector<int32_t> &p, std::vector<int32_t> &q) const {
    p.clear();
    q.clear();
    p.reserve(pairCount);
    q.reserve(pairCount);
    for (const Term &term : terms) {
        const int32_t *va = lists.data() + term.la, *vb = lists.data() + term.lb;
        for (int i = 0; i < term.na; ++i) {
            const int jn = term.a == term.b ? i + 1 : term.nb;
            for (int j = 0; j < jn; ++j) {
                p.push_back(va[i]);
                q.push_back(vb[j]);
            }
        }
    }
}

void compileTape(const Formula &f, const Tree &tr, int outCol, double fdStep, Tape &t) {
    t = Tape();
    const int n = tr.size();
    // Nodes kept: not inside a constant subtree (its root is kept as one constant), and not a
    // pwl breakpoint.
    std::vector<int32_t> parent(n, -1), newIndex(n, -1);
    std::vector<uint8_t> breakpoint(n, 0);
    for (int i = 0; i < n; ++i) {
        const int32_t *a = tr.args(i);
        for (int k = 0; k < tr.nargs(i); ++k) {
            parent[a[k]] = i;
            if (k > 0 && nodeKind(f, tr, i) == Node::Pwl) breakpoint[a[k]] = 1;
        }
    }
    // Local variables: the distinct columns, increasing.
    for (int i = 0; i < n; ++i)
        if (f.type[tr.tok[i]] == NSLP_TOK_COL)
            t.cols.push_back(static_cast<int32_t>(f.value[tr.tok[i]]));
    if (outCol >= 0) t.cols.push_back(outCol);
    std::sort(t.cols.begin(), t.cols.end());
    t.cols.erase(std::unique(t.cols.begin(), t.cols.end()), t.cols.end());
    auto local = [&](int col) {
        return static_cast<int32_t>(std::lower_bound(t.cols.begin(), t.cols.end(), col) -
                                    t.cols.begin());
    };
    auto addNode = [&](Node k, double c, int32_t ref, const int32_t *args, int nargs) {
        const int idx = t.size();
        t.kind.push_back(k);
        t.cval.push_back(c);
        t.ref.push_back(ref);
        int32_t first = idx;
        for (int j = 0; j < nargs; ++j) {
            t.arg.push_back(args[j]);
            t.fdAbs.push_back(0.0);
            t.fdRel.push_back(fdStep);
            first = std::min(first, t.first[args[j]]);
        }
        t.argStart.push_back(static_cast<int32_t>(t.arg.size()));
        t.first.push_back(first);
        t.pwlCount.push_back(0);
        return idx;
    };
    t.argStart.push_back(0);
    std::vector<int32_t> args;
    for (int i = 0; i < n; ++i) {
        if (breakpoint[i]) continue;
        if (tr.constant[i]) {
            if (parent[i] >= 0 && tr.constant[parent[i]]) continue;
            newIndex[i] = addNode(Node::Const, tr.cval[i], 0, nullptr, 0);
            continue;
        }
        const Node k = nodeKind(f, tr, i);
        const double v = f.value[tr.tok[i]];
        args.clear();
        const int32_t *a = tr.args(i);
        const int na = k == Node::Pwl ? 1 : tr.nargs(i);
        for (int j = 0; j < na; ++j)
            args.push_back(newIndex[a[j]]);
        int32_t ref = 0;
        if (k == Node::Var)
            ref = local(static_cast<int>(v));
        else if (k == Node::User)
            ref = static_cast<int32_t>(v) - 1;
        else if (k == Node::Pow)
            ref = tr.constant[a[1]];
        else if (k == Node::Pwl)
            ref = static_cast<int32_t>(t.pwl.size());
        newIndex[i] = addNode(k, 0.0, ref, args.data(), na);
        if (k == Node::Pwl) {
            for (int j = 1; j < tr.nargs(i); ++j)
                t.pwl.push_back(tr.cval[a[j]]);
            t.pwlCount.back() = (tr.nargs(i) - 1) / 2;
        }
        if (k == Node::User) t.hasUser = true;
    }
    if (outCol >= 0) {
        const int32_t pair[2] = {static_cast<int32_t>(t.size() - 1),
                                 addNode(Node::Var, 0.0, local(outCol), nullptr, 0)};
        addNode(Node::Mul, 0.0, 0, pair, 2);
    }

    // Hessian terms: the argument pairs with a second derivative that may be non-zero.
    std::vector<uint8_t> hasVars(t.size(), 0);
    for (int i = 0; i < t.size(); ++i) {
        hasVars[i] = t.kind[i] == Node::Var;
        for (int32_t k = t.argStart[i]; k < t.argStart[i + 1]; ++k)
            hasVars[i] |= hasVars[t.arg[k]];
    }
    std::vector<int32_t> listOf(t.size(), -1), listLen(t.size(), 0);
    auto listFor = [&](int node) {
        if (listOf[node] < 0) {
            listOf[node] = static_cast<int32_t>(t.lists.size());
            for (int i = t.first[node]; i <= node; ++i)
                if (t.kind[i] == Node::Var) t.lists.push_back(t.ref[i]);
            std::sort(t.lists.begin() + listOf[node], t.lists.end());
            t.lists.erase(std::unique(t.lists.begin() + listOf[node], t.lists.end()),
                          t.lists.end());
            listLen[node] = static_cast<int32_t>(t.lists.size()) - listOf[node];
        }
    };
    auto addTerm = [&](int node, int pa, int pb) {
        const int32_t a = t.arg[t.argStart[node] + pa], b = t.arg[t.argStart[node] + pb];
        if (!hasVars[a] || !hasVars[b]) return;
        listFor(a);
        listFor(b);
        Tape::Term term{node, pa, pb, listOf[a], listOf[b], listLen[a], listLen[b], t.pairCount};
        t.pairCount += pa == pb ? int64_t(term.na) * (term.na + 1) / 2 : int64_t(term.na) * term.nb;
        t.terms.push_back(term);
    };
    for (int i = 0; i < t.size(); ++i) {
        const int na = t.argStart[i + 1] - t.argStart[i];
        switch (t.kind[i]) {
        case Node::Mul:
            addTerm(i, 0, 1);
            break;
        case Node::Div:
            addTerm(i, 0, 1);
            addTerm(i, 1, 1);
            break;
        case Node::Pow:
            if (t.ref[i]) {
                const double c = t.cval[t.arg[t.argStart[i] + 1]];
                if (c != 0 && c != 1) addTerm(i, 0, 0);
            } else {
                addTerm(i, 0, 0);
                addTerm(i, 0, 1);
                addTerm(i, 1, 1);
            }
            break;
        case Node::Prod:
            for (int a = 0; a < na; ++a)
                for (int b = a + 1; b < na; ++b)
                    addTerm(i, a, b);
            break;
        case Node::User:
            for (int a = 0; a < na; ++a)
                for (int b = a; b < na; ++b)
                    addTerm(i, a, b);
            break;
        default:
            if (curved(t.kind[i])) addTerm(i, 0, 0);
        }
    }
}

void Workspace::reserve(const Tape &t) {
    auto grow = [](std::vector<double> &v, size_t n) {
        if (v.size() < n) v.resize(n, 0.0);
    };
    grow(v, t.size());
    grow(adj, t.size());
    grow(sadj, t.size());
    grow(d, t.arg.size());
    grow(grad, t.cols.size());
    grow(dense, t.cols.size());
    size_t longest = 0, userArgs = 0;
    for (const Tape::Term &term : t.terms)
        longest = std::max<size_t>(longest, std::max(term.na, term.nb));
    for (int i = 0; i < t.size(); ++i)
        if (t.kind[i] == Node::User)
            userArgs = std::max<size_t>(userArgs, t.argStart[i + 1] - t.argStart[i]);
    grow(ga, longest);
    grow(gb, longest);
    for (auto *u : {&uargs, &uwant, &uplus, &uminus, &ustep})
        grow(*u, userArgs);
    grow(uhess, userArgs * userArgs);
}

EvalError forward(const Tape &t, const std::vector<UserFunction> &users, const double *x, int order,
                  Workspace &ws) {
    double *v = ws.v.data(), *d = ws.d.data();
    const int32_t *arg = t.arg.data(), *start = t.argStart.data();
    const int n = t.size();
    for (int i = 0; i < n; ++i) {
        const int32_t s = start[i];
        switch (t.kind[i]) {
        case Node::Const:
            v[i] = t.cval[i];
            break;
        case Node::Var:
            v[i] = x[t.cols[t.ref[i]]];
            break;
        case Node::Neg:
            v[i] = -v[arg[s]];
            d[s] = -1.0;
            break;
        case Node::Add:
            v[i] = v[arg[s]] + v[arg[s + 1]];
            d[s] = d[s + 1] = 1.0;
            break;
        case Node::Sub:
            v[i] = v[arg[s]] - v[arg[s + 1]];
            d[s] = 1.0;
            d[s + 1] = -1.0;
            break;
        case Node::Mul: {
            const double a = v[arg[s]], b = v[arg[s + 1]];
            v[i] = a * b;
            d[s] = b;
            d[s + 1] = a;
            break;
        }
        case Node::Div: {
            const double a = v[arg[s]], b = v[arg[s + 1]];
            if (b == 0) return {i, "division by zero"};
            v[i] = a / b;
            d[s] = 1.0 / b;
            d[s + 1] = -v[i] / b;
            break;
        }
        case Node::Pow: {
            double g[2], h[3];
            if (const char *why =
                    powEval(v[arg[s]], v[arg[s + 1]], t.ref[i] != 0, order, v[i], g, h))
                return {i, why};
            d[s] = g[0];
            d[s + 1] = g[1];
            break;
        }
        case Node::Sum:
        case Node::Min:
        case Node::Max: {
            const int32_t e = start[i + 1];
            double acc = v[arg[s]];
            int32_t best = s;
            for (int32_t k = s + 1; k < e; ++k) {
                const double a = v[arg[k]];
                if (t.kind[i] == Node::Sum)
                    acc += a;
                else if (t.kind[i] == Node::Min ? a < acc : a > acc)
                    acc = a, best = k;
            }
            v[i] = acc;
            if (order > 0)
                for (int32_t k = s; k < e; ++k)
                    d[k] = t.kind[i] == Node::Sum || k == best ? 1.0 : 0.0;
            break;
        }
        case Node::Prod: {
            const int32_t e = start[i + 1];
            double acc = 1.0;
            for (int32_t k = s; k < e; ++k)
                acc *= v[arg[k]];
            v[i] = acc;
            if (order > 0)
                for (int32_t k = s; k < e; ++k) {
                    double others = 1.0;
                    for (int32_t m = s; m < e; ++m)
                        if (m != k) others *= v[arg[m]];
                    d[k] = others;
                }
            break;
        }
        case Node::Pwl:
            pwlEval(v[arg[s]], t.pwl.data() + t.ref[i], t.pwlCount[i], v[i], d[s]);
            break;
        case Node::User: {
            const int na = start[i + 1] - s;
            userArgs(t, i, ws);
            UserCaller call{users[t.ref[i]], ws};
            const bool ok = order > 0 ? call.derivatives(ws.uargs.data(), na, ws.uwant.data(),
                                                         ws.ustep.data(), v[i], d + s)
                                      : call.value(ws.uargs.data(), v[i]);
            if (!ok) return {i, kUserFailed};
            break;
        }
        default: {
            double d2;
            if (const char *why = unaryEval(t.kind[i], v[arg[s]], order, v[i], d[s], d2))
                return {i, why};
        }
        }
        if (!std::isfinite(v[i])) return {i, "a result that is not finite"};
    }
    return {};
}

void reverse(const Tape &t, Workspace &ws) {
    double *adj = ws.adj.data(), *grad = ws.grad.data();
    const double *d = ws.d.data();
    const int32_t *arg = t.arg.data(), *start = t.argStart.data();
    std::fill(grad, grad + t.nvars(), 0.0);
    adj[t.root()] = 1.0;
    for (int i = t.root(); i >= 0; --i) {
        const double a = adj[i];
        if (t.kind[i] == Node::Var) {
            grad[t.ref[i]] += a;
            continue;
        }
        for (int32_t k = start[i]; k < start[i + 1]; ++k)
            adj[arg[k]] = a * d[k];
    }
}

namespace {

// The gradient of node's subtree with respect to the variables list[0..n) into out.
void subtreeGradient(const Tape &t, int node, const int32_t *list, int n, double *out,
                     Workspace &ws) {
    double *sadj = ws.sadj.data(), *dense = ws.dense.data();
    const double *d = ws.d.data();
    sadj[node] = 1.0;
    for (int i = node; i >= t.first[node]; --i) {
        const double a = sadj[i];
        if (t.kind[i] == Node::Var) {
            dense[t.ref[i]] += a;
            continue;
        }
        for (int32_t k = t.argStart[i]; k < t.argStart[i + 1]; ++k)
            sadj[t.arg[k]] = a * d[k];
    }
    for (int j = 0; j < n; ++j) {
        out[j] = dense[list[j]];
        dense[list[j]] = 0.0;
    }
}

// The second derivative d2 node / (d arg_a d arg_b) at the current values.
EvalError secondDerivative(const Tape &t, const std::vector<UserFunction> &users,
                           const Tape::Term &term, Workspace &ws, int &userNode, double &out) {
    const int i = term.node, s = t.argStart[i];
    const double *v = ws.v.data();
    const double A = v[t.arg[s]];
    switch (t.kind[i]) {
    case Node::Mul:
        out = 1.0;
        return {};
    case Node::Div: {
        const double B = v[t.arg[s + 1]];
        out = term.b == term.a ? 2.0 * A / (B * B * B) : -1.0 / (B * B);
        return {};
    }
    case Node::Pow: {
        double g[2], h[3], val;
        if (const char *why = powEval(A, v[t.arg[s + 1]], t.ref[i] != 0, 2, val, g, h))
            return {i, why};
        out = term.a == term.b ? h[term.a == 0 ? 0 : 2] : h[1];
        return {};
    }
    case Node::Prod: {
        out = 1.0;
        const int n = t.argStart[i + 1] - s;
        for (int k = 0; k < n; ++k)
            if (k != term.a && k != term.b) out *= v[t.arg[s + k]];
        return {};
    }
    case Node::User: {
        const int n = t.argStart[i + 1] - s;
        if (userNode != i) { // one Hessian per user-function node and evaluation
            userArgs(t, i, ws);
            UserCaller call{users[t.ref[i]], ws};
            if (!call.hessian(ws.uargs.data(), n, ws.uwant.data(), ws.ustep.data(),
                              ws.uhess.data()))
                return {i, kUserFailed};
            userNode = i;
        }
        out = ws.uhess[term.a * n + term.b];
        return {};
    }
    default: {
        double val, d1;
        if (const char *why = unaryEval(t.kind[i], A, 2, val, d1, out)) return {i, why};
        return {};
    }
    }
}

} // namespace

EvalError addHessian(const Tape &t, const std::vector<UserFunction> &users, double w,
                     const int32_t *slot, double *H, Workspace &ws) {
    int userNode = -1;
    for (const Tape::Term &term : t.terms) {
        const double adjoint = w * ws.adj[term.node];
        if (adjoint == 0) continue;
        double second = 0;
        if (EvalError e = secondDerivative(t, users, term, ws, userNode, second)) return e;
        const double c = adjoint * second;
        if (c == 0) continue;
        const int s = t.argStart[term.node];
        const int32_t *la = t.lists.data() + term.la, *lb = t.lists.data() + term.lb;
        double *ga = ws.ga.data(), *gb = ws.gb.data();
        subtreeGradient(t, t.arg[s + term.a], la, term.na, ga, ws);
        const int32_t *sl = slot + term.pairOffset;
        if (term.a == term.b) {
            for (int p = 0; p < term.na; ++p) {
                const double cp = c * ga[p];
                for (int q = 0; q <= p; ++q)
                    H[*sl++] += cp * ga[q];
            }
            continue;
        }
        subtreeGradient(t, t.arg[s + term.b], lb, term.nb, gb, ws);
        for (int p = 0; p < term.na; ++p) {
            const double cp = c * ga[p];
            for (int q = 0; q < term.nb; ++q)
                H[*sl++] += (la[p] == lb[q] ? 2.0 : 1.0) * cp * gb[q];
        }
    }
    return {};
}

} // namespace nvra::nl
