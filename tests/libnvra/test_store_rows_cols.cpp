// Rows, columns, bounds, types, right-hand sides, ranges and coefficients: every change reads
// back through its getter, the 32- and 64-bit forms agree, and bad arguments are refused with a
// specific message, leaving the problem as it was.
#include "store_test_util.h"

#include <cmath>
#include <functional>
#include <map>
#include <vector>

namespace {

using storetest::snapshot;
using storetest::StoreTest;
using Row = std::vector<std::pair<int, double>>;

class RowsCols : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        addColumns(4);
    }
};

TEST_F(RowsCols, RowsAreSortedMergedAndStripped) {
    // Row 0 unsorted with a duplicate and a zero; row 1 empty; row 2 sorted.
    const char type[] = {'L', 'G', 'R'};
    const double rhs[] = {1, 2, 3}, range[] = {9, 9, 2};
    const int64_t start[] = {0, 5, 5};
    const int cols[] = {3, 1, 3, 0, 2, 0, 2};
    const double vals[] = {1, 2, 4, 5, 0, -1, 7};
    ASSERT_EQ(NVRAaddrows64(p, 3, 7, type, rhs, range, start, cols, vals), 0) << err();
    EXPECT_EQ(row(0), (Row{{0, 5}, {1, 2}, {3, 5}}));
    EXPECT_EQ(row(1), Row{});
    EXPECT_EQ(row(2), (Row{{0, -1}, {2, 7}}));
    // A duplicate summing to zero disappears.
    addRow('E', 0, {1, 1, 2}, {1.5, -1.5, 1});
    EXPECT_EQ(row(3), (Row{{2, 1}}));
    std::vector<double> r(4), rng(4);
    std::vector<char> t(4);
    ASSERT_EQ(NVRAgetrhs(p, r.data(), 0, 3), 0);
    ASSERT_EQ(NVRAgetrhsrange(p, rng.data(), 0, 3), 0);
    ASSERT_EQ(NVRAgetrowtype(p, t.data(), 0, 3), 0);
    EXPECT_EQ(r, (std::vector<double>{1, 2, 3, 0}));
    EXPECT_EQ(rng, (std::vector<double>{1e20, 1e20, 2, 0})); // only 'R' rows keep a range
    EXPECT_EQ(t, (std::vector<char>{'L', 'G', 'R', 'E'}));
}

TEST_F(RowsCols, AddRows32And64Agree) {
    NVRAprob q;
    ASSERT_EQ(NVRAcreateprob(&q), 0);
    ASSERT_EQ(NVRAaddcols(q, 4, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    const char type[] = {'E', 'N'};
    const double rhs[] = {4, 0};
    const int cols[] = {2, 0, 3};
    const double vals[] = {1, 2, 3};
    const int s32[] = {0, 2};
    const int64_t s64[] = {0, 2};
    ASSERT_EQ(NVRAaddrows(p, 2, 3, type, rhs, nullptr, s32, cols, vals), 0);
    ASSERT_EQ(NVRAaddrows64(q, 2, 3, type, rhs, nullptr, s64, cols, vals), 0);
    // The columns differ only in objective and bounds; compare the rows.
    auto a = snapshot(p, 2, 4), b = snapshot(q, 2, 4);
    EXPECT_EQ(a.rowStart, b.rowStart);
    EXPECT_EQ(a.rowCols, b.rowCols);
    EXPECT_EQ(a.rowVals, b.rowVals);
    EXPECT_EQ(a.rhs, b.rhs);
    int s[3], n;
    int64_t s6[3], n6;
    ASSERT_EQ(NVRAgetrows(p, s, nullptr, nullptr, 0, &n, 0, 1), 0);
    ASSERT_EQ(NVRAgetrows64(p, s6, nullptr, nullptr, 0, &n6, 0, 1), 0);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(n6, 3);
    EXPECT_EQ((std::vector<int64_t>{s[0], s[1], s[2]}),
              (std::vector<int64_t>{s6[0], s6[1], s6[2]}));
    EXPECT_EQ(NVRAdestroyprob(q), 0);
}

TEST_F(RowsCols, ColumnsWithEntriesDefaultsAndGetcols) {
    addRow('L', 1, {0, 3}, {1, 2});
    addRow('G', 2, {1}, {3});
    // Two new columns: the first with a repeated row (summed), the second with a zero.
    const int64_t start[] = {0, 3};
    const int rows[] = {1, 0, 1, 0, 1};
    const double vals[] = {1, 4, 2, 0, 5};
    ASSERT_EQ(NVRAaddcols64(p, 2, 5, nullptr, start, rows, vals, nullptr, nullptr), 0) << err();
    EXPECT_EQ(row(0), (Row{{0, 1}, {3, 2}, {4, 4}}));
    EXPECT_EQ(row(1), (Row{{1, 3}, {4, 3}, {5, 5}}));
    double lb[2], ub[2], obj[2];
    char type[2];
    ASSERT_EQ(NVRAgetlb(p, lb, 4, 5), 0);
    ASSERT_EQ(NVRAgetub(p, ub, 4, 5), 0);
    ASSERT_EQ(NVRAgetobj(p, obj, 4, 5), 0);
    ASSERT_EQ(NVRAgetcoltype(p, type, 4, 5), 0);
    EXPECT_EQ(lb[0], 0.0);
    EXPECT_EQ(ub[1], 1e20);
    EXPECT_EQ(obj[1], 0.0);
    EXPECT_EQ(type[0], 'C');
    // Column-wise view of columns 3..5.
    int64_t cs[4], n = 0;
    ASSERT_EQ(NVRAgetcols64(p, cs, nullptr, nullptr, 0, &n, 3, 5), 0);
    ASSERT_EQ(n, 4);
    std::vector<int> ri(n);
    std::vector<double> rv(n);
    ASSERT_EQ(NVRAgetcols64(p, cs, ri.data(), rv.data(), n, &n, 3, 5), 0);
    EXPECT_EQ((std::vector<int64_t>(cs, cs + 4)), (std::vector<int64_t>{0, 1, 3, 4}));
    EXPECT_EQ(ri, (std::vector<int>{0, 0, 1, 1}));
    EXPECT_EQ(rv, (std::vector<double>{2, 4, 3, 5}));
    // A buffer that is too small is refused and reports the size.
    int64_t small = 0;
    EXPECT_EQ(NVRAgetcols64(p, nullptr, ri.data(), rv.data(), 2, &small, 3, 5), NVRA_RC_RANGE);
    EXPECT_EQ(small, 4);
    EXPECT_NE(err().find("hold 2 coefficients but 4 are needed"), std::string::npos) << err();
}

TEST_F(RowsCols, AddColumns32And64AndRowsAgree) {
    // The same matrix built by rows in one problem and by columns in another.
    NVRAprob q;
    ASSERT_EQ(NVRAcreateprob(&q), 0);
    const char type[] = {'L', 'L', 'L'};
    const double rhs[] = {0, 0, 0};
    ASSERT_EQ(NVRAaddrows(q, 3, 0, type, rhs, nullptr, nullptr, nullptr, nullptr), 0);
    const int s32[] = {0, 2};
    const int64_t s64[] = {0};
    const int rows[] = {2, 0, 1};
    const double vals[] = {1, 2, 3};
    ASSERT_EQ(NVRAaddcols(q, 2, 3, nullptr, s32, rows, vals, nullptr, nullptr), 0);
    ASSERT_EQ(NVRAaddcols64(q, 1, 1, nullptr, s64, rows + 1, vals + 1, nullptr, nullptr), 0);
    // p: 4 columns already; build the rows on columns 0..2 after deleting column 3.
    const int del = 3;
    ASSERT_EQ(NVRAdelcols(p, 1, &del), 0);
    addRow('L', 0, {0, 2}, {2, 2});
    addRow('L', 0, {1}, {3});
    addRow('L', 0, {0}, {1});
    auto a = snapshot(p, 3, 3), b = snapshot(q, 3, 3);
    EXPECT_EQ(a.rowStart, b.rowStart);
    EXPECT_EQ(a.rowCols, b.rowCols);
    EXPECT_EQ(a.rowVals, b.rowVals);
    EXPECT_EQ(NVRAdestroyprob(q), 0);
}

TEST_F(RowsCols, BoundsTypesAndLimits) {
    const int cols[] = {0, 1, 1, 2};
    const char bt[] = {'L', 'U', 'B', 'U'};
    const double bv[] = {-5, 7, 3, 2e30};
    ASSERT_EQ(NVRAchgbounds(p, 4, cols, bt, bv), 0);
    double lb[3], ub[3];
    ASSERT_EQ(NVRAgetlb(p, lb, 0, 2), 0);
    ASSERT_EQ(NVRAgetub(p, ub, 0, 2), 0);
    EXPECT_EQ((std::vector<double>(lb, lb + 3)), (std::vector<double>{-5, 3, 0}));
    EXPECT_EQ((std::vector<double>(ub, ub + 3)),
              (std::vector<double>{10, 3, 1e20})); // later wins; infinity clamps
    const int tc[] = {0, 1, 2, 3};
    const char types[] = {'B', 'I', 'S', 'P'};
    ASSERT_EQ(NVRAchgcoltype(p, 4, tc, types), 0);
    char got[4];
    ASSERT_EQ(NVRAgetcoltype(p, got, 0, 3), 0);
    EXPECT_EQ(std::string(got, 4), "BISP");
    ASSERT_EQ(NVRAgetlb(p, lb, 0, 1), 0);
    ASSERT_EQ(NVRAgetub(p, ub, 0, 1), 0);
    EXPECT_EQ(lb[0], 0.0); // binary: bounds reset to [0, 1]
    EXPECT_EQ(ub[0], 1.0);
    EXPECT_EQ(lb[1], 3.0); // integer: bounds kept
    const int lc[] = {2, 3};
    const double lim[] = {4, 6};
    ASSERT_EQ(NVRAchgglblimit(p, 2, lc, lim), 0);
    int nent = 0, nsets = -1;
    ASSERT_EQ(NVRAgetmipentities64(p, &nent, &nsets, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr),
              0);
    ASSERT_EQ(nent, 4);
    EXPECT_EQ(nsets, 0);
    char et[4];
    int ec[4];
    double el[4];
    ASSERT_EQ(
        NVRAgetmipentities64(p, nullptr, nullptr, et, ec, el, nullptr, nullptr, nullptr, nullptr),
        0);
    EXPECT_EQ(std::string(et, 4), "BISP");
    EXPECT_EQ((std::vector<double>(el, el + 4)), (std::vector<double>{0, 0, 4, 6}));
}

TEST_F(RowsCols, RhsRangeAndRowTypeRules) {
    addRow('L', 10, {0}, {1}); // upper end 10
    addRow('G', 10, {0}, {1}); // lower end 10
    addRow('E', 10, {0}, {1});
    addRow('R', 10, {0}, {1}, 4); // [6, 10]
    addRow('L', 10, {0}, {1});
    addRow('N', 0, {0}, {1});
    const int rows[] = {0, 1, 2, 3, 4};
    const double rng[] = {3, 3, -3, -2, 1e20};
    ASSERT_EQ(NVRAchgrhsrange(p, 5, rows, rng), 0) << err();
    std::vector<char> t(6);
    std::vector<double> rhs(6), range(6);
    ASSERT_EQ(NVRAgetrowtype(p, t.data(), 0, 5), 0);
    ASSERT_EQ(NVRAgetrhs(p, rhs.data(), 0, 5), 0);
    ASSERT_EQ(NVRAgetrhsrange(p, range.data(), 0, 5), 0);
    EXPECT_EQ(std::string(t.data(), 6), "RRRRLN");
    // L keeps its upper end, G its lower end, E and R with a negative range their lower end;
    // an infinite width leaves the one-sided row.
    EXPECT_EQ(rhs, (std::vector<double>{10, 13, 13, 8, 10, 0}));
    EXPECT_EQ(range, (std::vector<double>{3, 3, 3, 2, 1e20, 1e20}));
    // chgrhs moves both ends of an 'R' row.
    const int r3 = 3;
    const double v = 20;
    ASSERT_EQ(NVRAchgrhs(p, 1, &r3, &v), 0);
    ASSERT_EQ(NVRAgetrhsrange(p, range.data(), 3, 3), 0);
    EXPECT_EQ(range[0], 2.0);
    // chgrowtype keeps rhs; a row that becomes 'R' starts with range 0 unless it was 'R'.
    const int tr[] = {3, 4, 0};
    const char nt[] = {'R', 'R', 'G'};
    ASSERT_EQ(NVRAchgrowtype(p, 3, tr, nt), 0);
    ASSERT_EQ(NVRAgetrhsrange(p, range.data(), 3, 4), 0);
    EXPECT_EQ(range[0], 2.0);
    EXPECT_EQ(range[1], 0.0);
    ASSERT_EQ(NVRAgetrhs(p, rhs.data(), 0, 0), 0);
    EXPECT_EQ(rhs[0], 10.0);
    const int n5 = 5;
    const double r1 = 1;
    expectRefused(NVRA_RC_INVALID, "Row 5 is a free ('N') row", 6, 4,
                  [&] { return NVRAchgrhsrange(p, 1, &n5, &r1); });
}

TEST_F(RowsCols, Coefficients) {
    addRow('L', 1, {0, 2}, {1, 2});
    addRow('L', 1, {1}, {3});
    double c = -1;
    ASSERT_EQ(NVRAgetcoef(p, 0, 2, &c), 0);
    EXPECT_EQ(c, 2.0);
    ASSERT_EQ(NVRAgetcoef(p, 0, 1, &c), 0);
    EXPECT_EQ(c, 0.0);
    ASSERT_EQ(NVRAchgcoef(p, 0, 2, 5), 0); // in place
    ASSERT_EQ(NVRAchgcoef(p, 0, 1, 4), 0); // inserted in order
    ASSERT_EQ(NVRAchgcoef(p, 1, 1, 0), 0); // removed
    EXPECT_EQ(row(0), (Row{{0, 1}, {1, 4}, {2, 5}}));
    EXPECT_EQ(row(1), Row{});
    // Several at once: a later entry for the same element wins.
    const int r[] = {1, 1, 0, 1};
    const int k[] = {3, 0, 0, 3};
    const double v[] = {1, 2, 0, 9};
    ASSERT_EQ(NVRAchgmcoef(p, 4, r, k, v), 0);
    EXPECT_EQ(row(0), (Row{{1, 4}, {2, 5}}));
    EXPECT_EQ(row(1), (Row{{0, 2}, {3, 9}}));
    expectRefused(NVRA_RC_RANGE, "Column index 4 is out of range: the problem has 4 columns", 2, 4,
                  [&] { return NVRAchgcoef(p, 0, 4, 1); });
    expectRefused(NVRA_RC_INVALID, "coefficients must be finite", 2, 4,
                  [&] { return NVRAchgcoef(p, 0, 0, 1e20); });
    const int badr[] = {0, 5};
    expectRefused(NVRA_RC_RANGE, "Row index 5 is out of range: the problem has 2 rows", 2, 4,
                  [&] { return NVRAchgmcoef(p, 2, badr, k, v); });
}

TEST_F(RowsCols, BadArgumentsAreRefusedAndChangeNothing) {
    addRow('L', 1, {0}, {1});
    const char L = 'L', X = 'x';
    const double one = 1;
    const int s0 = 0, s1 = 1, c0 = 0, c9 = 9;
    expectRefused(NVRA_RC_RANGE,
                  "coefficient 0 (new row 0) is in column 9: the problem has 4 columns", 1, 4,
                  [&] { return NVRAaddrows(p, 1, 1, &L, &one, nullptr, &s0, &c9, &one); });
    expectRefused(NVRA_RC_INVALID, "invalid row type 'x'", 1, 4, [&] {
        return NVRAaddrows(p, 1, 0, &X, &one, nullptr, nullptr, nullptr, nullptr);
    });
    const char R = 'R';
    const double neg = -1;
    expectRefused(NVRA_RC_INVALID, "must be >= 0", 1, 4,
                  [&] { return NVRAaddrows(p, 1, 0, &R, &one, &neg, nullptr, nullptr, nullptr); });
    expectRefused(NVRA_RC_INVALID, "start[0] is 1: it must be 0", 1, 4,
                  [&] { return NVRAaddrows(p, 1, 1, &L, &one, nullptr, &s1, &c0, &one); });
    expectRefused(NVRA_RC_INVALID, "the array rhs is null", 1, 4, [&] {
        return NVRAaddrows(p, 1, 0, &L, nullptr, nullptr, nullptr, nullptr, nullptr);
    });
    expectRefused(NVRA_RC_INVALID, "the number of rows is negative (-1)", 1, 4, [&] {
        return NVRAaddrows(p, -1, 0, &L, &one, nullptr, nullptr, nullptr, nullptr);
    });
    expectRefused(NVRA_RC_INVALID, "1 coefficients given for no rows", 1, 4,
                  [&] { return NVRAaddrows(p, 0, 1, &L, &one, nullptr, &s0, &c0, &one); });
    const int64_t bad[] = {0, 3};
    expectRefused(NVRA_RC_INVALID, "start[1] = 3 is invalid", 1, 4, [&] {
        const char t[] = {'L', 'L'};
        const double r[] = {1, 1};
        const int c[] = {0, 1};
        return NVRAaddrows64(p, 2, 2, t, r, nullptr, bad, c, r);
    });
    expectRefused(NVRA_RC_RANGE, "coefficient 0 is in row 3: the problem has 1 rows", 1, 4, [&] {
        const int r3 = 3;
        return NVRAaddcols(p, 1, 1, nullptr, &s0, &r3, &one, nullptr, nullptr);
    });
    expectRefused(NVRA_RC_INVALID, "invalid bound type 'x'", 1, 4,
                  [&] { return NVRAchgbounds(p, 1, &c0, &X, &one); });
    expectRefused(NVRA_RC_RANGE, "Column index 9 is out of range: the problem has 4 columns", 1, 4,
                  [&] { return NVRAchgbounds(p, 1, &c9, &L, &one); });
    expectRefused(NVRA_RC_INVALID, "invalid column type 'x'", 1, 4,
                  [&] { return NVRAchgcoltype(p, 1, &c0, &X); });
    expectRefused(NVRA_RC_RANGE, "Row index 1 is out of range: the problem has 1 rows", 1, 4,
                  [&] { return NVRAchgrhs(p, 1, &s1, &one); });
    expectRefused(NVRA_RC_INVALID, "invalid row type 'x'", 1, 4,
                  [&] { return NVRAchgrowtype(p, 1, &s0, &X); });
    double out[4];
    EXPECT_EQ(NVRAgetlb(p, out, 2, 4), NVRA_RC_RANGE);
    EXPECT_NE(err().find("Column range 2..4 is invalid: the problem has 4 columns"),
              std::string::npos);
    EXPECT_EQ(NVRAgetrhs(p, out, 0, -2), NVRA_RC_RANGE);
    EXPECT_EQ(NVRAgetlb(p, out, 4, 3), 0); // the empty range at the end
    EXPECT_EQ(NVRAgetub(p, nullptr, 0, 0), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAgetrows(p, nullptr, nullptr, nullptr, -1, nullptr, 0, 0), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAaddrows(nullptr, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              NVRA_RC_MISUSE);
}

// NaN is never a bound, right-hand side, range, limit or coefficient: every entry point that
// takes a number refuses it and leaves the problem as it was, so that callers (the module's
// API methods among them) get the refusal for free.
TEST_F(RowsCols, NaNIsRefusedByEveryEntryThatTakesANumber) {
    addRow('L', 1, {0, 1}, {1, 1});
    const double nan = std::nan(""), one = 1;
    const char L = 'L', U = 'U', B = 'B', R = 'R', S1 = '1';
    const int c0 = 0, c1 = 1, r0 = 0, s0 = 0, two[] = {0, 1}, zeros[] = {0, 0};
    const double nan2[] = {1, nan};
    // What each refusal says, where the message is checked.
    const std::map<std::string, std::string> says = {
        {"addrows rhs", "the right-hand side is NaN"},
        {"addcols lb", "a bound of new column 0 is NaN"},
        {"chgglblimit", "the limit is NaN"}};
    const std::vector<std::pair<const char *, std::function<int()>>> calls = {
        {"addrows rhs",
         [&] { return NVRAaddrows(p, 1, 0, &L, &nan, nullptr, &s0, nullptr, nullptr); }},
        {"addrows range",
         [&] { return NVRAaddrows(p, 1, 0, &R, &one, &nan, &s0, nullptr, nullptr); }},
        {"addrows coef", [&] { return NVRAaddrows(p, 1, 1, &L, &one, nullptr, &s0, &c0, &nan); }},
        {"addcols obj",
         [&] { return NVRAaddcols(p, 1, 0, &nan, &s0, nullptr, nullptr, nullptr, nullptr); }},
        {"addcols lb",
         [&] { return NVRAaddcols(p, 1, 0, nullptr, &s0, nullptr, nullptr, &nan, nullptr); }},
        {"addcols ub",
         [&] { return NVRAaddcols(p, 1, 0, nullptr, &s0, nullptr, nullptr, nullptr, &nan); }},
        {"chgbounds L", [&] { return NVRAchgbounds(p, 1, &c0, &L, &nan); }},
        {"chgbounds U", [&] { return NVRAchgbounds(p, 1, &c0, &U, &nan); }},
        {"chgbounds B", [&] { return NVRAchgbounds(p, 1, &c0, &B, &nan); }},
        {"chgglblimit", [&] { return NVRAchgglblimit(p, 1, &c0, &nan); }},
        {"chgrhs", [&] { return NVRAchgrhs(p, 1, &r0, &nan); }},
        {"chgrhsrange", [&] { return NVRAchgrhsrange(p, 1, &r0, &nan); }},
        {"chgcoef", [&] { return NVRAchgcoef(p, 0, 1, nan); }},
        {"chgmcoef", [&] { return NVRAchgmcoef(p, 2, zeros, two, nan2); }},
        {"chgobj", [&] { return NVRAchgobj(p, 1, &c1, &nan); }},
        {"chgobj constant",
         [&] {
             const int m1 = -1;
             return NVRAchgobj(p, 1, &m1, &nan);
         }},
        {"chgmqobj", [&] { return NVRAchgmqobj(p, 1, &c0, &c1, &nan); }},
        {"addqmatrix64", [&] { return NVRAaddqmatrix64(p, 0, 1, &c0, &c1, &nan); }},
        {"addsets", [&] { return NVRAaddsets(p, 1, 2, &S1, &s0, two, nan2); }},
        {"addobj coef", [&] { return NVRAaddobj(p, 1, &c0, &nan, 0, 1.0); }},
        {"addobj weight", [&] { return NVRAaddobj(p, 1, &c0, &one, 0, nan); }},
        {"setobjdblcontrol",
         [&] { return NVRAsetobjdblcontrol(p, 0, NVRA_OBJCONTROL_WEIGHT, nan); }},
        {"setdblcontrol", [&] { return NVRAsetdblcontrol(p, NVRA_CONTROL_MATRIXTOL, nan); }},
        {"loadlp rhs",
         [&] {
             return NVRAloadlp(p, "n", 1, 1, &L, &nan, nullptr, nullptr, &s0, nullptr, nullptr,
                               nullptr, nullptr, nullptr);
         }},
        {"loadlp lb",
         [&] {
             return NVRAloadlp(p, "n", 1, 1, &L, &one, nullptr, nullptr, &s0, nullptr, nullptr,
                               nullptr, &nan, nullptr);
         }},
        {"loadlp obj",
         [&] {
             return NVRAloadlp(p, "n", 1, 1, &L, &one, nullptr, &nan, &s0, nullptr, nullptr,
                               nullptr, nullptr, nullptr);
         }},
    };
    double before = 0;
    ASSERT_EQ(NVRAgetdblcontrol(p, NVRA_CONTROL_MATRIXTOL, &before), 0);
    for (const auto &[what, call] : calls) {
        SCOPED_TRACE(what);
        expectRefused(NVRA_RC_INVALID, says.count(what) ? says.at(what) : "", 1, 4, call);
    }
    double after = 0;
    ASSERT_EQ(NVRAgetdblcontrol(p, NVRA_CONTROL_MATRIXTOL, &after), 0);
    EXPECT_EQ(after, before);
}

} // namespace
