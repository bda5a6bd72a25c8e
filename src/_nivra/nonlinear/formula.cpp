// nonlinear/formula.cpp: the formula writer (trees into parsed token formulas) and reader
// (token formulas back into trees).
#include "formula.h"

#include <algorithm>
#include <bit>
#include <vector>

#include "model/expression.h"
#include "model/operand.h"
#include "model/problem_model.h"
#include "model/var.h"
#include "nonlinear.h"
#include "nslp.h"
#include "runtime/env.h"
#include "runtime/ref.h"

namespace {

struct Token {
    int type;
    int value;
};

// The token of each operation (indexed by operation code). And and Or are the minimum and the
// maximum of their arguments; a user function's value is its identifier.
constexpr Token kTokenOf[kNumOperations] = {
    {NSLP_TOK_OP, NSLP_OP_PLUS},
    {NSLP_TOK_OP, NSLP_OP_MINUS},
    {NSLP_TOK_OP, NSLP_OP_UMINUS},
    {NSLP_TOK_OP, NSLP_OP_MULTIPLY},
    {NSLP_TOK_OP, NSLP_OP_DIVIDE},
    {NSLP_TOK_OP, NSLP_OP_EXPONENT},
    {NSLP_TOK_IFUN, NSLP_IFUN_EXP},
    {NSLP_TOK_IFUN, NSLP_IFUN_LN},
    {NSLP_TOK_IFUN, NSLP_IFUN_LOG10},
    {NSLP_TOK_IFUN, NSLP_IFUN_SIN},
    {NSLP_TOK_IFUN, NSLP_IFUN_COS},
    {NSLP_TOK_IFUN, NSLP_IFUN_TAN},
    {NSLP_TOK_IFUN, NSLP_IFUN_ARCSIN},
    {NSLP_TOK_IFUN, NSLP_IFUN_ARCCOS},
    {NSLP_TOK_IFUN, NSLP_IFUN_ARCTAN},
    {NSLP_TOK_IFUN, NSLP_IFUN_MAX},
    {NSLP_TOK_IFUN, NSLP_IFUN_MIN},
    {NSLP_TOK_IFUN, NSLP_IFUN_ABS},
    {NSLP_TOK_IFUN, NSLP_IFUN_SIGN},
    {NSLP_TOK_IFUN, NSLP_IFUN_ERF},
    {NSLP_TOK_IFUN, NSLP_IFUN_ERFC},
    {NSLP_TOK_IFUN, NSLP_IFUN_SQRT},
    {NSLP_TOK_IFUN, NSLP_IFUN_PWL},
    {NSLP_TOK_IFUN, NSLP_IFUN_SUM},
    {NSLP_TOK_IFUN, NSLP_IFUN_PROD},
    {NSLP_TOK_IFUN, NSLP_IFUN_MIN},
    {NSLP_TOK_IFUN, NSLP_IFUN_MAX},
    {NSLP_TOK_FUN, 0},
    {NSLP_TOK_FUN, 0},
    {NSLP_TOK_FUN, 0},
};

constexpr const char *kColumnContext = "nonlinear part of constraint";

int modelError(const char *msg) {
    return nvr_model_error(msg);
}

// The arguments of a node as a list or tuple, or null with ModelError msg.
PyObject *sequenceArgs(PyObject *node, const char *msg) {
    PyObject *args = as_nonlin(node)->args;
    if (args && (PyList_Check(args) || PyTuple_Check(args))) return args;
    modelError(msg);
    return nullptr;
}

class Writer {
    const FormulaTarget &t_;
    TokenBuffer &b_;

  public:
    Writer(const FormulaTarget &t, TokenBuffer &b) : t_(t), b_(b) {}

    int write(PyObject *o, int depth) {
        if (depth <= 0)
            return modelError("The expression tree depth reached the maximum limit, please "
                              "reformulate or simplify the expression");
        const int kind = exprKindOf(o);
        if (kind == kNonlinear) return node(o, depth - 1);
        if (kind < 0) return modelError("Incorrect argument of nonlinear function");
        Poly poly;
        if (poly_of(o, kind, &poly) != 0) return -1;
        if (poly.e) return expression(poly);
        if (!poly.u) return b_.push(NSLP_TOK_CON, poly.constant);
        int i, j = -1;
        if (column(poly.u, &i) != 0 || (poly.v && column(poly.v, &j) != 0)) return -1;
        return term(i, j, poly.c);
    }

    // The factors of a product that are left in a coefficient's formula: items of args for
    // which keep is true, joined by balanced products (the number 1 when none is left).
    template <class Keep> int product(PyObject *args, Keep keep, int depth) {
        std::vector<PyObject *> kept;
        for (Py_ssize_t k = 0; k < PySequence_Fast_GET_SIZE(args); ++k)
            if (keep(PySequence_Fast_GET_ITEM(args, k)))
                kept.push_back(PySequence_Fast_GET_ITEM(args, k));
        return balanced(kept.size(), NSLP_OP_MULTIPLY, 1.0,
                        [&](size_t k) { return write(kept[k], depth); });
    }

  private:
    int column(PyObject *var, int *col) {
        const var_s *v = as_var(var);
        if (v->owner == t_.p) {
            *col = static_cast<int>(v->id_low);
            return 0;
        }
        return get_var_col(t_.p, var, col, kColumnContext);
    }

    // c·x_i, or c·x_i·x_j when j >= 0: the constant only when c is neither 1 nor -1.
    int term(int i, int j, double c) {
        const bool scaled = c != 1.0 && c != -1.0;
        if (scaled && b_.push(NSLP_TOK_CON, c) != 0) return -1;
        if (b_.push(NSLP_TOK_COL, i) != 0) return -1;
        if (j >= 0 && (b_.push(NSLP_TOK_COL, j) != 0 || op(NSLP_OP_MULTIPLY) != 0)) return -1;
        if (scaled) return op(NSLP_OP_MULTIPLY);
        return c == -1.0 ? op(NSLP_OP_UMINUS) : 0;
    }

    int op(int code) { return b_.push(NSLP_TOK_OP, code); }

    // n items written by item(k), joined by operator code so that the operators form a
    // balanced binary tree: after item k (not the last) as many operators as k + 1 has
    // trailing zero bits, after the last the rest. No items: the number empty.
    template <class Item> int balanced(size_t n, int code, double empty, Item item) {
        if (n == 0) return b_.push(NSLP_TOK_CON, empty);
        size_t written = 0;
        for (size_t k = 0; k < n; ++k) {
            if (item(k) != 0) return -1;
            const size_t ops =
                k + 1 < n ? static_cast<size_t>(std::countr_zero(k + 1)) : n - 1 - written;
            for (size_t m = 0; m < ops; ++m)
                if (op(code) != 0) return -1;
            written += ops;
        }
        return 0;
    }

    // An expression: its constant, its linear terms by column, its quadratic terms by
    // (column, column), summed.
    int expression(const Poly &poly) {
        struct Entry {
            int i, j;
            double c;
        };
        std::vector<Entry> lin, quad;
        int rc = 0;
        expression_forEachLinear(poly.e, [&](PyObject *var, double c) {
            int i;
            if (rc == 0 && c != 0.0 && (rc = column(var, &i)) == 0) lin.push_back({i, -1, c});
        });
        expression_forEachQuadratic(poly.e, [&](PyObject *u, PyObject *v, double c) {
            int i, j;
            if (rc == 0 && c != 0.0 && (rc = column(u, &i)) == 0 && (rc = column(v, &j)) == 0)
                quad.push_back({std::min(i, j), std::max(i, j), c});
        });
        if (rc != 0) return -1;
        auto byColumns = [](const Entry &a, const Entry &b) {
            return a.i != b.i ? a.i < b.i : a.j < b.j;
        };
        std::stable_sort(lin.begin(), lin.end(), byColumns);
        std::stable_sort(quad.begin(), quad.end(), byColumns);
        const size_t first = poly.constant != 0.0 ? 1 : 0;
        return balanced(first + lin.size() + quad.size(), NSLP_OP_PLUS, 0.0, [&](size_t k) {
            if (k < first) return b_.push(NSLP_TOK_CON, poly.constant);
            k -= first;
            const Entry &e = k < lin.size() ? lin[k] : quad[k - lin.size()];
            return term(e.i, e.j, e.c);
        });
    }

    // A function call: the start marker, the arguments args[first..] from the last to the
    // first, then the function token.
    int call(PyObject *args, Py_ssize_t first, Token token, int depth) {
        if (b_.push(NSLP_TOK_RB, 0.0) != 0) return -1;
        for (Py_ssize_t k = PySequence_Fast_GET_SIZE(args) - 1; k >= first; --k)
            if (write(PySequence_Fast_GET_ITEM(args, k), depth) != 0) return -1;
        return b_.push(token.type, token.value);
    }

    int userFunction(PyObject *node, int depth) {
        PyObject *args =
            sequenceArgs(node, "N-ary operator should have list or tuple of arguments");
        if (!args) return -1;
        if (PySequence_Fast_GET_SIZE(args) < 1 ||
            !PyCallable_Check(PySequence_Fast_GET_ITEM(args, 0)))
            return modelError("First argument of a user() operator must be the function itself");
        if (!t_.registerUser)
            return nvr_raise(nvy_interf_exc, "User functions cannot be sent to this problem");
        Ref tuple = Ref::steal(PySequence_Tuple(args));
        int id = 0;
        if (!tuple || t_.registerUser(t_.p, tuple.get(), as_nonlin(node)->op, &id) != 0) return -1;
        return call(args, 1, {NSLP_TOK_FUN, id}, depth);
    }

    int node(PyObject *o, int depth) {
        const int32_t code = as_nonlin(o)->op;
        const OperationInfo *info = nonlin_info(code);
        if (!info) return modelError("Incorrect argument of nonlinear function");
        const Token token = kTokenOf[code];
        if (nonlin_is_user(code)) return userFunction(o, depth);
        if (code == kOpPlus || code == kOpTimes) {
            PyObject *args =
                sequenceArgs(o, "N-ary operator should have list or tuple of arguments");
            if (!args) return -1;
            return balanced(static_cast<size_t>(PySequence_Fast_GET_SIZE(args)), token.value,
                            code == kOpPlus ? 0.0 : 1.0, [&](size_t k) {
                                return write(PySequence_Fast_GET_ITEM(args, k), depth);
                            });
        }
        if (info->arity == 2) {
            PyObject *args = as_nonlin(o)->args;
            if (!args || !PyTuple_Check(args) || PyTuple_GET_SIZE(args) != 2)
                return modelError("Binary operator should have tuple for arguments");
            if (write(PyTuple_GET_ITEM(args, 0), depth) != 0 ||
                write(PyTuple_GET_ITEM(args, 1), depth) != 0)
                return -1;
            return op(token.value);
        }
        if (info->arity == 1) {
            PyObject *arg = as_nonlin(o)->args;
            if (!arg) return modelError("Invalid unary nonlinear expression");
            if (code == kOpUnaryMinus) return write(arg, depth) != 0 ? -1 : op(token.value);
            if (b_.push(NSLP_TOK_RB, 0.0) != 0 || write(arg, depth) != 0) return -1;
            return b_.push(token.type, token.value);
        }
        PyObject *args = sequenceArgs(o, "N-ary operator should have list or tuple of arguments");
        return args ? call(args, 0, token, depth) : -1;
    }
};

} // namespace

int formula_write(const FormulaTarget &target, PyObject *tree, TokenBuffer &buf) {
    NVR_TRY {
        if (Writer(target, buf).write(tree, kFormulaDepth) != 0) return -1;
        return buf.push(NSLP_TOK_EOF, 0.0);
    }
    NVR_CATCH(-1)
}

int formula_write_coefficient(const FormulaTarget &target, PyObject *tree, TokenBuffer &buf,
                              int *outCol, double *outFactor) {
    NVR_TRY {
        *outCol = -1;
        *outFactor = 1.0;
        Writer writer(target, buf);
        PyObject *factors = nonlin_is(tree, kOpTimes) ? as_nonlin(tree)->args : nullptr;
        if (factors && !(PyList_Check(factors) || PyTuple_Check(factors)))
            return modelError("N-ary operator should have list or tuple of arguments");
        // The first factor that is a variable, or a linear term (its coefficient joins the
        // factor), leaves the formula as the out-column.
        PyObject *outVar = nullptr;
        Poly term;
        for (Py_ssize_t k = 0; factors && !outVar && k < PySequence_Fast_GET_SIZE(factors); ++k) {
            PyObject *f = PySequence_Fast_GET_ITEM(factors, k);
            const int kind = exprKindOf(f);
            if ((kind == kVar || kind == kLinterm) && poly_of(f, kind, &term) == 0) outVar = f;
        }
        if (outVar && get_var_col(target.p, term.u, outCol, kColumnContext) != 0) return -1;
        if (outVar) *outFactor = term.c;
        const bool dropNumbers = outVar || target.equalsColumn >= 0;
        int rc;
        if (factors && dropNumbers) {
            rc = writer.product(
                factors,
                [&](PyObject *f) {
                    if (f == outVar) return false;
                    double value;
                    if (exprKindOf(f) != kConst || isConstOfKind(f, kConst, &value) != 1)
                        return true;
                    *outFactor *= value;
                    return false;
                },
                kFormulaDepth - 1);
        } else {
            rc = writer.write(tree, kFormulaDepth);
        }
        if (rc != 0) return -1;
        if (!outVar) *outCol = target.equalsColumn >= 0 ? target.equalsColumn : NSLP_NOCOLUMN;
        return buf.push(NSLP_TOK_EOF, 0.0);
    }
    NVR_CATCH(-1)
}

// ---- reading ------------------------------------------------------------------------------------

namespace {

// The operation of an internal function's identifier, or -1: the first of the writer's table
// (min and max rather than And and Or); sum and prod are read as the plus and times nodes they
// stand for.
int operationOfFunction(int id) {
    if (id == NSLP_IFUN_SUM) return kOpPlus;
    if (id == NSLP_IFUN_PROD) return kOpTimes;
    for (int op = 0; op < kNumOperations; ++op)
        if (kTokenOf[op].type == NSLP_TOK_IFUN && kTokenOf[op].value == id) return op;
    return -1;
}

// The stack of the reader: model objects, and null entries marking the start of a function's
// arguments.
class Reader {
    problem_model_s *p_;
    const char *origin_;
    std::vector<Ref> stack_;

  public:
    Reader(problem_model_s *p, const char *origin) : p_(p), origin_(origin) {}

    int token(int type, double value) {
        switch (type) {
        case NSLP_TOK_EOF:
        case NSLP_TOK_DEL:
            return 0;
        case NSLP_TOK_CON:
            return push(PyFloat_FromDouble(value));
        case NSLP_TOK_COL:
            return column(value);
        case NSLP_TOK_RB:
            stack_.emplace_back();
            return 0;
        case NSLP_TOK_FUN:
            return userFunction(static_cast<int>(value));
        case NSLP_TOK_OP:
            return op(static_cast<int>(value));
        case NSLP_TOK_IFUN:
            return function(static_cast<int>(value));
        default:
            PyErr_Format(nvy_interf_exc, "Unexpected nonlinear token in %s: %d", origin_, type);
            return -1;
        }
    }

    PyObject *result() {
        if (stack_.size() != 1 || !stack_[0]) return invalid();
        return stack_[0].release();
    }

  private:
    PyObject *invalid() {
        PyErr_Format(nvy_interf_exc, "Invalid nonlinear formula in %s", origin_);
        return nullptr;
    }
    int malformed() {
        invalid();
        return -1;
    }

    int push(PyObject *o) {
        if (!o) return -1;
        stack_.push_back(Ref::steal(o));
        return 0;
    }

    // The top n items (none of them a marker) taken off the stack, the top last.
    int pop(size_t n, Ref *out) {
        if (stack_.size() < n) return malformed();
        for (size_t k = 0; k < n; ++k) {
            out[k] = std::move(stack_[stack_.size() - n + k]);
            if (!out[k]) return malformed();
        }
        stack_.resize(stack_.size() - n);
        return 0;
    }

    int column(double value) {
        const Py_ssize_t ncols = PyList_GET_SIZE(p_->vars);
        const auto col = static_cast<Py_ssize_t>(value);
        if (value < 0 || col >= ncols || static_cast<double>(col) != value) {
            PyErr_Format(nvy_interf_exc,
                         "Nonlinear constraint contains a coefficient for column %d, but there "
                         "are only %d variables in the problem",
                         static_cast<int>(value), static_cast<int>(ncols));
            return -1;
        }
        return push(Py_NewRef(PyList_GET_ITEM(p_->vars, col)));
    }

    // Operators over linear and quadratic operands rebuild their result with the algebra (2 x *
    // is the term 2x); with a nonlinear operand they rebuild the node itself, sums and products
    // extended by their next operand, so that trees come back as they were built.
    int op(int code) {
        Ref a[2];
        if (code == NSLP_OP_UMINUS) {
            if (pop(1, a) != 0) return -1;
            return push(exprKindOf(a[0].get()) == kNonlinear ? nonlin_neg(a[0].get())
                                                             : PyNumber_Negative(a[0].get()));
        }
        if (code < NSLP_OP_UMINUS || code > NSLP_OP_MINUS) {
            PyErr_Format(nvy_interf_exc, "Unsupported operator in %s: %d", origin_, code);
            return -1;
        }
        if (pop(2, a) != 0) return -1;
        PyObject *l = a[0].get(), *r = a[1].get();
        if (exprKindOf(l) == kNonlinear || exprKindOf(r) == kNonlinear)
            return push(node(code, l, r));
        switch (code) {
        case NSLP_OP_EXPONENT:
            return push(PyNumber_Power(l, r, Py_None));
        case NSLP_OP_MULTIPLY: // the left operand was made here: extending it is safe
            return push(PyNumber_InPlaceMultiply(l, r));
        case NSLP_OP_DIVIDE:
            return push(PyNumber_TrueDivide(l, r));
        case NSLP_OP_PLUS:
            return push(PyNumber_InPlaceAdd(l, r));
        default:
            return push(PyNumber_Subtract(l, r));
        }
    }

    // The items above the topmost marker (the arguments of a call), or -1 without a marker.
    // The marker's position goes into *marker.
    int callArguments(size_t *marker) {
        size_t m = stack_.size();
        while (m > 0 && stack_[m - 1])
            --m;
        if (m == 0) return malformed(); // every call starts with a marker
        *marker = m;
        return 0;
    }

    // The call's arguments (the item on top first) after first, in a new tuple of size
    // first + their number; the stack drops them and their marker. New reference or null.
    PyObject *takeArguments(size_t marker, Py_ssize_t first) {
        const size_t n = stack_.size() - marker;
        Ref tuple = Ref::steal(PyTuple_New(first + static_cast<Py_ssize_t>(n)));
        if (!tuple) return nullptr;
        for (size_t k = 0; k < n; ++k)
            PyTuple_SET_ITEM(tuple.get(), first + static_cast<Py_ssize_t>(k),
                             stack_[stack_.size() - 1 - k].release());
        stack_.resize(marker - 1);
        return tuple.release();
    }

    int userFunction(int id) {
        int op = 0;
        PyObject *callable =
            nvr_py_env.hooks.user_function ? nvr_py_env.hooks.user_function(p_, id, &op) : nullptr;
        if (!callable) {
            PyErr_Format(nvy_interf_exc, "User functions are not supported by %s", origin_);
            return -1;
        }
        size_t marker;
        if (callArguments(&marker) != 0) return -1;
        Ref args = Ref::steal(takeArguments(marker, 1));
        if (!args) return -1;
        PyTuple_SET_ITEM(args.get(), 0, Py_NewRef(callable));
        return push(nonlin_instantiate_nary(static_cast<operation_type>(op), args.get()));
    }

    // The node of operator code over l and r: the left sum or product is extended (it was made
    // here), the other operators get a node of their own.
    static PyObject *node(int code, PyObject *l, PyObject *r) {
        switch (code) {
        case NSLP_OP_PLUS:
            return nonlin_inplace_generic(kOpPlus, l, r);
        case NSLP_OP_MULTIPLY:
            return nonlin_inplace_generic(kOpTimes, l, r);
        case NSLP_OP_EXPONENT:
            return nonlin_binary_unchecked(kOpPower, l, r);
        case NSLP_OP_DIVIDE:
            return nonlin_binary_unchecked(kOpDivide, l, r);
        default:
            return nonlin_binary_unchecked(kOpMinus, l, r);
        }
    }

    int function(int id) {
        const int code = operationOfFunction(id);
        const OperationInfo *info = code >= 0 ? nonlin_info(code) : nullptr;
        if (!info) {
            PyErr_Format(nvy_interf_exc, "Unsupported nonlinear function in %s: %d", origin_, id);
            return -1;
        }
        size_t marker;
        if (callArguments(&marker) != 0) return -1;
        const size_t n = stack_.size() - marker;
        if (info->arity == 1) {
            if (n != 1) return malformed();
            Ref arg = std::move(stack_.back());
            stack_.resize(marker - 1);
            return push(nonlin_instantiate_unary(static_cast<operation_type>(code), arg.get()));
        }
        if (info->arity != -1) {
            PyErr_Format(nvy_interf_exc, "Unexpected function arity in %s: %d", origin_, id);
            return -1;
        }
        Ref args = Ref::steal(takeArguments(marker, 0));
        Ref list = Ref::steal(args ? PySequence_List(args.get()) : nullptr);
        if (!list) return -1;
        return push(nonlin_instantiate_nary(static_cast<operation_type>(code), list.get()));
    }
};

} // namespace

PyObject *nonlin_from_formula(problem_model_s *p, const int *types, const double *values, size_t n,
                              const char *origin) {
    NVR_TRY {
        Reader reader(p, origin);
        for (size_t k = 0; k < n; ++k)
            if (reader.token(types[k], values[k]) != 0) return nullptr;
        return reader.result();
    }
    NVR_CATCH(nullptr)
}
