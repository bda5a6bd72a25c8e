// util/addrsort.h: a stable sort of records by an address they hold, for long runs of entries
// keyed by object identity. Short runs are sorted by insertion; long ones by a least
// significant digit radix sort over the span of the addresses (objects are at least 16-byte
// aligned, so the low four bits carry nothing), through a scratch array of the same length.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace nvy_addrsort {

constexpr size_t kInsertionLimit = 48;
constexpr unsigned kDigitBits = 11;

// key(r) is the address of record r as uintptr_t.
template <class T, class Key> void insertionSort(T *a, size_t n, Key key) {
    for (size_t i = 1; i < n; ++i) {
        const T x = a[i];
        const uintptr_t k = key(x);
        size_t j = i;
        for (; j > 0 && key(a[j - 1]) > k; --j)
            a[j] = a[j - 1];
        a[j] = x;
    }
}

// Sorts a[0..n) stably by key. Returns false (a unchanged) when the scratch array cannot be
// allocated.
template <class T, class Key> bool sortByAddress(T *a, size_t n, Key key) {
    if (n <= kInsertionLimit) {
        insertionSort(a, n, key);
        return true;
    }
    uintptr_t lo = UINTPTR_MAX, hi = 0;
    bool sorted = true;
    for (size_t i = 0; i < n; ++i) {
        const uintptr_t k = key(a[i]);
        sorted &= i == 0 || key(a[i - 1]) <= k;
        lo = std::min(lo, k);
        hi = std::max(hi, k);
    }
    if (sorted) return true;
    const unsigned bits = static_cast<unsigned>(std::bit_width((hi - lo) >> 4));
    std::unique_ptr<T[]> scratch(new (std::nothrow) T[n]);
    if (!scratch) return false;
    T *src = a, *dst = scratch.get();
    constexpr size_t kBuckets = size_t{1} << kDigitBits;
    for (unsigned shift = 0; shift < bits; shift += kDigitBits) {
        size_t count[kBuckets + 1] = {};
        auto digit = [&](const T &r) { return ((key(r) - lo) >> (4 + shift)) & (kBuckets - 1); };
        for (size_t i = 0; i < n; ++i)
            ++count[digit(src[i]) + 1];
        for (size_t b = 1; b <= kBuckets; ++b)
            count[b] += count[b - 1];
        for (size_t i = 0; i < n; ++i)
            dst[count[digit(src[i])]++] = src[i];
        std::swap(src, dst);
    }
    if (src != a) std::memcpy(static_cast<void *>(a), src, n * sizeof(T));
    return true;
}

} // namespace nvy_addrsort
