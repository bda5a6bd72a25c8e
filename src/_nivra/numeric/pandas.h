// numeric/pandas.h: pandas Series and Index as arguments, without importing pandas: an object
// is one only when pandas is imported already (the user made it) and it is an instance.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

// 1 when o is a pandas.Series (kind "Series") or pandas.Index ("Index"), 0 when not, -1 with
// an exception.
int nvr_is_pandas(PyObject *o, const char *kind);
// The values of a Series or Index as a NumPy array (to_numpy()), any other object as itself.
// New reference or null.
PyObject *nvr_pandas_values(PyObject *o);
// A Series of values with the index and name of series. New reference or null.
PyObject *nvr_pandas_series_like(PyObject *series, PyObject *values);
