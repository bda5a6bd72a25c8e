// util/sort.h: the stable key sorts over integer keys that put row terms into canonical order.
// Every move of a key moves the second key and the payload at the same position. No heap
// allocation, no Python call. The sorts keyed by variables are in model/varsort.h.
#pragma once

#include <cstddef>

#include "util/keysort.h"

namespace nvy_keysort {
struct IntKeys {
    static bool gt(int a, int b) { return a > b; }
    static bool gt2(int a, int b) { return a > b; }
};
} // namespace nvy_keysort

inline void nvy_Sort_Int_Dbl(int *keys, double *values, size_t n) {
    nvy_keysort::sort<nvy_keysort::IntKeys>(keys, static_cast<nvy_keysort::NoKey *>(nullptr),
                                            values, n);
}
inline void nvy_LexSort_IntInt_Dbl(int *keys1, int *keys2, double *values, size_t n) {
    nvy_keysort::sort<nvy_keysort::IntKeys>(keys1, keys2, values, n);
}
