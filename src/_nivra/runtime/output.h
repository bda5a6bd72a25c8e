// runtime/output.h: library output to sys.stdout.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "nslp.h"
#include "nvra.h"

// Global-environment handler registered while the library is started: prints the messages of
// the global environment (those of problems are printed by nvr_py_print_prob).
int nvr_py_print(NVRAobject obj, void *data, void *thread, const char *msg, int msgtype,
                 int msgcode);
// Problem message callback (user data: the problem, a problem_lib_s).
void nvr_py_print_prob(NVRAprob prob, void *data, const char *msg, int len, int msgtype);
// The nonlinear problem's message callback, printing as nvr_py_print_prob does (user data: the
// problem). The problem's nonlinear messages reach only this callback (its control
// nlp_msgforward is 0), so that each is printed once.
void nvr_py_print_probNL(NSLPprob nlprob, void *data, const char *msg, int len, int msgtype);
// Writes one line to sys.stdout (takes the interpreter lock itself).
void nvr_py_print_general(const char *text);
void nvr_py_flush_stdout();
