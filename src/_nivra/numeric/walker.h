// numeric/walker.h: the nested-object walker through which problem methods accept arbitrarily
// nested collections of model objects.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

// The depth every caller starts with: a leaf enclosed in up to this many collections is
// accepted, one enclosed in more fails with "Maximum recursion (inclusion) level reached".
constexpr int kNestingDepth = 32;

// The per-leaf operation: 0 to go on, any other value stops the walk (with an exception set).
using nvr_leaf_fn = int (*)(PyObject *leaf, void *ctx);

// Visits every leaf of obj: the items of tuples, lists and other sequences, the elements of
// NumPy arrays (numbers read as floats; see numeric/elements.h), the values of dictionaries
// and the items of other iterables, recursively; strings, bytes and everything else are
// leaves. Returns 0, the first non-zero result of fn, or -1 with ModelError for a walk that
// fails (too deep, an unreadable element, a failing iterator).
int for_each_nested_object(PyObject *obj, nvr_leaf_fn fn, void *ctx, int depth);

// The same walk in which a tuple of exactly two items, a constraint or variable followed by a
// constraint, is a leaf too: an indicator pair (condition, constraint).
int for_each_nested_indicator(PyObject *obj, nvr_leaf_fn fn, void *ctx, int depth);

// _walk(obj, indicators=False) -> list of the leaves met: the walker as the tests see it.
PyObject *nivramod_walk(PyObject *self, PyObject *args, PyObject *kwargs);
