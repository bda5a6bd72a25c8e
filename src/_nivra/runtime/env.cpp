// runtime/env.cpp: the module-wide record and the counted start and stop of the library.
#include "env.h"

#include "errors.h"
#include "nslp.h"
#include "nvra.h"
#include "output.h"
#include "problem_lib.h"

nvr_py_env_s nvr_py_env;

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
        return setNvraErr(nullptr);
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

// Frees the library side of every live problem (the objects stay alive). 0 or -1.
static int releaseAllProblems() {
    int rc = 0;
    for (problem_lib_s *p = nvr_py_env.problems; p; p = p->next)
        if (nvr_py_env.hooks.release_problem(p) != 0) rc = -1;
    return rc;
}

int turnNVRAoff(int explicit_start) {
    int rc = 0;
    while (nvr_py_env.start_count > 0) {
        if (nvr_py_env.start_count == 1) {
            NVRA_ge_removecbmsghandler(nvr_py_print, nullptr);
            if (releaseAllProblems() != 0) rc = -1;
        }
        if (nvr_py_env.nonlinear_available > 0) NSLPfree();
        NVRAfree();
        --nvr_py_env.start_count;
        if (explicit_start) break;
    }
    return rc;
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
