// runtime/env.h: the one module-wide record nvr_py_env, the exception objects, and the counted
// start and stop of the optimizer library.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>

struct boundmap;
struct namemap;
struct problem_lib_s;
typedef struct _PyArray_Descr PyArray_Descr;

struct nvr_py_env_s {
    PyObject *module;                     // borrowed; non-null once the module is initialised
    uint64_t next_var_serial;             // serial of the next unlinked variable
    uint64_t next_constraint_serial;      // serial of the next unlinked constraint
    uint64_t next_sos_serial;             // serial of the next unlinked SOS
    PyObject *module_controls;            // nivra.control with no problem (owned)
    PyObject *control_table;              // dict name -> (id, type, solver) (owned)
    PyObject *attribute_table;            // dict name -> (id, type, solver) (owned)
    PyObject *default_control_values;     // dict of module default controls (owned)
    PyObject *msghandlers;                // list of [handler, data] entries (owned)
    int32_t nonlinear_available;          // -1 never started, 1 started, 0 not available
    int32_t start_count;                  // outstanding starts of the library, never negative
    uint8_t output_enabled;               // library messages go to sys.stdout
    uint8_t constraint_operators_enabled; // comparisons build constraints
    boundmap *unlinked_lb;
    boundmap *unlinked_ub;
    boundmap *unlinked_threshold;
    namemap *unlinked_names;
    PyArray_Descr *npvar_dtype; // owned
    PyArray_Descr *npexpr_dtype;
    PyArray_Descr *npconstraint_dtype;
    // The base classes of scipy.sparse, taken from sys.modules once some code imported it
    // (numeric/sparse.cpp); null until then (owned).
    PyObject *scipy_sparray;
    PyObject *scipy_spmatrix;
    PyObject *enum_classes;  // nivra.enums._BY_ID, id -> class, once needed (owned)
    problem_lib_s *problems; // head of the list of live problems
    // What starting and stopping the library involves in the layers above the runtime; set by
    // module.cpp at import.
    struct {
        int (*build_tables)();                   // first start: control and attribute tables
        int (*release_problem)(problem_lib_s *); // last stop: a live problem's library side
        // formula reading: the callable (borrowed) and operation code of the problem's user
        // function with identifier id, or null (no exception) for an unknown one
        PyObject *(*user_function)(problem_lib_s *, int id, int *op);
        // A problem's copy: the source's Python callbacks registered on the copy (dst, src).
        int (*copy_callbacks)(problem_lib_s *, problem_lib_s *);
    } hooks;
};

extern nvr_py_env_s nvr_py_env;

// Exception types (process globals, owned by the module).
extern PyObject *nvy_model_exc;   // nivra.ModelError
extern PyObject *nvy_interf_exc;  // nivra.InterfaceError
extern PyObject *nvy_solver_exc;  // nivra.SolverError
extern PyObject *nvy_deprec_warn; // nivra.DeprecationWarning

// Sets exc with msg and returns -1, the failure result of the int-returning helpers.
inline int nvr_raise(PyObject *exc, const char *msg) {
    PyErr_SetString(exc, msg);
    return -1;
}
// nvr_raise with nivra.ModelError.
inline int nvr_model_error(const char *msg) {
    return nvr_raise(nvy_model_exc, msg);
}

// Starts the library; explicit is 1 for _init. 0, or -1 with an exception set.
int turnNVRAon(const char *path, int explicit_start);
// Stops the library once (explicit) or completely. Releasing the live problems at the last stop
// goes on past a failure: 0, or -1 with the first failure raised.
int turnNVRAoff(int explicit_start);
// Adds the module constants and resets the serial counters. 0 or -1.
int init_structures(PyObject *module);
