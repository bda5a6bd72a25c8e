// runtime/output.h: library output to sys.stdout.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "nvra.h"

// Global-environment handler registered while the library is started: prints the messages of
// the global environment (those of problems are printed by nvr_py_print_prob).
int nvr_py_print(NVRAobject obj, void *data, void *thread, const char *msg, int msgtype,
                 int msgcode);
// Problem message callback (user data: the problem, a problem_lib_s).
void nvr_py_print_prob(NVRAprob prob, void *data, const char *msg, int len, int msgtype);
// Writes one line to sys.stdout (takes the interpreter lock itself).
void nvr_py_print_general(const char *text);
void nvr_py_flush_stdout();
