// runtime/env.cpp: the module-wide record and the counted start and stop of the library.
#include "env.h"

#include "errors.h"
#include "nslp.h"
#include "nvra.h"
#include "output.h"
#include "problem_lib.h"

nvr_py_env_s nvr_py_env;

PyObject *nvy_model_exc;
PyObject *nvy_interf_exc;
PyObject *nvy_solver_exc;
PyObject *nvy_deprec_warn;

static void decrementStarts() {
    if (--nvr_py_env.start_count < 0) nvr_py_env.start_count = 0;
}

// Undoes a start that failed after NVRAinit succeeded. Returns -1.
static int undoStart(int previous, bool nslpStarted) {
    if (previous == 0) NVRA_ge_removecbmsghandler(nvr_py_print, nullptr);
    if (nslpStarted) NSLPfree();
    NVRAfree();
    decrementStarts();
    return -1;
}

int turnNVRAon(const char *path, int explicit_start) {
    if (!explicit_start && nvr_py_env.start_count > 0) return 0;
    const int previous = nvr_py_env.start_count;
    ++nvr_py_env.start_count;
    if (NVRAinit(path) != 0) {
        decrementStarts();
        char msg[512] = "";
        int code = 0;
        NVRA_ge_getlasterror(&code, msg, sizeof msg, nullptr);
        PyErr_SetString(nvy_interf_exc, *msg ? msg : "Error starting the optimizer library");
        return -1;
    }
    bool nslpStarted = false;
    if (nvr_py_env.nonlinear_available != 0) {
        const int rc = NSLPinit(path);
        if (rc == 0) {
            nvr_py_env.nonlinear_available = 1;
            nslpStarted = true;
        } else if (rc == NVRA_RC_NOTAVAILABLE) {
            nvr_py_env.nonlinear_available = 0;
        } else {
            PyErr_SetString(nvy_interf_exc, "Error initializing NSLP environment");
            return undoStart(previous, false);
        }
    }
    if (previous == 0 && NVRA_ge_addcbmsghandler(nvr_py_print, nullptr, 1) != 0) {
        setNvraErr(nullptr);
        if (nslpStarted) NSLPfree();
        NVRAfree();
        decrementStarts();
        return -1;
    }
    if (nvr_py_env.hooks.build_tables() != 0) return undoStart(previous, nslpStarted);
    return 0;
}

// Frees the library resources of every live problem (the objects stay alive).
static void freeAllProblems() {
    for (problem_lib_s *p = nvr_py_env.problems; p; p = p->next)
        nvr_py_env.hooks.release_problem(p);
}

int turnNVRAoff(int explicit_start) {
    if (nvr_py_env.start_count == 0) return 0;
    for (;;) {
        if (nvr_py_env.start_count == 1) {
            NVRA_ge_removecbmsghandler(nvr_py_print, nullptr);
            AutoSavedException keep;
            freeAllProblems();
        }
        if (nvr_py_env.nonlinear_available > 0) NSLPfree();
        NVRAfree();
        if (--nvr_py_env.start_count < 0) {
            nvr_py_env.start_count = 0;
            return 0;
        }
        if (explicit_start || nvr_py_env.start_count == 0) return 0;
    }
}

int init_structures(PyObject *module) {
    struct {
        const char *name;
        long value;
    } static const ints[] = {{"continuous", 0},     {"binary", 1},      {"integer", 2},
                             {"semicontinuous", 3}, {"semiinteger", 4}, {"partiallyinteger", 5},
                             {"minimize", 1},       {"maximize", -1}};
    for (auto &c : ints)
        if (PyModule_AddIntConstant(module, c.name, c.value) != 0) return -1;
    PyObject *inf = PyFloat_FromDouble(NVRA_PLUSINFINITY);
    if (!inf || PyModule_AddObject(module, "infinity", inf) != 0) {
        Py_XDECREF(inf);
        return -1;
    }
    nvr_py_env.next_var_serial = 1;
    nvr_py_env.next_constraint_serial = 1;
    nvr_py_env.next_sos_serial = 1;
    return 0;
}
