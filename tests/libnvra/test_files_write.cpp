// Writing MPS (free and fixed) and LP files: round trips through every format, full precision,
// default names, and what the formats cannot hold.
#include "test_files_util.h"

#include <cmath>

using namespace filetest;

namespace {

class WriteTest : public FilesTest {
  protected:
    NVRAprob back = nullptr; // the problem read back

    void SetUp() override {
        FilesTest::SetUp();
        ASSERT_EQ(NVRAcreateprob(&back), 0);
    }
    void TearDown() override {
        NVRAdestroyprob(back);
        FilesTest::TearDown();
    }

    // Writes prob as name with flags, reads it back into back and compares (with the names,
    // unless the file had to replace some); returns the text.
    std::string roundTrip(const std::string &name, const char *flags, bool sameNames = true) {
        const std::string p = path(name);
        EXPECT_EQ(NVRAwriteprob(prob, p.c_str(), flags), 0) << lastError(prob);
        EXPECT_EQ(NVRAreadprob(back, p.c_str(), flags), 0) << lastError(back) << "\n" << slurp(p);
        expectSameModel(prob, back, sameNames);
        // The same model writes the same text again.
        const std::string again = path("again_" + name);
        EXPECT_EQ(NVRAwriteprob(back, again.c_str(), flags), 0) << lastError(back);
        EXPECT_EQ(slurp(p), slurp(again));
        return slurp(p);
    }
};

// Instances with names that LP files cannot hold (they start with a digit or '.').
bool lpCannotName(std::string_view f) {
    for (const char *g : {"adlittle.mps", "e226.mps", "shell.mps", "25fv47.mps", "egout.mps",
                          "rgn.mps", "dcmulti.mps"})
        if (f == g) return true;
    return false;
}

TEST_F(WriteTest, InstancesRoundTripThroughEveryFormat) {
    for (const Instance &in : kInstances) {
        const char *f = in.file;
        SCOPED_TRACE(f);
        read(dataFile(f));
        roundTrip("free.mps", "");
        roundTrip("fixed.mps", "f");
        roundTrip("model.lp", "", !lpCannotName(f));
    }
    // Names an LP file cannot hold are written as default names, the others as they are.
    read(dataFile("dcmulti.mps"));
    roundTrip("model.lp", "", false);
    EXPECT_EQ(rowName(prob, 0), "2");
    EXPECT_EQ(rowName(back, 0), "R0");
    EXPECT_EQ(colName(back, 0), colName(prob, 0));
}

// A model with every feature the formats carry, and numbers that need all their digits.
const char *kRichLp = R"(\Problem name: rich
Maximize
 obj: 0.1 x + 0.33333333333333331 y - 1e-300 z + 5e-324 b - 2.5e+19 s
   + 123456789.12345679 t + 7.113 + [ x ^ 2 + 0.6 x * y + 1e-07 y ^ 2 ] / 2
Subject To
 c1: x + y <= 10.000000000000002
 c2: -5.5 <= x - 0.1 y <= 5.25
 c3: x + y + z >= -inf
 3 x >= 1
 q1: x + [ x ^ 2 + 0.2 x * y - 3 y ^ 2 ] <= 8
 ind: b = 0 -> x + z = 2
 ind2: b = 1 -> x - z >= -2
 c8: y - p <= -1e+19
Bounds
 -1e+19 <= x <= 4
 -inf <= y <= 3
 z free
 s <= 10
 2 <= s
 t <= 6
 t >= 1
 0 <= p <= -1
 q = 1.5
 r <= inf
Generals
 y t r
Binaries
 b
Semi-continuous
 s t
Partial-integer
 z 3
SOS
 set1: S1:: x:1 y:2
 S2:: y:1 z:2.5 p:0.1
End
)";

TEST_F(WriteTest, EveryFeatureRoundTripsWithFullPrecision) {
    ASSERT_EQ(readText("rich.lp", kRichLp), 0) << lastError(prob);
    EXPECT_EQ(model().cost[1], 1.0 / 3.0);
    EXPECT_EQ(model().cost[3], 5e-324);
    EXPECT_EQ(model().sets.size(), 2u);
    EXPECT_EQ(model().indicators.size(), 2u);
    roundTrip("rich.mps", "");
    roundTrip("rich.lp", "");
    roundTrip("rich_fixed.mps", "f");
    // Fixed format keeps every field in its columns; long numbers run past their field only.
    const std::string fixed = slurp(path("rich_fixed.mps"));
    EXPECT_NE(fixed.find("\n    x         obj       0.1\n"), std::string::npos) << fixed;
    EXPECT_NE(fixed.find("\n    y         obj       0.3333333333333333\n"), std::string::npos);
    EXPECT_NE(fixed.find("\n SC BND       s         10\n LO BND       s         2\n"),
              std::string::npos);
}

TEST_F(WriteTest, MpsHoldsWhatLpCannot) {
    // A free row with a right-hand side and an 'R' row whose lower end is not exact in binary.
    const char *text = "NAME mps\nROWS\n N obj\n N free\n L r\nCOLUMNS\n x obj 1 free 2\n"
                       " x r 1\nRHS\n RHS free 3 r 0.3\nRANGES\n RNG r 0.1\nENDATA\n";
    ASSERT_EQ(readText("m.mps", text), 0) << lastError(prob);
    roundTrip("m2.mps", "");
    roundTrip("m3.mps", "f");
}

TEST_F(WriteTest, DefaultNamesReadBackAsThoseNames) {
    const char rowtype[] = {'L', 'G'};
    const double rhs[] = {4, 1}, obj[] = {1, 2};
    const int start[] = {0, 2, 3}, rowind[] = {0, 1, 0};
    const double rowcoef[] = {1, 1, 1};
    ASSERT_EQ(NVRAloadlp(prob, "defaults", 2, 2, rowtype, rhs, nullptr, obj, start, nullptr, rowind,
                         rowcoef, nullptr, nullptr),
              0)
        << lastError(prob);
    const char *flags[] = {"", "f", "l"};
    for (const char *fl : flags) {
        SCOPED_TRACE(fl);
        const std::string p = path(std::string("d") + fl);
        ASSERT_EQ(NVRAwriteprob(prob, p.c_str(), fl), 0) << lastError(prob);
        read(p, fl);
        EXPECT_EQ(allNames(prob, NVRA_NAMES_ROWS), (std::vector<std::string>{"R0", "R1"}));
        EXPECT_EQ(allNames(prob, NVRA_NAMES_COLUMNS), (std::vector<std::string>{"C0", "C1"}));
        EXPECT_EQ(model().probName, "defaults");
    }
}

TEST_F(WriteTest, EmptyProblemWritesAndReads) {
    roundTrip("empty.mps", "");
    roundTrip("empty.lp", "");
    EXPECT_EQ(model().probName, "noname");
}

// Writing never fails for want of names: names a format cannot hold, repeated names and given
// names that are another entry's default name are written as default names, deterministically,
// with a warning; the file reads back as the same model.
TEST_F(WriteTest, NamesAFileCannotHoldBecomeDefaultNames) {
    const char *text = "Minimize\n obj: x + y + z + w\nSubject To\n c: x + y >= 1\n"
                       " d: x + z >= 1\n e: y + w >= 1\nEnd\n";
    ASSERT_EQ(readText("n.lp", text), 0) << lastError(prob);
    std::vector<std::string> messages;
    ASSERT_EQ(NVRAaddcbmessage(
                  prob,
                  [](NVRAprob, void *data, const char *msg, int, int type) {
                      if (type == 3) static_cast<std::vector<std::string> *>(data)->push_back(msg);
                  },
                  &messages, 0),
              0);
    struct Case {
        const char *cols; // four names, zero-separated
        const char *flags;
        std::vector<std::string> shown;
    };
    const Case cases[] = {
        {"a b\0ok\0longername\0x\0", "", {"C0", "ok", "longername", "x"}},
        {"a b\0ok\0longername\0x\0", "f", {"a b", "ok", "C2", "x"}},
        {"a b\0ok\0longername\0x\0", "l", {"C0", "ok", "longername", "x"}},
        {"2x\0end\0inf\0x:y\0", "l", {"C0", "C1", "C2", "C3"}},
        // Repeats: the first keeps the name; "x(0)" as two addVariables calls give it.
        {"x(0)\0x(1)\0x(0)\0x(1)\0", "l", {"x(0)", "x(1)", "C2", "C3"}},
        // "C3" on column 0 clashes once column 3 shows its default; the chain settles.
        {"C3\0C0\0u\0u\0", "", {"C0", "C1", "u", "C3"}},
        {"C2\0C1\0v\0\0", "", {"C2", "C1", "v", "C3"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.flags) + " " + c.shown[0]);
        ASSERT_EQ(NVRAaddnames(prob, NVRA_NAMES_COLUMNS, c.cols, 0, 3), 0) << lastError(prob);
        messages.clear();
        roundTrip(std::string("n") + c.flags + ".file", c.flags, false);
        EXPECT_EQ(allNames(back, NVRA_NAMES_COLUMNS), c.shown);
        int replaced = 0;
        for (int j = 0; j < 4; ++j)
            replaced += allNames(prob, NVRA_NAMES_COLUMNS)[j] != c.shown[j];
        if (replaced > 0) {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_NE(messages[0].find(std::to_string(replaced) + " name"), std::string::npos)
                << messages[0];
        } else {
            EXPECT_TRUE(messages.empty());
        }
    }
    // Rows and the problem name too: a row named 'MARKER' in MPS, a name on two rows, and a
    // problem name with a space (the NAME line holds one word; the LP comment holds it).
    ASSERT_EQ(NVRAaddnames(prob, NVRA_NAMES_COLUMNS, "x\0y\0z\0w\0", 0, 3), 0);
    ASSERT_EQ(NVRAaddnames(prob, NVRA_NAMES_ROWS, "'marker'\0r\0r\0", 0, 2), 0);
    ASSERT_EQ(NVRAsetprobname(prob, "two words"), 0);
    ASSERT_EQ(NVRAwriteprob(prob, path("rows.mps").c_str(), ""), 0) << lastError(prob);
    ASSERT_EQ(NVRAreadprob(back, path("rows.mps").c_str(), ""), 0) << lastError(back);
    expectSameModel(prob, back, false);
    EXPECT_EQ(allNames(back, NVRA_NAMES_ROWS), (std::vector<std::string>{"R0", "r", "R2"}));
    EXPECT_EQ(back->model.probName, "rows"); // named after the file, as a file without a name
    roundTrip("rows.lp", "", false);
    EXPECT_EQ(allNames(back, NVRA_NAMES_ROWS), (std::vector<std::string>{"'marker'", "r", "R2"}));
    EXPECT_EQ(back->model.probName, "two words");
    // What no name can mend still fails, naming it: several objectives.
    const int col[] = {0};
    const double c[] = {1.0};
    ASSERT_EQ(NVRAaddobj(prob, 1, col, c, 0, 1.0), 0) << lastError(prob);
    EXPECT_EQ(NVRAwriteprob(prob, path("o.lp").c_str(), ""), NVRA_RC_UNSUPPORTED);
    EXPECT_NE(lastError(prob).find("2 objectives"), std::string::npos) << lastError(prob);
    EXPECT_FALSE(std::filesystem::exists(path("o.lp"))); // refused before anything is written
}

TEST_F(WriteTest, FileAndFlagFailures) {
    read(dataFile("afiro.mps"));
    EXPECT_EQ(NVRAwriteprob(prob, path("no/such/dir/x.mps").c_str(), ""), NVRA_RC_FILE);
    EXPECT_NE(lastError(prob).find("No such file or directory"), std::string::npos);
    EXPECT_EQ(NVRAwriteprob(prob, path("x.mps").c_str(), "q"), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAwriteprob(prob, path("x.mps").c_str(), "lf"), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAwriteprob(prob, "", ""), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAwriteprob(nullptr, "x.mps", ""), NVRA_RC_MISUSE);
    // The extension chooses LP; the flag overrides it.
    ASSERT_EQ(NVRAwriteprob(prob, path("a.lp").c_str(), ""), 0);
    EXPECT_EQ(slurp(path("a.lp")).rfind("\\Problem name: AFIRO\nMinimize\n", 0), 0u);
    ASSERT_EQ(NVRAwriteprob(prob, path("a.txt").c_str(), "l"), 0);
    EXPECT_EQ(slurp(path("a.lp")), slurp(path("a.txt")));
    ASSERT_EQ(NVRAwriteprob(prob, path("a.LP").c_str(), "m"), 0);
    EXPECT_EQ(slurp(path("a.LP")).rfind("NAME", 0), 0u);
}

} // namespace
