// runtime/args.cpp: argument parsing, missing-argument messages and string helpers.
#include "runtime/npy.h"

#include "args.h"

#include <cmath>
#include <cstdarg>
#include <cstring>

#include "alloc.h"
#include "env.h"
#include "errors.h"
#include "ref.h"

int nvo_ParseTupleAndKeywords(PyObject *args, PyObject *kwargs, const char *format,
                              const char *const *kw, const char *const *oldkw, ...) {
    va_list va, vb;
    va_start(va, oldkw);
    va_copy(vb, va);
    int ok = PyArg_VaParseTupleAndKeywords(args, kwargs, format, const_cast<char **>(kw), va);
    va_end(va);
    if (ok || !oldkw) {
        va_end(vb);
        return ok;
    }
    PyObject *t1, *v1, *tb1;
    PyErr_Fetch(&t1, &v1, &tb1);
    ok = PyArg_VaParseTupleAndKeywords(args, kwargs, format, const_cast<char **>(oldkw), vb);
    va_end(vb);
    if (!ok) {
        PyErr_Clear();
        PyErr_Restore(t1, v1, tb1);
        return 0;
    }
    Py_XDECREF(t1);
    Py_XDECREF(v1);
    Py_XDECREF(tb1);
    return warnDeprec(9, 5,
                      "function called with old argument names: check the documentation for "
                      "the new argument names") == 0;
}

int parseKeywordArgs(PyObject *kwargs, const char *format, const char *const *kw, ...) {
    if (!kwargs) return 1;
    Ref empty = Ref::steal(PyTuple_New(0));
    if (!empty) return 0;
    va_list va;
    va_start(va, kw);
    int ok =
        PyArg_VaParseTupleAndKeywords(empty.get(), kwargs, format, const_cast<char **>(kw), va);
    va_end(va);
    return ok;
}

// Appends names to "Must provide argument[s]" in a 256-byte buffer and raises it.
static void raiseMissing(const char *const *names, int n) {
    char buf[256];
    size_t len = (size_t)snprintf(buf, sizeof buf, "Must provide argument%s", n > 1 ? "s" : "");
    for (int i = 0; i < n && len < sizeof buf - 1; ++i)
        len += (size_t)snprintf(buf + len, sizeof buf - len, "%s%s", i ? ", " : " ", names[i]);
    PyErr_SetString(nvy_interf_exc, buf);
}

void nvo_PyErr_MissingArgs(const char *name, ...) {
    const char *names[64];
    int n = 0;
    va_list va;
    va_start(va, name);
    for (const char *s = name; s && n < 64; s = va_arg(va, const char *))
        names[n++] = s;
    va_end(va);
    raiseMissing(names, n);
}

void nvo_PyErr_MissingArgsRange(const char *const *names, int first, int last) {
    raiseMissing(names + first, last > first ? last - first : 0);
}

// Text and length of obj without copying; keep receives an owning object when one is needed.
static const char *strView(PyObject *obj, Py_ssize_t *len, PyObject **keep) {
    if (PyUnicode_Check(obj)) {
        const char *s = PyUnicode_AsUTF8AndSize(obj, len);
        if (s) return s;
        PyErr_Clear();
        PyObject *ascii = PyUnicode_AsASCIIString(obj);
        if (!ascii) return nullptr;
        *keep = ascii;
        *len = PyBytes_GET_SIZE(ascii);
        return PyBytes_AS_STRING(ascii);
    }
    if (PyBytes_Check(obj)) {
        *len = PyBytes_GET_SIZE(obj);
        return PyBytes_AS_STRING(obj);
    }
    PyErr_Format(PyExc_TypeError, "expected str or bytes, not %.200s", Py_TYPE(obj)->tp_name);
    return nullptr;
}

const char *pyStrToStr(PyObject *obj, char **copy, PyObject **keep) {
    if (!obj) return nullptr;
    PyObject *owner = nullptr;
    Py_ssize_t len = 0;
    const char *s = strView(obj, &len, &owner);
    if (!s) return nullptr;
    if (copy) {
        if (nvo_MemoryAllocator_Realloc_Untyped(nvo_MemoryAllocator_DefaultHeap,
                                                reinterpret_cast<void **>(copy),
                                                (size_t)len + 1) != 0) {
            Py_XDECREF(owner);
            return nullptr;
        }
        memcpy(*copy, s, (size_t)len + 1);
    }
    if (keep)
        *keep = owner;
    else if (owner) {
        // Without keep the text dies with its owner: only a copy can be handed out.
        Py_DECREF(owner);
        if (copy) return *copy;
        PyErr_SetString(PyExc_UnicodeError, "string cannot be encoded as UTF-8 or ASCII");
        return nullptr;
    }
    return s;
}

Py_ssize_t pyStrLen(PyObject *obj) {
    if (!obj) return -1;
    PyObject *owner = nullptr;
    Py_ssize_t len = 0;
    const char *s = strView(obj, &len, &owner);
    Py_XDECREF(owner);
    return s ? len : -1;
}

bool nvo_isIntegerArg(PyObject *obj) {
    return PyLong_Check(obj) || PyArray_IsScalar(obj, Byte) || PyArray_IsScalar(obj, Short) ||
           PyArray_IsScalar(obj, Int) || PyArray_IsScalar(obj, Long);
}

const char *nvr_nameText(PyObject *name, const char *what, Py_ssize_t *len) {
    if (!PyUnicode_Check(name)) {
        PyErr_Format(nvy_model_exc, "%s name must be a string", what);
        return nullptr;
    }
    Py_ssize_t n = 0;
    const char *text = PyUnicode_AsUTF8AndSize(name, &n);
    if (!text) return nullptr;
    if (strlen(text) != static_cast<size_t>(n)) {
        PyErr_Format(nvy_model_exc, "%s name must not contain a zero character", what);
        return nullptr;
    }
    if (len) *len = n;
    return text;
}

int nvr_readNumber(PyObject *value, double *x, const char *nanMsg) {
    *x = PyFloat_AsDouble(value);
    if (*x == -1.0 && PyErr_Occurred()) return -1;
    return std::isnan(*x) ? nvr_model_error(nanMsg) : 0;
}
