// Quadratic row parts given in any row order, short (sorted on the stack) and long (sorted on the
// heap), added to and changed afterwards: each row reads back its own summed, sorted triplets,
// and a refused part leaves every row as it was.
#include "store_test_util.h"

#include <map>
#include <tuple>
#include <vector>

namespace {

using storetest::StoreTest;
using Triplets = std::vector<std::tuple<int, int, double>>;

class QuadRowOrder : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        addColumns(40);
        for (int r = 0; r < 6; ++r)
            addRow('L', r, {r}, {1});
    }
    void add(int row, const Triplets &t) {
        std::vector<int> a, b;
        std::vector<double> v;
        for (auto [i, j, x] : t)
            a.push_back(i), b.push_back(j), v.push_back(x);
        ASSERT_EQ(
            NVRAaddqmatrix64(p, row, static_cast<int64_t>(t.size()), a.data(), b.data(), v.data()),
            0)
            << err();
    }
    Triplets read(int row) {
        int n = 0;
        EXPECT_EQ(NVRAgetqrowqmatrixtriplets(p, row, &n, nullptr, nullptr, nullptr), 0);
        std::vector<int> a(n), b(n);
        std::vector<double> v(n);
        EXPECT_EQ(NVRAgetqrowqmatrixtriplets(p, row, &n, a.data(), b.data(), v.data()), 0);
        Triplets t;
        for (int k = 0; k < n; ++k)
            t.emplace_back(a[k], b[k], v[k]);
        return t;
    }
    std::vector<int> quadraticRows() {
        int n = 0;
        EXPECT_EQ(NVRAgetqrows(p, &n, nullptr), 0);
        std::vector<int> rows(n);
        EXPECT_EQ(NVRAgetqrows(p, &n, rows.data()), 0);
        return rows;
    }
};

TEST_F(QuadRowOrder, RowsInAnyOrderKeepTheirOwnParts) {
    // Out of order, with reversed pairs, duplicates and a zero sum in one call.
    add(3, {{2, 1, 1.0}, {1, 2, 2.0}, {0, 0, 5.0}, {4, 4, 1.0}, {4, 4, -1.0}});
    add(1, {{3, 3, 2.0}});
    add(5, {{7, 6, 1.5}});
    add(0, {{1, 0, -1.0}, {0, 0, 1.0}});
    EXPECT_EQ(read(3), (Triplets{{0, 0, 5.0}, {1, 2, 3.0}}));
    EXPECT_EQ(read(1), (Triplets{{3, 3, 2.0}}));
    EXPECT_EQ(read(5), (Triplets{{6, 7, 1.5}}));
    EXPECT_EQ(read(0), (Triplets{{0, 0, 1.0}, {0, 1, -1.0}}));
    EXPECT_EQ(read(2), Triplets{});
    EXPECT_EQ(quadraticRows(), (std::vector<int>{0, 1, 3, 5}));

    // Adding to a row in the middle sums into it; a part that cancels removes the row's part.
    add(1, {{3, 3, 1.0}, {0, 2, 4.0}});
    EXPECT_EQ(read(1), (Triplets{{0, 2, 4.0}, {3, 3, 3.0}}));
    add(5, {{6, 7, -1.5}});
    EXPECT_EQ(quadraticRows(), (std::vector<int>{0, 1, 3}));

    // Single elements: replaced on a row that has a part, created on one between others.
    ASSERT_EQ(NVRAchgqrowcoeff(p, 3, 2, 1, 7.0), 0) << err();
    ASSERT_EQ(NVRAchgqrowcoeff(p, 2, 5, 5, 0.5), 0) << err();
    double x = 0;
    ASSERT_EQ(NVRAgetqrowcoeff(p, 3, 1, 2, &x), 0);
    EXPECT_EQ(x, 7.0);
    EXPECT_EQ(read(2), (Triplets{{5, 5, 0.5}}));
    ASSERT_EQ(NVRAchgqrowcoeff(p, 2, 5, 5, 0.0), 0);
    EXPECT_EQ(quadraticRows(), (std::vector<int>{0, 1, 3}));
}

TEST_F(QuadRowOrder, LongPartsAreSortedAndSummedLikeShortOnes) {
    // 39 triplets in descending order with every pair given twice (once reversed): more than
    // the stack holds.
    Triplets in;
    std::map<std::pair<int, int>, double> want;
    for (int k = 38; k >= 20; --k) {
        in.emplace_back(k + 1, k, 1.0 * k);
        in.emplace_back(k, k + 1, 0.5);
        want[{k, k + 1}] = k + 0.5;
    }
    in.emplace_back(3, 3, 2.0);
    want[{3, 3}] = 2.0;
    add(4, in);
    add(2, in); // a row before one that already has a part
    Triplets expected;
    for (auto [ij, v] : want)
        expected.emplace_back(ij.first, ij.second, v);
    EXPECT_EQ(read(4), expected);
    EXPECT_EQ(read(2), expected);
    EXPECT_EQ(quadraticRows(), (std::vector<int>{2, 4}));
}

TEST_F(QuadRowOrder, RefusedPartsChangeNothing) {
    add(2, {{0, 1, 1.0}});
    const int bad[] = {0, 40};
    const int ok[] = {1, 1};
    const double v[] = {1.0, 2.0};
    const double inf[] = {1.0, 1e300 * 1e300};
    EXPECT_EQ(NVRAaddqmatrix64(p, 2, 2, bad, ok, v), NVRA_RC_RANGE);
    EXPECT_NE(err().find("Coefficient 1 of the quadratic part of row 2 is on columns (40, 1)"),
              std::string::npos)
        << err();
    EXPECT_EQ(NVRAaddqmatrix64(p, 4, 2, ok, ok, inf), NVRA_RC_INVALID);
    EXPECT_NE(err().find("of the quadratic part of row 4"), std::string::npos) << err();
    EXPECT_EQ(NVRAaddqmatrix64(p, 4, 2, nullptr, ok, v), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAaddqmatrix64(p, 4, -1, ok, ok, v), NVRA_RC_INVALID);
    EXPECT_EQ(read(2), (Triplets{{0, 1, 1.0}}));
    EXPECT_EQ(quadraticRows(), (std::vector<int>{2}));
}

} // namespace
