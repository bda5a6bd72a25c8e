// The control and attribute registry as data: unique ids and names, flags consistent with the
// types, defaults within bounds, the ids and names the module relies on, HiGHS options that
// exist.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "core/controls.h"
#include "highs_c_api.h"

namespace {

using nvra::CaEntry;
using nvra::CaType;
using nvra::kRegistry;

const CaEntry *byId(int id) {
    for (const CaEntry &e : kRegistry)
        if (e.id == id) return &e;
    return nullptr;
}

const CaEntry *byName(const char *name) {
    for (const CaEntry &e : kRegistry)
        if (strcmp(e.name, name) == 0) return &e;
    return nullptr;
}

int typeBit(CaType t) {
    return t == CaType::Int ? NVRA_CA_INT : t == CaType::Double ? NVRA_CA_DOUBLE : NVRA_CA_STRING;
}

TEST(Registry, IdsAndNamesAreUniqueAndLowerCase) {
    std::set<int> ids;
    std::set<std::string> names;
    for (const CaEntry &e : kRegistry) {
        EXPECT_GT(e.id, 0) << e.name;
        EXPECT_TRUE(ids.insert(e.id).second) << "duplicate id " << e.id;
        ASSERT_NE(e.name, nullptr);
        EXPECT_TRUE(names.insert(e.name).second) << "duplicate name " << e.name;
        EXPECT_GT(strlen(e.name), 0u);
        EXPECT_EQ(strspn(e.name, "abcdefghijklmnopqrstuvwxyz0123456789_"), strlen(e.name))
            << e.name;
    }
}

TEST(Registry, FlagsAgreeWithTypeAndKind) {
    for (const CaEntry &e : kRegistry) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.flags & 7, typeBit(e.type)); // exactly the one type bit
        const bool control = e.flags & NVRA_CA_CONTROL;
        const bool objControl = e.flags & NVRA_CA_OBJCONTROL;
        if (e.flags & NVRA_CA_PERSOLVE) {
            EXPECT_FALSE(control);
        }
        if (e.flags & NVRA_CA_NOEFFECT) {
            EXPECT_TRUE(control);
            EXPECT_EQ(e.highsOption, nullptr);
        }
        if (e.flags & NVRA_CA_ENUM) {
            EXPECT_EQ(e.type, CaType::Int);
        }
        if (objControl) {
            EXPECT_TRUE(control);
            EXPECT_GE(e.id, 20001);
            EXPECT_LE(e.id, 20005);
        }
        if (!control) {
            EXPECT_EQ(e.slot, -1);
            EXPECT_EQ(e.highsOption, nullptr);
        }
    }
}

TEST(Registry, ControlSlotsAreDenseAndDefaultsWithinBounds) {
    std::set<int> slots[3];
    nvra::ControlValues values;
    for (const CaEntry &e : kRegistry) {
        SCOPED_TRACE(e.name);
        if (!(e.flags & NVRA_CA_CONTROL)) continue;
        if (e.flags & NVRA_CA_OBJCONTROL) {
            EXPECT_EQ(e.slot, -1);
        } else {
            EXPECT_TRUE(slots[static_cast<int>(e.type)].insert(e.slot).second);
        }
        switch (e.type) {
        case CaType::Int:
            EXPECT_LE(e.intLower, e.intDefault);
            EXPECT_LE(e.intDefault, e.intUpper);
            if (e.slot >= 0) {
                EXPECT_EQ(values.ints[e.slot], e.intDefault);
            }
            break;
        case CaType::Double:
            EXPECT_LE(e.dblLower, e.dblDefault);
            EXPECT_LE(e.dblDefault, e.dblUpper);
            if (e.slot >= 0) {
                EXPECT_EQ(values.dbls[e.slot], e.dblDefault);
            }
            break;
        case CaType::String:
            ASSERT_NE(e.strDefault, nullptr);
            EXPECT_LT(strlen(e.strDefault), static_cast<size_t>(NVRA_MAXSTRINGLENGTH));
            if (e.slot >= 0) {
                EXPECT_EQ(values.strs[e.slot], e.strDefault);
            }
            break;
        }
    }
    // Slots 0..count-1 of each type, no gaps.
    EXPECT_EQ(slots[0].size(), static_cast<size_t>(nvra::intSlot::kCount));
    EXPECT_EQ(slots[1].size(), static_cast<size_t>(nvra::dblSlot::kCount));
    EXPECT_EQ(slots[2].size(), static_cast<size_t>(nvra::strSlot::kCount));
    for (const auto &s : slots)
        if (!s.empty()) {
            EXPECT_EQ(*s.rbegin(), static_cast<int>(s.size()) - 1);
        }
}

// Ids whose role the module fixes, with the name and type the registry gives them.
struct Known {
    int id;
    const char *name;
    CaType type;
    bool control;
};
const Known kKnown[] = {
    {1001, "rows", CaType::Int, false},        {1004, "sets", CaType::Int, false},
    {1010, "lpstatus", CaType::Int, false},    {1011, "mipstatus", CaType::Int, false},
    {1018, "cols", CaType::Int, false},        {1019, nullptr, CaType::Int, false},
    {1026, nullptr, CaType::Int, false},       {1028, nullptr, CaType::Int, false},
    {1030, nullptr, CaType::Int, false},       {1032, nullptr, CaType::Int, false},
    {1053, "solstatus", CaType::Int, false},   {1124, nullptr, CaType::Int, false},
    {1158, nullptr, CaType::Int, false},       {1194, nullptr, CaType::Int, false},
    {1214, nullptr, CaType::Int, false},       {1268, nullptr, CaType::Int, false},
    {1325, nullptr, CaType::Int, false},       {1327, nullptr, CaType::Int, false},
    {1394, "solvestatus", CaType::Int, false}, {1397, nullptr, CaType::Int, false},
    {1399, nullptr, CaType::Int, false},       {1408, nullptr, CaType::Int, false},
    {1409, nullptr, CaType::Int, false},       {2001, nullptr, CaType::Double, false},
    {2003, nullptr, CaType::Double, false},    {2008, nullptr, CaType::Double, false},
    {8011, "presolve", CaType::Int, true},     {8035, nullptr, CaType::Int, true},
    {20001, "priority", CaType::Int, true},    {20002, "weight", CaType::Double, true},
    {20003, "abstol", CaType::Double, true},   {20004, "reltol", CaType::Double, true},
    {20005, "rhs", CaType::Double, true},
};

TEST(Registry, ModuleIdsHaveTheirRoles) {
    for (const Known &k : kKnown) {
        SCOPED_TRACE(k.id);
        const CaEntry *e = byId(k.id);
        ASSERT_NE(e, nullptr);
        if (k.name) {
            EXPECT_STREQ(e->name, k.name);
        }
        EXPECT_EQ(e->type, k.type);
        EXPECT_EQ((e->flags & NVRA_CA_CONTROL) != 0, k.control);
    }
}

TEST(Registry, EverydayNamesExist) {
    const char *controls[] = {"presolve",     "feastol",    "opttol",    "miptol",
                              "miprelstop",   "mipabsstop", "timelimit", "lpiterlimit",
                              "bariterlimit", "maxnodes",   "threads",   "seed",
                              "defaultalg",   "outputlog"};
    for (const char *name : controls) {
        const CaEntry *e = byName(name);
        ASSERT_NE(e, nullptr) << name;
        EXPECT_TRUE(e->flags & NVRA_CA_CONTROL) << name;
        EXPECT_FALSE(e->flags & NVRA_CA_NOEFFECT) << name;
    }
    const char *attributes[] = {"rows",      "cols",      "elems",      "bincols",     "intcols",
                                "sets",      "qelems",    "indicators", "objval",      "lpobjval",
                                "mipobjval", "bestbound", "mipgap",     "simplexiter", "nodes",
                                "solvetime", "lpstatus",  "mipstatus",  "solvestatus", "solstatus"};
    for (const char *name : attributes) {
        const CaEntry *e = byName(name);
        ASSERT_NE(e, nullptr) << name;
        EXPECT_FALSE(e->flags & NVRA_CA_CONTROL) << name;
    }
}

TEST(Registry, HighsOptionsExist) {
    void *h = Highs_create();
    ASSERT_NE(h, nullptr);
    for (const CaEntry &e : kRegistry) {
        if (!e.highsOption) continue;
        HighsInt type = -1;
        EXPECT_EQ(Highs_getOptionType(h, e.highsOption, &type), kHighsStatusOk)
            << e.name << " -> " << e.highsOption;
    }
    Highs_destroy(h);
}

} // namespace
