// problem/convert.cpp: a model object flattened into the library's sparse arrays (constant,
// linear entries, quadratic triplets) for one problem.
#include "convert.h"

#include "model/expression.h"
#include "runtime/args.h"
#include "runtime/ref.h"
#include "model/operand.h"
#include "model/var.h"
#include "runtime/alloc.h"
#include "runtime/calllib.h"
#include "runtime/env.h"
#include "nonlinear/nonlinear.h"
#include "problem/problem.h"
#include "problem/userfuncs.h"
#include "util/sort.h"

namespace {

constexpr const char *kLinearTerm = "linear term defining constraint";
constexpr const char *kQuadraticTerm = "quadratic term defining constraint";
constexpr const char *kLinearPart = "linear part of constraint";
constexpr const char *kQuadraticPart = "quadratic part of constraint";

int raiseNonlinear() {
    PyErr_SetString(nvy_model_exc, "Nonlinear constraints and objectives need the nonlinear "
                                   "solver, which is not available");
    return -1;
}

// Stable sort of n (column, value) pairs by column, for short rows.
void insertionSort(int *cols, double *vals, uint64_t n) {
    for (uint64_t i = 1; i < n; ++i) {
        const int col = cols[i];
        const double val = vals[i];
        uint64_t j = i;
        for (; j > 0 && cols[j - 1] > col; --j) {
            cols[j] = cols[j - 1];
            vals[j] = vals[j - 1];
        }
        cols[j] = col;
        vals[j] = val;
    }
}

// One conversion into out.
class Converter {
    problem_s *p_;
    ExprRow *out_;
    bool objective_;

  public:
    Converter(problem_s *p, ExprRow *out, bool objective)
        : p_(p), out_(out), objective_(objective) {}

    // The top-level object: a linear or quadratic object, or a nonlinear sum of them.
    int convert(PyObject *obj) {
        if (!obj) {
            PyErr_SetString(nvy_model_exc, "Cannot convert expression");
            return -1;
        }
        const int kind = exprKindOf(obj);
        if (kind == kNonlinear) return nonlinear(obj);
        if (kind < 0) {
            PyErr_SetString(nvy_model_exc, "Invalid expression");
            return -1;
        }
        return polynomial(obj, kind, 1.0);
    }

  private:
    // The column of var (fast for the problem's own linked variables). 0 or -1.
    int column(PyObject *var, int *col, const char *context) {
        const var_s *v = as_var(var);
        if (v->owner == p_) {
            *col = static_cast<int>(v->id_low);
            return 0;
        }
        return get_var_col(p_, var, col, context);
    }

    int linear(PyObject *var, double c, const char *context) {
        int col;
        if (column(var, &col, context) != 0) return -1;
        out_->cols[out_->nnz] = col;
        out_->vals[out_->nnz++] = c;
        return 0;
    }

    // c·u·v in the matrix convention; nothing for a zero value.
    int quadratic(PyObject *u, PyObject *v, double c, const char *context) {
        int i, j;
        if (column(u, &i, context) != 0 || column(v, &j, context) != 0) return -1;
        double value = i == j ? c : c / 2;
        if (objective_) value *= 2;
        if (value == 0.0) return 0;
        out_->qcols1[out_->nq] = i;
        out_->qcols2[out_->nq] = j;
        out_->qvals[out_->nq++] = value;
        return 0;
    }

    // Sorts the entries written so far; linear entries that came in column order (a model's
    // rows mostly do: variables made together take ascending columns) are left as they are. A
    // row as short as an expression's inline map takes an insertion sort, stable as the
    // general sort is (preparing the general sort cost more than sorting eight entries).
    void sortEntries() {
        const int *cols = out_->cols;
        for (uint64_t k = 1; k < out_->nnz; ++k)
            if (cols[k] < cols[k - 1]) {
                if (out_->nnz <= kLinInline)
                    insertionSort(out_->cols, out_->vals, out_->nnz);
                else
                    nvy_Sort_Int_Dbl(out_->cols, out_->vals, out_->nnz);
                break;
            }
        if (out_->nq > 1) nvy_LexSort_IntInt_Dbl(out_->qcols1, out_->qcols2, out_->qvals, out_->nq);
    }

    // Room for the entries of poly after those written so far.
    int makeRoom(const Poly &poly) {
        uint64_t nnz = 0, nq = 0;
        if (poly.e) {
            if (poly.e->linear) nnz = static_cast<uint64_t>(linmap_size(poly.e->linear));
            if (poly.e->quadratic) nq = static_cast<uint64_t>(quadmap_size(poly.e->quadratic));
        } else {
            (poly.v ? nq : nnz) = poly.u ? 1 : 0;
        }
        return out_->room(out_, out_->nnz + nnz, out_->nq + nq, out_->ctx);
    }

    // Objects of kinds 0 to 4, scaled by s.
    int polynomial(PyObject *obj, int kind, double s) {
        Poly poly;
        if (poly_of(obj, kind, &poly) != 0 || makeRoom(poly) != 0) return -1;
        if (s == 0.0) return 0;
        out_->constant += s * poly.constant;
        if (!poly.e) {
            if (!poly.u || poly.c == 0.0) return 0;
            if (!poly.v) return linear(poly.u, s * poly.c, kLinearTerm);
            return quadratic(poly.u, poly.v, s * poly.c, kQuadraticTerm);
        }
        int rc = 0;
        expression_forEachLinear(poly.e, [&](PyObject *var, double c) {
            if (rc == 0 && c != 0.0) rc = linear(var, s * c, kLinearPart);
        });
        expression_forEachQuadratic(poly.e, [&](PyObject *u, PyObject *v, double c) {
            if (rc == 0 && c != 0.0) rc = quadratic(u, v, s * c, kQuadraticPart);
        });
        if (rc == 0) sortEntries();
        return rc;
    }

    // A nonlinear summand, times s, as one piece. The room function is called first, as for
    // every part of the object (a row of pieces alone has its row arrays readied by it too).
    int piece(PyObject *obj, double s) {
        FormulaPieces *pieces = out_->pieces;
        if (!pieces) return raiseNonlinear();
        if (out_->room(out_, out_->nnz, out_->nq, out_->ctx) != 0) return -1;
        if (!pieces->targetRead && problem_formulaTarget(p_, &pieces->target) != 0) return -1;
        pieces->targetRead = true;
        int col;
        double factor;
        if (formula_write_coefficient(pieces->target, obj, pieces->tokens, &col, &factor) != 0)
            return -1;
        return pieces->add(out_->pieceRow, col, s * factor);
    }

    // An operand of a nonlinear sum: a nonlinear summand becomes a piece, anything else is
    // converted with scale s.
    int summand(PyObject *obj, double s, const char *invalid) {
        const int kind = exprKindOf(obj);
        if (kind == kNonlinear) return piece(obj, s);
        if (kind < 0) {
            PyErr_SetString(nvy_model_exc, invalid);
            return -1;
        }
        return polynomial(obj, kind, s);
    }

    int nonlinear(PyObject *obj) {
        const auto *node = reinterpret_cast<const nonlin_s *>(obj);
        if (node->op == kOpPlus) {
            Py_ssize_t index = 0;
            for (PyObject *arg = nonlin_arg_first(obj, &index); arg;
                 arg = nonlin_arg_next(obj, &index))
                if (summand(arg, 1.0, "Invalid expression in nonlinear sum") != 0) return -1;
            return PyErr_Occurred() ? -1 : 0;
        }
        if (node->op == kOpMinus) {
            Py_ssize_t index = 0;
            PyObject *a = nonlin_arg_first(obj, &index);
            PyObject *b = a ? nonlin_arg_next(obj, &index) : nullptr;
            if (!a || !b) {
                if (!PyErr_Occurred()) PyErr_SetString(nvy_model_exc, "Invalid expression");
                return -1;
            }
            if (summand(a, 1.0, "Invalid expression") != 0) return -1;
            return summand(b, -1.0, "Invalid expression");
        }
        return piece(obj, 1.0);
    }
};

// Makes room for n entries in each of the arrays. 0 or -1 with MemoryError.
template <class... T> int growArrays(uint64_t n, T **...arrays) {
    return ((nvo_MemoryAllocator_Realloc_Untyped(nvo_MemoryAllocator_DefaultHeap,
                                                 reinterpret_cast<void **>(arrays),
                                                 static_cast<size_t>(n) * sizeof(T)) == 0) &&
            ...)
               ? 0
               : -1;
}

// The room function of OwnedExprRow: its arrays reallocated to the size asked (at least one
// entry, so that they exist).
int growRoom(ExprRow *row, uint64_t nnz, uint64_t nq, void *) {
    return growArrays(nnz + 1, &row->cols, &row->vals) == 0 &&
                   growArrays(nq + 1, &row->qcols1, &row->qcols2, &row->qvals) == 0
               ? 0
               : -1;
}

} // namespace

int FormulaPieces::add(int row, int col, double factor) {
    if (tokens.count > INT32_MAX) // the library counts the tokens of a call in int
        return nvr_raise(PyExc_OverflowError, "Too many nonlinear formula tokens in one call");
    if (rows.reserve(count + 1) != 0 || cols.reserve(count + 1) != 0 ||
        factors.reserve(count + 1) != 0 || starts.reserve(count + 2) != 0)
        return -1;
    rows[count] = row;
    cols[count] = col;
    factors[count] = factor;
    starts[0] = 0;
    starts[++count] = static_cast<int>(tokens.count);
    return 0;
}

int problem_formulaTarget(problem_s *p, FormulaTarget *target) {
    target->p = p;
    if (p->nlprob && p->nl_solver < 0 &&
        problem_call(p, NSLPgetintattrib, "NSLPgetintattrib", NSLP_ATTR_EQUALSCOLUMN,
                     &p->nl_solver) != 0)
        return -1;
    target->equalsColumn = p->nl_solver;
    target->registerUser = createUserFunction;
    return 0;
}

OwnedExprRow::OwnedExprRow() {
    room = growRoom;
}

OwnedExprRow::~OwnedExprRow() {
    for (void **a : {reinterpret_cast<void **>(&cols), reinterpret_cast<void **>(&vals),
                     reinterpret_cast<void **>(&qcols1), reinterpret_cast<void **>(&qcols2),
                     reinterpret_cast<void **>(&qvals)})
        nvo_MemoryAllocator_Free_Untyped(nvo_MemoryAllocator_DefaultHeap, a);
}

int convertExpr(problem_s *prob, PyObject *obj, ExprRow *out, bool objective) {
    out->constant = 0.0;
    out->nnz = out->nq = 0;
    return Converter(prob, out, objective).convert(obj);
}

namespace {

// A list of n values of array a converted by f. New reference or null.
template <class T, class F> PyObject *listOf(const T *a, uint64_t n, F f) {
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(n)));
    for (uint64_t i = 0; list && i < n; ++i) {
        PyObject *item = f(a[i]);
        if (!item) return nullptr;
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item);
    }
    return list.release();
}

} // namespace

PyObject *problem_convertForTests(PyObject *self, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"obj", "objective", nullptr};
    PyObject *obj;
    int objective = 0;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "O|p", kw, nullptr, &obj, &objective))
        return nullptr;
    auto *p = as_problem(self);
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    OwnedExprRow row;
    const int rc = convertExpr(p, obj, &row, objective != 0);
    Ref result;
    if (rc == 0) {
        auto col = [](int c) { return PyLong_FromLong(c); };
        auto val = [](double v) { return PyFloat_FromDouble(v); };
        result = Ref::steal(
            Py_BuildValue("(dNNNNN)", row.constant, listOf(row.cols, row.nnz, col),
                          listOf(row.vals, row.nnz, val), listOf(row.qcols1, row.nq, col),
                          listOf(row.qcols2, row.nq, col), listOf(row.qvals, row.nq, val)));
    }
    return result.release();
}
