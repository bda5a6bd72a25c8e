// model/sos.h: nivra.sos, a special ordered set of variables with weights: its record, and the
// set lookup for the problem code.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>

struct problem_model_s;

// The record. owner: null unlinked, kDeletedOwner deleted, else the owning problem (not a
// counted reference). index: the set's index when linked, the serial when unlinked (0: not
// initialised). name: the stored name of an unlinked set. indices and weights: the lists given
// at construction (owned).
struct sos_s {
    PyObject_HEAD problem_model_s *owner;
    int64_t index;
    PyObject *name;
    int type;
    PyObject *indices;
    PyObject *weights;
};

extern PyTypeObject sos_type;

inline bool sos_Check(PyObject *o) {
    return Py_IS_TYPE(o, &sos_type);
}
inline sos_s *as_sos(PyObject *o) {
    return reinterpret_cast<sos_s *>(o);
}

// A new set object linked to the set at index of prob. New reference or null.
PyObject *sos_new_linked(problem_model_s *prob, int64_t index);

// The index of the set of sos in prob (ModelError when it has none there). 0 or -1.
int get_sos_index(problem_model_s *prob, const sos_s *sos, int64_t *index);
