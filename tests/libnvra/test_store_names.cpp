// Names of rows, columns and sets: given and default names, size queries, lookup by name (given
// names win, unknown names give -1), renumbering after deletions, invalid names, and large
// mostly-unnamed lists.
#include "store_test_util.h"

#include <string>
#include <vector>

namespace {

using storetest::names;
using storetest::StoreTest;
using Strings = std::vector<std::string>;

// Names packed one after another with their zeros, as NVRAaddnames takes them.
std::string packed(const Strings &list) {
    std::string s;
    for (const std::string &n : list)
        s += n + '\0';
    return s;
}

int indexOf(NVRAprob p, int type, const char *name) {
    int i = -2;
    EXPECT_EQ(NVRAgetindex(p, type, name, &i), 0) << storetest::lastError(p);
    return i;
}

class Names : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        addColumns(12);
        for (int r = 0; r < 3; ++r)
            addRow('L', r, {r}, {1.0});
    }
};

TEST_F(Names, DefaultNamesUntilNamedAndBack) {
    EXPECT_EQ(names(p, NVRA_NAMES_COLUMNS, 9, 11), (Strings{"C9", "C10", "C11"}));
    EXPECT_EQ(names(p, NVRA_NAMES_ROWS, 0, 2), (Strings{"R0", "R1", "R2"}));
    const std::string list = packed({"x", "", "long name é"});
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, list.data(), 9, 11), 0) << err();
    EXPECT_EQ(names(p, NVRA_NAMES_COLUMNS, 8, 11), (Strings{"C8", "x", "C10", "long name é"}));
    // An empty name makes an entry unnamed again.
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, "", 9, 9), 0);
    EXPECT_EQ(names(p, NVRA_NAMES_COLUMNS, 9, 9), (Strings{"C9"}));
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "x"), -1);
}

TEST_F(Names, SizeQueryAndBufferChecks) {
    const std::string list = packed({"alpha", "b"});
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_ROWS, list.data(), 1, 2), 0);
    int nbytes = 0;
    ASSERT_EQ(NVRAgetnamelist(p, NVRA_NAMES_ROWS, nullptr, 0, &nbytes, 0, 2), 0);
    EXPECT_EQ(nbytes, 3 + 6 + 2); // "R0", "alpha", "b" with their zeros
    char small[8];
    EXPECT_EQ(NVRAgetnamelist(p, NVRA_NAMES_ROWS, small, sizeof small, &nbytes, 0, 2),
              NVRA_RC_RANGE);
    EXPECT_NE(err().find("too small"), std::string::npos) << err();
    EXPECT_EQ(nbytes, 11); // still told how much is needed
    // An empty range needs no bytes.
    ASSERT_EQ(NVRAgetnamelist(p, NVRA_NAMES_ROWS, nullptr, 0, &nbytes, 3, 2), 0);
    EXPECT_EQ(nbytes, 0);
    // NVRAgetnames writes the same bytes without a size.
    std::vector<char> buf(3 * 1024, 'z');
    ASSERT_EQ(NVRAgetnames(p, NVRA_NAMES_ROWS, buf.data(), 0, 2), 0);
    EXPECT_EQ(std::string(buf.data(), 11), std::string("R0\0alpha\0b\0", 11));
    EXPECT_EQ(buf[11], 'z');
}

TEST_F(Names, LookupGivenDefaultAndUnknown) {
    const std::string list = packed({"C5", "dup", "dup"});
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, list.data(), 2, 4), 0);
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "C5"), 2);   // a given name wins over a default one
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "dup"), 3);  // the lowest of equal names
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "C7"), 7);   // default name
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "C2"), -1);  // column 2 is named: no longer "C2"
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "C12"), -1); // out of range
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "C07"), -1); // not the default spelling
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "R1"), -1);  // a row's default name
    EXPECT_EQ(indexOf(p, NVRA_NAMES_ROWS, "R1"), 1);
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "nothing"), -1);
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, ""), -1);
    // The index follows renames after the first lookup.
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, "dup", 1, 1), 0);
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "dup"), 1);
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, packed({"a", "b"}).data(), 1, 2), 0);
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "dup"), 3);
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "C5"), 5);
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, "new", 11, 11), 0);
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "new"), 11);
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "a"), 1);
}

TEST_F(Names, DeletionRenumbersGivenAndDefaultNames) {
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, packed({"a", "b", "c"}).data(), 3, 5), 0);
    const int del[] = {4, 0};
    ASSERT_EQ(NVRAdelcols(p, 2, del), 0) << err();
    EXPECT_EQ(names(p, NVRA_NAMES_COLUMNS, 0, 4), (Strings{"C0", "C1", "a", "c", "C4"}));
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "c"), 3);
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "b"), -1);
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_ROWS, "last", 2, 2), 0);
    const int delRow = 0;
    ASSERT_EQ(NVRAdelrows(p, 1, &delRow), 0);
    EXPECT_EQ(names(p, NVRA_NAMES_ROWS, 0, 1), (Strings{"R0", "last"}));
}

TEST_F(Names, BadArgumentsAreRefusedAndChangeNothing) {
    expectRefused(NVRA_RC_INVALID, "invalid name type 4", 3, 12,
                  [&] { return NVRAaddnames(p, 4, "x", 0, 0); });
    expectRefused(NVRA_RC_RANGE, "Column range 11..12 is invalid: the problem has 12 columns", 3,
                  12, [&] {
                      return NVRAaddnames(p, NVRA_NAMES_COLUMNS, packed({"a", "b"}).data(), 11, 12);
                  });
    expectRefused(NVRA_RC_RANGE, "Set range 0..0 is invalid: the problem has 0 sets", 3, 12,
                  [&] { return NVRAaddsetnames(p, "s", 0, 0); });
    const std::string tooLong(1024, 'n');
    expectRefused(NVRA_RC_INVALID, "The name given for column 1 is longer than 1023 bytes", 3, 12,
                  [&] {
                      return NVRAaddnames(p, NVRA_NAMES_COLUMNS,
                                          (packed({"ok"}) + tooLong + '\0').data(), 0, 1);
                  });
    expectRefused(NVRA_RC_INVALID, "The name given for row 0 is not valid UTF-8", 3, 12,
                  [&] { return NVRAaddnames(p, NVRA_NAMES_ROWS, "bad\xC3", 0, 0); });
    expectRefused(NVRA_RC_INVALID, "not valid UTF-8", 3, 12, [&] {
        return NVRAaddnames(p, NVRA_NAMES_ROWS, "\xED\xA0\x80", 0, 0);
    }); // surrogate
    expectRefused(NVRA_RC_INVALID, "the array names is null", 3, 12,
                  [&] { return NVRAaddnames(p, NVRA_NAMES_ROWS, nullptr, 0, 0); });
    // The longest valid name and every UTF-8 width are accepted.
    const std::string longest(1023, 'n');
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, longest.c_str(), 0, 0), 0);
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 1, 1),
              0);
    EXPECT_EQ(names(p, NVRA_NAMES_COLUMNS, 0, 0), (Strings{longest}));
    int i = 0;
    EXPECT_EQ(NVRAgetindex(p, NVRA_NAMES_COLUMNS, nullptr, &i), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAgetindex(p, 0, "x", &i), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAgetnamelist(p, NVRA_NAMES_ROWS, nullptr, 0, nullptr, -1, 0), NVRA_RC_RANGE);
}

TEST_F(Names, SetNames) {
    const int start = 0, cols[] = {0, 1};
    const double ref[] = {1, 2};
    ASSERT_EQ(NVRAaddsets(p, 1, 2, "1", &start, cols, ref), 0) << err();
    ASSERT_EQ(NVRAaddsets(p, 1, 2, "2", &start, cols, ref), 0) << err();
    EXPECT_EQ(names(p, NVRA_NAMES_SETS, 0, 1), (Strings{"S0", "S1"}));
    ASSERT_EQ(NVRAaddsetnames(p, "second", 1, 1), 0);
    EXPECT_EQ(indexOf(p, NVRA_NAMES_SETS, "second"), 1);
    const int del = 0;
    ASSERT_EQ(NVRAdelsets(p, 1, &del), 0);
    EXPECT_EQ(names(p, NVRA_NAMES_SETS, 0, 0), (Strings{"second"}));
    EXPECT_EQ(indexOf(p, NVRA_NAMES_SETS, "S1"), -1);
}

// A large list: mostly unnamed (a few named far apart), then fully named in one call, then
// partly deleted; names and lookups stay right through the changes of representation.
using NamesLarge = StoreTest;
TEST_F(NamesLarge, MostlyUnnamedThenFullyNamed) {
    const int n = 200000;
    ASSERT_EQ(NVRAaddcols(p, n, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    for (int j = 0; j < n; j += 20000)
        ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, ("far" + std::to_string(j)).c_str(), j, j),
                  0);
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "far180000"), 180000);
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "C199999"), 199999);
    EXPECT_EQ(names(p, NVRA_NAMES_COLUMNS, 19999, 20001),
              (Strings{"C19999", "far20000", "C20001"}));
    std::string all;
    for (int j = 0; j < n; ++j)
        all += "x(" + std::to_string(j) + ")" + '\0';
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, all.data(), 0, n - 1), 0);
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "x(123456)"), 123456);
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "far20000"), -1);
    std::vector<int> del;
    for (int j = 0; j < n; j += 2)
        del.push_back(j);
    ASSERT_EQ(NVRAdelcols(p, static_cast<int>(del.size()), del.data()), 0);
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "x(123457)"), 61728);
    EXPECT_EQ(indexOf(p, NVRA_NAMES_COLUMNS, "x(123456)"), -1);
    EXPECT_EQ(names(p, NVRA_NAMES_COLUMNS, 0, 1), (Strings{"x(1)", "x(3)"}));
}

} // namespace
