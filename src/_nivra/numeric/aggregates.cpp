// numeric/aggregates.cpp: the module functions Sum, Prod, Dot, And and Or, which reduce any
// number of operands, given separately or as one collection, with one operation of the
// algebra; and convert_const_to_expr, which normalises their results.
#include "accumulate.h"
#include "elements.h"

#include "model/algebra.h"
#include "model/expression.h"
#include "model/linterm.h"
#include "model/operand.h"
#include "model/quadterm.h"
#include "model/var.h"
#include "aggregates.h"
#include "pandas.h"
#include "runtime/ref.h"
#include "tensor.h"
#include "walker.h"

namespace {

// ---- operands ---------------------------------------------------------------------------------

// Calls f(item) for the items of a tuple or list, by index (the length is read again after
// every item, since f may run code that changes a list). 0 or f's failure.
template <class F> int eachItem(PyObject *seq, F &f) {
    for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(seq); ++i) {
        Ref item = Ref::borrow(PySequence_Fast_GET_ITEM(seq, i));
        if (const int rc = f(item.get())) return rc;
    }
    return 0;
}

// Calls f(operand) for each operand of an aggregate, skipping None. With one positional
// argument that argument is the collection of operands, otherwise the argument tuple is:
// tuples and lists by index, NumPy arrays element by element, other sequences through a fast
// view, dictionaries by value, other iterables by iteration; any other object is the only
// operand, which must be a number or a model object unless anySingle is set. 0 or -1.
template <class F> int forEachOperand(PyObject *args, bool anySingle, F &&f) {
    PyObject *coll = PyTuple_GET_SIZE(args) == 1 ? PyTuple_GET_ITEM(args, 0) : args;
    auto visit = [&f](PyObject *o) { return o == Py_None ? 0 : f(o); };
    if (PyTuple_Check(coll) || PyList_Check(coll)) return eachItem(coll, visit);
    if (PyArray_Check(coll))
        return nvr_for_each_element(
            reinterpret_cast<PyArrayObject *>(coll), false, [&](PyObject *el, ElementSource) {
                return el ? visit(el)
                          : nvr_model_error("Incorrect objects used in Sum, Dot, "
                                            "Prod, or aggregate functions");
            });
    if (PySequence_Check(coll)) {
        if (PySequence_Size(coll) < 0) return nvr_model_error("Invalid sequence of objects");
        Ref fast = Ref::steal(PySequence_Fast(coll, ""));
        return fast ? eachItem(fast.get(), visit) : nvr_model_error("Cannot iterate over sequence");
    }
    if (PyDict_Check(coll)) {
        Ref values = Ref::steal(PyDict_Values(coll));
        return values ? eachItem(values.get(), visit) : -1;
    }
    if (Py_TYPE(coll)->tp_iter) {
        Ref it = Ref::steal(PyObject_GetIter(coll));
        if (!it) return -1;
        while (Ref item = Ref::steal(PyIter_Next(it.get())))
            if (const int rc = visit(item.get())) return rc;
        return PyErr_Occurred() ? -1 : 0;
    }
    if (!anySingle && coll != Py_None && exprKindOf(coll) < 0)
        return nvr_model_error("Invalid object in Sum or Prod operators");
    return visit(coll);
}

// Combines each operand into an accumulator that starts as None. 0 or -1.
template <class Combine> int fold(PyObject *args, Ref &acc, Combine combine) {
    return forEachOperand(args, false, [&](PyObject *o) {
        acc = Ref::steal(combine(acc ? acc.get() : Py_None, o));
        return acc ? 0 : -1;
    });
}

// ---- results ----------------------------------------------------------------------------------

// Replaces *x, a reduction result, by its normal form: a number becomes an expression holding
// it; the number elements of an array of objects or expressions become such expressions,
// while model objects stay and anything else fails ("Invalid object in place of
// expression/constant"); other arrays are kept. Any other result fails ("Wrong expression
// resulting from cumulated operator (Sum, Prod, Dot)"). 0 or -1 with ModelError.
int convert_const_to_expr(Ref &x) {
    if (exprKindOf(x.get()) == kConst) {
        x = Ref::steal(expression_copy(x.get(), 1.0));
        return x ? 0 : -1;
    }
    if (!PyArray_Check(x.get()))
        return nvr_model_error(
            "Wrong expression resulting from cumulated operator (Sum, Prod, Dot)");
    PyArrayObject *arr = reinterpret_cast<PyArrayObject *>(x.get());
    if (!nvr_is_object_like(PyArray_DESCR(arr)) || PyArray_SIZE(arr) == 0) return 0;
    NpyIter *it = NpyIter_New(arr, NPY_ITER_READWRITE | NPY_ITER_REFS_OK | NPY_ITER_EXTERNAL_LOOP,
                              NPY_KEEPORDER, NPY_NO_CASTING, nullptr);
    if (!it) return -1;
    NpyIter_IterNextFunc *next = NpyIter_GetIterNext(it, nullptr);
    int rc = next ? 0 : -1;
    if (next) {
        char **data = NpyIter_GetDataPtrArray(it);
        npy_intp *stride = NpyIter_GetInnerStrideArray(it), *size = NpyIter_GetInnerLoopSizePtr(it);
        do {
            char *p = data[0];
            for (npy_intp i = 0; i < *size && rc == 0; ++i, p += stride[0]) {
                PyObject *el = nvr_slot_get(p);
                const int kind = el ? exprKindOf(el) : -1;
                if (kind < 0) {
                    rc = nvr_model_error("Invalid object in place of expression/constant");
                } else if (kind == kConst) {
                    PyObject *e = expression_copy(el, 1.0);
                    rc = e ? (nvr_slot_set(p, e), 0) : -1;
                }
            }
        } while (rc == 0 && next(it));
    }
    NpyIter_Deallocate(it);
    return rc;
}

// ---- Sum
// ------------------------------------------------------------------------------------------

// The kinds that Sum adds into its expression in place, ranked by how often they were met in
// this call: a homogeneous run of operands moves its kind to the front.
class KindRanking {
    int kind_[5] = {kLinterm, kVar, kQuadterm, kExpression, kConst};
    Py_ssize_t hits_[5] = {};

    static bool is(int kind, PyObject *o) {
        switch (kind) {
        case kLinterm:
            return Py_IS_TYPE(o, &linterm_type);
        case kVar:
            return Py_IS_TYPE(o, &var_type);
        case kQuadterm:
            return Py_IS_TYPE(o, &quadterm_type);
        case kExpression:
            return Py_IS_TYPE(o, &expression_type);
        default:
            return exprKindOf(o) == kConst;
        }
    }

  public:
    // o's kind among the five, or -1.
    int classify(PyObject *o) {
        for (int i = 0; i < 5; ++i) {
            if (!is(kind_[i], o)) continue;
            const int kind = kind_[i];
            const Py_ssize_t hits = ++hits_[i];
            int j = i;
            while (j > 0 && hits_[j - 1] < hits)
                --j;
            std::swap(kind_[i], kind_[j]);
            std::swap(hits_[i], hits_[j]);
            return kind;
        }
        return -1;
    }
};

// The number of operands a collection holds when it is known without iterating, else 0.
Py_ssize_t operandCount(PyObject *args) {
    PyObject *coll = PyTuple_GET_SIZE(args) == 1 ? PyTuple_GET_ITEM(args, 0) : args;
    if (PyList_Check(coll) || PyTuple_Check(coll)) return PySequence_Fast_GET_SIZE(coll);
    if (PyArray_Check(coll)) return PyArray_SIZE(reinterpret_cast<PyArrayObject *>(coll));
    if (PyDict_Check(coll)) return PyDict_GET_SIZE(coll);
    return 0;
}

// Sum(t1, t2, ...): the sum of the operands, added into one expression in place (operands of
// other kinds go through the general in-place addition).
PyObject *nivramod_Sum(PyObject *, PyObject *args) {
    ExpressionAccumulator acc;
    KindRanking ranking;
    acc.begin(operandCount(args));
    if (forEachOperand(args, true, [&](PyObject *o) { return acc.add(o, ranking.classify(o)); }) !=
        0)
        return nullptr;
    Ref r = Ref::steal(acc.take());
    if (r && exprKindOf(r.get()) == kConst && convert_const_to_expr(r) != 0) return nullptr;
    return r.release();
}

// ---- Prod, And, Or
// ----------------------------------------------------------------------------------

PyObject *nivramod_Prod(PyObject *, PyObject *args) {
    Ref acc;
    if (fold(args, acc, general_imul) != 0) return nullptr;
    return acc ? acc.release() : PyFloat_FromDouble(0.0);
}

// And and Or: a plain number starts the accumulator as itself rather than as a float copy, so
// that operands that are plain Python values combine as Python's & and | do.
template <binaryfunc Logical> PyObject *logical(PyObject *args) {
    Ref acc;
    const int rc = fold(args, acc, [](PyObject *a, PyObject *b) {
        return a == Py_None && exprKindOf(b) == kConst ? Py_NewRef(b) : Logical(a, b);
    });
    if (rc != 0) return nullptr;
    return acc ? acc.release() : Py_NewRef(Py_True);
}

PyObject *nivramod_And(PyObject *, PyObject *args) {
    return logical<general_iand>(args);
}
PyObject *nivramod_Or(PyObject *, PyObject *args) {
    return logical<general_ior>(args);
}

// ---- Dot ----------------------------------------------------------------------------------------

// Dot(t1, t2, ..., out=None): the left-to-right tensor product; out goes to the last product.
// A result array of objects made by products gets number elements turned into expressions.
PyObject *nivramod_Dot(PyObject *, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"out", nullptr};
    PyObject *out = nullptr;
    Ref noArgs = Ref::steal(PyTuple_New(0));
    if (!noArgs ||
        !PyArg_ParseTupleAndKeywords(noArgs.get(), kwargs, "|O", const_cast<char **>(kw), &out))
        return nullptr;
    Ref acc, pending;
    Py_ssize_t operands = 0;
    const int rc = forEachOperand(args, false, [&](PyObject *o) {
        if (pending) {
            acc = Ref::steal(tensor_mult(acc ? acc.get() : Py_None, pending.get(), nullptr));
            if (!acc) return -1;
        }
        pending = Ref::steal(nvr_pandas_values(o)); // a Series or Index by its values
        if (!pending) return -1;
        ++operands;
        return 0;
    });
    if (rc != 0) return nullptr;
    if (!pending) return PyFloat_FromDouble(0.0);
    acc = Ref::steal(tensor_mult(acc ? acc.get() : Py_None, pending.get(), out));
    if (!acc) return nullptr;
    if (operands > 1 && PyArray_Check(acc.get()) &&
        nvr_is_object_like(PyArray_DESCR(reinterpret_cast<PyArrayObject *>(acc.get()))) &&
        convert_const_to_expr(acc) != 0)
        return nullptr;
    return acc.release();
}

// METH_VARARGS | METH_KEYWORDS functions are stored through a cast to the generic signature.
template <class F> PyCFunction method(F f) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(f));
}

} // namespace

PyMethodDef nvr_numeric_methods[] = {
    {"Sum", nivramod_Sum, METH_VARARGS,
     PyDoc_STR("Sum(t1, t2, ...) or Sum(collection): the sum of the operands (None is skipped)")},
    {"Prod", nivramod_Prod, METH_VARARGS,
     PyDoc_STR("Prod(t1, t2, ...) or Prod(collection): the product of the operands")},
    {"Dot", method(nivramod_Dot), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("Dot(t1, t2, ..., out=None): the tensor product of NumPy arrays and SciPy sparse "
               "matrices, with the rules of numpy.dot")},
    {"And", nivramod_And, METH_VARARGS,
     PyDoc_STR("And(t1, t2, ...) or And(collection): the logical conjunction of the operands")},
    {"Or", nivramod_Or, METH_VARARGS,
     PyDoc_STR("Or(t1, t2, ...) or Or(collection): the logical disjunction of the operands")},
    {"_walk", method(nivramod_walk), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR(
         "_walk(obj, indicators=False) -> list: the leaves that the nested-object walker visits")},
    {nullptr, nullptr, 0, nullptr},
};
