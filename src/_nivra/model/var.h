// model/var.h: nivra.var, the decision variable: its record, identifier and flags, and the
// functions other files need (column lookup, bounds validation, names, scaled copies).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>

#include "runtime/problem_lib.h"

struct problem_model_s;

// The record behind nivra.var. owner: null for an unlinked variable, kDeletedOwner once its
// column was deleted, else the owning problem (not a counted reference: the problem marks its
// variables deleted when it lets them go). The identifier id_low + (id_high << 32) is the
// column index of a linked variable and the serial number of an unlinked one (0: never
// initialised). flags are meaningful for unlinked variables only (kVarFlag* below).
struct var_s {
    PyObject_HEAD problem_model_s *owner;
    uint32_t id_low;
    uint16_t id_high;
    uint16_t flags;
};

extern PyTypeObject var_type;

// The owner value of a deleted model object.
inline problem_model_s *const kDeletedOwner =
    reinterpret_cast<problem_model_s *>(kDeletedProblemAddress);

// Flags of an unlinked variable.
constexpr uint16_t kVarLbMask = 0x3;         // 0: 0.0, 1: -1e20, 2: 1.0, 3: in unlinked_lb
constexpr uint16_t kVarUbMask = 0xC;         // (>> 2) 0: 1e20, 1: 0.0, 2: 1.0, 3: in unlinked_ub
constexpr uint16_t kVarThresholdFlag = 0x10; // threshold in unlinked_threshold (else -1e20)
constexpr uint16_t kVarNameFlag = 0x20;      // name in unlinked_names
constexpr uint16_t kVarAddedFlag = 0x40;     // added to a problem at least once
constexpr int kVarTypeShift = 8;             // bits 8-10: variable type 0..5
constexpr uint16_t kVarTypeMask = 0x700;

// Variable types (module constants) and the library's column type letters.
enum VarType : int {
    kContinuous = 0,
    kBinary = 1,
    kInteger = 2,
    kSemiContinuous = 3,
    kSemiInteger = 4,
    kPartiallyInteger = 5,
};

inline bool var_Check(PyObject *o) {
    return Py_IS_TYPE(o, &var_type);
}
inline var_s *as_var(PyObject *o) {
    return reinterpret_cast<var_s *>(o);
}
inline uint64_t var_id(const var_s *v) {
    return v->id_low | (uint64_t{v->id_high} << 32);
}
// Order of variables everywhere: by identifier, upper 16 bits first, then lower 32 bits.
inline bool var_key_greater(const var_s *a, const var_s *b) {
    return var_id(a) > var_id(b);
}
inline bool var_is_deleted(const var_s *v) {
    return v->owner == kDeletedOwner;
}

// "C" for types outside 1..5, else the letter of the type.
char vartype_to_coltype(int vartype);
// 0 for letters other than B, I, S, R, P.
int coltype_to_vartype(char coltype);

// Checks a variable type and its bounds (ModelError), rounds the bounds of binary and integer
// variables. 0 or -1.
int validate_var_bounds(long vartype, double *lb, double *ub, double threshold);

// str() of a variable: its name, "C<serial>" for an unnamed unlinked variable, or
// "(deleted variable)". New reference, or null with an exception.
PyObject *var_str(PyObject *var);

// The column of var in prob (ModelError when it has none there; context, which may be null,
// names the caller's use in the message). 0 or -1.
int get_var_col(problem_model_s *prob, PyObject *var, int *col, const char *context);
int get_var_col_nowarn(problem_model_s *prob, PyObject *var, int *col, const char *context);

// c·x: x itself for c = 1, the float 0.0 for c = 0, else the linear term. New reference or null.
PyObject *var_copy(PyObject *x, double c);

// Makes v (a variable record) an unlinked variable with identifier serial and the given
// settings (validated by the caller); name is null or a str (a reference is taken).
// 0, or -1 with MemoryError.
int var_init_unlinked(PyObject *v, uint64_t serial, int vartype, double lb, double ub,
                      double threshold, PyObject *name);
// The type, bounds and threshold (-1e20 when none) of an unlinked variable.
void var_unlinked_props(const var_s *v, int *vartype, double *lb, double *ub, double *threshold);

// A new all-zero variable record (unlinked, identifier 0), for the problem code to fill.
// New reference or null.
PyObject *var_base();
