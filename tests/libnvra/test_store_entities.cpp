// Special ordered sets, indicator constraints and quadratic row parts: they read back through
// their getters, and bad arguments are refused with specific messages, changing nothing.
#include "store_test_util.h"

#include <cmath>
#include <vector>

namespace {

using storetest::Snapshot;
using storetest::snapshot;
using storetest::StoreTest;
using Vec = std::vector<double>;

class Entities : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        addColumns(4);
        addRow('L', 1, {0}, {1});
        addRow('G', 2, {1}, {1});
        const int bins[] = {2, 3};
        const char bb[] = {'B', 'B'};
        ASSERT_EQ(NVRAchgcoltype(p, 2, bins, bb), 0);
    }
    std::vector<int> indicatorCols() {
        std::vector<int> c(2);
        EXPECT_EQ(NVRAgetindicators(p, c.data(), nullptr, 0, 1), 0);
        return c;
    }
    std::vector<int> complements() {
        std::vector<int> c(2);
        EXPECT_EQ(NVRAgetindicators(p, nullptr, c.data(), 0, 1), 0);
        return c;
    }
};

TEST_F(Entities, Sets32And64Agree) {
    const char types[] = {'1', '2'};
    const int s32[] = {0, 2};
    const int64_t s64[] = {0, 2};
    const int cols[] = {1, 0, 3, 2, 1};
    const double ref[] = {5, 1, 1, 2, 3};
    ASSERT_EQ(NVRAaddsets(p, 2, 5, types, s32, cols, ref), 0) << err();
    ASSERT_EQ(NVRAaddsets64(p, 2, 5, types, s64, cols, ref), 0) << err();
    const Snapshot s = snapshot(p, 2, 4);
    EXPECT_EQ(s.nsets, 4);
    EXPECT_EQ(s.setType, (std::vector<char>{'1', '2', '1', '2'}));
    EXPECT_EQ(s.setStart, (std::vector<int64_t>{0, 2, 5, 7, 10}));
    // Members keep the order given, with their reference values.
    EXPECT_EQ(s.setCols, (std::vector<int>{1, 0, 3, 2, 1, 1, 0, 3, 2, 1}));
    EXPECT_EQ(s.setRef, (Vec{5, 1, 1, 2, 3, 5, 1, 1, 2, 3}));
    // An empty set is allowed.
    const char one = '1';
    ASSERT_EQ(NVRAaddsets(p, 1, 0, &one, nullptr, nullptr, nullptr), 0) << err();
    int nsets = 0;
    ASSERT_EQ(NVRAgetmipentities64(p, nullptr, &nsets, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr),
              0);
    EXPECT_EQ(nsets, 5);
}

TEST_F(Entities, BadSetsAreRefused) {
    const int start = 0;
    const int cols[] = {0, 1};
    const double ref[] = {1, 2}, same[] = {1, 1}, nan[] = {1, NAN};
    const int dup[] = {3, 3};
    expectRefused(NVRA_RC_INVALID, "set 0: invalid set type '3'", 2, 4,
                  [&] { return NVRAaddsets(p, 1, 2, "3", &start, cols, ref); });
    expectRefused(NVRA_RC_INVALID, "columns 0 and 1 have the same reference value 1", 2, 4,
                  [&] { return NVRAaddsets(p, 1, 2, "1", &start, cols, same); });
    expectRefused(NVRA_RC_INVALID, "set 0 lists column 3 twice", 2, 4,
                  [&] { return NVRAaddsets(p, 1, 2, "2", &start, dup, ref); });
    expectRefused(NVRA_RC_INVALID, "the reference value nan of column 1 must be finite", 2, 4,
                  [&] { return NVRAaddsets(p, 1, 2, "2", &start, cols, nan); });
    const int far[] = {0, 4};
    expectRefused(NVRA_RC_RANGE,
                  "set 0: member column 4 is out of range: the problem has 4 columns", 2, 4,
                  [&] { return NVRAaddsets(p, 1, 2, "1", &start, far, ref); });
    // The second of two sets is bad: neither is added.
    const int starts[] = {0, 1};
    expectRefused(NVRA_RC_INVALID, "set 1: invalid set type 'x'", 2, 4,
                  [&] { return NVRAaddsets(p, 2, 2, "1x", starts, cols, ref); });
}

TEST_F(Entities, Indicators) {
    const int rows[] = {0, 1, 0};
    const int cols[] = {2, 3, 3};
    const int comp[] = {1, -1, -1};
    ASSERT_EQ(NVRAsetindicators(p, 3, rows, cols, comp), 0) << err();
    EXPECT_EQ(indicatorCols(), (std::vector<int>{3, 3})); // the later entry for row 0 wins
    EXPECT_EQ(complements(), (std::vector<int>{-1, -1}));
    // Complement 0 removes an indicator (the column is not read).
    const int r1 = 1, z = 0, junk = 99;
    ASSERT_EQ(NVRAsetindicators(p, 1, &r1, &junk, &z), 0);
    EXPECT_EQ(indicatorCols(), (std::vector<int>{3, -1}));
    ASSERT_EQ(NVRAdelindicators(p, 0, 1), 0);
    EXPECT_EQ(complements(), (std::vector<int>{0, 0}));
    const int r0 = 0, c0 = 0, c2 = 2, two = 2, one = 1;
    expectRefused(NVRA_RC_INVALID, "row 0: the indicator column 0 must be binary (its type is 'C')",
                  2, 4, [&] { return NVRAsetindicators(p, 1, &r0, &c0, &one); });
    expectRefused(NVRA_RC_INVALID, "row 0: invalid complement 2", 2, 4,
                  [&] { return NVRAsetindicators(p, 1, &r0, &c2, &two); });
    expectRefused(NVRA_RC_RANGE, "Row index 2 is out of range: the problem has 2 rows", 2, 4,
                  [&] { return NVRAsetindicators(p, 1, &two, &c2, &one); });
    expectRefused(NVRA_RC_RANGE, "Row range 1..2 is invalid", 2, 4,
                  [&] { return NVRAdelindicators(p, 1, 2); });
}

TEST_F(Entities, QuadraticRows) {
    const int a[] = {0, 1, 3};
    const int b[] = {1, 0, 3};
    const double v[] = {1, 2, 4};
    ASSERT_EQ(NVRAaddqmatrix64(p, 1, 3, a, b, v), 0) << err();
    int n = 0;
    ASSERT_EQ(NVRAgetqrowqmatrixtriplets(p, 1, &n, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(n, 2);
    int i[2], j[2];
    double w[2];
    ASSERT_EQ(NVRAgetqrowqmatrixtriplets(p, 1, &n, i, j, w), 0);
    EXPECT_EQ((std::vector<int>{i[0], j[0], i[1], j[1]}), (std::vector<int>{0, 1, 3, 3}));
    EXPECT_EQ((Vec{w[0], w[1]}), (Vec{3, 4}));
    // Later calls add to existing elements; a sum of zero removes the element.
    const int c = 3;
    const double minus = -4;
    ASSERT_EQ(NVRAaddqmatrix64(p, 1, 1, &c, &c, &minus), 0);
    ASSERT_EQ(NVRAgetqrowqmatrixtriplets(p, 1, &n, i, j, w), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(w[0], 3.0);
    ASSERT_EQ(NVRAgetqrowqmatrixtriplets(p, 0, &n, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(n, 0);
    const int far = 4;
    expectRefused(NVRA_RC_RANGE,
                  "Coefficient 0 of the quadratic part of row 0 is on columns (4, 3)", 2, 4,
                  [&] { return NVRAaddqmatrix64(p, 0, 1, &far, &c, v); });
    expectRefused(NVRA_RC_INVALID, "Null coefficient arrays for the quadratic part of row 0", 2, 4,
                  [&] { return NVRAaddqmatrix64(p, 0, 1, nullptr, &c, v); });
    expectRefused(NVRA_RC_RANGE, "Row index 2 is out of range", 2, 4,
                  [&] { return NVRAaddqmatrix64(p, 2, 1, &c, &c, v); });
    EXPECT_EQ(NVRAgetqrowqmatrixtriplets(p, 0, nullptr, nullptr, nullptr, nullptr),
              NVRA_RC_INVALID);
}

} // namespace
