// numeric/sparse.h: products of SciPy sparse matrices with vectors of model objects.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

// 1 when x is an instance of scipy.sparse.sparray or scipy.sparse.spmatrix, 0 when not, -1
// with an exception when the instance test fails. SciPy is never imported here: a sparse
// matrix exists only once scipy.sparse was imported, so its classes are taken from sys.modules.
int nvy_Sparse_IsSparseMat(PyObject *x);

// The product of a sparse matrix in csr or csc form with a 1-dimensional array of objects
// (either order): a 1-dimensional object array, one element per row (matrix·vector) or per
// column (vector·matrix). out (may be null) receives the result, replacing what its elements
// held, and is returned. New reference, or null with InterfaceError (or the error of an
// element operation).
PyObject *nvy_Sparse_Product(PyObject *a, PyObject *b, PyObject *out);
