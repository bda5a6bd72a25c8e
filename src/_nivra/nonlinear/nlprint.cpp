// nonlinear/nlprint.cpp: the printed form of nonlinear expression trees: operators infix with
// parentheses by precedence, functions with their argument lists, and a depth limit.
#include <string>

#include "model/equality.h"
#include "model/expression.h"
#include "model/linterm.h"
#include "model/operand.h"
#include "model/printing.h"
#include "model/quadterm.h"
#include "model/var.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "nonlinear.h"

namespace {

constexpr int kPrintDepth = 64;
constexpr const char *kDepthMarker = "[MAX RECURS LEV]";
constexpr int kPrecedencePlus = 2;
constexpr int kPrecedenceTimes = 3;

// The precedence of an operand for the parentheses rule; 0 when it has none.
int precedenceOf(PyObject *o) {
    switch (exprKindOf(o)) {
    case kLinterm: {
        const double c = as_linterm(o)->coef;
        return c == 0.0 || c == 1.0 ? 0 : kPrecedenceTimes;
    }
    case kQuadterm:
        return as_quadterm(o)->coef == 0.0 ? 0 : kPrecedenceTimes;
    case kExpression: {
        const expression_s *e = as_expression(o);
        const Py_ssize_t terms = (e->linear ? linmap_size(e->linear) : 0) +
                                 (e->quadratic ? quadmap_size(e->quadratic) : 0);
        const Py_ssize_t parts = terms + (e->constant != 0.0);
        return parts >= 2 ? kPrecedencePlus : terms == 1 ? kPrecedenceTimes : 0;
    }
    case kNonlinear: {
        const OperationInfo *info = nonlin_info(as_nonlin(o)->op);
        return info && info->form != OpForm::Function ? info->precedence : 0;
    }
    default:
        return 0;
    }
}

// Parentheses around an operand of a parent node: when its precedence is lower than the
// parent's, or equal to it where the grouping matters: the later operands of minus and
// division, and the base of a power (which groups to the right).
bool needsParentheses(PyObject *child, int32_t parent, int parentPrecedence, bool first) {
    const int p = precedenceOf(child);
    if (p == 0) return false;
    if (p < parentPrecedence) return true;
    if (p > parentPrecedence) return false;
    if (parent == kOpMinus || parent == kOpDivide) return !first;
    return parent == kOpPower && first;
}

class Printer {
  public:
    std::string out;

    // Appends the text of o, printed at the given remaining depth. 0 or -1.
    int print(PyObject *o, int depth) {
        if (depth < 0) {
            out += kDepthMarker;
            return 0;
        }
        switch (exprKindOf(o)) {
        case kConst:
            return appendStr(Ref::steal(PyObject_Str(o)));
        case kVar:
            return appendStr(Ref::steal(var_str(o)));
        case kLinterm:
        case kQuadterm:
        case kExpression:
            return appendStr(Ref::steal(nvr_model_str(o)));
        case kNonlinear:
            return printNode(as_nonlin(o), depth);
        default:
            break;
        }
        if (PyCallable_Check(o)) {
            out += "user";
            return 0;
        }
        PyErr_SetString(nvy_model_exc, "Unexpected object in nonlinear expression");
        return -1;
    }

  private:
    int appendStr(Ref s) {
        if (!s) return -1;
        Py_ssize_t n;
        const char *utf8 = PyUnicode_AsUTF8AndSize(s.get(), &n);
        if (!utf8) return -1;
        out.append(utf8, static_cast<size_t>(n));
        return 0;
    }

    int printOperand(PyObject *child, const nonlin_s *parent, int precedence, bool first,
                     int depth) {
        const bool parens = needsParentheses(child, parent->op, precedence, first);
        if (parens) out += '(';
        if (print(child, depth) != 0) return -1;
        if (parens) out += ')';
        return 0;
    }

    int printNode(const nonlin_s *x, int depth) {
        const OperationInfo *info = nonlin_info(x->op);
        if (!info) {
            PyErr_SetString(nvy_model_exc, "Unknown nonlinear type");
            return -1;
        }
        PyObject *args = x->args;
        if (info->arity == 1 && !args) {
            PyErr_SetString(nvy_model_exc, "Invalid unary nonlinear expression");
            return -1;
        }
        if (info->form == OpForm::Prefix) {
            out += info->name;
            return printOperand(args, x, info->precedence, true, depth - 1);
        }
        const bool sequence = args && (PyList_Check(args) || PyTuple_Check(args));
        const Py_ssize_t n = !args ? 0 : sequence ? PySequence_Fast_GET_SIZE(args) : 1;
        auto item = [&](Py_ssize_t i) {
            return sequence ? PySequence_Fast_GET_ITEM(args, i) : args;
        };
        if (info->form == OpForm::Function) {
            out += info->name;
            out += '(';
            for (Py_ssize_t i = 0; i < n; ++i) {
                if (i > 0) out += ", ";
                if (print(item(i), depth - 1) != 0) return -1;
            }
            out += ')';
            return 0;
        }
        if (n == 0) {
            out += '0';
            return 0;
        }
        for (Py_ssize_t i = 0; i < n; ++i) {
            if (i > 0) {
                out += ' ';
                out += info->name;
                out += ' ';
            }
            if (printOperand(item(i), x, info->precedence, i == 0, depth - 1) != 0) return -1;
        }
        return 0;
    }
};

} // namespace

PyObject *nonlin_str(PyObject *x) {
    NVR_TRY {
        Printer p;
        if (p.print(x, kPrintDepth) != 0) return nullptr;
        return PyUnicode_FromStringAndSize(p.out.data(), static_cast<Py_ssize_t>(p.out.size()));
    }
    NVR_CATCH(nullptr)
}
