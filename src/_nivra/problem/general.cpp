// problem/general.cpp: max, min, abs, And, Or and pwl nodes as general and piecewise-linear
// constraints of the library. Each node becomes a resultant variable; an operand that is neither
// a number nor a variable becomes a variable t with the auxiliary constraint t == operand.
#include "problem/general.h"

#include <cmath>
#include <utility>
#include <vector>

#include "model/constraint.h"
#include "model/expression.h"
#include "model/linterm.h"
#include "model/maps.h"
#include "model/operand.h"
#include "model/var.h"
#include "nonlinear/nonlinear.h"
#include "problem/problib.h"
#include "problem/variables.h"
#include "runtime/ref.h"

namespace {

constexpr double kInf = NVRA_PLUSINFINITY;

// Nodes nested deeper than this are refused rather than risking the C stack.
constexpr int kMaxDepth = 1000;

// The variable that o is exactly (a variable, 1·x, or an expression holding only 1·x), borrowed;
// null otherwise.
PyObject *singleVariable(PyObject *o) {
    switch (exprKindOf(o)) {
    case kVar:
        return o;
    case kLinterm:
        return as_linterm(o)->coef == 1.0 ? as_linterm(o)->var : nullptr;
    case kExpression: {
        const expression_s *e = as_expression(o);
        if (e->constant != 0.0 || expression_has_quadratic(e) || !e->linear ||
            linmap_size(e->linear) != 1)
            return nullptr;
        PyObject *var = nullptr;
        expression_forEachLinear(e, [&](PyObject *v, double c) { var = c == 1.0 ? v : nullptr; });
        return var;
    }
    default:
        return nullptr;
    }
}

class Rewriter {
  public:
    Rewriter(problem_s *p, GeneralMark &mark, AuxConstraintSink sink, void *ctx)
        : p_(p), mark_(mark), sink_(sink), ctx_(ctx) {}

    PyObject *rewrite(PyObject *o, int depth);

  private:
    problem_s *p_;
    GeneralMark &mark_;
    AuxConstraintSink sink_;
    void *ctx_;

    int takeMark();
    PyObject *newVariable(int vartype, double lb, double ub);
    int column(PyObject *var, int *col);
    int operand(PyObject *o, int depth, std::vector<int> &cols, std::vector<double> &vals);
    PyObject *general(PyObject *node, int depth);
    PyObject *pwl(PyObject *node);
    PyObject *recombine(PyObject *node, int depth);
};

int Rewriter::takeMark() {
    if (mark_.taken) return 0;
    if (problem_holdsUnlinked(p_))
        return nvr_model_error("max, min, abs, And, Or and pwl need a problem of linked variables");
    if (problem_intAttrib(p_, NVRA_ATTR_ROWS, &mark_.rows) != 0 ||
        problem_intAttrib(p_, NVRA_ATTR_COLS, &mark_.cols) != 0 ||
        problem_intAttrib(p_, NVRA_ATTR_PWLCONS, &mark_.pwls) != 0 ||
        problem_intAttrib(p_, NVRA_ATTR_GENCONS, &mark_.gencons) != 0)
        return -1;
    mark_.vars = PyList_GET_SIZE(p_->vars);
    mark_.cons = PyList_GET_SIZE(p_->cons);
    mark_.taken = true;
    return 0;
}

// A new variable of p. New reference or null.
PyObject *Rewriter::newVariable(int vartype, double lb, double ub) {
    PyObject *v = nullptr;
    if (takeMark() != 0 || create_linked_vars(p_, &v, 1, vartype, lb, ub, -kInf) != 0)
        return nullptr;
    return v;
}

int Rewriter::column(PyObject *var, int *col) {
    return get_var_col(p_, var, col, "general constraint");
}

// One operand of a general constraint: a number goes to vals, a variable to cols, anything else
// to cols as a new variable t with t == operand. 0 or -1.
int Rewriter::operand(PyObject *o, int depth, std::vector<int> &cols, std::vector<double> &vals) {
    Ref r = Ref::steal(rewrite(o, depth + 1));
    if (!r) return -1;
    double value = 0.0;
    const int constant = isObjectConst(r.get(), nullptr, &value);
    if (constant < 0) return -1;
    if (constant) {
        vals.push_back(value);
        return 0;
    }
    PyObject *var = singleVariable(r.get());
    if (!var) {
        Ref t = Ref::steal(newVariable(kContinuous, -kInf, kInf));
        Ref link = t ? Ref::steal(make_constraint(t.get(), r.get(), Py_EQ)) : Ref();
        if (!link || sink_(link.get(), ctx_) != 0) return -1;
        r = std::move(t);
        var = r.get();
    }
    int col = 0;
    if (column(var, &col) != 0) return -1;
    cols.push_back(col);
    return 0;
}

// max, min, abs, And, Or: the resultant variable of a new general constraint.
PyObject *Rewriter::general(PyObject *node, int depth) {
    const int op = as_nonlin(node)->op;
    std::vector<int> cols;
    std::vector<double> vals;
    Py_ssize_t it = 0;
    for (PyObject *a = nonlin_arg_first(node, &it); a; a = nonlin_arg_next(node, &it))
        if (operand(a, depth, cols, vals) != 0) return nullptr;
    if (PyErr_Occurred()) return nullptr;
    if (op == kOpAbs && cols.empty() && vals.size() == 1)
        return PyFloat_FromDouble(std::fabs(vals[0]));
    const int type = op == kOpMax   ? NVRA_GENCONS_MAX
                     : op == kOpMin ? NVRA_GENCONS_MIN
                     : op == kOpAnd ? NVRA_GENCONS_AND
                     : op == kOpOr  ? NVRA_GENCONS_OR
                                    : NVRA_GENCONS_ABS;
    const bool logical = type == NVRA_GENCONS_AND || type == NVRA_GENCONS_OR;
    Ref y = Ref::steal(
        logical ? newVariable(kBinary, 0.0, 1.0)
                : newVariable(kContinuous, type == NVRA_GENCONS_ABS ? 0.0 : -kInf, kInf));
    int ycol = 0;
    const int64_t start = 0;
    if (!y || column(y.get(), &ycol) != 0 ||
        problem_call(p_, NVRAaddgencons64, "NVRAaddgencons64", 1, static_cast<int64_t>(cols.size()),
                     static_cast<int64_t>(vals.size()), &type, &ycol, &start, cols.data(), &start,
                     vals.data()) != 0)
        return nullptr;
    return y.release();
}

// pwl over [x, x0, y0, x1, y1, ...]: the resultant of a new piecewise-linear constraint.
PyObject *Rewriter::pwl(PyObject *node) {
    std::vector<double> xs, ys;
    PyObject *x = nullptr;
    Py_ssize_t it = 0, k = 0;
    for (PyObject *a = nonlin_arg_first(node, &it); a; a = nonlin_arg_next(node, &it), ++k) {
        if (k == 0) {
            x = a;
            continue;
        }
        const double v = PyFloat_AsDouble(a);
        if (v == -1.0 && PyErr_Occurred()) return nullptr;
        (k % 2 ? xs : ys).push_back(v);
    }
    if (PyErr_Occurred()) return nullptr;
    x = x ? singleVariable(x) : nullptr;
    if (!x || xs.size() != ys.size())
        return PyErr_Format(nvy_model_exc, "Invalid piecewise linear function %S", node);
    int xcol = 0, ycol = 0;
    if (column(x, &xcol) != 0) return nullptr;
    Ref y = Ref::steal(newVariable(kContinuous, -kInf, kInf));
    const int64_t start = 0;
    if (!y || column(y.get(), &ycol) != 0 ||
        problem_call(p_, NVRAaddpwlcons64, "NVRAaddpwlcons64", 1, static_cast<int64_t>(xs.size()),
                     &xcol, &ycol, &start, xs.data(), ys.data()) != 0)
        return nullptr;
    return y.release();
}

// Sums, differences, negations, products and quotients over rewritten operands, through the
// model algebra (which gives linear or quadratic objects where it can).
PyObject *Rewriter::recombine(PyObject *node, int depth) {
    const int op = as_nonlin(node)->op;
    if (op == kOpUnaryMinus) {
        Ref a = Ref::steal(rewrite(as_nonlin(node)->args, depth + 1));
        return a ? PyNumber_Negative(a.get()) : nullptr;
    }
    Ref acc;
    Py_ssize_t it = 0;
    for (PyObject *a = nonlin_arg_first(node, &it); a; a = nonlin_arg_next(node, &it)) {
        Ref r = Ref::steal(rewrite(a, depth + 1));
        if (!r) return nullptr;
        if (!acc) {
            acc = std::move(r);
            continue;
        }
        switch (op) {
        case kOpMinus:
            acc = Ref::steal(PyNumber_Subtract(acc.get(), r.get()));
            break;
        case kOpDivide:
            acc = Ref::steal(PyNumber_TrueDivide(acc.get(), r.get()));
            break;
        case kOpTimes:
        case kOpProd:
            acc = Ref::steal(PyNumber_Multiply(acc.get(), r.get()));
            break;
        default:
            acc = Ref::steal(PyNumber_Add(acc.get(), r.get()));
        }
        if (!acc) return nullptr;
    }
    if (PyErr_Occurred()) return nullptr;
    return acc ? acc.release() : PyFloat_FromDouble(0.0);
}

PyObject *Rewriter::rewrite(PyObject *o, int depth) {
    if (!nonlinear_Check(o)) return Py_NewRef(o);
    if (depth > kMaxDepth) return PyErr_Format(nvy_model_exc, "Expression nested too deeply");
    switch (as_nonlin(o)->op) {
    case kOpMax:
    case kOpMin:
    case kOpAbs:
    case kOpAnd:
    case kOpOr:
        return general(o, depth);
    case kOpPwl:
        return pwl(o);
    case kOpPlus:
    case kOpSum:
    case kOpMinus:
    case kOpUnaryMinus:
    case kOpTimes:
    case kOpProd:
    case kOpDivide:
        return recombine(o, depth);
    default:
        return Py_NewRef(o); // left to the nonlinear path
    }
}

} // namespace

PyObject *problem_rewriteGeneral(problem_s *p, PyObject *obj, GeneralMark &mark,
                                 AuxConstraintSink sink, void *ctx) {
    if (!nonlinear_Check(obj)) return Py_NewRef(obj);
    NVR_TRY {
        Rewriter r(p, mark, sink, ctx);
        return r.rewrite(obj, 0);
    }
    NVR_CATCH(nullptr)
}

void problem_undoGeneral(problem_s *p, const GeneralMark &mark) {
    if (!mark.taken) return;
    AutoSavedException keep;
    auto dropTail = [&](int attrib, int from, int (*del)(NVRAprob, int, const int *),
                        const char *name) {
        int now = from;
        if (problem_intAttrib(p, attrib, &now) != 0 || now <= from) return;
        std::vector<int> idx;
        for (int i = from; i < now; ++i)
            idx.push_back(i);
        problem_call(p, del, name, now - from, idx.data());
    };
    NVR_TRY {
        dropTail(NVRA_ATTR_GENCONS, mark.gencons, NVRAdelgencons, "NVRAdelgencons");
        dropTail(NVRA_ATTR_PWLCONS, mark.pwls, NVRAdelpwlcons, "NVRAdelpwlcons");
        dropTail(NVRA_ATTR_ROWS, mark.rows, NVRAdelrows, "NVRAdelrows");
        dropTail(NVRA_ATTR_COLS, mark.cols, NVRAdelcols, "NVRAdelcols");
    }
    catch (...) { // out of memory while undoing: what remains stays
    }
    for (auto [list, from] : {std::pair{p->vars, mark.vars}, std::pair{p->cons, mark.cons}}) {
        const Py_ssize_t n = PyList_GET_SIZE(list);
        for (Py_ssize_t i = from; i < n; ++i)
            if (problem_isLinkedObject(PyList_GET_ITEM(list, i), p))
                problem_markObjectDeleted(PyList_GET_ITEM(list, i));
        if (from < n) PyList_SetSlice(list, from, n, nullptr);
    }
    PyErr_Clear();
}
