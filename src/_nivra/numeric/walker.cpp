// numeric/walker.cpp: the nested-object walker and its indicator variant.
#include "walker.h"

#include "elements.h"
#include "model/constraint.h"
#include "model/var.h"
#include "runtime/ref.h"

namespace {

enum class Nesting { kLeaf, kTuple, kList, kArray, kSequence, kDict, kIterable };

bool isIndicatorPair(PyObject *o) {
    if (PyTuple_GET_SIZE(o) != 2) return false;
    PyObject *condition = PyTuple_GET_ITEM(o, 0), *con = PyTuple_GET_ITEM(o, 1);
    return (Py_IS_TYPE(condition, &constraint_type) || var_Check(condition)) &&
           Py_IS_TYPE(con, &constraint_type);
}

// The classification of the walker, tested in this order. Any object with an __iter__ counts
// as iterable, so that sets and dictionary views are walked like generators.
template <bool Pairs> Nesting classify(PyObject *o) {
    if (PyTuple_Check(o)) return Pairs && isIndicatorPair(o) ? Nesting::kLeaf : Nesting::kTuple;
    if (PyList_Check(o)) return Nesting::kList;
    if (PyArray_Check(o)) return Nesting::kArray;
    if (PyBytes_Check(o) || PyUnicode_Check(o)) return Nesting::kLeaf;
    if (PySequence_Check(o)) return Nesting::kSequence;
    if (PyDict_Check(o)) return Nesting::kDict;
    if (Py_TYPE(o)->tp_iter) return Nesting::kIterable;
    return Nesting::kLeaf;
}

constexpr const char *kNullObject = "Incorrect (nested) array/list/sequence passed. Perhaps this "
                                    "is a NumPy array containing a tuple?";

template <bool Pairs> struct Walker {
    nvr_leaf_fn fn;
    void *ctx;

    int walk(PyObject *obj, int depth) {
        if (!obj) return nvr_model_error(kNullObject);
        const Nesting kind = classify<Pairs>(obj);
        if (depth < 0) return nvr_model_error("Maximum recursion (inclusion) level reached");
        switch (kind) {
        case Nesting::kLeaf:
            return fn(obj, ctx);
        case Nesting::kTuple:
        case Nesting::kList:
            return items(obj, depth - 1);
        case Nesting::kArray:
            return elements(reinterpret_cast<PyArrayObject *>(obj), depth - 1);
        case Nesting::kSequence:
            return sequence(obj, depth - 1);
        case Nesting::kDict: {
            Ref values = Ref::steal(PyDict_Values(obj));
            return values ? items(values.get(), depth - 1) : -1;
        }
        case Nesting::kIterable:
            return iterable(obj, depth - 1);
        }
        return 0;
    }

    // A tuple or list, by index; the length is read again after every item, as a leaf
    // operation may run code that changes a list.
    int items(PyObject *seq, int depth) {
        for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(seq); ++i) {
            Ref item = Ref::borrow(PySequence_Fast_GET_ITEM(seq, i));
            if (const int rc = walk(item.get(), depth)) return rc;
        }
        return 0;
    }

    int elements(PyArrayObject *arr, int depth) {
        return nvr_for_each_element(arr, true, [&](PyObject *el, ElementSource source) {
            if (source == ElementSource::kObjectSlot) return walk(el, depth);
            return el ? fn(el, ctx) : nvr_model_error(kNullObject);
        });
    }

    int sequence(PyObject *obj, int depth) {
        Ref fast = Ref::steal(PySequence_Fast(obj, ""));
        if (!fast) return nvr_model_error("Cannot iterate over sequence");
        return items(fast.get(), depth);
    }

    int iterable(PyObject *obj, int depth) {
        Ref it = Ref::steal(PyObject_GetIter(obj));
        if (!it) return -1;
        while (Ref item = Ref::steal(PyIter_Next(it.get())))
            if (const int rc = walk(item.get(), depth)) return rc;
        return PyErr_Occurred() ? -1 : 0;
    }
};

} // namespace

int for_each_nested_object(PyObject *obj, nvr_leaf_fn fn, void *ctx, int depth) {
    return Walker<false>{fn, ctx}.walk(obj, depth);
}

int for_each_nested_indicator(PyObject *obj, nvr_leaf_fn fn, void *ctx, int depth) {
    return Walker<true>{fn, ctx}.walk(obj, depth);
}

PyObject *nivramod_walk(PyObject *, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"obj", "indicators", nullptr};
    PyObject *obj;
    int indicators = 0;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|p", const_cast<char **>(kw), &obj,
                                     &indicators))
        return nullptr;
    Ref leaves = Ref::steal(PyList_New(0));
    if (!leaves) return nullptr;
    auto collect = [](PyObject *leaf, void *list) {
        return PyList_Append(static_cast<PyObject *>(list), leaf);
    };
    const int rc = (indicators ? for_each_nested_indicator
                               : for_each_nested_object)(obj, collect, leaves.get(), kNestingDepth);
    return rc == 0 ? leaves.release() : nullptr;
}
