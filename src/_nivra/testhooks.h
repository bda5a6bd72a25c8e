// testhooks.h: the private module functions for the tests (_live_counts, _algebra).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

extern PyMethodDef nvr_test_methods[];
