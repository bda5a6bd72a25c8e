// numeric/tensor.h: the two-operand tensor product behind Dot.
#pragma once

#include "runtime/npy.h"

// a·b with the shape rule of numpy.dot for NumPy arrays of numbers, variables and other model
// objects, and products of SciPy sparse matrices (compressed row or column form) with vectors
// of model objects. a = None (the start of a fold) gives b itself. out (null or None when not
// given) receives the result, replacing what its elements held, and is returned. A product
// with a 0-dimensional result gives its single element. New reference, or null with
// InterfaceError (or the error of an element operation).
PyObject *tensor_mult(PyObject *a, PyObject *b, PyObject *out);

// ---- shared by the dense and the sparse products --------------------------------------------

// Checks that out can receive a product result of element references: writeable and not
// sharing memory with the operands a and b (either may be null). 0 or -1 with InterfaceError.
int nvr_check_output_memory(PyArrayObject *out, PyArrayObject *a, PyArrayObject *b);
