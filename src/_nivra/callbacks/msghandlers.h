// callbacks/msghandlers.h: Python message handlers of the library's global environment.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

// addcbmsghandler and removecbmsghandler.
extern PyMethodDef nvr_callbacks_methods[];
