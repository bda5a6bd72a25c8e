// The nonlinear problem as a whole through the C interface: starting and attaching, its control
// and attribute lists, SLP data of columns and rows, tolerance sets and multistart jobs, cascading,
// checking points, messages and callbacks, and solves that say what they cannot do yet.
#include "nl_test_util.h"

#include <cmath>
#include <cstring>
#include <set>

namespace {

using nltest::NlTest;
using nltest::Tokens;

class Problem : public NlTest {
  protected:
    void SetUp() override {
        NlTest::SetUp();
        freeColumns(3);
        emptyRows(2);
    }
};

std::vector<std::string> messages;
void collect(NSLPprob, void *, const char *msg, int, int) {
    messages.emplace_back(msg);
}
void collectOptimizer(NVRAprob, void *, const char *msg, int, int) {
    messages.push_back(std::string("optimizer: ") + msg);
}

TEST_F(Problem, AttachingAndDestroying) {
    NSLPprob again = nullptr;
    EXPECT_EQ(NSLPcreateprob(&again, p), NVRA_RC_INVALID);
    EXPECT_NE(err().find("already has a nonlinear problem"), std::string::npos);
    void *owner = nullptr;
    ASSERT_EQ(NSLPgetptrattrib(nl, NSLP_ATTR_PROBLEM, &owner), 0);
    EXPECT_EQ(owner, p);
    // The destroy callback runs; afterwards the optimizer problem has no nonlinear part.
    int destroyed = 0;
    ASSERT_EQ(NSLPsetcbdestroy(
                  nl, [](NSLPprob, void *d) { return ++*static_cast<int *>(d), 0; }, &destroyed),
              0);
    ASSERT_EQ(NSLPdestroyprob(nl), 0);
    EXPECT_EQ(destroyed, 1);
    int n = 0;
    EXPECT_EQ(NVRAslpgetcoefs(p, &n, nullptr, nullptr), NVRA_RC_INVALID);
    ASSERT_EQ(NSLPcreateprob(&nl, p), 0); // the fixture's teardown destroys it with p
    // Starts nest: the component stays usable until the last NSLPfree.
    ASSERT_EQ(NSLPinit(nullptr), 0);
    ASSERT_EQ(NSLPfree(), 0);
    EXPECT_EQ(NSLPgetcoefs(nl, &n, nullptr, nullptr), 0);
}

TEST_F(Problem, ControlAndAttributeLists) {
    std::set<std::string> optimizerNames;
    int count = 0;
    const int *ids;
    const char *const *names;
    const int *flags;
    ASSERT_EQ(NVRAgetcalist_c(p, &count, &ids, &names, &flags), 0);
    for (int k = 0; k < count; ++k)
        optimizerNames.insert(names[k]);
    std::set<std::string> seen;
    std::map<int, int> flagsById;
    for (int ipm = 0; ipm < 2; ++ipm) {
        ASSERT_EQ((ipm ? NSLPgetIPMcalist : NSLPgetcalist)(nl, &count, &ids, &names, &flags), 0);
        EXPECT_EQ(ids[0], 0); // the header entry
        EXPECT_STREQ(names[0], "");
        EXPECT_STREQ(names[count + 1], ""); // the terminator
        EXPECT_EQ(ids[count + 1], 0);
        for (int k = 1; k <= count; ++k) {
            EXPECT_EQ(ids[k] >= 20000, ipm == 1) << names[k];
            EXPECT_TRUE(seen.insert(names[k]).second) << names[k];
            EXPECT_FALSE(optimizerNames.count(names[k])) << names[k] << " is an optimizer name";
            int id = 0, f = 0;
            ASSERT_EQ(NSLPcontrolcode(&id, names[k], &f), 0);
            EXPECT_EQ(id, ids[k]);
            EXPECT_EQ(f, flags[k]);
            flagsById[ids[k]] = flags[k];
        }
    }
    // The entries callers name, with their kinds and types.
    const std::pair<int, int> expected[] = {
        {12415, NSLP_CA_CONTROL | NSLP_CA_INT},
        {12146, NSLP_CA_CONTROL | NSLP_CA_DOUBLE},
        {12062, NSLP_CA_INT},
        {12044, NSLP_CA_INT},
        {12179, NSLP_CA_DOUBLE},
        {11999, NSLP_CA_INT},
        {12000, NSLP_CA_INT},
        {12013, NSLP_CA_INT},
        {22013, NSLP_CA_INT},
        {12026, NSLP_CA_INT},
        {12016, NSLP_CA_INT},
    };
    for (const auto &[id, want] : expected)
        EXPECT_EQ(flagsById[id] & (NSLP_CA_CONTROL | 7), want) << id;
    int id = 0, f = 0;
    ASSERT_EQ(NSLPcontrolcode(&id, "NSLP_POSTSOLVE", &f), 0);
    EXPECT_EQ(f & (NSLP_CA_CONTROL | 7), NSLP_CA_CONTROL | NSLP_CA_INT);
    ASSERT_EQ(NSLPcontrolcode(&id, "nope", &f), 0);
    EXPECT_EQ(id, 0);
}

TEST_F(Problem, ControlValuesAndTheSenseView) {
    int v = 0;
    ASSERT_EQ(NSLPsetintcontrol(nl, NSLP_CONTROL_MSGFORWARD, 0), 0);
    ASSERT_EQ(NSLPgetintcontrol(nl, NSLP_CONTROL_MSGFORWARD, &v), 0);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(NSLPsetintcontrol(nl, NSLP_CONTROL_MSGFORWARD, 2), NVRA_RC_INVALID);
    EXPECT_NE(err().find("out of range [0, 1]"), std::string::npos) << err();
    EXPECT_EQ(NSLPsetdblcontrol(nl, NSLP_CONTROL_MSGFORWARD, 1.0), NVRA_RC_INVALID);
    EXPECT_EQ(NSLPgetintattrib(nl, NSLP_CONTROL_MSGFORWARD, &v), NVRA_RC_INVALID);
    EXPECT_EQ(NSLPsetintcontrol(nl, 8011, 0), NVRA_RC_INVALID); // an optimizer id
    // 12146 reads and sets the optimizer problem's sense.
    ASSERT_EQ(NSLPsetdblcontrol(nl, NSLP_CONTROL_OBJSENSE, -1.0), 0);
    double sense = 0;
    ASSERT_EQ(NVRAgetdblattrib(p, NVRA_ATTR_OBJSENSE, &sense), 0);
    EXPECT_EQ(sense, -1.0);
    EXPECT_EQ(NSLPsetdblcontrol(nl, NSLP_CONTROL_OBJSENSE, 0.5), NVRA_RC_INVALID);
    ASSERT_EQ(NSLPsetdefaults(nl), 0);
    ASSERT_EQ(NSLPgetdblcontrol(nl, NSLP_CONTROL_OBJSENSE, &sense), 0);
    EXPECT_EQ(sense, -1.0); // not a stored setting
    ASSERT_EQ(NSLPgetintcontrol(nl, NSLP_CONTROL_MSGFORWARD, &v), 0);
    EXPECT_EQ(v, 1);
    double objval = 0;
    ASSERT_EQ(NSLPgetdblattrib(nl, NSLP_ATTR_OBJVAL, &objval), 0);
    EXPECT_EQ(objval, -1e20); // no solve yet, maximising
}

TEST_F(Problem, ColumnDataToleranceSetsAndJobs) {
    const int cols[] = {0, 2}, types[] = {NSLP_VAR_CASCADE, 0}, detrow[] = {1, -1};
    const double init[] = {1.5, -2}, step[] = {0.25, 1e30};
    ASSERT_EQ(NSLPaddvars(nl, 2, cols, types, detrow, nullptr, nullptr, init, step), 0) << err();
    int dr = 0, vt = 0, ts = 0;
    double is = 0, sb = 0, value = 0;
    ASSERT_EQ(NSLPgetvar(nl, 0, &dr, &is, &sb, nullptr, nullptr, nullptr, &value, &ts, nullptr,
                         nullptr, &vt),
              0);
    EXPECT_EQ(std::make_tuple(dr, is, sb, value, ts, vt),
              std::make_tuple(1, 0.25, 0.25, 1.5, 0, NSLP_VAR_CASCADE));
    ASSERT_EQ(NSLPgetvar(nl, 2, nullptr, nullptr, &sb, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr),
              0);
    EXPECT_EQ(sb, 1e20);
    // Bad data is refused as a whole.
    const int badType[] = {0x40, 0}, badRow[] = {1, 5};
    EXPECT_EQ(NSLPaddvars(nl, 2, cols, badType, nullptr, nullptr, nullptr, nullptr, nullptr),
              NVRA_RC_INVALID);
    EXPECT_EQ(NSLPaddvars(nl, 2, cols, nullptr, badRow, nullptr, nullptr, nullptr, nullptr),
              NVRA_RC_RANGE);
    const double nan = NAN, damp = 1.5;
    EXPECT_EQ(NSLPchgvar(nl, 0, nullptr, nullptr, nullptr, nullptr, &damp, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr),
              NVRA_RC_INVALID);
    EXPECT_EQ(NSLPchgvar(nl, 0, nullptr, nullptr, nullptr, nullptr, nullptr, &nan, nullptr, nullptr,
                         nullptr, nullptr, nullptr),
              NVRA_RC_INVALID);
    int tolset = 1;
    EXPECT_EQ(NSLPchgvar(nl, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &tolset, nullptr, nullptr, nullptr),
              NVRA_RC_RANGE); // there is no set 1 yet
    ASSERT_EQ(NSLPgetcolinfo(nl, NSLP_COLINFO_INITVALUE, 0, &value), 0);
    EXPECT_EQ(value, 1.5);

    // Tolerance sets: deleting one renumbers the later ones and the columns that use them.
    double tols[3 * NSLP_TOLSET_COUNT];
    for (int k = 0; k < 3 * NSLP_TOLSET_COUNT; ++k)
        tols[k] = k;
    ASSERT_EQ(NSLPaddtolsets(nl, 3, tols), 0);
    tolset = 3;
    ASSERT_EQ(NSLPchgvar(nl, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &tolset, nullptr, nullptr, nullptr),
              0);
    const int del = 2;
    ASSERT_EQ(NSLPdeltolsets(nl, 1, &del), 0);
    ASSERT_EQ(NSLPgetcolinfo(nl, NSLP_COLINFO_TOLSET, 0, &ts), 0);
    EXPECT_EQ(ts, 2);
    int status = 0;
    double got[NSLP_TOLSET_COUNT];
    ASSERT_EQ(NSLPgettolset(nl, 2, &status, got), 0);
    EXPECT_EQ(got[0], 2.0 * NSLP_TOLSET_COUNT);
    EXPECT_EQ(status, (1 << NSLP_TOLSET_COUNT) - 1);
    const int badStatus = 1 << NSLP_TOLSET_COUNT;
    EXPECT_EQ(NSLPchgtolset(nl, 1, &badStatus, nullptr), NVRA_RC_INVALID);
    tols[4] = -1;
    EXPECT_EQ(NSLPaddtolsets(nl, 1, tols), NVRA_RC_INVALID);

    // Derivative steps, deltas.
    const int dcol = 1, drow = NSLP_OBJECTIVE;
    const double dval = 1e-3;
    ASSERT_EQ(NSLPadddfs(nl, 1, &dcol, &drow, &dval), 0);
    double df = 0;
    ASSERT_EQ(NSLPgetdf(nl, 1, NSLP_OBJECTIVE, &df), 0);
    EXPECT_EQ(df, 1e-3);
    const int dt = NSLP_DELTA_RELATIVE;
    const double dv = 0.01;
    ASSERT_EQ(NSLPchgdeltatype(nl, 1, cols, &dt, &dv), 0);
    ASSERT_EQ(NSLPgetcolinfo(nl, NSLP_COLINFO_DELTA, 0, &value), 0);
    EXPECT_DOUBLE_EQ(value, 0.015); // 0.01 * max(1, |1.5|)

    // Jobs: controls of either kind, checked against their bounds.
    const int jc[] = {0}, ids[] = {12301, 8011}, bad[] = {12301, 8011}, badVal[] = {5, 7};
    const int ivals[] = {50, 0};
    const double jv[] = {3.0};
    ASSERT_EQ(NSLPmsaddjob(nl, "first", 1, jc, jv, 2, ids, ivals, 0, nullptr, nullptr, nullptr), 0)
        << err();
    EXPECT_EQ(
        NSLPmsaddjob(nl, "bad", 0, nullptr, nullptr, 2, bad, badVal, 0, nullptr, nullptr, nullptr),
        NVRA_RC_INVALID);
    EXPECT_NE(err().find("presolve"), std::string::npos) << err();
    ASSERT_EQ(NSLPmsaddpreset(nl, "random", NSLP_MSPRESET_RANDOM, 10, nullptr), 0);
    EXPECT_EQ(NSLPmsaddpreset(nl, "bad", 9, 10, nullptr), NVRA_RC_INVALID);
    int jobs = 0;
    ASSERT_EQ(NSLPgetintattrib(nl, 12103, &jobs), 0);
    EXPECT_EQ(jobs, 2);
    ASSERT_EQ(NSLPmsclear(nl), 0);
    ASSERT_EQ(NSLPgetintattrib(nl, 12103, &jobs), 0);
    EXPECT_EQ(jobs, 0);
}

// Row 0: x1 - x0^2 = 0 determines x1; row 1: x2 - exp(x1) = 3 determines x2 (after x1).
TEST_F(Problem, CascadingComputesDeterminedColumnsInOrder) {
    ASSERT_EQ(NVRAchgcoef(p, 0, 1, 1.0), 0);
    ASSERT_EQ(NVRAchgcoef(p, 1, 2, 1.0), 0);
    const int row = 1;
    const double rhs = 3;
    ASSERT_EQ(NVRAchgrhs(p, 1, &row, &rhs), 0);
    ASSERT_EQ(NVRAnlpchgformulastr(p, 0, "-C0^2"), 0);
    ASSERT_EQ(NVRAnlpchgformulastr(p, 1, "-exp(C1)"), 0);
    const int cols[] = {2, 1}, rows[] = {1, 0}, types[] = {NSLP_VAR_CASCADE, NSLP_VAR_CASCADE};
    ASSERT_EQ(NSLPaddvars(nl, 2, cols, types, rows, nullptr, nullptr, nullptr, nullptr), 0);
    setPoint({2, 0, 0});
    std::vector<int> order;
    ASSERT_EQ(NSLPsetcbcascadevar(
                  nl,
                  [](NSLPprob, void *d, int col) {
                      static_cast<std::vector<int> *>(d)->push_back(col);
                      return 0;
                  },
                  &order),
              0);
    ASSERT_EQ(NSLPcascade(nl), 0) << err();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    double x1 = 0, x2 = 0;
    ASSERT_EQ(NSLPgetcolinfo(nl, NSLP_COLINFO_VALUE, 1, &x1), 0);
    ASSERT_EQ(NSLPgetcolinfo(nl, NSLP_COLINFO_VALUE, 2, &x2), 0);
    EXPECT_NEAR(x1, 4.0, 1e-9);
    EXPECT_NEAR(x2, 3 + std::exp(4.0), 1e-6);
    // A cycle among determining rows is named.
    const int c0 = 0, r1 = 1;
    ASSERT_EQ(NVRAslpsetdetrow(p, 1, &c0, &r1), 0); // x0 from row 1, which reads x1 and x2
    ASSERT_EQ(NVRAchgcoef(p, 0, 2, 1.0), 0);        // row 0 now reads x2 too: x1 <- x2 <- x1
    EXPECT_EQ(NSLPcascadeorder(nl), NVRA_RC_INVALID);
    EXPECT_NE(err().find("cycle"), std::string::npos) << err();
}

TEST_F(Problem, CheckingAPointReportsViolations) {
    messages.clear();
    ASSERT_EQ(NSLPsetcbmessage(nl, collect, nullptr), 0);
    ASSERT_EQ(NVRAaddcbmessage(p, collectOptimizer, nullptr, 0), 0);
    ASSERT_EQ(NVRAnlpchgformulastr(p, 0, "C0 * C1"), 0); // row 0: x0 x1 = 0
    setPoint({2, 3, 0});
    const double lb = 5;
    const char L = 'L';
    const int col2 = 2;
    ASSERT_EQ(NVRAchgbounds(p, 1, &col2, &L, &lb), 0); // x2 = 0 below its bound 5
    ASSERT_EQ(NSLPvalidate(nl), 0) << err();
    int violations = 0;
    double worst = 0;
    ASSERT_EQ(NSLPgetintattrib(nl, 12109, &violations), 0);
    ASSERT_EQ(NSLPgetdblattrib(nl, 12180, &worst), 0);
    EXPECT_EQ(violations, 2);
    EXPECT_EQ(worst, 6.0);
    ASSERT_EQ(messages.size(), 2u); // to the nonlinear callback and forwarded
    EXPECT_NE(messages[0].find("2 violations"), std::string::npos) << messages[0];
    EXPECT_NE(messages[0].find("largest 6 (row R0)"), std::string::npos) << messages[0];
    EXPECT_EQ(messages[1], "optimizer: " + messages[0]);
    ASSERT_EQ(NSLPsetintcontrol(nl, NSLP_CONTROL_MSGFORWARD, 0), 0);
    ASSERT_EQ(NSLPvalidaterow(nl, 0), 0);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_NE(messages[2].find("value 6 = linear 0 + quadratic 0 + nonlinear 6"), std::string::npos)
        << messages[2];
    const double x[] = {0, 1, 5};
    ASSERT_EQ(NSLPvalidatevector(nl, x), 0);
    ASSERT_EQ(NSLPgetintattrib(nl, 12109, &violations), 0);
    EXPECT_EQ(violations, 0);
}

TEST_F(Problem, SolvingByEitherLocalSolver) {
    // Row 0: exp(x0) + x1 = 2 (rhs 2), row 1 empty; no objective: any solution of the row. With
    // x1 fixed at 0.5, x0 = ln 1.5.
    const int row = 0, col = 1;
    const double two = 2.0, half = 0.5;
    ASSERT_EQ(NVRAchgrhs(p, 1, &row, &two), 0);
    ASSERT_EQ(NVRAchgcoef(p, 0, 1, 1.0), 0);
    ASSERT_EQ(NVRAchgbounds(p, 2, std::vector<int>{col, col}.data(), "LU",
                            std::vector<double>{half, half}.data()),
              0);
    ASSERT_EQ(NVRAnlpchgformulastr(p, 0, "exp(C0)"), 0);
    for (int solver : {2, 1}) {
        ASSERT_EQ(NSLPsetintcontrol(nl, 12300, solver), 0);
        int solve = -1, sol = -1, status = -1;
        ASSERT_EQ(NVRAoptimize(p, "", &solve, &sol), 0) << err();
        EXPECT_EQ(solve, NVRA_SOLVESTATUS_COMPLETED);
        EXPECT_EQ(sol, NVRA_SOLSTATUS_FEASIBLE); // a local solve proves no global optimum
        ASSERT_EQ(NSLPgetintattrib(nl, NSLP_ATTR_STATUS, &status), 0);
        EXPECT_EQ(status, NSLP_STATUS_LOCALLY_OPTIMAL);
        double x[3];
        ASSERT_EQ(NSLPgetslpsol(nl, x, nullptr, nullptr, nullptr), 0) << err();
        EXPECT_NEAR(x[0], std::log(1.5), 1e-7) << "solver " << solver;
        EXPECT_NEAR(x[1], 0.5, 1e-12);
    }
    // The iterations of each solver are counted under its own attribute.
    int slp = -1, ipm = -1;
    ASSERT_EQ(NSLPgetintattrib(nl, 12100, &slp), 0);
    ASSERT_EQ(NSLPgetintattrib(nl, 22014, &ipm), 0);
    EXPECT_GT(slp, 0);
    EXPECT_EQ(ipm, 0);
}

TEST_F(Problem, SolvingSaysWhatIsMissing) {
    ASSERT_EQ(NVRAnlpchgformulastr(p, 0, "exp(C0)"), 0);
    double x[3];
    EXPECT_EQ(NSLPgetslpsol(nl, x, nullptr, nullptr, nullptr), NVRA_RC_INVALID);
    EXPECT_NE(err().find("no solution is available"), std::string::npos);
    int solve = -1, sol = -1;
    EXPECT_EQ(NVRAnlpoptimize(p, ""), 0) << err();
    EXPECT_EQ(NSLPpresolve(nl), NVRA_RC_UNSUPPORTED);
    EXPECT_NE(err().find("NSLPpresolve: the nonlinear solvers of this build run this step only "
                         "inside a solve"),
              std::string::npos);
    EXPECT_EQ(NSLPpostsolve(nl), 0); // nothing is ever presolved
    // Without formulas the optimizer solves it, and the solution is the nonlinear one too.
    const int row = 0;
    ASSERT_EQ(NVRAnlpdelformulas(p, 1, &row), 0);
    ASSERT_EQ(NVRAoptimize(p, "", &solve, &sol), 0) << err();
    EXPECT_EQ(NSLPgetslpsol(nl, x, nullptr, nullptr, nullptr), 0) << err();
    // NSLPconstruct compiles the formulas and runs its callback.
    int constructed = 0, state = 0;
    ASSERT_EQ(NSLPsetcbconstruct(
                  nl, [](NSLPprob, void *d) { return ++*static_cast<int *>(d), 0; }, &constructed),
              0);
    ASSERT_EQ(NSLPconstruct(nl), 0);
    ASSERT_EQ(NSLPgetintattrib(nl, NSLP_ATTR_STATE, &state), 0);
    EXPECT_EQ(state, NSLP_STATE_CONSTRUCTED);
    EXPECT_EQ(constructed, 1);
    ASSERT_EQ(NVRAnlpchgformulastr(p, 0, "exp(C0)"), 0); // a change undoes the construction
    ASSERT_EQ(NSLPgetintattrib(nl, NSLP_ATTR_STATE, &state), 0);
    EXPECT_EQ(state, 0);
}

} // namespace
