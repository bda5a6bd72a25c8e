// Reading the public instances and the MPS and LP conventions of the readers.
#include "test_files_util.h"

using namespace filetest;

namespace {

int integerColumns(const nvra::Model &m) {
    int n = 0;
    for (char t : m.coltype)
        n += t == 'I' || t == 'B';
    return n;
}

TEST_F(FilesTest, EveryInstanceReadsWithItsCounts) {
    for (const Instance &in : kInstances) {
        SCOPED_TRACE(in.file);
        read(dataFile(in.file));
        EXPECT_EQ(model().numRows(), in.rows);
        EXPECT_EQ(model().numCols(), in.cols);
        EXPECT_EQ(integerColumns(model()), in.ints);
        EXPECT_EQ(model().numNz(), in.nz);
        // What a caller reads right after a read.
        int rows = -1, cols = -1;
        EXPECT_EQ(NVRAgetintattrib(prob, NVRA_ATTR_ORIGINALROWS, &rows), 0) << lastError(prob);
        EXPECT_EQ(NVRAgetintattrib(prob, NVRA_ATTR_ORIGINALCOLS, &cols), 0) << lastError(prob);
        EXPECT_EQ(rows, in.rows);
        EXPECT_EQ(cols, in.cols);
    }
}

TEST_F(FilesTest, NamesAndProblemName) {
    read(dataFile("afiro.mps"));
    EXPECT_EQ(model().probName, "AFIRO");
    EXPECT_EQ(rowName(prob, 0), "R09");
    EXPECT_EQ(colName(prob, 0), "X01");
    EXPECT_EQ(colName(prob, 31), "X39");
    EXPECT_EQ(model().sense, 1);
    // The LP file has no problem name of its own: the file name gives it.
    read(dataFile("qjh.lp"));
    EXPECT_EQ(model().probName, "qjh");
    // Columns are numbered in order of first mention: x2 and x3 come before x1.
    EXPECT_EQ(allNames(prob, NVRA_NAMES_COLUMNS), (std::vector<std::string>{"x2", "x3", "x1"}));
}

TEST_F(FilesTest, LpInstancesKeepSenseBoundsAndRows) {
    read(dataFile("qptestnw.lp"));
    EXPECT_EQ(model().rowtype, (std::vector<char>{'G', 'G', 'G'}));
    EXPECT_EQ(model().rhs, (std::vector<double>{-2, -6, -2}));
    EXPECT_EQ(model().A.value, (std::vector<double>{1, -2, -1, -2, -1, 2}));
    EXPECT_EQ(model().Q.v, (std::vector<double>{2.0, 2.0}));
    EXPECT_EQ(rowName(prob, 0), "R0"); // unnamed
    read(dataFile("qpinfeasible.lp"));
    EXPECT_EQ(model().sense, -1);
    EXPECT_EQ(model().ub, (std::vector<double>{10, 10}));
    EXPECT_EQ(model().Q.v, std::vector<double>{-1.0});
    read(dataFile("qpunbounded.lp"));
    EXPECT_EQ(model().sense, -1);
    EXPECT_EQ(allNames(prob, NVRA_NAMES_COLUMNS), (std::vector<std::string>{"x2", "x1"}));
    EXPECT_EQ(model().ub, (std::vector<double>{nvra::kInf, 40}));
}

// ---- MPS conventions on small files ----------------------------------------------------------

const char *kRangesMps = R"(NAME ranges
ROWS
 N obj
 L le
 G ge
 E eqp
 E eqn
 E eqz
 E eqinf
 N free
COLUMNS
 x obj 1 le 1
 x ge 1 eqp 1
 x eqn 1 eqz 1
 x eqinf 1 free 1
RHS
 RHS le 4 ge 1
 RHS eqp 2 eqn 2
 RHS eqz 3 eqinf 5
 RHS free 9
RANGES
 RNG le -3 ge -2
 RNG eqp 1.5 eqn -1.5
 RNG eqz 0 eqinf 1e30
ENDATA
)";

TEST_F(FilesTest, RangesFollowTheSignRules) {
    ASSERT_EQ(readText("r.mps", kRangesMps), 0) << lastError(prob);
    const nvra::Model &m = model();
    EXPECT_EQ(m.rowtype, (std::vector<char>{'R', 'R', 'R', 'R', 'E', 'G', 'N'}));
    // L: [4 - 3, 4]; G: [1, 1 + 2]; E+: [2, 3.5]; E-: [0.5, 2].
    EXPECT_EQ(m.rhs, (std::vector<double>{4, 3, 3.5, 2, 3, 5, 9}));
    EXPECT_EQ(m.range[0], 3);
    EXPECT_EQ(m.range[1], 2);
    EXPECT_EQ(m.range[2], 1.5);
    EXPECT_EQ(m.range[3], 1.5);
}

TEST_F(FilesTest, BoundTypes) {
    const char *text = R"(NAME
ROWS
 N obj
 L c
COLUMNS
 up c 1
 mi c 1
 pl c 1
 fr c 1
 fx c 1
 bv c 1
 li c 1
 ui c 1
 neg c 1
 neglo c 1
 sc c 1
 pi c 1
RHS
BOUNDS
 UP BND up 4
 MI BND mi
 UP BND pl 3
 PL BND pl
 FR BND fr
 FX BND fx 2.5
 BV BND bv
 LI BND li -3
 UI BND ui 7
 UP BND neg -2
 LO BND neglo 0
 UP BND neglo -2
 SC BND sc
 LO BND pi -1
 UP BND pi 5
 PI BND pi 2
ENDATA
)";
    ASSERT_EQ(readText("b.mps", text), 0) << lastError(prob);
    const nvra::Model &m = model();
    const double inf = nvra::kInf;
    EXPECT_EQ(m.coltype,
              (std::vector<char>{'C', 'C', 'C', 'C', 'C', 'B', 'I', 'I', 'C', 'C', 'S', 'P'}));
    EXPECT_EQ(m.lb, (std::vector<double>{0, -inf, 0, -inf, 2.5, 0, -3, 0, -inf, 0, 0, -1}));
    EXPECT_EQ(m.ub, (std::vector<double>{4, inf, inf, inf, 2.5, 1, inf, 7, -2, -2, inf, 5}));
    EXPECT_EQ(m.limit[11], 2);
    EXPECT_EQ(m.probName, "b"); // no name on the NAME line
}

TEST_F(FilesTest, NegativeUpperBoundsWarnAWhile) {
    std::vector<std::string> lines;
    auto cb = [](NVRAprob, void *data, const char *msg, int len, int type) {
        if (type == 3) static_cast<std::vector<std::string> *>(data)->emplace_back(msg, len);
    };
    ASSERT_EQ(NVRAaddcbmessage(prob, cb, &lines, 0), 0);
    std::string text = "NAME\nROWS\n N obj\nCOLUMNS\n";
    for (int j = 0; j < 25; ++j)
        text += " x" + std::to_string(j) + " obj 1\n";
    text += "BOUNDS\n";
    for (int j = 0; j < 25; ++j)
        text += " UP B x" + std::to_string(j) + " -1\n";
    ASSERT_EQ(readText("n.mps", text + "ENDATA\n"), 0) << lastError(prob);
    EXPECT_EQ(model().lb[24], -nvra::kInf);
    // The first twenty, then a count of the rest.
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_NE(lines[0].find("n.mps', line 31: column 'x0' has a negative upper bound"),
              std::string::npos)
        << lines[0];
    EXPECT_NE(lines[20].find("5 more warnings"), std::string::npos) << lines[20];
}

TEST_F(FilesTest, ObjectiveSenseObjNameAndFreeRows) {
    const char *text = "NAME sense\nOBJSENSE MAXIMIZE\nOBJNAME\n    cost\nROWS\n N first\n"
                       " N cost\n L c\nCOLUMNS\n x first 5 cost 2\n x c 1\nRHS\n R first 3\n"
                       "ENDATA\n";
    ASSERT_EQ(readText("s.mps", text), 0) << lastError(prob);
    EXPECT_EQ(model().sense, -1);
    EXPECT_EQ(model().cost, std::vector<double>{2});
    EXPECT_EQ(model().rowtype, (std::vector<char>{'N', 'L'})); // "first" stays as a free row
    EXPECT_EQ(model().rhs, (std::vector<double>{3, 0}));
    EXPECT_EQ(model().numNz(), 2);
    ASSERT_EQ(readText("s.mps", "NAME\nOBJSENSE\n    MAX\nROWS\n N o\nENDATA\n"), 0);
    EXPECT_EQ(model().sense, -1);
}

TEST_F(FilesTest, QuadraticRowsSetsAndIndicators) {
    const char *text = R"(NAME extras
ROWS
 N obj
 L q
 L ind
COLUMNS
 x obj 1 q 1
 y ind 1
 b ind 1
RHS
 RHS q 4 ind 2
BOUNDS
 BV BND b
QCMATRIX q
 x x 1
 x y 1.5
 y x 1.5
SOS
 S1 SOS s1 9
 x 1
 y 2
 S2 second
 y 1
 x 3
INDICATORS
 IF ind b 0
ENDATA
)";
    ASSERT_EQ(readText("e.mps", text), 0) << lastError(prob);
    const nvra::Model &m = model();
    ASSERT_EQ(m.qrows.count(0), 1u);
    const nvra::QTriplets &q = m.qrows.at(0);
    EXPECT_EQ(q.i, (std::vector<int32_t>{0, 0}));
    EXPECT_EQ(q.j, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(q.v, (std::vector<double>{1.0, 1.5})); // x^2 + 3 x y
    ASSERT_EQ(m.sets.size(), 2u);
    EXPECT_EQ(m.sets[0].type, '1');
    EXPECT_EQ(m.sets[0].cols, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(m.sets[1].type, '2');
    EXPECT_EQ(m.sets[1].weights, (std::vector<double>{1, 3}));
    EXPECT_EQ(setName(prob, 0), "s1");
    EXPECT_EQ(setName(prob, 1), "second");
    ASSERT_EQ(m.indicators.count(1), 1u);
    EXPECT_EQ(m.indicators.at(1).col, 2);
    EXPECT_EQ(m.indicators.at(1).complement, -1);
}

// Fixed format: names with spaces, long numbers running past their field.
TEST_F(FilesTest, FixedFormatReadsNamesWithSpaces) {
    const char *text = "NAME          fixed1   (a comment)\n"
                       "ROWS\n"
                       " N  obj\n"
                       " L  my row\n"
                       "COLUMNS\n"
                       "    MARKER    'MARKER'                 'INTORG'\n"
                       "    col one   obj       1              my row    2\n"
                       "    MARKER    'MARKER'                 'INTEND'\n"
                       "    col two   my row    0.33333333333333331\n"
                       "RHS\n"
                       "              my row    4\n"
                       "BOUNDS\n"
                       " UP BND       col one   3\n"
                       "ENDATA\n";
    ASSERT_EQ(readText("f.mps", text, "f"), 0) << lastError(prob);
    EXPECT_EQ(model().probName, "fixed1");
    EXPECT_EQ(rowName(prob, 0), "my row");
    EXPECT_EQ(colName(prob, 1), "col two");
    EXPECT_EQ(model().coltype, (std::vector<char>{'I', 'C'}));
    EXPECT_EQ(model().A.value, (std::vector<double>{2.0, 1.0 / 3.0}));
    EXPECT_EQ(model().rhs[0], 4.0);
    EXPECT_EQ(model().ub[0], 3.0);
    // The free reader sees too many fields there, and says where.
    EXPECT_EQ(readText("f.mps", text), NVRA_RC_FILE);
    EXPECT_NE(lastError(prob).find("line 4"), std::string::npos) << lastError(prob);
}

TEST_F(FilesTest, LpFormatConstructs) {
    const char *text = R"(\Problem name: demo
Maximize
 obj: 2 x + 3 y - z + 4.5 + [ x ^ 2 + 4 x * y ] / 2
Subject To
 c1: x + y <= 10
 c2: -5 <= x - y <= 5
 c3: x + y + z >= -inf
 3 x - 2 >= 1
 q1: x + [ x ^ 2 + 2 x * y ] <= 8
 ind: b = 0 -> x + z = 2
Bounds
 x <= 4
 -inf <= y <= 3
 z free
 s <= 10
 2 <= s
 t <= 6
 t >= 1
 p <= -1
Generals
 y t
Binaries
 b
Semi-continuous
 s t
Partial-integer
 z 3
SOS
 set1: S1:: x:1 y:2
 S2:: y:1 z:2.5
End
)";
    ASSERT_EQ(readText("d.lp", text), 0) << lastError(prob);
    const nvra::Model &m = model();
    const double inf = nvra::kInf;
    EXPECT_EQ(m.probName, "demo");
    EXPECT_EQ(m.sense, -1);
    EXPECT_EQ(m.objConstant, 4.5);
    EXPECT_EQ(m.cost, (std::vector<double>{2, 3, -1, 0, 0, 0, 0}));
    EXPECT_EQ(m.Q.v, (std::vector<double>{1.0, 2.0})); // 0.5 x^2 + 2 x y
    EXPECT_EQ(m.rowtype, (std::vector<char>{'L', 'R', 'N', 'G', 'L', 'E'}));
    EXPECT_EQ(m.rhs, (std::vector<double>{10, 5, 0, 3, 8, 2}));
    EXPECT_EQ(m.range[1], 10);
    EXPECT_EQ(rowName(prob, 3), "R3");
    EXPECT_EQ(m.qrows.at(4).v, (std::vector<double>{1.0, 1.0})); // x^2 + 2 x y
    EXPECT_EQ(m.indicators.at(5).complement, -1);
    EXPECT_EQ(m.coltype, (std::vector<char>{'C', 'I', 'P', 'B', 'S', 'R', 'C'}));
    EXPECT_EQ(m.lb, (std::vector<double>{0, -inf, -inf, 0, 0, 0, -inf}));
    EXPECT_EQ(m.ub, (std::vector<double>{4, 3, inf, 1, 10, 6, -1}));
    EXPECT_EQ(m.limit[2], 3);
    EXPECT_EQ(m.limit[4], 2);
    EXPECT_EQ(m.limit[5], 1);
    ASSERT_EQ(m.sets.size(), 2u);
    EXPECT_EQ(setName(prob, 0), "set1");
    EXPECT_EQ(setName(prob, 1), "S1");
    EXPECT_EQ(m.sets[1].weights, (std::vector<double>{1, 2.5}));
}

// What other readers take in valid files: LP rows with an empty left side (some writers give
// empty rows so), MPS numbers with Fortran's exponent letter D.
TEST_F(FilesTest, EmptyLpRowsAndFortranExponents) {
    const char *lp = "Minimize\n obj: x\nSubject To\n c932: = +0\n e2: >= -3\n x + y >= 1\n"
                     " r: 1 <= <= 4\n e3: <= 2\nEnd\n";
    ASSERT_EQ(readText("empty.lp", lp), 0) << lastError(prob);
    EXPECT_EQ(model().rowtype, (std::vector<char>{'E', 'G', 'G', 'R', 'L'}));
    EXPECT_EQ(model().rhs, (std::vector<double>{0, -3, 1, 4, 2}));
    EXPECT_EQ(model().range[3], 3);
    EXPECT_EQ(model().A.start, (std::vector<int64_t>{0, 0, 0, 2, 2, 2}));
    EXPECT_EQ(rowName(prob, 0), "c932");

    const char *mps = "NAME f\nROWS\n N o\n L c\nCOLUMNS\n x o 1.5D2 c -2d-1\n y c 1D+3\n"
                      "RHS\n RHS c 2.5d0\nRANGES\n RNG c .5D1\nBOUNDS\n UP BND x 1.D1\nENDATA\n";
    ASSERT_EQ(readText("fortran.mps", mps), 0) << lastError(prob);
    EXPECT_EQ(model().cost, (std::vector<double>{150, 0}));
    EXPECT_EQ(model().A.value, (std::vector<double>{-0.2, 1000}));
    EXPECT_EQ(model().rhs, std::vector<double>{2.5});
    EXPECT_EQ(model().range, std::vector<double>{5});
    EXPECT_EQ(model().ub[0], 10);
    // D stays a letter where no number stands: 'D1' is a name, '1D' and 'D' are no numbers.
    EXPECT_EQ(readText("d.mps", "NAME\nROWS\n N o\nCOLUMNS\n D1 o 1D\nENDATA\n"), NVRA_RC_FILE);
    EXPECT_NE(lastError(prob).find("invalid number '1D'"), std::string::npos) << lastError(prob);
}

// ---- malformed files --------------------------------------------------------------------------

struct Bad {
    const char *name;
    std::string_view text;
    const char *flags;
    int line;          // 0: no line in the message
    const char *words; // part of the message
};

constexpr Bad kBadFiles[] = {
    {"empty.mps", "", "", 0, "empty"},
    {"trunc.mps", "NAME x\nROWS\n N obj\n L c\nCOLUMNS\n x obj 1\n", "", 6, "without ENDATA"},
    {"section.mps", "NAME\nROWS\n N o\nGARBAGE here\nENDATA\n", "", 4, "unknown section 'GARBAGE'"},
    {"data.mps", "NAME\n junk line\n", "", 2, "outside any section"},
    {"rowtype.mps", "NAME\nROWS\n X r\nENDATA\n", "", 3, "row type 'X'"},
    {"duprow.mps", "NAME\nROWS\n N o\n L r\n G r\nENDATA\n", "", 5, "'r' is defined twice"},
    {"row.mps", "NAME\nROWS\n N o\nCOLUMNS\n x nowhere 1\nENDATA\n", "", 5,
     "unknown row 'nowhere'"},
    {"num.mps", "NAME\nROWS\n N o\nCOLUMNS\n x o 1.2.3\nENDATA\n", "", 5, "invalid number '1.2.3'"},
    {"nan.mps", "NAME\nROWS\n N o\nCOLUMNS\n x o nan\nENDATA\n", "", 5, "invalid number 'nan'"},
    {"huge.mps", "NAME\nROWS\n N o\nCOLUMNS\n x o 1e400\nENDATA\n", "", 5, "infinite coefficient"},
    {"fields.mps", "NAME\nROWS\n N o\nCOLUMNS\n x o 1 o\nENDATA\n", "", 5, "found 4 fields"},
    {"col.mps", "NAME\nROWS\n N o\nCOLUMNS\n x o 1\nBOUNDS\n UP B y 1\nENDATA\n", "", 7,
     "unknown column 'y'"},
    {"bound.mps", "NAME\nROWS\n N o\nCOLUMNS\n x o 1\nBOUNDS\n XX B x 1\nENDATA\n", "", 7,
     "bound type 'XX'"},
    {"marker.mps", "NAME\nROWS\n N o\nCOLUMNS\n m 'MARKER' 'SOSORG'\nENDATA\n", "", 5, "marker"},
    {"qsec.mps", "NAME\nROWS\n N o\n L c\nCOLUMNS\n x c 1\nQSECTION c\nENDATA\n", "", 7,
     "QCMATRIX"},
    {"sosw.mps", "NAME\nROWS\n N o\nCOLUMNS\n x o 1\n y o 1\nSOS\n S1 SOS s\n x 1\n y 1\nENDATA\n",
     "", 10, "weight 1"},
    {"ind.mps", "NAME\nROWS\n N o\n L c\nCOLUMNS\n x c 1\nINDICATORS\n IF c x 1\nENDATA\n", "", 0,
     "not binary"},
    {"semi.mps", "NAME\nROWS\n N o\nCOLUMNS\n x o 1\nBOUNDS\n SC B x 5\n MI B x\nENDATA\n", "", 0,
     "negative lower bound"},
    {"unsup.mps", "NAME\nROWS\n N o\nGENCONS\nENDATA\n", "", 4, "GENCONS section is not supported"},
    {"tab.mps", "NAME\nROWS\n N\to\nENDATA\n", "f", 3, "tab"},
    {"wide.mps", "NAME\nROWS\n N  objectivename\nENDATA\n", "f", 3, "column 13"},
    {"zero.mps", std::string_view("NAME\nROWS\n N o\0\nENDATA\n", 23), "", 3, "zero byte"},
    {"gz.mps", "\x1f\x8b\x08\x00", "", 0, "gzip"},
    {"nolp.lp", "Subject To\n c: x >= 1\nEnd\n", "", 1, "starts with Minimize"},
    {"noend.lp", "Minimize\n x\nSubject To\n c: x >= 1\n", "", 4, "without End"},
    {"op.lp", "Minimize\n x\nSubject To\n c: x + y 3\nEnd\n", "", 4, "expected <=, >= or ="},
    {"rhs.lp", "Minimize\n x\nSubject To\n c: x >= y\nEnd\n", "", 4, "expected a number"},
    {"char.lp", "Minimize\n x\nSubject To\n c: x # 1 >= 2\nEnd\n", "", 4, ""},
    {"quad.lp", "Minimize\n x * y\nEnd\n", "", 2, "inside [ ]"},
    {"pow.lp", "Minimize\n [ x ^ 3 ] / 2\nEnd\n", "", 2, "the power 2"},
    {"range.lp", "Minimize\n x\nSubject To\n c: 5 <= x >= 2\nEnd\n", "", 4, "ranged row"},
    {"empty.lp", "Minimize\n x\nSubject To\n c: 5 <= x <= 2\nEnd\n", "", 4, "range is empty"},
    {"sos.lp", "Minimize\n x + y\nSOS\n s: S1:: x:1 y:1\nEnd\n", "", 4, "same weight"},
    {"obj2.lp", "Minimize\n x\nMaximize\n y\nEnd\n", "", 3, "second objective"},
    // Messages stay UTF-8 text: a byte of no valid sequence shows escaped.
    {"utf8.lp", "Minimize\n x\nSubject To\n c: x + \xffy\xc3\xa9 >= 1\nEnd\n", "", 4,
     "column name '\\xffy\xc3\xa9' is not valid UTF-8"},
};

TEST_F(FilesTest, MalformedFilesNameFileAndLine) {
    for (const Bad &b : kBadFiles) {
        SCOPED_TRACE(b.name);
        // Any earlier content is dropped by a failed read.
        read(dataFile("afiro.mps"));
        EXPECT_EQ(readText(b.name, std::string(b.text), b.flags), NVRA_RC_FILE);
        const std::string err = lastError(prob);
        EXPECT_NE(err.find(path(b.name)), std::string::npos) << err;
        if (b.line > 0)
            EXPECT_NE(err.find("at line " + std::to_string(b.line) + ":"), std::string::npos)
                << err;
        else
            EXPECT_EQ(err.find("at line"), std::string::npos) << err;
        EXPECT_NE(err.find(b.words), std::string::npos) << err;
        EXPECT_EQ(err.find('\xff'), std::string::npos) << err; // no byte of invalid UTF-8
        EXPECT_EQ(model().numRows(), 0);
        EXPECT_EQ(model().numCols(), 0);
        EXPECT_EQ(model().probName, "noname");
    }
}

TEST_F(FilesTest, FileAndFlagFailures) {
    EXPECT_EQ(NVRAreadprob(prob, path("missing.mps").c_str(), ""), NVRA_RC_FILE);
    EXPECT_NE(lastError(prob).find("missing.mps"), std::string::npos);
    EXPECT_NE(lastError(prob).find("No such file"), std::string::npos) << lastError(prob);
    EXPECT_EQ(NVRAreadprob(prob, dir.c_str(), ""), NVRA_RC_FILE);
    EXPECT_NE(lastError(prob).find("directory"), std::string::npos) << lastError(prob);
    EXPECT_EQ(NVRAreadprob(prob, dataFile("afiro.mps").c_str(), "x"), NVRA_RC_INVALID);
    EXPECT_NE(lastError(prob).find("unknown flag 'x'"), std::string::npos);
    EXPECT_EQ(NVRAreadprob(prob, dataFile("afiro.mps").c_str(), "lm"), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAreadprob(prob, nullptr, ""), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAreadprob(nullptr, "x.mps", ""), NVRA_RC_MISUSE);
    // The flag wins over the extension.
    EXPECT_EQ(NVRAreadprob(prob, dataFile("afiro.mps").c_str(), "l"), NVRA_RC_FILE);
    read(dataFile("afiro.mps"), "m");
    EXPECT_EQ(model().numCols(), 32);
    std::filesystem::copy_file(dataFile("qjh.lp"), path("qjh.txt"));
    read(path("qjh.txt"), "l");
    EXPECT_EQ(model().numCols(), 3);
}

// Damaged copies of real files either read or fail with a message naming the file: never a
// crash (the sanitizer build checks memory too).
TEST_F(FilesTest, DamagedFilesNeverCrash) {
    const char *sources[] = {"afiro.mps", "semi-continuous.mps", "qjh_qmatrix.mps", "qjh.lp",
                             "qptestnw.lp"};
    uint64_t seed = 12345;
    auto rnd = [&seed](uint64_t n) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return (seed >> 33) % n;
    };
    const std::string junk[] = {"1e999999", "-inf", "nan", "'MARKER'", "[",  "]",
                                ":",        "\n",   " ",   "S1",       "<=", "ENDATA",
                                "End",      "\t",   "\\",  "*",        "x"};
    int failures = 0, successes = 0;
    for (const char *src : sources) {
        const std::string text = slurp(dataFile(src));
        const std::string ext = std::string(src).substr(std::string(src).rfind('.'));
        for (int trial = 0; trial < 150; ++trial) {
            std::string t = text;
            switch (trial % 3) {
            case 0:
                t.resize(rnd(t.size()));
                break; // truncated
            case 1:    // garbage inserted
                for (int k = 0; k < 3; ++k)
                    t.insert(rnd(t.size()), junk[rnd(std::size(junk))]);
                break;
            default: // bytes changed
                for (int k = 0; k < 4; ++k)
                    t[rnd(t.size())] = static_cast<char>(rnd(256));
                break;
            }
            const std::string name = "fuzz" + ext;
            const int rc = readText(name, t);
            if (rc == 0) {
                ++successes;
                continue;
            }
            ++failures;
            EXPECT_TRUE(rc == NVRA_RC_FILE) << rc << " " << lastError(prob);
            EXPECT_NE(lastError(prob).find(path(name)), std::string::npos) << lastError(prob);
        }
    }
    EXPECT_GT(failures, 100);
    EXPECT_GT(successes, 10);
}

} // namespace
