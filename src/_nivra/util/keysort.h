// util/keysort.h: one stable, adaptive merge sort over parallel arrays (key, optional second
// key, payload), with a fixed scratch area on the stack and no heap allocation.
//
// Shape of the algorithm:
//   n <= 96   small path: exchange network up to 4 entries, insertion after a sorted prefix of
//             4, 8 or 16, otherwise four near-equal parts sorted recursively and merged through
//             the scratch area;
//   n > 96    blocks of 8 (left alone when in order, strictly descending runs reversed whole,
//             others sorted), then quad merges 8 -> 32 -> 128 -> 512 through the scratch area,
//             pair merges while the left block fits it, and in-place rotation merges beyond.
// Stability: an entry from the right is taken before one from the left only when the left one
// is strictly greater, and only strictly descending runs are ever reversed.
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

namespace nvy_keysort {

// Stands for the absent second key.
struct NoKey {};

template <class K1, class K2, class V> struct Entry {
    K1 k1;
    [[no_unique_address]] K2 k2;
    V v;
};

// Scratch slots per array.
constexpr size_t kScratch = 512;
// Largest size handled by the small-array path.
constexpr size_t kSmall = 96;

// Cmp supplies: static bool gt(const K1 &, const K1 &) for the first key and, when K2 is a real
// key, static bool gt2(const K2 &, const K2 &) for the second.
template <class K1, class K2, class V, class Cmp> class StableSort {
    using E = Entry<K1, K2, V>;
    static constexpr bool kTwoKeys = !std::is_same_v<K2, NoKey>;

    K1 *k1_;
    K2 *k2_;
    V *v_;
    E scratch_[kScratch];

    static bool gt(const E &a, const E &b) {
        if constexpr (kTwoKeys) {
            if (Cmp::gt(a.k1, b.k1)) return true;
            if (Cmp::gt(b.k1, a.k1)) return false;
            return Cmp::gt2(a.k2, b.k2);
        } else {
            return Cmp::gt(a.k1, b.k1);
        }
    }

    E get(size_t i) const {
        if constexpr (kTwoKeys)
            return E{k1_[i], k2_[i], v_[i]};
        else
            return E{k1_[i], {}, v_[i]};
    }
    void set(size_t i, const E &e) {
        k1_[i] = e.k1;
        if constexpr (kTwoKeys) k2_[i] = e.k2;
        v_[i] = e.v;
    }
    bool gtAt(size_t i, size_t j) const { return gt(get(i), get(j)); }
    void swapAt(size_t i, size_t j) {
        E t = get(i);
        set(i, get(j));
        set(j, t);
    }
    // Overlapping move of n entries inside the caller's arrays.
    void move(size_t dst, size_t src, size_t n) {
        memmove(k1_ + dst, k1_ + src, n * sizeof(K1));
        if constexpr (kTwoKeys) memmove(k2_ + dst, k2_ + src, n * sizeof(K2));
        memmove(v_ + dst, v_ + src, n * sizeof(V));
    }
    void toScratch(size_t s, size_t i, size_t n) {
        for (size_t k = 0; k < n; ++k)
            scratch_[s + k] = get(i + k);
    }
    void fromScratch(size_t i, size_t s, size_t n) {
        for (size_t k = 0; k < n; ++k)
            set(i + k, scratch_[s + k]);
    }
    void reverse(size_t lo, size_t hi) {
        while (lo + 1 < hi)
            swapAt(lo++, --hi);
    }

    // ---- small path ---------------------------------------------------------------------------

    // Exchange network of neighbours (a bubble network), n <= 4.
    void network(size_t lo, size_t n) {
        for (size_t pass = n; pass > 1; --pass)
            for (size_t i = lo; i + 1 < lo + pass; ++i)
                if (gtAt(i, i + 1)) swapAt(i, i + 1);
    }
    // Inserts entries sorted..n-1 into the sorted prefix [lo, lo + sorted).
    void insert(size_t lo, size_t sorted, size_t n) {
        for (size_t i = lo + sorted; i < lo + n; ++i) {
            const E e = get(i);
            size_t j = i;
            for (; j > lo && gt(get(j - 1), e); --j)
                set(j, get(j - 1));
            set(j, e);
        }
    }
    void sort8(size_t lo) {
        network(lo, 4);
        network(lo + 4, 4);
        mergeLeftInScratch(lo, 4, 4);
    }
    void small(size_t lo, size_t n) {
        if (n < 2) return;
        if (n <= 4) return network(lo, n);
        if (n < 8) {
            network(lo, 4);
            return insert(lo, 4, n);
        }
        if (n < 12) {
            sort8(lo);
            return insert(lo, 8, n);
        }
        if (n >= 16 && n < 24) {
            fourParts(lo, 16);
            return insert(lo, 16, n);
        }
        fourParts(lo, n);
    }
    // Splits [lo, lo + n) into four near-equal parts, sorts each, merges them.
    void fourParts(size_t lo, size_t n) {
        const size_t q1 = n / 4, half = n / 2, q2 = half - q1, q3 = (n - half) / 2;
        small(lo, q1);
        small(lo + q1, q2);
        small(lo + half, q3);
        small(lo + half + q3, n - half - q3);
        quadMerge(lo, q1, q2, q3, n - half - q3);
    }

    // ---- merging through the scratch area ---------------------------------------------------

    // Merges the sorted runs src[a, a + na) and src[b, b + nb) (scratch or caller's arrays)
    // into dst starting at d. The destination may overlap the second source only from below.
    template <class GetA, class GetB, class Put>
    static void mergeInto(GetA ga, size_t na, GetB gb, size_t nb, Put put) {
        size_t i = 0, j = 0, d = 0;
        while (i < na && j < nb) {
            const E x = ga(i), y = gb(j);
            if (gt(x, y)) {
                put(d++, y);
                ++j;
            } else {
                put(d++, x);
                ++i;
            }
        }
        while (i < na)
            put(d++, ga(i++));
        while (j < nb)
            put(d++, gb(j++));
    }

    // Merges [lo, lo + na) and [lo + na, lo + na + nb) in place, with the left run (na <= 512)
    // copied to the scratch area first.
    void mergeLeftInScratch(size_t lo, size_t na, size_t nb) {
        if (na == 0 || nb == 0 || !gtAt(lo + na - 1, lo + na)) return;
        toScratch(0, lo, na);
        const size_t mid = lo + na;
        mergeInto([&](size_t i) { return scratch_[i]; }, na, [&](size_t j) { return get(mid + j); },
                  nb, [&](size_t d, const E &e) { set(lo + d, e); });
    }
    // Same with the right run (nb <= 512) in the scratch area, merged from the back.
    void mergeRightInScratch(size_t lo, size_t na, size_t nb) {
        if (na == 0 || nb == 0 || !gtAt(lo + na - 1, lo + na)) return;
        toScratch(0, lo + na, nb);
        size_t i = na, j = nb, d = lo + na + nb;
        while (i > 0 && j > 0) {
            const E x = get(lo + i - 1), y = scratch_[j - 1];
            if (gt(x, y)) {
                set(--d, x);
                --i;
            } else {
                set(--d, y);
                --j;
            }
        }
        while (j > 0)
            set(--d, scratch_[--j]);
    }

    // Copies or merges the neighbouring runs [i, i + na) and [i + na, i + na + nb) of the
    // caller's arrays into the scratch area at s.
    void pairToScratch(size_t s, size_t i, size_t na, size_t nb) {
        if (na == 0 || nb == 0 || !gtAt(i + na - 1, i + na)) return toScratch(s, i, na + nb);
        const size_t mid = i + na;
        mergeInto([&](size_t k) { return get(i + k); }, na, [&](size_t k) { return get(mid + k); },
                  nb, [&](size_t d, const E &e) { scratch_[s + d] = e; });
    }

    // Merges four neighbouring sorted runs of the given lengths (total <= 512) into one.
    void quadMerge(size_t lo, size_t n1, size_t n2, size_t n3, size_t n4) {
        const size_t left = n1 + n2, right = n3 + n4;
        const bool inOrder12 = n1 == 0 || n2 == 0 || !gtAt(lo + n1 - 1, lo + n1);
        const bool inOrder34 = n3 == 0 || n4 == 0 || !gtAt(lo + left + n3 - 1, lo + left + n3);
        const bool inOrderMid = left == 0 || right == 0 || !gtAt(lo + left - 1, lo + left);
        if (inOrder12 && inOrder34 && inOrderMid) return;
        pairToScratch(0, lo, n1, n2);
        pairToScratch(left, lo + left, n3, n4);
        if (left == 0 || right == 0 || !gt(scratch_[left - 1], scratch_[left]))
            return fromScratch(lo, 0, left + right);
        mergeInto([&](size_t k) { return scratch_[k]; }, left,
                  [&](size_t k) { return scratch_[left + k]; }, right,
                  [&](size_t d, const E &e) { set(lo + d, e); });
    }

    // ---- merging in place beyond the scratch area --------------------------------------------

    // Exchanges the neighbouring ranges [lo, mid) and [mid, hi).
    void rotate(size_t lo, size_t mid, size_t hi) {
        const size_t na = mid - lo, nb = hi - mid;
        if (na == 0 || nb == 0) return;
        if (na <= nb && na <= kScratch) {
            toScratch(0, lo, na);
            move(lo, mid, nb);
            fromScratch(lo + nb, 0, na);
        } else if (nb <= kScratch) {
            toScratch(0, mid, nb);
            move(lo + nb, lo, na);
            fromScratch(lo, 0, nb);
        } else {
            reverse(lo, mid);
            reverse(mid, hi);
            reverse(lo, hi);
        }
    }
    // First position in [lo, hi) whose entry is not smaller than e.
    size_t lowerBound(size_t lo, size_t hi, const E &e) const {
        while (lo < hi) {
            const size_t m = lo + (hi - lo) / 2;
            if (gt(e, get(m)))
                lo = m + 1;
            else
                hi = m;
        }
        return lo;
    }
    void rotationMerge(size_t lo, size_t mid, size_t hi) {
        for (;;) {
            if (lo == mid || mid == hi || !gtAt(mid - 1, mid)) return;
            if (mid - lo <= kScratch) return mergeLeftInScratch(lo, mid - lo, hi - mid);
            if (hi - mid <= kScratch) return mergeRightInScratch(lo, mid - lo, hi - mid);
            // The second half of the left run and the leading right entries smaller than its
            // first entry change places; two independent smaller merges remain.
            const size_t split = lo + (mid - lo) / 2;
            const size_t cut = lowerBound(mid, hi, get(split));
            rotate(split, mid, cut);
            const size_t newMid = split + (cut - mid);
            rotationMerge(lo, split, newMid);
            lo = newMid;
            mid = newMid + (mid - split);
        }
    }

    // ---- large arrays ---------------------------------------------------------------------------

    bool strictlyDescending(size_t lo, size_t hi) const {
        for (size_t i = lo; i + 1 < hi; ++i)
            if (!gtAt(i, i + 1)) return false;
        return true;
    }
    bool ascending(size_t lo, size_t hi) const {
        for (size_t i = lo; i + 1 < hi; ++i)
            if (gtAt(i, i + 1)) return false;
        return true;
    }

    // First pass over blocks of 8. Returns true when the whole array was one strictly
    // descending run, which the reversal has already sorted.
    bool blocksOfEight(size_t n) {
        const size_t end = n - n % 8;
        size_t run = end; // start of the open descending run; end = none
        for (size_t i = 0; i < end; i += 8) {
            if (ascending(i, i + 8)) {
                if (run != end) reverse(run, i), run = end;
            } else if (strictlyDescending(i, i + 8)) {
                if (run != end && !gtAt(i - 1, i)) reverse(run, i), run = end;
                if (run == end) run = i;
            } else {
                if (run != end) reverse(run, i), run = end;
                sort8(i);
            }
        }
        if (run == 0 && (end == n || (gtAt(end - 1, end) && strictlyDescending(end, n)))) {
            reverse(0, n);
            return true;
        }
        if (run != end) reverse(run, end);
        small(end, n - end);
        return false;
    }

    void large(size_t n) {
        if (blocksOfEight(n)) return;
        size_t block = 8;
        for (; block * 4 <= kScratch && block < n; block *= 4)
            for (size_t lo = 0; lo < n; lo += 4 * block) {
                size_t len[4];
                for (size_t k = 0; k < 4; ++k) {
                    const size_t start = lo + k * block;
                    len[k] = start >= n ? 0 : (n - start < block ? n - start : block);
                }
                quadMerge(lo, len[0], len[1], len[2], len[3]);
            }
        for (; block <= kScratch && block < n; block *= 2)
            for (size_t lo = 0; lo + block < n; lo += 2 * block)
                mergeLeftInScratch(lo, block, n - lo - block < block ? n - lo - block : block);
        for (; block < n; block *= 2)
            for (size_t lo = 0; lo + block < n; lo += 2 * block)
                rotationMerge(lo, lo + block, n - lo - block < block ? n : lo + 2 * block);
    }

  public:
    StableSort(K1 *k1, K2 *k2, V *v) : k1_(k1), k2_(k2), v_(v) {}
    void run(size_t n) {
        if (n < 2) return;
        if (n <= kSmall)
            small(0, n);
        else
            large(n);
    }
};

// Sorts n entries of the parallel arrays in place. k2 is null (of type NoKey *) for one key.
template <class Cmp, class K1, class K2, class V> inline void sort(K1 *k1, K2 *k2, V *v, size_t n) {
    StableSort<K1, K2, V, Cmp>(k1, k2, v).run(n);
}

} // namespace nvy_keysort
