// runtime/npy.h: the one way this module includes NumPy's C interface (a single API table
// shared by all files; numeric/npdtypes.cpp imports it).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#define PY_ARRAY_UNIQUE_SYMBOL nvr_ARRAY_API
#define PY_UFUNC_UNIQUE_SYMBOL nvr_UFUNC_API
#ifndef NVR_NUMPY_IMPORT
#define NO_IMPORT_ARRAY
#define NO_IMPORT_UFUNC
#endif
#define NPY_NO_DEPRECATED_API NPY_1_25_API_VERSION
#define NPY_TARGET_VERSION NPY_1_25_API_VERSION
#include <numpy/arrayobject.h>
#include <numpy/ufuncobject.h>
