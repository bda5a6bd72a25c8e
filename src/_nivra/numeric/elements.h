// numeric/elements.h: reading the elements of NumPy arrays: reference slots of the object and
// model element types, numbers of the numeric types (half precision included), native byte
// order, and the element walk that the aggregates and the nested-object walker share.
#pragma once

#include "runtime/npy.h"

#include <cstdint>
#include <cstring>

#include "runtime/env.h"

// ---- element types ----------------------------------------------------------------------------

inline bool nvr_is_npvar(const PyArray_Descr *d) {
    return d->type_num == nvr_py_env.npvar_dtype->type_num;
}
inline bool nvr_is_npexpr(const PyArray_Descr *d) {
    return d->type_num == nvr_py_env.npexpr_dtype->type_num;
}
inline bool nvr_is_npconstraint(const PyArray_Descr *d) {
    return d->type_num == nvr_py_env.npconstraint_dtype->type_num;
}
// Element types whose elements are references to arbitrary objects (NumPy object, expression).
inline bool nvr_is_object_like(const PyArray_Descr *d) {
    return d->type_num == NPY_OBJECT || nvr_is_npexpr(d);
}

// ---- reference slots --------------------------------------------------------------------------

// The reference stored in an element slot (borrowed; null for an empty slot).
inline PyObject *nvr_slot_get(const char *p) {
    PyObject *o;
    memcpy(&o, p, sizeof o);
    return o;
}
// Stores o in a slot, taking over the caller's reference, and releases the one it replaces.
inline void nvr_slot_set(char *p, PyObject *o) {
    PyObject *old = nvr_slot_get(p);
    memcpy(p, &o, sizeof o);
    Py_XDECREF(old);
}

// ---- numbers ----------------------------------------------------------------------------------

// IEEE 754 binary16 to single precision; exact (subnormals are normalised).
inline float nvr_half_to_float(uint16_t h) {
    const uint32_t sign = uint32_t{h & 0x8000u} << 16;
    uint32_t exponent = (h >> 10) & 0x1Fu, mantissa = h & 0x3FFu, bits;
    if (exponent == 0x1F) {
        bits = sign | 0x7F800000u | (mantissa << 13); // infinity or NaN
    } else if (exponent != 0) {
        bits = sign | ((exponent + 112) << 23) | (mantissa << 13);
    } else if (mantissa == 0) {
        bits = sign; // signed zero
    } else {
        exponent = 113; // subnormal: shift the leading bit into the hidden position
        while (!(mantissa & 0x400u)) {
            mantissa <<= 1;
            --exponent;
        }
        bits = sign | (exponent << 23) | ((mantissa & 0x3FFu) << 13);
    }
    float f;
    memcpy(&f, &bits, sizeof f);
    return f;
}

// Reads one number of type T (native byte order, any alignment) as a double.
template <class T> double nvr_read_number(const char *p) {
    T v;
    memcpy(&v, p, sizeof v);
    return static_cast<double>(v);
}
template <> inline double nvr_read_number<npy_half>(const char *p) {
    npy_half h;
    memcpy(&h, p, sizeof h);
    return nvr_half_to_float(h);
}

// A new reference to arr in native byte order: arr itself, or a converted copy. Null on failure.
PyArrayObject *nvr_native_array(PyArrayObject *arr);

// ---- element walk -----------------------------------------------------------------------------

// How the elements of an array reach the aggregates and the nested-object walker: a reference
// slot gives the stored object, a number type a new Python float.
enum class ElementSource {
    kObjectSlot, // NumPy object elements: any object
    kModelSlot,  // the module's variable, expression (and for the walker constraint) elements
    kDouble,
    kInt32,
    kBool,
};

// The source of arr's elements, or -1 (no exception) for element types that are not accepted.
// Constraint elements are accepted only when constraints is set.
int nvr_element_source(PyArrayObject *arr, bool constraints, ElementSource *source);

// Calls visit(element, source) for every element of arr in memory order, where element is a
// borrowed reference (null for an empty slot) that stays alive during the call. Stops at the
// first non-zero result of visit and returns it; -1 with an exception for iterator failures
// and for arrays whose element type is not accepted (ModelError "Incorrect objects used in
// Sum, Dot, Prod, or aggregate functions").
using nvr_element_visitor = int (*)(PyObject *element, ElementSource source, void *ctx);
int nvr_for_each_element(PyArrayObject *arr, bool constraints, nvr_element_visitor visit,
                         void *ctx);

// nvr_for_each_element with a callable.
template <class F> int nvr_for_each_element(PyArrayObject *arr, bool constraints, F &&f) {
    return nvr_for_each_element(
        arr, constraints,
        [](PyObject *el, ElementSource s, void *ctx) { return (*static_cast<F *>(ctx))(el, s); },
        &f);
}
