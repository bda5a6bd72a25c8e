// util/sort.h: the six stable key sorts that put terms and indices into canonical order.
// Keys are integers (signed) or variables (by identifier); every move of a key moves the second
// key and the payload at the same position. No heap allocation, no Python call.
#pragma once

#include <cstddef>

#include "model/var.h"
#include "util/keysort.h"

namespace nvy_keysort {
struct IntKeys {
    static bool gt(int a, int b) { return a > b; }
    static bool gt2(int a, int b) { return a > b; }
};
struct VarKeys {
    static bool gt(const var_s *a, const var_s *b) { return var_key_greater(a, b); }
    static bool gt2(const var_s *a, const var_s *b) { return var_key_greater(a, b); }
};
} // namespace nvy_keysort

inline void nvy_Sort_Int_Dbl(int *keys, double *values, size_t n) {
    nvy_keysort::sort<nvy_keysort::IntKeys>(keys, static_cast<nvy_keysort::NoKey *>(nullptr),
                                            values, n);
}
inline void nvy_Sort_Var_Ptr(const var_s **keys, const void **values, size_t n) {
    nvy_keysort::sort<nvy_keysort::VarKeys>(keys, static_cast<nvy_keysort::NoKey *>(nullptr),
                                            values, n);
}
inline void nvy_Sort_Var_Dbl(const var_s **keys, double *values, size_t n) {
    nvy_keysort::sort<nvy_keysort::VarKeys>(keys, static_cast<nvy_keysort::NoKey *>(nullptr),
                                            values, n);
}
inline void nvy_LexSort_IntInt_Dbl(int *keys1, int *keys2, double *values, size_t n) {
    nvy_keysort::sort<nvy_keysort::IntKeys>(keys1, keys2, values, n);
}
inline void nvy_LexSort_VarVar_Dbl(const var_s **keys1, const var_s **keys2, double *values,
                                   size_t n) {
    nvy_keysort::sort<nvy_keysort::VarKeys>(keys1, keys2, values, n);
}
inline void nvy_LexSort_VarVar_Ptr(const var_s **keys1, const var_s **keys2, const void **values,
                                   size_t n) {
    nvy_keysort::sort<nvy_keysort::VarKeys>(keys1, keys2, values, n);
}
