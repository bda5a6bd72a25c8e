// numeric/npdtypes.cpp: registration of the element types npvar, npexpr and npconstraint and
// of their casts. Each element is one owned reference to a Python object.
#define NVR_NUMPY_IMPORT
#include "runtime/npy.h"

#include "npdtypes.h"

#include <cstring>

#include "model/constraint.h"
#include "model/expression.h"
#include "model/linterm.h"
#include "model/quadterm.h"
#include "model/var.h"
#include "runtime/env.h"
#include "nonlinear/nonlinear.h"

unsigned int nvr_numpy_feature_level = 0;

namespace {

// The element functions are the same for the three types; only nonzero differs.
PyObject *elem_getitem(void *data, void *) {
    PyObject *o;
    memcpy(&o, data, sizeof o);
    // An empty slot reads as None, as in NumPy's own object arrays.
    return Py_NewRef(o ? o : Py_None);
}

int elem_setitem(PyObject *item, void *data, void *) {
    PyObject *old;
    memcpy(&old, data, sizeof old);
    Py_XINCREF(item);
    memcpy(data, &item, sizeof item);
    Py_XDECREF(old);
    return 0;
}

// Copies n references with strides; the slots hold pointers in native order, so the swap flag
// (never requested for these byte-order-less types) is ignored.
void elem_copyswapn(void *dst, npy_intp dstride, void *src, npy_intp sstride, npy_intp n, int,
                    void *) {
    if (!src) return;
    char *d = static_cast<char *>(dst);
    const char *s = static_cast<const char *>(src);
    for (npy_intp i = 0; i < n; ++i, d += dstride, s += sstride) {
        PyObject *nw, *old;
        memcpy(&nw, s, sizeof nw);
        memcpy(&old, d, sizeof old);
        Py_XINCREF(nw);
        memcpy(d, &nw, sizeof nw);
        Py_XDECREF(old);
    }
}

void elem_copyswap(void *dst, void *src, int swap, void *arr) {
    elem_copyswapn(dst, 0, src, 0, 1, swap, arr);
}

npy_bool always_nonzero(void *, void *) {
    return NPY_TRUE;
}

npy_bool expr_nonzero(void *data, void *) {
    PyObject *o;
    memcpy(&o, data, sizeof o);
    return o && expression_nonzero(o) ? NPY_TRUE : NPY_FALSE;
}

// Cast between any two of variable, expression and object: the same references, one more each.
void cast_refs(void *from, void *to, npy_intp n, void *, void *) {
    elem_copyswapn(to, sizeof(PyObject *), from, sizeof(PyObject *), n, 0, nullptr);
}

struct ElementType {
    PyTypeObject *scalar;
    char typechar;
    const char *field;
    PyArray_NonzeroFunc *nonzero;
    PyArray_Descr **slot; // where nvr_py_env keeps the registered descriptor
    PyArray_ArrFuncs funcs;
    PyArray_DescrProto proto;
};

ElementType element_types[] = {
    {&constraint_type, 'c', "constraint", always_nonzero, &nvr_py_env.npconstraint_dtype, {}, {}},
    {&var_type, 'v', "variable", always_nonzero, &nvr_py_env.npvar_dtype, {}, {}},
    {&expression_type, 'e', "expression", expr_nonzero, &nvr_py_env.npexpr_dtype, {}, {}},
};

// Registers one element type. 0, or -1 with an exception.
int registerType(ElementType &t) {
    PyArray_InitArrFuncs(&t.funcs);
    t.funcs.getitem = elem_getitem;
    t.funcs.setitem = elem_setitem;
    t.funcs.copyswap = elem_copyswap;
    t.funcs.copyswapn = elem_copyswapn;
    t.funcs.nonzero = t.nonzero;

    PyArray_DescrProto &p = t.proto;
    if (nvr_numpy_feature_level < 18) {
        // Older NumPy: start from a copy of the object descriptor's prototype fields.
        PyArray_Descr *obj = PyArray_DescrFromType(NPY_OBJECT);
        if (!obj) return -1;
        memcpy(&p, obj, sizeof(PyArray_Descr) < sizeof p ? sizeof(PyArray_Descr) : sizeof p);
        Py_DECREF(obj);
    } else {
        memset(&p, 0, sizeof p);
    }
    Py_SET_TYPE(reinterpret_cast<PyObject *>(&p), &PyArrayDescr_Type);
    Py_SET_REFCNT(reinterpret_cast<PyObject *>(&p), 1);
    p.typeobj = t.scalar;
    p.kind = 'O';
    p.type = t.typechar;
    p.byteorder = '|';
    p.flags = NPY_OBJECT_DTYPE_FLAGS; // 0x3F
    p.type_num = 0;
    p.elsize = sizeof(PyObject *);
    p.alignment = alignof(PyObject *);
    p.subarray = nullptr;
    p.metadata = nullptr;
    p.c_metadata = nullptr;
    p.hash = -1;
    p.f = &t.funcs;

    // A one-field structure over an object slot tells NumPy to count the references.
    PyArray_Descr *objdescr = PyArray_DescrFromType(NPY_OBJECT);
    if (!objdescr) return -1;
    PyObject *entry = Py_BuildValue("(Ni)", objdescr, 0);
    PyObject *fields = entry ? PyDict_New() : nullptr;
    if (!fields || PyDict_SetItemString(fields, t.field, entry) != 0) {
        Py_XDECREF(entry);
        Py_XDECREF(fields);
        return -1;
    }
    Py_DECREF(entry);
    p.fields = fields;
    p.names = Py_BuildValue("(s)", t.field);
    if (!p.names) return -1;

    const int typenum = PyArray_RegisterDataType(&p);
    if (typenum < 0) return -1;
    if (typenum <= 20) {
        PyErr_Format(nvy_interf_exc, "Unexpected dtype returned from PyArray_RegisterDataType: %d",
                     typenum);
        return -1;
    }
    *t.slot = PyArray_DescrFromType(typenum);
    return *t.slot ? 0 : -1;
}

// Registers the casts between variable, expression and object element types.
int registerCasts() {
    PyArray_Descr *descrs[] = {nvr_py_env.npvar_dtype, nvr_py_env.npexpr_dtype,
                               PyArray_DescrFromType(NPY_OBJECT)};
    int rc = 0;
    for (PyArray_Descr *from : descrs)
        for (PyArray_Descr *to : descrs) {
            if (from == to || rc) continue;
            if (PyArray_RegisterCastFunc(from, to->type_num, cast_refs) < 0 ||
                PyArray_RegisterCanCast(from, to->type_num, NPY_NOSCALAR) < 0)
                rc = -1;
        }
    Py_DECREF(descrs[2]);
    return rc;
}

// NumPy's own operators (array + x, array <= x) leave an operand alone whose type sets
// __array_ufunc__ to None, and Python then calls the model object's reflected operator, which
// applies the module's element loops. Without this, array * x would give an array of NumPy's
// object type (and array <= x truth values) where x * array gives an array of expressions.
int deferArrayOperators() {
    for (PyTypeObject *t :
         {&var_type, &linterm_type, &quadterm_type, &expression_type, &nonlinear_type}) {
        if (PyDict_SetItemString(t->tp_dict, "__array_ufunc__", Py_None) != 0) return -1;
        PyType_Modified(t);
    }
    return 0;
}

} // namespace

int setAltNumOps() {
    if (_import_array() < 0 || _import_umath() < 0) {
        PyErr_Print();
        PyErr_SetString(PyExc_ImportError, "numpy.core.multiarray failed to import");
        return -1;
    }
    nvr_numpy_feature_level = PyArray_GetNDArrayCFeatureVersion();
    for (ElementType &t : element_types)
        if (registerType(t) != 0) return -1;
    if (registerCasts() != 0) return -1;
    if (deferArrayOperators() != 0) return -1;
    return nvr_register_loops();
}
