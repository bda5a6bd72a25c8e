// Attributes of libnvra: every listed attribute through the getter of its type, values on an
// empty problem and on problems built in the store, per-solve values, errors.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "nvra.h"
#include "core/problem.h"
#include "nvra_test.h"

namespace {

using nvra::CaEntry;
using nvra::CaType;
using nvra::SolveResult;

using nvratest::lastError;

class Attributes : public nvratest::ProblemTest {
  protected:
    int64_t intAttr(int id) {
        int64_t v = -12345;
        EXPECT_EQ(NVRAgetintattrib64(p, id, &v), 0) << id << ": " << lastError(p);
        return v;
    }
    double dblAttr(int id) {
        double v = -12345;
        EXPECT_EQ(NVRAgetdblattrib(p, id, &v), 0) << id << ": " << lastError(p);
        return v;
    }
    std::string strAttr(int id) {
        int n = 0;
        EXPECT_EQ(NVRAgetstringattrib(p, id, nullptr, 0, &n), 0) << id;
        std::string v(static_cast<size_t>(n), '#');
        EXPECT_EQ(NVRAgetstringattrib(p, id, v.data(), n, nullptr), 0) << id;
        EXPECT_EQ(v.back(), '\0');
        v.pop_back();
        return v;
    }
};

// The value of every attribute on a problem just created (minimising, nothing solved).
const std::map<int, double> kEmpty = {
    {1001, 0},
    {1004, 0},
    {1010, NVRA_LP_UNSTARTED},
    {1011, NVRA_MIP_NOT_LOADED},
    {1018, 0},
    {1019, 0},
    {1026, 1},
    {1028, 1},
    {1030, 0},
    {1032, 0},
    {1053, NVRA_SOLSTATUS_NOTFOUND},
    {1124, 0},
    {1158, 7},
    {1194, 0},
    {1214, 0},
    {1268, NVRA_OPTIMIZETYPE_NONE},
    {1325, 0},
    {1327, 0},
    {1394, NVRA_SOLVESTATUS_UNSTARTED},
    {1397, 1},
    {1399, 0},
    {1406, 0},
    {1408, 0},
    {1409, 0},
    {1500, 0},
    {1501, 0},
    {1502, 0},
    {1503, 0},
    {1504, 0},
    {1520, 0},
    {1521, 0},
    {1505, 0},
    {1506, 0},
    {1507, 0},
    {1508, NVRA_STOP_NONE},
    {1509, 0},
    {1510, 0},
    {1511, 0},
    {1512, 0},
    {1530, 0},
    {2001, 1e20},
    {2003, 1e20},
    {2008, 1.0},
    {2500, 1e20},
    {2501, -1e20},
    {2502, 1e20},
    {2503, 0},
    {2504, 0},
    {2505, 0},
};

TEST_F(Attributes, EveryListedAttributeOnAnEmptyProblem) {
    int count = 0;
    const int *ids = nullptr, *flags = nullptr;
    const char *const *names = nullptr;
    ASSERT_EQ(NVRAgetcalist_c(p, &count, &ids, &names, &flags), 0);
    int seen = 0;
    for (int i = 0; i < count; ++i) {
        if (flags[i] & NVRA_CA_CONTROL) continue;
        const int id = ids[i];
        SCOPED_TRACE(names[i]);
        int v32 = 0;
        int64_t v64 = 0;
        double d = 0;
        char s[NVRA_MAXSTRINGLENGTH];
        if (flags[i] & NVRA_CA_STRING) {
            EXPECT_EQ(strAttr(id), "noname");
            EXPECT_EQ(NVRAgetintattrib64(p, id, &v64), NVRA_RC_INVALID);
            EXPECT_EQ(lastError(p), "Attribute " + std::to_string(id) + " (" + names[i] +
                                        ") is a string attribute, not an integer one");
            continue;
        }
        ++seen;
        ASSERT_EQ(kEmpty.count(id), 1u) << "no expected value for attribute " << id;
        const double expected = kEmpty.at(id);
        if (flags[i] & NVRA_CA_INT) {
            // The module reads through the 64-bit getter; the 32-bit one agrees.
            ASSERT_EQ(NVRAgetintattrib64(p, id, &v64), 0) << lastError(p);
            ASSERT_EQ(NVRAgetintattrib(p, id, &v32), 0) << lastError(p);
            EXPECT_EQ(v64, expected);
            EXPECT_EQ(v32, v64);
            EXPECT_EQ(NVRAgetdblattrib(p, id, &d), NVRA_RC_INVALID);
            EXPECT_EQ(lastError(p), "Attribute " + std::to_string(id) + " (" + names[i] +
                                        ") is an integer attribute, not a double one");
        } else {
            ASSERT_TRUE(flags[i] & NVRA_CA_DOUBLE);
            ASSERT_EQ(NVRAgetdblattrib(p, id, &d), 0) << lastError(p);
            EXPECT_EQ(d, expected);
            EXPECT_EQ(NVRAgetintattrib(p, id, &v32), NVRA_RC_INVALID);
            EXPECT_EQ(NVRAgetstringattrib(p, id, s, sizeof s, nullptr), NVRA_RC_INVALID);
        }
        // Attributes are not controls.
        EXPECT_EQ(NVRAgetintcontrol64(p, id, &v64), NVRA_RC_INVALID);
        EXPECT_EQ(lastError(p), "Attribute " + std::to_string(id) + " (" + names[i] +
                                    ") is an attribute, not a control");
    }
    EXPECT_EQ(seen, static_cast<int>(kEmpty.size()));
}

TEST_F(Attributes, WrongIdsAndArguments) {
    int64_t v = 0;
    EXPECT_EQ(NVRAgetintattrib64(p, NVRA_CONTROL_PRESOLVE, &v), NVRA_RC_INVALID);
    EXPECT_EQ(lastError(p), "Control 8011 (presolve) is a control, not an attribute");
    EXPECT_EQ(NVRAgetintattrib64(p, 5, &v), NVRA_RC_INVALID);
    EXPECT_EQ(lastError(p), "Unknown attribute id 5");
    double d = 0;
    EXPECT_EQ(NVRAgetobjdblattrib(p, 0, NVRA_OBJCONTROL_WEIGHT, &d), NVRA_RC_INVALID);
    EXPECT_EQ(lastError(p), "Control 20002 (weight) is a control, not an attribute");
    EXPECT_EQ(NVRAgetintattrib64(p, NVRA_ATTR_ROWS, nullptr), NVRA_RC_INVALID);
    EXPECT_EQ(lastError(p), "NVRAgetintattrib64: null value pointer");
    EXPECT_EQ(NVRAgetintattrib(p, NVRA_ATTR_ROWS, nullptr), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAgetdblattrib(p, NVRA_ATTR_OBJSENSE, nullptr), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAgetintattrib64(nullptr, NVRA_ATTR_ROWS, &v), NVRA_RC_MISUSE);
    // Before any solve there is no solve index at all.
    EXPECT_EQ(NVRAgetobjintattrib64(p, 0, NVRA_ATTR_LPSTATUS, &v), NVRA_RC_RANGE);
    EXPECT_EQ(lastError(p), "Solve index 0 is out of range: the last optimisation made 0 solves");
    // A successful read clears the last error.
    EXPECT_EQ(NVRAgetintattrib64(p, NVRA_ATTR_ROWS, &v), 0);
    EXPECT_EQ(lastError(p), "");
}

// A small model written straight into the store: 3 rows, 4 columns of types C B I S, 5
// non-zeros, two Hessian elements, one quadratic row, two indicators, two sets, three
// objectives, maximising.
void buildModel(nvra::Model &m) {
    m.probName = "store_model";
    m.sense = -1;
    m.coltype = {'C', 'B', 'I', 'S'};
    m.lb = {0, 0, 0, 0};
    m.ub = {1e20, 1, 10, 5};
    m.cost = {1, 2, 3, 4};
    m.limit = {0, 0, 0, 2};
    m.rowtype = {'L', 'G', 'E'};
    m.rhs = {1, 2, 3};
    m.range = {0, 0, 0};
    m.A.start = {0, 2, 4, 5};
    m.A.index = {0, 1, 2, 3, 0};
    m.A.value = {1, 1, 1, 1, 1};
    m.Q.i = {0, 0};
    m.Q.j = {0, 1};
    m.Q.v = {2, 1};
    m.qrows[1] = nvra::QTriplets{{0}, {0}, {1.0}};
    m.indicators[0] = nvra::Indicator{1, 1};
    m.indicators[2] = nvra::Indicator{1, -1};
    m.sets.push_back(nvra::Sos{'1', {0, 1, 2}, {1, 2, 3}});
    m.sets.push_back(nvra::Sos{'2', {2, 3}, {1, 2}});
    m.objectives.resize(2);
}

TEST_F(Attributes, StringAttributeSizesAndTruncation) {
    p->model.probName = "abcdef";
    EXPECT_EQ(intAttr(NVRA_ATTR_PROBNAMELENGTH), 7);
    int n = 0;
    char buf[8];
    memset(buf, '#', sizeof buf);
    ASSERT_EQ(NVRAgetstringattrib(p, nvra::kAttrProbName, buf, 4, &n), 0);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(buf[4], '#');
    EXPECT_EQ(n, 7);
}

// Two solves whose results differ in every field.
SolveResult result(int k) {
    SolveResult r;
    r.lpStatus = NVRA_LP_OPTIMAL + k;
    r.mipStatus = NVRA_MIP_SOLUTION + k;
    r.solveStatus = NVRA_SOLVESTATUS_STOPPED + k;
    r.solStatus = NVRA_SOLSTATUS_OPTIMAL + k;
    r.stopStatus = NVRA_STOP_TIMELIMIT + k;
    r.optimizeType = NVRA_OPTIMIZETYPE_LP + k;
    r.objVal = 10.5 + k;
    r.lpObjVal = 11.5 + k;
    r.mipObjVal = 12.5 + k;
    r.bestBound = 9.5 + k;
    r.mipGap = 0.125 + k;
    r.solveTime = 0.25 + k;
    r.simplexIter = 100 + k;
    r.barIter = 20 + k;
    r.nodes = 7 + k;
    r.nlpSolves = 3 + k;
    r.masterSolves = 2 + k;
    r.maxViolation = 1e-9 + k;
    return r;
}

TEST_F(Attributes, ResultsPerSolveAndOfTheLastSolve) {
    buildModel(p->model);
    p->solution.solves = {result(0), result(1)};
    EXPECT_EQ(intAttr(NVRA_ATTR_SOLVES), 2);
    // The problem-level view is the last solve; each solve index gives its own results for the
    // entries flagged per solve and the current value for the others.
    int checked = 0;
    for (const CaEntry &e : nvra::kRegistry) {
        if (e.flags & NVRA_CA_CONTROL || e.type == CaType::String) continue;
        SCOPED_TRACE(e.name);
        const bool perSolve = e.flags & NVRA_CA_PERSOLVE;
        double current = 0, atSolve[2] = {0, 0};
        if (e.type == CaType::Int) {
            int64_t v = 0;
            ASSERT_EQ(NVRAgetintattrib64(p, e.id, &v), 0);
            current = static_cast<double>(v);
            for (int k = 0; k < 2; ++k) {
                ASSERT_EQ(NVRAgetobjintattrib64(p, k, e.id, &v), 0);
                atSolve[k] = static_cast<double>(v);
            }
        } else {
            ASSERT_EQ(NVRAgetdblattrib(p, e.id, &current), 0);
            for (int k = 0; k < 2; ++k)
                ASSERT_EQ(NVRAgetobjdblattrib(p, k, e.id, &atSolve[k]), 0);
        }
        EXPECT_EQ(current, atSolve[1]);
        if (perSolve) {
            EXPECT_NE(atSolve[0], atSolve[1]);
            ++checked;
        } else {
            EXPECT_EQ(atSolve[0], atSolve[1]);
        }
    }
    EXPECT_EQ(checked, 18); // one per SolveResult field
    EXPECT_EQ(intAttr(NVRA_ATTR_LPSTATUS), NVRA_LP_INFEAS);
    EXPECT_EQ(dblAttr(NVRA_ATTR_MIPOBJVAL), 13.5);
    int64_t v = 0;
    EXPECT_EQ(NVRAgetobjintattrib64(p, 2, NVRA_ATTR_LPSTATUS, &v), NVRA_RC_RANGE);
    EXPECT_EQ(lastError(p), "Solve index 2 is out of range: the last optimisation made 2 solves");
    EXPECT_EQ(NVRAgetobjintattrib64(p, -1, NVRA_ATTR_LPSTATUS, &v), NVRA_RC_RANGE);
    // The type is checked before the solve index.
    double d = 0;
    EXPECT_EQ(NVRAgetobjdblattrib(p, 5, NVRA_ATTR_LPSTATUS, &d), NVRA_RC_INVALID);
    // A reset solution is unstarted again.
    p->solution.reset();
    EXPECT_EQ(intAttr(NVRA_ATTR_SOLVES), 0);
    EXPECT_EQ(intAttr(NVRA_ATTR_SOLVESTATUS), NVRA_SOLVESTATUS_UNSTARTED);
    EXPECT_EQ(dblAttr(nvra::kAttrObjVal), -1e20);
}

TEST_F(Attributes, ThirtyTwoBitGetterRefusesWideValues) {
    SolveResult r;
    r.nodes = int64_t{3} << 31;
    p->solution.solves = {r};
    int v = 5;
    EXPECT_EQ(NVRAgetintattrib(p, nvra::kAttrNodes, &v), NVRA_RC_RANGE);
    EXPECT_EQ(lastError(p), "Attribute 1507 (nodes): value 6442450944 does not fit in a 32-bit "
                            "integer: use NVRAgetintattrib64");
    EXPECT_EQ(v, 5);
    EXPECT_EQ(intAttr(nvra::kAttrNodes), int64_t{3} << 31);
}

TEST_F(Attributes, ReadDuringASolve) {
    buildModel(p->model);
    p->busy = true;
    EXPECT_EQ(intAttr(NVRA_ATTR_COLS), 4);
    EXPECT_EQ(strAttr(nvra::kAttrProbName), "store_model");
    p->busy = false;
}

// The counts of a problem built through the store's public functions, and after a deletion.
TEST_F(Attributes, CountsFollowPublicEdits) {
    // Part of the module's problem initialisation: output off around an empty load.
    int64_t outputlog = -1;
    ASSERT_EQ(NVRAgetintcontrol64(p, NVRA_CONTROL_OUTPUTLOG, &outputlog), 0);
    ASSERT_EQ(NVRAsetintcontrol64(p, NVRA_CONTROL_OUTPUTLOG, 0), 0);
    ASSERT_EQ(NVRAloadlp(p, "abc", 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr),
              0)
        << lastError(p);
    ASSERT_EQ(NVRAsetintcontrol64(p, NVRA_CONTROL_OUTPUTLOG, outputlog), 0);
    EXPECT_EQ(intAttr(NVRA_ATTR_PROBNAMELENGTH), 4);
    EXPECT_EQ(strAttr(nvra::kAttrProbName), "abc");

    // 4 columns, 3 rows with 5 non-zeros.
    const double lb[] = {0, 0, 0, 0}, ub[] = {10, 10, 10, 10}, obj[] = {1, 2, 3, 4};
    ASSERT_EQ(NVRAaddcols(p, 4, 0, obj, nullptr, nullptr, nullptr, lb, ub), 0) << lastError(p);
    const char rowtype[] = {'L', 'G', 'E'};
    const double rhs[] = {1, 2, 3};
    const int start[] = {0, 2, 4}, colind[] = {0, 1, 2, 3, 0};
    const double coef[] = {1, 1, 1, 1, 1};
    ASSERT_EQ(NVRAaddrows(p, 3, 5, rowtype, rhs, nullptr, start, colind, coef), 0) << lastError(p);
    const int typed[] = {1, 2, 3};
    ASSERT_EQ(NVRAchgcoltype(p, 3, typed, "BIS"), 0) << lastError(p);
    const char settype[] = {'1', '2'};
    const int setstart[] = {0, 3}, setcols[] = {0, 1, 2, 2, 3};
    const double refval[] = {1, 2, 3, 1, 2};
    ASSERT_EQ(NVRAaddsets(p, 2, 5, settype, setstart, setcols, refval), 0) << lastError(p);
    const int q1[] = {0, 0}, q2[] = {0, 1};
    const double qv[] = {2, 1};
    ASSERT_EQ(NVRAchgmqobj(p, 2, q1, q2, qv), 0) << lastError(p);
    ASSERT_EQ(NVRAchgobjsense(p, -1), 0);
    const int objcols[] = {0};
    const double objcoefs[] = {1};
    ASSERT_EQ(NVRAaddobj(p, 1, objcols, objcoefs, 1, 1.0), 0) << lastError(p);
    const int qcol[] = {0};
    const double qval[] = {1.0};
    ASSERT_EQ(NVRAaddqmatrix64(p, 1, 1, qcol, qcol, qval), 0) << lastError(p);
    const int indrows[] = {0, 2}, indcols[] = {1, 1}, comps[] = {1, -1};
    ASSERT_EQ(NVRAsetindicators(p, 2, indrows, indcols, comps), 0) << lastError(p);
    const std::map<int, int64_t> counts = {
        {NVRA_ATTR_ROWS, 3},
        {NVRA_ATTR_ORIGINALROWS, 3},
        {NVRA_ATTR_INPUTROWS, 3},
        {NVRA_ATTR_COLS, 4},
        {NVRA_ATTR_ORIGINALCOLS, 4},
        {NVRA_ATTR_INPUTCOLS, 4},
        {nvra::kAttrElems, 5},
        {NVRA_ATTR_QELEMS, 2},
        {NVRA_ATTR_SETS, 2},
        {NVRA_ATTR_ORIGINALSETS, 2},
        {NVRA_ATTR_SETMEMBERS, 5},
        {NVRA_ATTR_MIPENTS, 3},
        {NVRA_ATTR_ORIGINALMIPENTS, 3},
        {nvra::kAttrBinCols, 1},
        {nvra::kAttrIntCols, 1},
        {NVRA_ATTR_OBJECTIVES, 2},
        {NVRA_ATTR_NAMELENGTH, 3},
        {nvra::kAttrQConstraints, 1},
        {nvra::kAttrIndicators, 2},
        {NVRA_ATTR_CUTS, 0},
    };
    for (const auto &[id, expected] : counts)
        EXPECT_EQ(intAttr(id), expected) << id;
    EXPECT_EQ(dblAttr(NVRA_ATTR_OBJSENSE), -1.0);
    // Nothing solved: no objective value, at the worst end for a maximisation.
    EXPECT_EQ(dblAttr(nvra::kAttrObjVal), -1e20);
    EXPECT_EQ(dblAttr(NVRA_ATTR_LPOBJVAL), -1e20);
    EXPECT_EQ(dblAttr(NVRA_ATTR_MIPOBJVAL), -1e20);
    EXPECT_EQ(dblAttr(nvra::kAttrBestBound), 1e20);

    // Deleting renumbers: the counts shrink with the store.
    const int delrows[] = {0};
    ASSERT_EQ(NVRAdelrows(p, 1, delrows), 0) << lastError(p);
    EXPECT_EQ(intAttr(NVRA_ATTR_ROWS), 2);
    EXPECT_EQ(intAttr(nvra::kAttrElems), 3);
}

// Names: the longest given name or default name, with its zero.
TEST_F(Attributes, NameLengthCountsGivenAndDefaultNames) {
    EXPECT_EQ(intAttr(NVRA_ATTR_NAMELENGTH), 1);
    std::vector<double> lb(1000, 0.0), ub(1000, 1.0);
    ASSERT_EQ(NVRAaddcols(p, 1000, 0, nullptr, nullptr, nullptr, nullptr, lb.data(), ub.data()), 0)
        << lastError(p);
    EXPECT_EQ(intAttr(NVRA_ATTR_NAMELENGTH), 5); // "C999"
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, "x", 999, 999), 0) << lastError(p);
    EXPECT_EQ(intAttr(NVRA_ATTR_NAMELENGTH), 5); // "C998"
    std::string many;
    for (int i = 0; i < 1000; ++i)
        many.append("x").push_back('\0');
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, many.data(), 0, 999), 0) << lastError(p);
    EXPECT_EQ(intAttr(NVRA_ATTR_NAMELENGTH), 2); // every column named "x"
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, many.data(), 100, 999), 0);
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, "a_rather_long_name", 5, 5), 0);
    EXPECT_EQ(intAttr(NVRA_ATTR_NAMELENGTH), 19);
    // Unnamed again: an empty name.
    ASSERT_EQ(NVRAaddnames(p, NVRA_NAMES_COLUMNS, "", 5, 5), 0) << lastError(p);
    EXPECT_EQ(intAttr(NVRA_ATTR_NAMELENGTH), 3); // "C5"
}

} // namespace
