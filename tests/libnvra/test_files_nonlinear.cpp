// test_files_nonlinear.cpp: the nonlinear section of problem files: formulas (with columns,
// factors, user functions and names that need quotes) and SLP data written in both formats and
// read back into a fresh problem, malformed sections, and user functions a file cannot name.
#include "nl_test_util.h"
#include "test_files_util.h"

#include <filesystem>

namespace {

using nvratest::lastError;

double weighted(const double *a, void *) {
    return 2 * a[0] + a[1];
}

// The SLP data the section carries, for every column and row.
std::vector<double> slpData(NSLPprob nl, int ncols, int nrows) {
    std::vector<double> out;
    for (int j = 0; j < ncols; ++j) {
        int detrow = 0, vartype = 0, deltatype = 0;
        double initstep = 0, penalty = 0, damp = 0, initvalue = 0, delta = 0;
        EXPECT_EQ(NSLPgetvar(nl, j, &detrow, &initstep, nullptr, &penalty, &damp, &initvalue,
                             nullptr, nullptr, nullptr, nullptr, &vartype),
                  0);
        EXPECT_EQ(NSLPgetcolinfo(nl, NSLP_COLINFO_DELTATYPE, j, &deltatype), 0);
        EXPECT_EQ(NSLPgetcolinfo(nl, NSLP_COLINFO_DELTA, j, &delta), 0);
        out.insert(out.end(), {double(detrow), initstep, penalty, damp, initvalue, double(vartype),
                               double(deltatype), delta});
    }
    for (int i = 0; i < nrows; ++i) {
        int status = 0;
        double weight = 0;
        EXPECT_EQ(NSLPgetrowstatus(nl, i, &status), 0);
        EXPECT_EQ(NSLPgetrowwt(nl, i, &weight), 0);
        out.insert(out.end(), {double(status), weight});
    }
    return out;
}

class NlFiles : public nltest::NlTest {
  protected:
    std::filesystem::path dir;
    NVRAprob q = nullptr; // the problem files are read into
    NSLPprob qnl = nullptr;

    void SetUp() override {
        NlTest::SetUp();
        dir = std::filesystem::temp_directory_path() /
              ("nvra_nlfiles_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        ASSERT_EQ(NVRAcreateprob(&q), 0);
        ASSERT_EQ(NSLPcreateprob(&qnl, q), 0);
    }
    void TearDown() override {
        EXPECT_EQ(NVRAdestroyprob(q), 0);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        NlTest::TearDown();
    }
    std::string path(const std::string &name) const { return (dir / name).string(); }

    static int registerWeighted(NSLPprob h, const char *name) {
        int id = 0;
        EXPECT_EQ(NSLPadduserfunction(h, name, NSLP_USERFUNC_VALUE, 2, 1, 0,
                                      reinterpret_cast<void (*)(void)>(weighted), nullptr, &id),
                  0);
        return id;
    }

    // Three columns x, y, "z(1)" and three rows c0 .. c2 with formulas and SLP data.
    void buildModel() {
        freeColumns(3);
        emptyRows(3);
        ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, "x\0y\0z(1)", 0, 2), 0) << err();
        ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_ROWS, "c0\0c1\0c2", 0, 2), 0) << err();
        registerWeighted(nl, "f");
        const struct {
            int row, col;
            double factor;
            const char *text;
        } coefs[] = {
            {0, NSLP_NOCOLUMN, 1, "exp(x) + sin(y) - 0.1 * \"z(1)\" ^ 3"},
            {1, 0, 2.5, "y ^ 2 / (1 + \"z(1)\" ^ 2)"},
            {1, NSLP_NOCOLUMN, -3, "pwl(x, -1, 2, 0, 0, 0, 1, 3, -1)"},
            {2, NSLP_NOCOLUMN, 1, "f(x, y) * 2 - sqrt(1 + x ^ 2) / -7"},
            {NSLP_OBJECTIVE, NSLP_NOCOLUMN, 0.1,
             "0.30000000000000004 * x ^ 2 + 1e-300 * max(y, -2.5, \"z(1)\")"},
            {NSLP_OBJECTIVE, 1, 1, "log(1 + x ^ 2) ^ -1.5"},
        };
        for (const auto &c : coefs)
            ASSERT_EQ(NSLPchgccoef(nl, c.row, c.col, &c.factor, c.text), 0) << err();
        const int detrow = 2, vartype = NSLP_VAR_CASCADE;
        const double penalty = 7, initstep = 0.25;
        ASSERT_EQ(NSLPchgvar(nl, 2, &detrow, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, &vartype),
                  0);
        ASSERT_EQ(NSLPchgvar(nl, 0, nullptr, &initstep, nullptr, &penalty, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr),
                  0);
        setPoint({1.5}); // initial and current value, as a read sets them
        const int col = 1, type = NSLP_DELTA_ABSOLUTE;
        const double delta = 1e-3;
        ASSERT_EQ(NSLPchgdeltatype(nl, 1, &col, &type, &delta), 0);
        ASSERT_EQ(NSLPchgrowstatus(nl, 2, NSLP_ROW_OBJECTIVE | NSLP_ROW_ENFORCED), 0);
        ASSERT_EQ(NSLPchgrowwt(nl, 0, 2.0), 0);
    }
};

TEST_F(NlFiles, FormulasAndSlpDataReadBackAsWrittenInBothFormats) {
    buildModel();
    registerWeighted(qnl, "f");
    for (const char *flags : {"l", "lg", "m", "f"}) {
        SCOPED_TRACE(flags);
        const std::string first = path("first"), again = path("again");
        ASSERT_EQ(NSLPwriteprob(nl, first.c_str(), flags), 0) << err();
        ASSERT_EQ(NVRAreadprob(q, first.c_str(), flags), 0) << lastError(q);
        filetest::expectSameModel(p, q, false);
        EXPECT_EQ(coefs(qnl), coefs());
        EXPECT_EQ(slpData(qnl, 3, 3), slpData(nl, 3, 3));
        int formulaRows = 0, withColumn = 0;
        ASSERT_EQ(NSLPgetintattrib(qnl, NSLP_ATTR_FORMULAROWS, &formulaRows), 0);
        ASSERT_EQ(NSLPgetintattrib(qnl, NSLP_ATTR_COEFS, &withColumn), 0);
        EXPECT_EQ(formulaRows + withColumn, 6);
        // Writing what was read gives the same file: nothing drifts from one round to the next.
        ASSERT_EQ(NVRAwriteprob(q, again.c_str(), flags), 0) << lastError(q);
        EXPECT_EQ(filetest::slurp(again), filetest::slurp(first));
    }
    // The LP file's section, as the format promises it.
    const std::string text = filetest::slurp(path("first"));
    EXPECT_NE(text.find("NONLINEAR\n objective: 0.1 * [ 0.30000000000000004 * x^2"),
              std::string::npos)
        << text;
    ASSERT_EQ(NSLPwriteprob(nl, path("model.lp").c_str(), ""), 0) << err();
    const std::string lp = filetest::slurp(path("model.lp"));
    EXPECT_NE(lp.find("Nonlinear\n"), std::string::npos) << lp;
    EXPECT_NE(lp.find(" row c1: 2.5 x * [ y^2 / (1 + \"z(1)\"^2) ]\n"), std::string::npos) << lp;
    EXPECT_NE(lp.find(" row c2: f(x, y) * 2"), std::string::npos) << lp;
    EXPECT_NE(lp.find(" column \"z(1)\": detrow c2 type 2\n"), std::string::npos) << lp;
    EXPECT_NE(lp.find(" rowdata c2: status 2049\nEnd\n"), std::string::npos) << lp;
}

TEST_F(NlFiles, MalformedSectionsFailNamingTheLineAndLeaveNothing) {
    registerWeighted(qnl, "f");
    const std::string head = "Minimize\n obj: x + y\nSubject To\n c0: x + y >= 1\nNonlinear\n"
                             " \\ a comment, then an entry that reads\n row c0: f(x, y)\n";
    const struct {
        const char *entry, *message;
    } cases[] = {
        {"row c0: exp(w)", "'w' is not the name of a column"},
        {"row c9: exp(x)", "unknown row 'c9'"},
        {"row c0: g(x)", "unknown function 'g'"},
        {"row c0: exp(x", "the formula of row 'c0'"},
        {"row c0: 2 x * exp(y)", "the formula of row 'c0'"},
        {"row c0: 2 w * [ exp(x) ]", "unknown column 'w'"},
        {"row c0: 2 x * [ exp(y)", "a formula in [ ] must end the line"},
        {"objective: log(0) * x", "cannot be evaluated"},
        {"rows c0: exp(x)", "starts with objective, row, column or rowdata"},
        {"column x: damp 2", "damping factor outside (0, 1]"},
        {"column x: detrow c0 penalty abc", "the penalty 'abc' is no finite number"},
        {"column x: speed 3", "unknown column data 'speed'"},
        {"rowdata c0: status 4", "unknown bits"},
    };
    const std::string file = path("bad.lp");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.entry);
        std::ofstream(file) << head << " " << c.entry << "\nEnd\n";
        ASSERT_EQ(NVRAreadprob(q, file.c_str(), ""), NVRA_RC_FILE);
        const std::string why = lastError(q);
        EXPECT_NE(why.find("at line 8: "), std::string::npos) << why;
        EXPECT_NE(why.find(c.message), std::string::npos) << why;
        // Nothing half-read stays: the problem is empty, with no formulas.
        int rows = -1, cols = -1, ncoefs = -1;
        ASSERT_EQ(NVRAgetintattrib(q, NVRA_ATTR_ROWS, &rows), 0);
        ASSERT_EQ(NVRAgetintattrib(q, NVRA_ATTR_COLS, &cols), 0);
        ASSERT_EQ(NSLPgetcoefs(qnl, &ncoefs, nullptr, nullptr), 0);
        EXPECT_EQ(rows + cols + ncoefs, 0);
    }
    // The same file with a sound entry reads, and a problem without a nonlinear problem refuses
    // the section.
    std::ofstream(file) << head << "End\n";
    ASSERT_EQ(NVRAreadprob(q, file.c_str(), ""), 0) << lastError(q);
    EXPECT_EQ(coefs(qnl).size(), 1u);
    NVRAprob plain = nullptr;
    ASSERT_EQ(NVRAcreateprob(&plain), 0);
    EXPECT_EQ(NVRAreadprob(plain, file.c_str(), ""), NVRA_RC_FILE);
    EXPECT_NE(lastError(plain).find("at line 5: the file holds nonlinear formulas"),
              std::string::npos)
        << lastError(plain);
    NVRAdestroyprob(plain);
}

TEST_F(NlFiles, UserFunctionsAFileCannotNameAreRefusedBeforeWriting) {
    freeColumns(2);
    emptyRows(1);
    registerWeighted(nl, "f");
    const int second = registerWeighted(nl, "f"), spaced = registerWeighted(nl, "two words");
    for (int id : {second, spaced}) {
        nltest::Tokens t;
        t.rb().col(1).col(0).add(NSLP_TOK_FUN, id);
        ASSERT_EQ(setCoef(0, NSLP_NOCOLUMN, t), 0) << err();
        const std::string file = path("user.lp");
        EXPECT_EQ(NSLPwriteprob(nl, file.c_str(), ""), NVRA_RC_UNSUPPORTED);
        EXPECT_NE(err().find(id == second ? "also the name of an earlier user function"
                                          : "is no plain identifier"),
                  std::string::npos)
            << err();
        EXPECT_FALSE(std::filesystem::exists(file));
    }
}

} // namespace
