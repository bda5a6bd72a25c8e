// runtime/output.cpp: routing of library messages to sys.stdout.
#include "output.h"

#include "env.h"
#include "errors.h"
#include "problem_lib.h"
#include "ref.h"

void nvr_py_print_general(const char *text) {
    if (!nvr_py_env.output_enabled) return;
    PyGILState_STATE g = PyGILState_Ensure();
    // PySys_FormatStdout keeps a pending exception intact.
    PySys_FormatStdout("%s\n", text);
    PyGILState_Release(g);
}

void nvr_py_flush_stdout() {
    if (!nvr_py_env.output_enabled) return;
    PyGILState_STATE g = PyGILState_Ensure();
    AutoSavedException keep;
    PyObject *out = PySys_GetObject("stdout"); // borrowed
    if (out && out != Py_None) {
        PyObject *r = PyObject_CallMethod(out, "flush", nullptr);
        if (r)
            Py_DECREF(r);
        else
            PyErr_Clear();
    }
    PyGILState_Release(g);
}

static void printOrFlush(const char *msg, int msgtype) {
    if (msgtype < 1)
        nvr_py_flush_stdout();
    else
        nvr_py_print_general(msg);
}

void nvr_py_print_prob(NVRAprob, void *data, const char *msg, int, int msgtype) {
    auto *p = static_cast<problem_lib_s *>(data);
    if (!p || !p->output_enabled) return;
    printOrFlush(msg, msgtype);
}

void nvr_py_print_probNL(NSLPprob, void *data, const char *msg, int len, int msgtype) {
    nvr_py_print_prob(nullptr, data, msg, len, msgtype);
}

int nvr_py_print(NVRAobject obj, void *, void *, const char *msg, int msgtype, int) {
    // The library hands its global handlers every message, those of problems too; a message of
    // an object (a problem) is printed by that object's own callback, so only messages of the
    // global environment (no object) are printed here, without asking the library what obj is.
    if (obj) return 0;
    printOrFlush(msg, msgtype);
    return 0;
}
