// Controls of libnvra: the lists against the typed getters and setters, bounds and their error
// texts, defaults, copying, lookups by id and name.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdarg>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "nvra.h"
#include "core/problem.h"
#include "nvra_test.h"

namespace {

using nvra::CaEntry;
using nvra::CaType;

using nvratest::lastError;

std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char *fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

using Controls = nvratest::ProblemTest;

struct List {
    int count = -1;
    const int *ids = nullptr;
    const char *const *names = nullptr;
    const int *flags = nullptr;
};

const CaEntry *findRow(int id) {
    for (const CaEntry &e : nvra::kRegistry)
        if (e.id == id) return &e;
    return nullptr;
}

// A valid value of an integer control other than its default.
int64_t otherInt(const CaEntry &e) {
    return e.intDefault != e.intUpper ? e.intUpper : e.intLower;
}
double otherDouble(const CaEntry &e) {
    return e.dblDefault != e.dblUpper ? e.dblUpper : e.dblLower;
}

TEST_F(Controls, ListsAreTheRegistryWithoutObjectiveControls) {
    List c, d;
    ASSERT_EQ(NVRAgetcalist_c(p, &c.count, &c.ids, &c.names, &c.flags), 0);
    ASSERT_EQ(NVRAgetcalist_d(&d.count, &d.ids, &d.names, &d.flags), 0);
    EXPECT_EQ(c.count, d.count);
    EXPECT_EQ(c.ids, d.ids); // one list for every problem and for the library
    // Terminating entry after the last one.
    EXPECT_EQ(c.ids[c.count], 0);
    EXPECT_EQ(c.names[c.count], nullptr);
    EXPECT_EQ(c.flags[c.count], 0);
    int objControls = 0;
    for (const CaEntry &e : nvra::kRegistry)
        objControls += (e.flags & NVRA_CA_OBJCONTROL) != 0;
    EXPECT_EQ(objControls, 5);
    EXPECT_EQ(c.count, nvra::kRegistrySize - objControls);
    for (int i = 0; i < c.count; ++i) {
        const CaEntry *e = findRow(c.ids[i]);
        ASSERT_NE(e, nullptr) << c.ids[i];
        EXPECT_STREQ(c.names[i], e->name);
        EXPECT_EQ(c.flags[i], e->flags);
        EXPECT_FALSE(c.flags[i] & NVRA_CA_OBJCONTROL);
    }
    // Every pointer may be null.
    EXPECT_EQ(NVRAgetcalist_c(p, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(NVRAgetcalist_c(nullptr, &c.count, nullptr, nullptr, nullptr), NVRA_RC_MISUSE);
}

TEST(ControlsLibrary, ListNeedsAStartedLibrary) {
    int count = 0;
    EXPECT_EQ(NVRAgetcalist_d(&count, nullptr, nullptr, nullptr), NVRA_RC_MISUSE);
}

TEST_F(Controls, EveryListedControlReadsThroughTheGetterOfItsType) {
    List l;
    ASSERT_EQ(NVRAgetcalist_c(p, &l.count, &l.ids, &l.names, &l.flags), 0);
    int controls = 0;
    for (int i = 0; i < l.count; ++i) {
        if (!(l.flags[i] & NVRA_CA_CONTROL)) continue;
        ++controls;
        const int id = l.ids[i];
        const CaEntry &e = *findRow(id);
        SCOPED_TRACE(e.name);
        int v32 = 0;
        int64_t v64 = 0;
        double d = 0;
        char s[NVRA_MAXSTRINGLENGTH];
        // The module reads every control with the 32-bit, double and string getters.
        if (l.flags[i] & NVRA_CA_INT) {
            ASSERT_EQ(NVRAgetintcontrol(p, id, &v32), 0) << lastError(p);
            ASSERT_EQ(NVRAgetintcontrol64(p, id, &v64), 0);
            EXPECT_EQ(v32, e.intDefault);
            EXPECT_EQ(v64, e.intDefault);
            EXPECT_EQ(NVRAgetdblcontrol(p, id, &d), NVRA_RC_INVALID);
            EXPECT_EQ(lastError(p), format("Control %d (%s) is an integer control, not a double "
                                           "one",
                                           id, e.name));
            EXPECT_EQ(NVRAgetstrcontrol(p, id, s), NVRA_RC_INVALID);
        } else if (l.flags[i] & NVRA_CA_DOUBLE) {
            ASSERT_EQ(NVRAgetdblcontrol(p, id, &d), 0) << lastError(p);
            EXPECT_EQ(d, e.dblDefault);
            EXPECT_EQ(NVRAgetintcontrol64(p, id, &v64), NVRA_RC_INVALID);
            EXPECT_EQ(lastError(p), format("Control %d (%s) is a double control, not an integer "
                                           "one",
                                           id, e.name));
        } else {
            ASSERT_TRUE(l.flags[i] & NVRA_CA_STRING);
            ASSERT_EQ(NVRAgetstrcontrol(p, id, s), 0) << lastError(p);
            EXPECT_STREQ(s, e.strDefault);
            EXPECT_EQ(NVRAgetintcontrol(p, id, &v32), NVRA_RC_INVALID);
        }
        // A control is no attribute (LookupsFindEveryRow finds it as a control in both cases).
        int infoId = -1, infoType = -1;
        ASSERT_EQ(NVRAgetattribinfo(p, e.name, &infoId, &infoType), 0);
        EXPECT_EQ(infoId, 0);
        EXPECT_EQ(infoType, NVRA_TYPE_NOTDEFINED);
    }
    EXPECT_GT(controls, 40);
}

TEST_F(Controls, EveryControlTakesAValidValueAndRefusesItsNeighbours) {
    for (const CaEntry &e : nvra::kRegistry) {
        if (e.slot < 0) continue;
        SCOPED_TRACE(e.name);
        switch (e.type) {
        case CaType::Int: {
            const int64_t v = otherInt(e);
            ASSERT_EQ(NVRAsetintcontrol64(p, e.id, v), 0) << lastError(p);
            EXPECT_EQ(lastError(p), "");
            int64_t back = 0;
            ASSERT_EQ(NVRAgetintcontrol64(p, e.id, &back), 0);
            EXPECT_EQ(back, v);
            // One past each bound fails with the bounds in the text and changes nothing.
            for (int64_t bad : {e.intUpper + 1, e.intLower - 1}) {
                EXPECT_EQ(NVRAsetintcontrol64(p, e.id, bad), NVRA_RC_INVALID);
                EXPECT_EQ(lastError(p), format("Control %d (%s): value %" PRId64
                                               " is out of range [%" PRId64 ", %" PRId64 "]",
                                               e.id, e.name, bad, e.intLower, e.intUpper));
                ASSERT_EQ(NVRAgetintcontrol64(p, e.id, &back), 0);
                EXPECT_EQ(back, v);
            }
            EXPECT_EQ(NVRAsetdblcontrol(p, e.id, 1.0), NVRA_RC_INVALID);
            break;
        }
        case CaType::Double: {
            const double v = otherDouble(e);
            ASSERT_EQ(NVRAsetdblcontrol(p, e.id, v), 0) << lastError(p);
            double back = 0;
            ASSERT_EQ(NVRAgetdblcontrol(p, e.id, &back), 0);
            EXPECT_EQ(back, v);
            // Values beyond +-1e20 are infinities, which a bound at +-1e20 admits.
            for (double bad :
                 {std::nan(""),
                  e.dblLower > -1e20 ? e.dblLower - 1e-3 - std::fabs(e.dblLower) : std::nan(""),
                  e.dblUpper < 1e20 ? e.dblUpper * 2 + 1 : std::nan("")}) {
                EXPECT_EQ(NVRAsetdblcontrol(p, e.id, bad), NVRA_RC_INVALID);
                EXPECT_NE(lastError(p).find(format("Control %d (%s): value ", e.id, e.name)),
                          std::string::npos);
                ASSERT_EQ(NVRAgetdblcontrol(p, e.id, &back), 0);
                EXPECT_EQ(back, v);
            }
            EXPECT_EQ(NVRAsetintcontrol(p, e.id, 1), NVRA_RC_INVALID);
            break;
        }
        case CaType::String: {
            ASSERT_EQ(NVRAsetstrcontrol(p, e.id, "some value"), 0) << lastError(p);
            char back[NVRA_MAXSTRINGLENGTH];
            ASSERT_EQ(NVRAgetstrcontrol(p, e.id, back), 0);
            EXPECT_STREQ(back, "some value");
            EXPECT_EQ(NVRAsetintcontrol(p, e.id, 1), NVRA_RC_INVALID);
            break;
        }
        }
    }
}

TEST_F(Controls, DoubleBoundsInfinityAndMessages) {
    EXPECT_EQ(NVRAsetdblcontrol(p, nvra::kCtrlFeasTol, 2.0), NVRA_RC_INVALID);
    EXPECT_EQ(lastError(p), "Control 8511 (feastol): value 2 is out of range [1e-10, 1]");
    // The shortest text that reads back, so that a value just past a bound shows as such.
    EXPECT_EQ(NVRAsetdblcontrol(p, nvra::kCtrlFeasTol, 1.0000001), NVRA_RC_INVALID);
    EXPECT_EQ(lastError(p), "Control 8511 (feastol): value 1.0000001 is out of range [1e-10, 1]");
    // Infinity and anything beyond 1e20 are 1e20, allowed where the upper bound is 1e20.
    double v = 0;
    for (double big : {std::numeric_limits<double>::infinity(), 1e30}) {
        ASSERT_EQ(NVRAsetdblcontrol(p, nvra::kCtrlTimeLimit, 5.0), 0);
        ASSERT_EQ(NVRAsetdblcontrol(p, nvra::kCtrlTimeLimit, big), 0);
        ASSERT_EQ(NVRAgetdblcontrol(p, nvra::kCtrlTimeLimit, &v), 0);
        EXPECT_EQ(v, 1e20);
    }
    EXPECT_EQ(NVRAsetdblcontrol(p, nvra::kCtrlTimeLimit, -1.0), NVRA_RC_INVALID);
    EXPECT_EQ(lastError(p), "Control 8510 (timelimit): value -1 is out of range [0, 1e+20]");
    EXPECT_EQ(NVRAsetdblcontrol(p, nvra::kCtrlMipTol, std::numeric_limits<double>::infinity()),
              NVRA_RC_INVALID);
    EXPECT_EQ(lastError(p), "Control 8513 (miptol): value inf is out of range [1e-10, 0.5]");
}

TEST_F(Controls, IdsOfTheWrongKind) {
    int v = 0;
    EXPECT_EQ(NVRAsetintcontrol(p, 8011, 7), NVRA_RC_INVALID);
    EXPECT_EQ(lastError(p), "Control 8011 (presolve): value 7 is out of range [0, 2]");
    EXPECT_EQ(NVRAgetintcontrol(p, 12345, &v), NVRA_RC_INVALID);
    EXPECT_EQ(lastError(p), "Unknown control id 12345");
    EXPECT_EQ(NVRAsetintcontrol(p, NVRA_ATTR_ROWS, 1), NVRA_RC_INVALID);
    EXPECT_EQ(lastError(p), "Attribute 1001 (rows) is an attribute, not a control");
    EXPECT_EQ(NVRAgetintcontrol(p, NVRA_OBJCONTROL_PRIORITY, &v), NVRA_RC_INVALID);
    EXPECT_EQ(lastError(p), "Control 20001 (priority) is an objective control: it is read and "
                            "set per objective, with the objective-control functions");
    EXPECT_EQ(NVRAsetdefaultcontrol(p, NVRA_OBJCONTROL_WEIGHT), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAsetdefaultcontrol(p, NVRA_ATTR_COLS), NVRA_RC_INVALID);
    EXPECT_EQ(NVRAsetdefaultcontrol(p, 4), NVRA_RC_INVALID);
    EXPECT_EQ(lastError(p), "Unknown control id 4");
    EXPECT_EQ(NVRAgetintcontrol(p, NVRA_CONTROL_PRESOLVE, nullptr), NVRA_RC_INVALID);
    EXPECT_EQ(lastError(p), "NVRAgetintcontrol: null value pointer");
    // Objective controls are controls to the name lookup.
    int id = 0, type = 0;
    ASSERT_EQ(NVRAgetcontrolinfo(p, "WEIGHT", &id, &type), 0);
    EXPECT_EQ(id, NVRA_OBJCONTROL_WEIGHT);
    EXPECT_EQ(type, NVRA_TYPE_DOUBLE);
    // Mixed case, unknown and overlong names are not found; a null name is an error.
    for (const char *name : {"Presolve", "nosuchcontrol", "", "rows",
                             "presolvepresolvepresolvepresolvepresolvepresolvepresolvepresolve"}) {
        ASSERT_EQ(NVRAgetcontrolinfo(p, name, &id, &type), 0) << name;
        EXPECT_EQ(id, 0) << name;
        EXPECT_EQ(type, NVRA_TYPE_NOTDEFINED) << name;
    }
    EXPECT_EQ(NVRAgetcontrolinfo(p, nullptr, &id, &type), NVRA_RC_INVALID);
    // A successful call clears the last error.
    ASSERT_EQ(NVRAgetintcontrol(p, NVRA_CONTROL_PRESOLVE, &v), 0);
    EXPECT_EQ(lastError(p), "");
}

TEST_F(Controls, StringControlsAndTheirLimits) {
    const int id = nvra::kCtrlLogFile;
    const std::string longest(nvra::kEngineStringLength - 1, 'x');
    ASSERT_EQ(NVRAsetstrcontrol(p, id, longest.c_str()), 0);
    const std::string tooLong(nvra::kEngineStringLength, 'x');
    EXPECT_EQ(NVRAsetstrcontrol(p, id, tooLong.c_str()), NVRA_RC_INVALID);
    EXPECT_EQ(lastError(p),
              "Control 8520 (logfile): the value is too long: at most 511 bytes are allowed");
    EXPECT_EQ(NVRAsetstrcontrol(p, id, nullptr), NVRA_RC_INVALID);
    EXPECT_EQ(lastError(p), "Control 8520 (logfile): null value");
    // Size query, truncation to maxbytes, full size reported.
    ASSERT_EQ(NVRAsetstrcontrol(p, id, "run.log"), 0);
    int nbytes = 0;
    ASSERT_EQ(NVRAgetstringcontrol(p, id, nullptr, 0, &nbytes), 0);
    EXPECT_EQ(nbytes, 8);
    char buf[8];
    memset(buf, '#', sizeof buf);
    ASSERT_EQ(NVRAgetstringcontrol(p, id, buf, 4, &nbytes), 0);
    EXPECT_STREQ(buf, "run");
    EXPECT_EQ(buf[4], '#');
    EXPECT_EQ(nbytes, 8);
    ASSERT_EQ(NVRAgetstringcontrol(p, id, buf, sizeof buf, nullptr), 0);
    EXPECT_STREQ(buf, "run.log");
    ASSERT_EQ(NVRAsetstrcontrol(p, id, ""), 0);
    ASSERT_EQ(NVRAgetstrcontrol(p, id, buf), 0);
    EXPECT_STREQ(buf, "");
}

TEST_F(Controls, ThirtyTwoBitGetterRefusesWideValues) {
    // No registry bound lets a value past 32 bits in through the setters; the getter still
    // guards the narrowing.
    p->controls.ints[nvra::intSlot::kCtrlLpIterLimit] = int64_t{1} << 40;
    int v = 7;
    EXPECT_EQ(NVRAgetintcontrol(p, nvra::kCtrlLpIterLimit, &v), NVRA_RC_RANGE);
    EXPECT_EQ(lastError(p), "Control 8502 (lpiterlimit): value 1099511627776 does not fit in a "
                            "32-bit integer: use NVRAgetintcontrol64");
    EXPECT_EQ(v, 7);
    int64_t v64 = 0;
    ASSERT_EQ(NVRAgetintcontrol64(p, nvra::kCtrlLpIterLimit, &v64), 0);
    EXPECT_EQ(v64, int64_t{1} << 40);
}

// Sets a spread of controls of every type away from their defaults.
void changeSome(NVRAprob p) {
    ASSERT_EQ(NVRAsetintcontrol(p, NVRA_CONTROL_PRESOLVE, 0), 0);
    ASSERT_EQ(NVRAsetintcontrol(p, nvra::kCtrlThreads, 3), 0);
    ASSERT_EQ(NVRAsetdblcontrol(p, nvra::kCtrlMipRelStop, 0.25), 0);
    ASSERT_EQ(NVRAsetstrcontrol(p, nvra::kCtrlLogFile, "a.log"), 0);
}

void expectDefaults(NVRAprob p) {
    for (const CaEntry &e : nvra::kRegistry) {
        if (e.slot < 0) continue;
        SCOPED_TRACE(e.name);
        switch (e.type) {
        case CaType::Int:
            EXPECT_EQ(p->controls.ints[e.slot], e.intDefault);
            break;
        case CaType::Double:
            EXPECT_EQ(p->controls.dbls[e.slot], e.dblDefault);
            break;
        case CaType::String:
            EXPECT_EQ(p->controls.strs[e.slot], e.strDefault);
            break;
        }
    }
}

TEST_F(Controls, DefaultsAndCopies) {
    changeSome(p);
    NVRAprob q = nullptr;
    ASSERT_EQ(NVRAcreateprob(&q), 0);
    expectDefaults(q); // a new problem starts at the defaults, whatever others hold
    // One control back to its default, the others stay.
    ASSERT_EQ(NVRAsetdefaultcontrol(p, nvra::kCtrlLogFile), 0);
    char s[NVRA_MAXSTRINGLENGTH];
    ASSERT_EQ(NVRAgetstrcontrol(p, nvra::kCtrlLogFile, s), 0);
    EXPECT_STREQ(s, "");
    int64_t v = 0;
    ASSERT_EQ(NVRAgetintcontrol64(p, nvra::kCtrlThreads, &v), 0);
    EXPECT_EQ(v, 3);
    ASSERT_EQ(NVRAsetdefaultcontrol(p, nvra::kCtrlMipRelStop), 0);
    double d = 0;
    ASSERT_EQ(NVRAgetdblcontrol(p, nvra::kCtrlMipRelStop, &d), 0);
    EXPECT_EQ(d, 1e-4);

    // Copies carry every value over; the source keeps its own.
    changeSome(p);
    ASSERT_EQ(NVRAsetintcontrol(q, nvra::kCtrlSeed, 99), 0);
    ASSERT_EQ(NVRAcopycontrols(q, p), 0);
    EXPECT_EQ(q->controls.ints, p->controls.ints);
    EXPECT_EQ(q->controls.dbls, p->controls.dbls);
    EXPECT_EQ(q->controls.strs, p->controls.strs);
    EXPECT_EQ(NVRAcopycontrols(q, q), 0);
    EXPECT_EQ(q->controls.strs, p->controls.strs);

    // All back to the defaults.
    ASSERT_EQ(NVRAsetdefaults(p), 0);
    expectDefaults(p);
    ASSERT_EQ(NVRAgetstrcontrol(q, nvra::kCtrlLogFile, s), 0);
    EXPECT_STREQ(s, "a.log");

    // A bad source handle fails on the destination, which keeps its values.
    EXPECT_EQ(NVRAcopycontrols(q, nullptr), NVRA_RC_MISUSE);
    EXPECT_EQ(lastError(q), "NVRAcopycontrols: the source problem handle is not valid");
    ASSERT_EQ(NVRAgetstrcontrol(q, nvra::kCtrlLogFile, s), 0);
    EXPECT_STREQ(s, "a.log");
    EXPECT_EQ(NVRAdestroyprob(q), 0);
}

TEST_F(Controls, SettersWaitForTheSolveGettersDoNot) {
    p->busy = true;
    EXPECT_EQ(NVRAsetintcontrol(p, NVRA_CONTROL_PRESOLVE, 0), NVRA_RC_BUSY);
    EXPECT_EQ(NVRAsetdblcontrol(p, nvra::kCtrlFeasTol, 1e-6), NVRA_RC_BUSY);
    EXPECT_EQ(NVRAsetstrcontrol(p, nvra::kCtrlLogFile, "x"), NVRA_RC_BUSY);
    EXPECT_EQ(NVRAsetdefaults(p), NVRA_RC_BUSY);
    EXPECT_EQ(NVRAsetdefaultcontrol(p, NVRA_CONTROL_PRESOLVE), NVRA_RC_BUSY);
    NVRAprob q = nullptr;
    ASSERT_EQ(NVRAcreateprob(&q), 0);
    EXPECT_EQ(NVRAcopycontrols(p, q), NVRA_RC_BUSY);
    EXPECT_EQ(NVRAcopycontrols(q, p), 0); // the source may be busy
    int v = -1;
    EXPECT_EQ(NVRAgetintcontrol(p, NVRA_CONTROL_PRESOLVE, &v), 0);
    EXPECT_EQ(v, 1);
    p->busy = false;
    EXPECT_EQ(NVRAdestroyprob(q), 0);
}

// Every row is found by its id (the typed access) and by its name in both cases.
TEST_F(Controls, LookupsFindEveryRow) {
    for (const CaEntry &e : nvra::kRegistry) {
        SCOPED_TRACE(e.name);
        const bool control = e.flags & NVRA_CA_CONTROL;
        std::string upper = e.name;
        for (char &ch : upper)
            ch = static_cast<char>(toupper(ch));
        for (const std::string &name : {std::string(e.name), upper}) {
            int id = -1, type = -1;
            ASSERT_EQ(
                (control ? NVRAgetcontrolinfo : NVRAgetattribinfo)(p, name.c_str(), &id, &type), 0);
            EXPECT_EQ(id, e.id);
            EXPECT_EQ(type, static_cast<int>(e.type) + 1); // NVRA_TYPE_INT, _DOUBLE, _STRING
        }
    }
    int id = -1, type = -1;
    for (const char *name : {"Rows", "row", "rowss", "cols "}) {
        ASSERT_EQ(NVRAgetattribinfo(p, name, &id, &type), 0);
        EXPECT_EQ(id, 0) << name;
    }
    // Ids around the registry's are unknown.
    int v = 0;
    for (int bad : {0, -1, 1000, 1002, 8000, 9999, 20000, 20006, 1 << 30}) {
        EXPECT_EQ(NVRAgetintcontrol(p, bad, &v), NVRA_RC_INVALID);
        EXPECT_EQ(lastError(p), format("Unknown control id %d", bad));
    }
}

} // namespace
