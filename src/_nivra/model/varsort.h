// model/varsort.h: the stable key sorts keyed by variables (by identifier, var_key_greater)
// that put the terms of expressions into canonical order; the algorithm is util/keysort.h's.
#pragma once

#include <cstddef>

#include "model/var.h"
#include "util/keysort.h"

namespace nvy_keysort {
struct VarKeys {
    static bool gt(const var_s *a, const var_s *b) { return var_key_greater(a, b); }
    static bool gt2(const var_s *a, const var_s *b) { return var_key_greater(a, b); }
};
} // namespace nvy_keysort

inline void nvy_Sort_Var_Ptr(const var_s **keys, const void **values, size_t n) {
    nvy_keysort::sort<nvy_keysort::VarKeys>(keys, static_cast<nvy_keysort::NoKey *>(nullptr),
                                            values, n);
}
inline void nvy_Sort_Var_Dbl(const var_s **keys, double *values, size_t n) {
    nvy_keysort::sort<nvy_keysort::VarKeys>(keys, static_cast<nvy_keysort::NoKey *>(nullptr),
                                            values, n);
}
inline void nvy_LexSort_VarVar_Dbl(const var_s **keys1, const var_s **keys2, double *values,
                                   size_t n) {
    nvy_keysort::sort<nvy_keysort::VarKeys>(keys1, keys2, values, n);
}
inline void nvy_LexSort_VarVar_Ptr(const var_s **keys1, const var_s **keys2, const void **values,
                                   size_t n) {
    nvy_keysort::sort<nvy_keysort::VarKeys>(keys1, keys2, values, n);
}
