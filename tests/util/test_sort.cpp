// Stable key sorts: every routine against std::stable_sort, at the sizes around the thresholds
// of the algorithm and on the input shapes that take its special paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

#include "model/varsort.h"
#include "util/sort.h"

namespace {

const size_t kSizes[] = {0,   1,   2,   3,    4,    5,    7,    8,    11,   12,  15,
                         16,  17,  23,  24,   31,   95,   96,   97,   127,  128, 129,
                         511, 512, 513, 1023, 1024, 1025, 1500, 2048, 4097, 9000};

enum class Shape { Random, FewKeys, Sorted, Descending, DescendingWithTie, AllEqual, Sawtooth };
const Shape kShapes[] = {Shape::Random,     Shape::FewKeys,           Shape::Sorted,
                         Shape::Descending, Shape::DescendingWithTie, Shape::AllEqual,
                         Shape::Sawtooth};

// Keys of the given shape (signed, so negative keys take part).
std::vector<int> makeKeys(size_t n, Shape shape, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<int> k(n);
    for (size_t i = 0; i < n; ++i) {
        const int ii = static_cast<int>(i);
        switch (shape) {
        case Shape::Random:
            k[i] = static_cast<int>(rng() % (2 * n + 1)) - static_cast<int>(n);
            break;
        case Shape::FewKeys:
            k[i] = static_cast<int>(rng() % 5) - 2;
            break;
        case Shape::Sorted:
            k[i] = ii - 10;
            break;
        case Shape::Descending:
            k[i] = static_cast<int>(n) - ii - 10;
            break;
        case Shape::DescendingWithTie:
            k[i] = static_cast<int>(n) - ii - (i > n / 2 ? 1 : 0);
            break;
        case Shape::AllEqual:
            k[i] = 7;
            break;
        case Shape::Sawtooth:
            k[i] = ii % 37 - (ii % 3 == 0 ? 50 : 0);
            break;
        }
    }
    return k;
}

// The reference result: entries (key1, key2, original position) stably sorted.
std::vector<std::tuple<int, int, int>> reference(const std::vector<int> &k1,
                                                 const std::vector<int> &k2) {
    std::vector<std::tuple<int, int, int>> e;
    for (size_t i = 0; i < k1.size(); ++i)
        e.emplace_back(k1[i], k2.empty() ? 0 : k2[i], static_cast<int>(i));
    std::stable_sort(e.begin(), e.end(), [](auto &a, auto &b) {
        return std::tie(std::get<0>(a), std::get<1>(a)) < std::tie(std::get<0>(b), std::get<1>(b));
    });
    return e;
}

// A variable record whose identifier is derived from a signed key: order-preserving, and
// crossing the 32-bit boundary so that the upper 16 bits decide for some pairs.
var_s makeVar(int key) {
    var_s v{};
    const uint64_t id = (uint64_t{1} << 40) + static_cast<uint64_t>(int64_t{key} * 1000003);
    v.id_low = static_cast<uint32_t>(id);
    v.id_high = static_cast<uint16_t>(id >> 32);
    return v;
}

struct Case {
    size_t n;
    Shape shape;
};

std::vector<Case> allCases() {
    std::vector<Case> c;
    for (size_t n : kSizes)
        for (Shape s : kShapes)
            c.push_back({n, s});
    return c;
}

class SortTest : public ::testing::TestWithParam<Case> {};

TEST_P(SortTest, IntDbl) {
    const auto [n, shape] = GetParam();
    std::vector<int> k = makeKeys(n, shape, 1);
    std::vector<double> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<double>(i);
    const auto ref = reference(k, {});
    nvy_Sort_Int_Dbl(k.data(), v.data(), n);
    for (size_t i = 0; i < n; ++i) {
        ASSERT_EQ(k[i], std::get<0>(ref[i])) << "n=" << n << " i=" << i;
        ASSERT_EQ(v[i], std::get<2>(ref[i])) << "n=" << n << " i=" << i;
    }
}

TEST_P(SortTest, LexIntIntDbl) {
    const auto [n, shape] = GetParam();
    std::vector<int> k1 = makeKeys(n, shape, 2), k2 = makeKeys(n, Shape::FewKeys, 3);
    std::vector<double> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<double>(i);
    const auto ref = reference(k1, k2);
    nvy_LexSort_IntInt_Dbl(k1.data(), k2.data(), v.data(), n);
    for (size_t i = 0; i < n; ++i) {
        ASSERT_EQ(k1[i], std::get<0>(ref[i])) << "n=" << n << " i=" << i;
        ASSERT_EQ(k2[i], std::get<1>(ref[i])) << "n=" << n << " i=" << i;
        ASSERT_EQ(v[i], std::get<2>(ref[i])) << "n=" << n << " i=" << i;
    }
}

TEST_P(SortTest, VarDblAndVarPtr) {
    const auto [n, shape] = GetParam();
    const std::vector<int> k = makeKeys(n, shape, 4);
    std::vector<var_s> vars;
    for (int key : k)
        vars.push_back(makeVar(key));
    std::vector<const var_s *> keysD(n), keysP(n);
    std::vector<double> vd(n);
    std::vector<const void *> vp(n);
    for (size_t i = 0; i < n; ++i) {
        keysD[i] = keysP[i] = &vars[i];
        vd[i] = static_cast<double>(i);
        vp[i] = &vars[i];
    }
    const auto ref = reference(k, {});
    nvy_Sort_Var_Dbl(keysD.data(), vd.data(), n);
    nvy_Sort_Var_Ptr(keysP.data(), vp.data(), n);
    for (size_t i = 0; i < n; ++i) {
        const var_s *want = &vars[std::get<2>(ref[i])];
        ASSERT_EQ(keysD[i], want) << "n=" << n << " i=" << i;
        ASSERT_EQ(vd[i], std::get<2>(ref[i]));
        ASSERT_EQ(keysP[i], want) << "n=" << n << " i=" << i;
        ASSERT_EQ(vp[i], want);
    }
}

TEST_P(SortTest, LexVarVarDblAndPtr) {
    const auto [n, shape] = GetParam();
    const std::vector<int> k1 = makeKeys(n, shape, 5), k2 = makeKeys(n, Shape::FewKeys, 6);
    std::vector<var_s> v1, v2;
    for (size_t i = 0; i < n; ++i) {
        v1.push_back(makeVar(k1[i]));
        v2.push_back(makeVar(k2[i]));
    }
    std::vector<const var_s *> a1(n), a2(n), b1(n), b2(n);
    std::vector<double> vd(n);
    std::vector<const void *> vp(n);
    for (size_t i = 0; i < n; ++i) {
        a1[i] = b1[i] = &v1[i];
        a2[i] = b2[i] = &v2[i];
        vd[i] = static_cast<double>(i);
        vp[i] = &v1[i];
    }
    const auto ref = reference(k1, k2);
    nvy_LexSort_VarVar_Dbl(a1.data(), a2.data(), vd.data(), n);
    nvy_LexSort_VarVar_Ptr(b1.data(), b2.data(), vp.data(), n);
    for (size_t i = 0; i < n; ++i) {
        const int from = std::get<2>(ref[i]);
        ASSERT_EQ(a1[i], &v1[from]) << "n=" << n << " i=" << i;
        ASSERT_EQ(a2[i], &v2[from]);
        ASSERT_EQ(vd[i], from);
        ASSERT_EQ(b1[i], &v1[from]);
        ASSERT_EQ(b2[i], &v2[from]);
        ASSERT_EQ(vp[i], &v1[from]);
    }
}

INSTANTIATE_TEST_SUITE_P(Thresholds, SortTest, ::testing::ValuesIn(allCases()));

TEST(SortKeys, VariablesCompareByIdentifierOnly) {
    // Upper 16 bits decide before lower 32 bits, both unsigned; addresses do not matter.
    var_s hi{}, lo{}, mid{};
    hi.id_high = 1;          // 2^32
    lo.id_low = 0xFFFFFFFFu; // 2^32 - 1
    mid.id_low = 5;
    const var_s *keys[] = {&hi, &lo, &mid};
    double vals[] = {0, 1, 2};
    nvy_Sort_Var_Dbl(keys, vals, 3);
    EXPECT_EQ(keys[0], &mid);
    EXPECT_EQ(keys[1], &lo);
    EXPECT_EQ(keys[2], &hi);
    EXPECT_EQ(vals[0], 2);
    EXPECT_EQ(vals[2], 0);
}

TEST(SortKeys, SingleEntryUntouched) {
    int k = -3;
    double v = 1.5;
    nvy_Sort_Int_Dbl(&k, &v, 1);
    nvy_Sort_Int_Dbl(nullptr, nullptr, 0);
    EXPECT_EQ(k, -3);
    EXPECT_EQ(v, 1.5);
}

} // namespace
