// Nonlinear coefficients and row formulas through the C interface: the three forms of a formula
// (parsed, unparsed, text) carry the same tree, pieces of a coefficient add up, bad formulas are
// refused with a message naming them and change nothing, deletions and model replacements keep
// the coefficients in step with the model.
#include "nl_test_util.h"

#include <cstring>

namespace {

using nltest::NlTest;
using nltest::RandomFormulas;
using nltest::Tokens;

class Coefs : public NlTest {
  protected:
    void SetUp() override {
        NlTest::SetUp();
        freeColumns(4);
        emptyRows(3);
    }
};

TEST_F(Coefs, ParsedUnparsedAndTextFormsCarryTheSameTree) {
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, "x\0y z\0exp\0", 0, 2), 0); // C3 unnamed
    RandomFormulas gen(7, 4, false);
    for (int trial = 0; trial < 300; ++trial) {
        Tokens f = gen.next(5);
        SCOPED_TRACE(trial);
        ASSERT_EQ(setCoef(0, 1, f, 2.5), 0) << err();
        Tokens in = f;
        in.end();
        double factor = 0;
        EXPECT_EQ(coef(0, 1, &factor), in);
        EXPECT_EQ(factor, 2.5);
        // Unparsed tokens read back as the same parsed tokens.
        ASSERT_EQ(setCoef(1, 2, coef(0, 1, nullptr, 0), 1.0, 0), 0) << err();
        EXPECT_EQ(coef(1, 2), in);
        // So does the text (names that are not plain identifiers are quoted).
        const std::string s = text(0, 1);
        ASSERT_EQ(NSLPchgccoef(nl, 2, NSLP_NOCOLUMN, nullptr, s.c_str()), 0) << s << ": " << err();
        EXPECT_EQ(coef(2, NSLP_NOCOLUMN), in) << s;
    }
}

TEST_F(Coefs, TextFormOfTheWriterEdgeCases) {
    // sin(x) for x in column 2, as the module writes it.
    ASSERT_EQ(setCoef(0, NSLP_NOCOLUMN, Tokens().rb().col(2).fn(NSLP_IFUN_SIN)), 0) << err();
    EXPECT_EQ(text(0, NSLP_NOCOLUMN), "sin(C2)");
    // Operators keep their tree: a - (b - c), (a^b)^c, -(a^2), (-a)^2, a * -2.
    const std::pair<const char *, const char *> cases[] = {
        {"C0 - (C1 - C2)", "C0 - (C1 - C2)"},
        {"(C0^2)^3", "(C0^2)^3"},
        {"-C0^2", "-C0^2"},
        {"(-C0)**2", "(-C0)^2"},
        {"C0*-2", "C0 * -2"},
        {"2^-C1^2", "2^(-C1^2)"},
        {"max(C0, 1, C3)", "max(C0, 1, C3)"},
        {"LOG(C1^2 + 1)", "ln(C1^2 + 1)"},
        {"pwl(C0, 0, 0, 1, 1)", "pwl(C0, 0, 0, 1, 1)"},
    };
    for (const auto &[in, out] : cases) {
        ASSERT_EQ(NSLPchgccoef(nl, 1, 0, nullptr, in), 0) << in << ": " << err();
        EXPECT_EQ(text(1, 0), out);
    }
    // pwl's first argument is next to the function token: RB, 1, 1, 0, 0, x, pwl.
    Tokens pwl = Tokens().rb().con(1).con(1).con(0).con(0).col(0).fn(NSLP_IFUN_PWL).end();
    EXPECT_EQ(coef(1, 0), pwl);
    setPoint({0.25, 0, 0, 0});
    EXPECT_DOUBLE_EQ(evaluate(1, 0), 0.25);
}

// Each bad formula is refused inside a batch that also holds a good one; the message names the
// formula's row and what is wrong, and nothing changes.
TEST_F(Coefs, BadFormulasAreRefusedAndChangeNothing) {
    ASSERT_EQ(setCoef(0, 0, Tokens().col(1).col(2).op(NSLP_OP_MULTIPLY)), 0);
    const Tokens good = Tokens().rb().col(0).fn(NSLP_IFUN_EXP);
    const std::pair<Tokens, const char *> bad[] = {
        {Tokens().col(0).add(7, 0), "unknown token type 7"},
        {Tokens().col(0).col(1).op(9), "unknown operator code 9"},
        {Tokens().rb().col(0).fn(19), "unknown internal function 19"},
        {Tokens().col(0).op(NSLP_OP_PLUS), "operator '+' lacks an operand"},
        {Tokens().col(0).col(1), "leaves 2 values"},
        {Tokens().rb().col(0), "no function closes"},
        {Tokens().col(0).fn(NSLP_IFUN_EXP), "no start of its arguments"},
        {Tokens().rb().col(0).col(1).fn(NSLP_IFUN_EXP), "takes 1 argument, not 2"},
        {Tokens().col(0).con(0).op(NSLP_OP_DIVIDE), "division by a constant zero"},
        {Tokens().rb().con(-1).fn(NSLP_IFUN_LN).col(0).op(NSLP_OP_PLUS),
         "constant part of the formula cannot be evaluated: logarithm"},
        {Tokens().col(9), "column 9 is not a column of the problem"},
        {Tokens().con(INFINITY), "not finite"},
        {Tokens().rb().con(0).con(0).con(1).col(0).fn(NSLP_IFUN_PWL), "pairs of breakpoint"},
        {Tokens().rb().con(1).col(1).con(0).con(0).col(0).fn(NSLP_IFUN_PWL), "must be constants"},
        {Tokens().rb().con(1).con(0).con(0).con(1).col(0).fn(NSLP_IFUN_PWL), "non-decreasing x"},
        {Tokens().rb().col(0).add(NSLP_TOK_FUN, 1), "user function 1 is not registered"},
        {Tokens().add(NSLP_TOK_LB).col(0), "left parenthesis"},
        {Tokens(), "the formula is empty"},
    };
    for (const auto &[formula, message] : bad) {
        SCOPED_TRACE(message);
        Tokens batch = good;
        batch.end().append(formula).end();
        const int rows[] = {1, 2}, cols[] = {NSLP_NOCOLUMN, 3};
        const auto before = coefs();
        EXPECT_EQ(NSLPaddcoefs(nl, 2, rows, cols, nullptr, nullptr, 1, batch.type.data(),
                               batch.value.data()),
                  NVRA_RC_INVALID);
        int code = 0;
        char msg[NVRA_MAXMESSAGELENGTH];
        EXPECT_EQ(NSLPgetlasterror(nl, &code, msg), 0);
        EXPECT_EQ(code, NVRA_RC_INVALID);
        EXPECT_EQ(err(), msg);
        EXPECT_NE(err().find(message), std::string::npos) << err();
        EXPECT_NE(err().find("row 2 and column 3"), std::string::npos) << err();
        EXPECT_EQ(coefs(), before);
    }
    // An end token may only close a formula of a given range.
    Tokens ranged = good;
    ranged.end().append(good);
    const int fstart[] = {0, static_cast<int>(ranged.type.size())};
    const int row = 1, col = 0;
    EXPECT_EQ(NSLPaddcoefs(nl, 1, &row, &col, nullptr, fstart, 1, ranged.type.data(),
                           ranged.value.data()),
              NVRA_RC_INVALID);
    EXPECT_NE(err().find("end token (NSLP_TOK_EOF) inside the formula"), std::string::npos);
    // Text.
    for (const char *s : {"C0 +", "exp(C0", "foo(C0)", "nope + 1", "max(C0,,C1)", "C0 C1", "2 $"}) {
        EXPECT_EQ(NSLPchgccoef(nl, 0, 0, nullptr, s), NVRA_RC_INVALID) << s;
        EXPECT_EQ(text(0, 0), "C1 * C2") << s;
    }
    // Indices.
    EXPECT_EQ(setCoef(3, 0, good), NVRA_RC_RANGE);
    EXPECT_EQ(setCoef(0, 4, good), NVRA_RC_RANGE);
    EXPECT_EQ(setCoef(0, -2, good), NVRA_RC_RANGE);
}

TEST_F(Coefs, PiecesOfACoefficientAddUp) {
    setPoint({0.5, 1.5, -2, 3});
    // Two pieces with different factors: one coefficient, factor 1, the sum of both.
    Tokens f1 = Tokens().rb().col(0).fn(NSLP_IFUN_EXP),
           f2 = Tokens().col(1).col(2).op(NSLP_OP_MULTIPLY);
    Tokens batch = f1;
    batch.end().append(f2).end();
    const int rows[] = {NSLP_OBJECTIVE, NSLP_OBJECTIVE}, cols[] = {3, 3};
    const double factors[] = {2, 3};
    ASSERT_EQ(
        NSLPaddcoefs(nl, 2, rows, cols, factors, nullptr, 1, batch.type.data(), batch.value.data()),
        0)
        << err();
    EXPECT_EQ(coefs().size(), 1u);
    double factor = 0;
    coef(NSLP_OBJECTIVE, 3, &factor);
    EXPECT_EQ(factor, 1.0);
    EXPECT_DOUBLE_EQ(evaluate(NSLP_OBJECTIVE, 3), 2 * std::exp(0.5) + 3 * 1.5 * -2);
    EXPECT_EQ(text(NSLP_OBJECTIVE, 3), "exp(C0) * 2 + C1 * C2 * 3");

    // Row formulas are the coefficients without a column; several add up too.
    const int64_t starts[] = {0, static_cast<int64_t>(f1.type.size()) + 1,
                              static_cast<int64_t>(batch.type.size())};
    const int frows[] = {2, 2};
    ASSERT_EQ(NVRAnlpaddformulas(p, 2, frows, starts, 1, batch.type.data(), batch.value.data()), 0)
        << err();
    int n = 0;
    std::vector<int> which(4);
    ASSERT_EQ(NVRAnlpgetformularows(p, &n, which.data()), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(which[0], 2);
    char buf[256];
    int nbytes = 0;
    ASSERT_EQ(NVRAnlpgetformulastr(p, 2, buf, sizeof buf, &nbytes), 0);
    EXPECT_STREQ(buf, "exp(C0) + C1 * C2");
    EXPECT_EQ(nbytes, static_cast<int>(strlen(buf)) + 1);
    ASSERT_EQ(NVRAnlpgetformulastr(p, 1, buf, sizeof buf, &nbytes), 0);
    EXPECT_STREQ(buf, ""); // a row without a formula
    int count = 0;
    ASSERT_EQ(NSLPgetintattrib(nl, NSLP_ATTR_FORMULAROWS, &count), 0);
    EXPECT_EQ(count, 1);
    ASSERT_EQ(NSLPgetintattrib(nl, NSLP_ATTR_COEFS, &count), 0);
    EXPECT_EQ(count, 1); // the objective's coefficient of column 3

    // chgcoef replaces (keeping the factor when none is given); an empty formula removes.
    Tokens x1 = Tokens().col(1);
    x1.end();
    ASSERT_EQ(NSLPchgcoef(nl, 2, NSLP_NOCOLUMN, nullptr, 1, x1.type.data(), x1.value.data()), 0);
    EXPECT_DOUBLE_EQ(evaluate(2, NSLP_NOCOLUMN), 1.5);
    Tokens empty = Tokens().end();
    ASSERT_EQ(NVRAnlpchgformula(p, 2, 1, empty.type.data(), empty.value.data()), 0);
    ASSERT_EQ(NVRAnlpgetformularows(p, &n, nullptr), 0);
    EXPECT_EQ(n, 0);
    const int delRow = 0, delCol = 0;
    EXPECT_EQ(NSLPdelcoefs(nl, 1, &delRow, &delCol), NVRA_RC_INVALID);
    EXPECT_NE(err().find("row 0 has no coefficient for column 0"), std::string::npos);
}

TEST_F(Coefs, ManyRowFormulasLoadAndLoadAgain) {
    // The keys of row formulas differ only in their row: 2*10^5 of them, loaded twice.
    const int n = 200000;
    const std::vector<char> types(n, 'E');
    const std::vector<double> rhs(n, 0.0);
    const std::vector<int64_t> start(n + 1, 0);
    ASSERT_EQ(
        NVRAaddrows64(p, n, 0, types.data(), rhs.data(), nullptr, start.data(), nullptr, nullptr),
        0)
        << err();
    Tokens all;
    std::vector<int> rows(n);
    for (int k = 0; k < n; ++k) {
        rows[k] = 3 + k;
        all.col(k % 4).end();
    }
    for (int pass = 0; pass < 2; ++pass)
        ASSERT_EQ(
            NVRAnlploadformulas(p, n, rows.data(), nullptr, 1, all.type.data(), all.value.data()),
            0)
            << err();
    int count = 0;
    ASSERT_EQ(NVRAnlpgetformularows(p, &count, nullptr), 0);
    EXPECT_EQ(count, n);
}

TEST_F(Coefs, DeletionsRenumberCoefficientsOrAreRefused) {
    setPoint({1, 2, 3, 4});
    ASSERT_EQ(setCoef(0, 3, Tokens().col(2).con(2).op(NSLP_OP_EXPONENT)), 0); // x3 * x2^2
    ASSERT_EQ(setCoef(1, NSLP_NOCOLUMN, Tokens().rb().col(1).fn(NSLP_IFUN_SIN)), 0);
    ASSERT_EQ(setCoef(2, 0, Tokens().col(3)), 0);
    // Column 2 is read by a formula: refused, nothing deleted anywhere.
    const int col2 = 2;
    expectRefused(NVRA_RC_INVALID,
                  "Column 2 cannot be deleted: the formula of the coefficient of "
                  "row 0 and column 3 reads it",
                  3, 4, [&] { return NVRAdelcols(p, 1, &col2); });
    EXPECT_EQ(coefs().size(), 3u);
    // Column 0 is only a coefficient's column: that coefficient goes, formulas are renumbered.
    const int col0 = 0;
    ASSERT_EQ(NVRAdelcols(p, 1, &col0), 0) << err();
    ASSERT_EQ(coefs().size(), 2u);
    EXPECT_EQ(text(0, 2), "C1^2");
    // Deleting row 0 drops its coefficient and moves row 1's formula to row 0.
    const int row0 = 0;
    ASSERT_EQ(NVRAdelrows(p, 1, &row0), 0) << err();
    ASSERT_EQ(coefs().size(), 1u);
    EXPECT_EQ(text(0, NSLP_NOCOLUMN), "sin(C0)");
    EXPECT_DOUBLE_EQ(evaluate(0, NSLP_NOCOLUMN), std::sin(2.0)); // values moved with the columns
}

TEST_F(Coefs, ReplacingTheModelClearsAndCopiesFollowIt) {
    ASSERT_EQ(setCoef(1, NSLP_NOCOLUMN, Tokens().col(3).col(0).op(NSLP_OP_DIVIDE)), 0);
    // Another problem receives the model and then the nonlinear data.
    NVRAprob q = nullptr;
    NSLPprob nq = nullptr;
    ASSERT_EQ(NVRAcreateprob(&q), 0);
    ASSERT_EQ(NSLPcreateprob(&nq, q), 0);
    EXPECT_EQ(NSLPcopyprob(nq, nl), NVRA_RC_INVALID); // the model is not there yet
    ASSERT_EQ(NVRAcopyprob(q, p, nullptr), 0);
    ASSERT_EQ(NSLPcopyprob(nq, nl), 0);
    int n = 0;
    ASSERT_EQ(NSLPgetcoefs(nq, &n, nullptr, nullptr), 0);
    EXPECT_EQ(n, 1);
    // Copying a model into it again clears its coefficients; so does a load.
    ASSERT_EQ(NVRAcopyprob(q, p, nullptr), 0);
    ASSERT_EQ(NSLPgetcoefs(nq, &n, nullptr, nullptr), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(NVRAdestroyprob(q), 0); // takes its nonlinear problem along
    ASSERT_EQ(NVRAloadlp(p, "", 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr),
              0);
    EXPECT_TRUE(coefs().empty());
}

TEST_F(Coefs, SizeCheckedFormsRefuseShortArrays) {
    Tokens f = Tokens().col(0).end();
    const int rows[] = {0, 1};
    const int64_t starts[] = {0, 2};
    EXPECT_EQ(NVRAnlpaddformulas_witharraysizes(p, 2, rows, 2, starts, 2, 1, f.type.data(), 2,
                                                f.value.data(), 2),
              NVRA_RC_RANGE);
    EXPECT_NE(err().find("formula starts hold 2 entries, 3 are needed"), std::string::npos);
    // Without starts, a formula whose end token lies beyond the arrays is refused.
    Tokens open = Tokens().col(0).col(1).op(NSLP_OP_PLUS);
    EXPECT_EQ(NVRAnlpaddformulas_witharraysizes(p, 1, rows, 1, nullptr, 0, 1, open.type.data(), 3,
                                                open.value.data(), 3),
              NVRA_RC_INVALID);
    EXPECT_NE(err().find("no end token"), std::string::npos);
    ASSERT_EQ(NVRAnlpaddformulas_witharraysizes(p, 1, rows, 1, nullptr, 0, 1, f.type.data(), 2,
                                                f.value.data(), 2),
              0);
    int n = 0, out[1];
    EXPECT_EQ(NVRAnlpgetformularows_witharraysizes(p, &n, out, 1), 0);
    EXPECT_EQ(out[0], 0);
    const int two[] = {0, 1};
    EXPECT_EQ(NVRAnlpdelformulas_witharraysizes(p, 2, two, 1), NVRA_RC_RANGE);
    // Through an optimizer problem without a nonlinear problem.
    NVRAprob q = nullptr;
    ASSERT_EQ(NVRAcreateprob(&q), 0);
    EXPECT_EQ(NVRAnlpgetformularows(q, &n, nullptr), NVRA_RC_INVALID);
    EXPECT_NE(storetest::lastError(q).find("has no nonlinear problem"), std::string::npos);
    EXPECT_EQ(NVRAdestroyprob(q), 0);
}

} // namespace
