// numeric/elements.cpp: native byte order views and the element walk of arrays.
#include "elements.h"

#include "runtime/ref.h"

PyArrayObject *nvr_native_array(PyArrayObject *arr) {
    if (PyArray_ISNOTSWAPPED(arr)) {
        Py_INCREF(arr);
        return arr;
    }
    PyArray_Descr *native = PyArray_DescrNewByteorder(PyArray_DESCR(arr), NPY_NATIVE);
    if (!native) return nullptr;
    return reinterpret_cast<PyArrayObject *>(
        PyArray_FromArray(arr, native, NPY_ARRAY_NOTSWAPPED | NPY_ARRAY_FORCECAST));
}

int nvr_element_source(PyArrayObject *arr, bool constraints, ElementSource *source) {
    const PyArray_Descr *d = PyArray_DESCR(arr);
    switch (d->type_num) {
    case NPY_OBJECT:
        *source = ElementSource::kObjectSlot;
        return 0;
    case NPY_DOUBLE:
        *source = ElementSource::kDouble;
        return 0;
    case NPY_INT:
        *source = ElementSource::kInt32;
        return 0;
    case NPY_BOOL:
        *source = ElementSource::kBool;
        return 0;
    default:
        break;
    }
    if (nvr_is_npvar(d) || nvr_is_npexpr(d) || (constraints && nvr_is_npconstraint(d))) {
        *source = ElementSource::kModelSlot;
        return 0;
    }
    return -1;
}

namespace {

PyObject *incorrectObjects() {
    PyErr_SetString(nvy_model_exc,
                    "Incorrect objects used in Sum, Dot, Prod, or aggregate functions");
    return nullptr;
}

// The element at p as a new reference (null without exception for an empty slot).
PyObject *readElement(const char *p, ElementSource source) {
    switch (source) {
    case ElementSource::kDouble:
        return PyFloat_FromDouble(nvr_read_number<double>(p));
    case ElementSource::kInt32:
        return PyFloat_FromDouble(nvr_read_number<npy_int32>(p));
    case ElementSource::kBool:
        return PyFloat_FromDouble(*p ? 1.0 : 0.0);
    default:
        return Py_XNewRef(nvr_slot_get(p));
    }
}

} // namespace

int nvr_for_each_element(PyArrayObject *arr, bool constraints, nvr_element_visitor visit,
                         void *ctx) {
    ElementSource source;
    if (nvr_element_source(arr, constraints, &source) != 0) return incorrectObjects(), -1;
    Ref native = Ref::steal(reinterpret_cast<PyObject *>(nvr_native_array(arr)));
    if (!native || PyArray_SIZE(reinterpret_cast<PyArrayObject *>(native.get())) == 0)
        return native ? 0 : -1;
    NpyIter *it = NpyIter_New(reinterpret_cast<PyArrayObject *>(native.get()),
                              NPY_ITER_READONLY | NPY_ITER_REFS_OK | NPY_ITER_EXTERNAL_LOOP,
                              NPY_KEEPORDER, NPY_NO_CASTING, nullptr);
    if (!it) return -1;
    NpyIter_IterNextFunc *next = NpyIter_GetIterNext(it, nullptr);
    int rc = next ? 0 : -1;
    if (next) {
        char **data = NpyIter_GetDataPtrArray(it);
        npy_intp *stride = NpyIter_GetInnerStrideArray(it);
        npy_intp *size = NpyIter_GetInnerLoopSizePtr(it);
        do {
            const char *p = data[0];
            for (npy_intp i = 0; i < *size && rc == 0; ++i, p += stride[0]) {
                Ref element = Ref::steal(readElement(p, source));
                const bool slot =
                    source == ElementSource::kObjectSlot || source == ElementSource::kModelSlot;
                rc = element || slot ? visit(element.get(), source, ctx) : -1;
            }
        } while (rc == 0 && next(it));
    }
    NpyIter_Deallocate(it);
    return rc;
}
