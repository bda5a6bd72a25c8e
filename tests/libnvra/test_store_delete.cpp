// Deleting rows, columns and sets renumbers everything that refers to what moves: the matrix,
// names, the quadratic objective and rows, sets, indicators and every objective. A bad request
// deletes nothing.
#include "store_test_util.h"

#include <map>
#include <random>
#include <vector>

namespace {

using storetest::names;
using storetest::Snapshot;
using storetest::snapshot;
using storetest::StoreTest;
using Strings = std::vector<std::string>;
using Vec = std::vector<double>;
using Row = std::vector<std::pair<int, double>>;

// 5 columns, 4 rows: row r has entries (r, 10r+1) and (4, 10r+2); column j is named cj for
// odd j; a quadratic objective and row parts, two sets, an indicator on row 3 (column 1, binary)
// and a second objective.
class Delete : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        addColumns(5);
        for (int r = 0; r < 4; ++r)
            addRow('L', r, {r, 4}, {10.0 * r + 1, 10.0 * r + 2});
        ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, "c1\0", 1, 1), 0);
        ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, "c3\0", 3, 3), 0);
        ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_ROWS, "r2", 2, 2), 0);
        const int q1[] = {0, 1, 2, 3};
        const int q2[] = {4, 1, 3, 3};
        const double qv[] = {1, 2, 3, 4};
        ASSERT_EQ(NVRAchgmqobj(p, 4, q1, q2, qv), 0);
        ASSERT_EQ(NVRAaddqmatrix64(p, 1, 2, q1, q2, qv), 0);         // (0,4) (1,1)
        ASSERT_EQ(NVRAaddqmatrix64(p, 3, 2, q1 + 2, q2 + 2, qv), 0); // (2,3) (3,3)
        const int sstart[] = {0, 3};
        const int scols[] = {0, 2, 4, 1, 3};
        const double sref[] = {1, 2, 3, 1, 2};
        ASSERT_EQ(NVRAaddsets(p, 2, 5, "12", sstart, scols, sref), 0) << err();
        ASSERT_EQ(NVRAaddsetnames(p, "second", 1, 1), 0);
        const char bin = 'B';
        const int one = 1, three = 3, cmp = 1;
        ASSERT_EQ(NVRAchgcoltype(p, 1, &one, &bin), 0);
        ASSERT_EQ(NVRAsetindicators(p, 1, &three, &one, &cmp), 0) << err();
        const int oc[] = {0, 2, 4};
        const double ov[] = {5, 6, 7};
        ASSERT_EQ(NVRAaddobj(p, 3, oc, ov, 1, 1), 0);
    }
};

TEST_F(Delete, ColumnsRenumberEverything) {
    const int del[] = {2, 0};
    ASSERT_EQ(NVRAdelcols(p, 2, del), 0) << err();
    // Old columns 1, 3, 4 are now 0, 1, 2.
    const Snapshot s = snapshot(p, 4, 3, 2);
    EXPECT_EQ(s.colNames, (Strings{"c1", "c3", "C2"}));
    EXPECT_EQ(row(0), (Row{{2, 2}}));
    EXPECT_EQ(row(1), (Row{{0, 11}, {2, 12}}));
    EXPECT_EQ(row(3), (Row{{1, 31}, {2, 32}}));
    EXPECT_EQ(s.obj, (Vec{0, 2, 4, 5}));
    EXPECT_EQ(s.objn[1], (Vec{0, 0, 0, 7}));
    // Q: (1,1,2) and (3,3,4) stay as (0,0,2) and (1,1,4); (0,4) and (2,3) go.
    EXPECT_EQ(s.qStart, (std::vector<int64_t>{0, 1, 2, 2}));
    EXPECT_EQ(s.qCols, (std::vector<int>{0, 1}));
    EXPECT_EQ(s.qVals, (Vec{2, 4}));
    EXPECT_EQ(s.qrows[1], (Vec{0, 0, 2}));
    EXPECT_EQ(s.qrows[3], (Vec{1, 1, 2}));
    // Sets lose the deleted members; the rest is renumbered.
    EXPECT_EQ(s.setStart, (std::vector<int64_t>{0, 1, 3}));
    EXPECT_EQ(s.setCols, (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(s.setRef, (Vec{3, 1, 2}));
    EXPECT_EQ(s.indCol, (std::vector<int>{-1, -1, -1, 0}));
    EXPECT_EQ(s.indComp, (std::vector<int>{0, 0, 0, 1}));
    EXPECT_EQ(s.coltype, (std::vector<char>{'B', 'C', 'C'}));
    EXPECT_EQ(s.ub, (Vec{1, 13, 14}));
}

TEST_F(Delete, RowsRenumberEverything) {
    const int del[] = {0, 2};
    ASSERT_EQ(NVRAdelrows(p, 2, del), 0) << err();
    const Snapshot s = snapshot(p, 2, 5, 2);
    EXPECT_EQ(s.rowNames, (Strings{"R0", "R1"}));
    EXPECT_EQ(s.rhs, (Vec{1, 3}));
    EXPECT_EQ(row(0), (Row{{1, 11}, {4, 12}}));
    EXPECT_EQ(row(1), (Row{{3, 31}, {4, 32}}));
    EXPECT_EQ(s.qrows[0], (Vec{0, 4, 1, 1, 1, 2}));
    EXPECT_EQ(s.qrows[1], (Vec{2, 3, 1, 3, 3, 2}));
    EXPECT_EQ(s.indCol, (std::vector<int>{-1, 1}));
    EXPECT_EQ(s.indComp, (std::vector<int>{0, 1}));
    int idx = 0;
    ASSERT_EQ(NVRAgetindex(p, NVRA_NAMES_ROWS, "r2", &idx), 0);
    EXPECT_EQ(idx, -1);
    // Deleting the last row removes its indicator and quadratic part.
    const int last = 1;
    ASSERT_EQ(NVRAdelrows(p, 1, &last), 0);
    const Snapshot t = snapshot(p, 1, 5, 2);
    EXPECT_EQ(t.indComp, (std::vector<int>{0}));
    EXPECT_EQ(t.qrows[0], (Vec{0, 4, 1, 1, 1, 2}));
}

TEST_F(Delete, SetsRenumber) {
    const int del = 0;
    ASSERT_EQ(NVRAdelsets(p, 1, &del), 0);
    const Snapshot s = snapshot(p, 4, 5, 2);
    EXPECT_EQ(s.setType, (std::vector<char>{'2'}));
    EXPECT_EQ(s.setCols, (std::vector<int>{1, 3}));
    EXPECT_EQ(s.setNames, (Strings{"second"}));
}

TEST_F(Delete, BadRequestsDeleteNothing) {
    const int twice[] = {1, 3, 1};
    expectRefused(
        NVRA_RC_INVALID, "NVRAdelcols: column index 1 is listed twice: nothing was deleted", 4, 5,
        [&] { return NVRAdelcols(p, 3, twice); }, 2);
    const int out[] = {0, 5};
    expectRefused(
        NVRA_RC_RANGE, "Column index 5 is out of range: the problem has 5 columns", 4, 5,
        [&] { return NVRAdelcols(p, 2, out); }, 2);
    expectRefused(
        NVRA_RC_RANGE, "Row index -1 is out of range: the problem has 4 rows", 4, 5,
        [&] {
            const int neg = -1;
            return NVRAdelrows(p, 1, &neg);
        },
        2);
    expectRefused(
        NVRA_RC_INVALID, "column 1 is the indicator column of row 3", 4, 5,
        [&] { return NVRAdelcols(p, 1, twice); }, 2);
    expectRefused(
        NVRA_RC_RANGE, "Set index 2 is out of range: the problem has 2 sets", 4, 5,
        [&] {
            const int two = 2;
            return NVRAdelsets(p, 1, &two);
        },
        2);
    expectRefused(
        NVRA_RC_INVALID, "the array rowind is null", 4, 5,
        [&] { return NVRAdelrows(p, 1, nullptr); }, 2);
    // Deleting nothing succeeds.
    EXPECT_EQ(NVRAdelrows(p, 0, nullptr), 0);
}

TEST_F(Delete, EverythingThenRebuild) {
    const int three = 3;
    ASSERT_EQ(NVRAdelindicators(p, 0, 3), 0);
    ASSERT_EQ(NVRAdelrows(p, 1, &three), 0); // frees column 1 of its indicator role
    const int all[] = {4, 3, 2, 1, 0};
    ASSERT_EQ(NVRAdelcols(p, 5, all), 0) << err();
    const int rows[] = {0, 1, 2};
    ASSERT_EQ(NVRAdelrows(p, 3, rows), 0);
    const Snapshot s = snapshot(p, 0, 0, 2);
    EXPECT_EQ(s.nsets, 2);
    EXPECT_TRUE(s.setCols.empty());
    EXPECT_TRUE(s.qCols.empty());
    addColumns(2);
    addRow('E', 1, {0, 1}, {1, 1});
    EXPECT_EQ(names(p, NVRA_NAMES_COLUMNS, 0, 1), (Strings{"C0", "C1"}));
    EXPECT_EQ(row(0), (Row{{0, 1}, {1, 1}}));
}

// Random deletions from a random matrix agree with the matrix built from what is left.
TEST(DeleteRandom, MatrixMatchesTheRebuiltOne) {
    ASSERT_EQ(NVRAinit(nullptr), 0);
    std::mt19937 rng(11);
    for (int round = 0; round < 20; ++round) {
        const int nrows = 1 + rng() % 30, ncols = 1 + rng() % 40;
        std::map<std::pair<int, int>, double> a;
        for (int r = 0; r < nrows; ++r)
            for (int c = 0; c < ncols; ++c)
                if (rng() % 3 == 0) a[{r, c}] = 1 + rng() % 7;
        NVRAprob p;
        ASSERT_EQ(NVRAcreateprob(&p), 0);
        ASSERT_EQ(NVRAaddcols(p, ncols, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
                  0);
        std::vector<char> types(nrows, 'G');
        std::vector<double> rhs(nrows, 0);
        ASSERT_EQ(
            NVRAaddrows(p, nrows, 0, types.data(), rhs.data(), nullptr, nullptr, nullptr, nullptr),
            0);
        std::vector<int> rr, cc;
        std::vector<double> vv;
        for (auto &[k, v] : a)
            rr.push_back(k.first), cc.push_back(k.second), vv.push_back(v);
        ASSERT_EQ(NVRAchgmcoef(p, static_cast<int>(vv.size()), rr.data(), cc.data(), vv.data()), 0);
        std::vector<int> delRows, delCols, rowMap(nrows), colMap(ncols);
        for (int r = 0, k = 0; r < nrows; ++r) {
            if (rng() % 3 == 0)
                delRows.push_back(r), rowMap[r] = -1;
            else
                rowMap[r] = k++;
        }
        for (int c = 0, k = 0; c < ncols; ++c) {
            if (rng() % 3 == 0)
                delCols.push_back(c), colMap[c] = -1;
            else
                colMap[c] = k++;
        }
        std::shuffle(delRows.begin(), delRows.end(), rng);
        ASSERT_EQ(NVRAdelrows(p, static_cast<int>(delRows.size()), delRows.data()), 0);
        ASSERT_EQ(NVRAdelcols(p, static_cast<int>(delCols.size()), delCols.data()), 0);
        const int mr = nrows - static_cast<int>(delRows.size());
        const int mc = ncols - static_cast<int>(delCols.size());
        std::vector<int64_t> wantStart{0};
        std::vector<int> wantCols;
        std::vector<double> wantVals;
        for (int r = 0; r < nrows; ++r) {
            if (rowMap[r] < 0) continue;
            for (auto &[k, v] : a)
                if (k.first == r && colMap[k.second] >= 0)
                    wantCols.push_back(colMap[k.second]), wantVals.push_back(v);
            wantStart.push_back(static_cast<int64_t>(wantCols.size()));
        }
        const Snapshot s = snapshot(p, mr, mc);
        EXPECT_EQ(s.rowStart, wantStart) << "round " << round;
        EXPECT_EQ(s.rowCols, wantCols) << "round " << round;
        EXPECT_EQ(s.rowVals, wantVals) << "round " << round;
        EXPECT_EQ(NVRAdestroyprob(p), 0);
    }
    EXPECT_EQ(NVRAfree(), 0);
}

} // namespace
