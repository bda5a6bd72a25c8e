// controls.cpp: the optimizer's control and attribute lists, lookups by name, and typed control
// access (the checks themselves are core/registry.cpp's).
#include "core/problem.h"

#include "core/env.h"

#include <algorithm>
#include <array>
#include <new>

namespace nvra {
namespace {

// ---- the lists of NVRAgetcalist_c/_d: every entry but the objective controls ------------------

constexpr bool listed(const CaEntry &e) {
    return !(e.flags & NVRA_CA_OBJCONTROL);
}

constexpr int kListedCount = [] {
    int n = 0;
    for (const CaEntry &e : kRegistry)
        n += listed(e);
    return n;
}();

// One column of the list in registry order, followed by the terminating entry.
template <class T, class Field> constexpr auto listColumn(Field field, T terminator) {
    std::array<T, kListedCount + 1> column{};
    int n = 0;
    for (const CaEntry &e : kRegistry)
        if (listed(e)) column[n++] = field(e);
    column[n] = terminator;
    return column;
}

constexpr auto kListIds = listColumn<int>([](const CaEntry &e) { return e.id; }, 0);
constexpr auto kListNames =
    listColumn<const char *>([](const CaEntry &e) { return e.name; }, nullptr);
constexpr auto kListFlags = listColumn<int>([](const CaEntry &e) { return e.flags; }, 0);

void handOutList(int *count, const int **ids, const char *const **names, const int **flags) {
    if (count) *count = kListedCount;
    if (ids) *ids = kListIds.data();
    if (names) *names = kListNames.data();
    if (flags) *flags = kListFlags.data();
}

bool isControl(const CaEntry &e) {
    return e.flags & NVRA_CA_CONTROL;
}

// Id and NVRA_TYPE_* of a control (objective controls included) or an attribute by name.
int caInfo(NVRAprob prob, const char *name, int *id, int *type, bool control,
           const char *function) {
    if (int rc = enterProb(prob)) return rc;
    if (!name) return probError(prob, NVRA_RC_INVALID, "%s: null name", function);
    if (!id || !type) return probError(prob, NVRA_RC_INVALID, "%s: null output pointer", function);
    const CaEntry *e = findCaByName(name);
    if (!e || isControl(*e) != control) {
        *id = 0;
        *type = NVRA_TYPE_NOTDEFINED;
        return NVRA_RC_OK;
    }
    *id = e->id;
    *type = e->type == CaType::Int      ? NVRA_TYPE_INT
            : e->type == CaType::Double ? NVRA_TYPE_DOUBLE
                                        : NVRA_TYPE_STRING;
    return NVRA_RC_OK;
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAgetcalist_c(NVRAprob prob, int *count, const int **ids, const char *const **names,
                    const int **flags) {
    if (int rc = enterProb(prob)) return rc;
    handOutList(count, ids, names, flags);
    return NVRA_RC_OK;
}

int NVRAgetcalist_d(int *count, const int **ids, const char *const **names, const int **flags) {
    if (int rc = requireStarted()) return rc;
    handOutList(count, ids, names, flags);
    return NVRA_RC_OK;
}

int NVRAgetcontrolinfo(NVRAprob prob, const char *name, int *id, int *type) {
    return caInfo(prob, name, id, type, true, "NVRAgetcontrolinfo");
}
int NVRAgetattribinfo(NVRAprob prob, const char *name, int *id, int *type) {
    return caInfo(prob, name, id, type, false, "NVRAgetattribinfo");
}

int NVRAgetintcontrol64(NVRAprob prob, int control, int64_t *value) {
    if (int rc = enterProb(prob)) return rc;
    return readIntControl(prob, kOptimizerRegistry, prob->controls, control, value,
                          "NVRAgetintcontrol64");
}

int NVRAgetintcontrol(NVRAprob prob, int control, int *value) {
    if (int rc = enterProb(prob)) return rc;
    int64_t v = 0;
    if (int rc = readIntControl(prob, kOptimizerRegistry, prob->controls, control,
                                value ? &v : nullptr, "NVRAgetintcontrol"))
        return rc;
    return narrowToInt(prob, *findCa(control), v, value, "NVRAgetintcontrol64");
}

int NVRAsetintcontrol(NVRAprob prob, int control, int value) {
    return NVRAsetintcontrol64(prob, control, value);
}
int NVRAsetintcontrol64(NVRAprob prob, int control, int64_t value) {
    if (int rc = enterProbEdit(prob)) return rc;
    return writeIntControl(prob, kOptimizerRegistry, prob->controls, control, value);
}

int NVRAgetdblcontrol(NVRAprob prob, int control, double *value) {
    if (int rc = enterProb(prob)) return rc;
    return readDblControl(prob, kOptimizerRegistry, prob->controls, control, value,
                          "NVRAgetdblcontrol");
}

int NVRAsetdblcontrol(NVRAprob prob, int control, double value) {
    if (int rc = enterProbEdit(prob)) return rc;
    return writeDblControl(prob, kOptimizerRegistry, prob->controls, control, value);
}

int NVRAgetstringcontrol(NVRAprob prob, int control, char *value, int maxbytes, int *nbytes) {
    if (int rc = enterProb(prob)) return rc;
    return readStrControl(prob, kOptimizerRegistry, prob->controls, control, value, maxbytes,
                          nbytes);
}

int NVRAgetstrcontrol(NVRAprob prob, int control, char *value) {
    if (int rc = enterProb(prob)) return rc;
    if (!value) return probError(prob, NVRA_RC_INVALID, "NVRAgetstrcontrol: null value buffer");
    return NVRAgetstringcontrol(prob, control, value, NVRA_MAXSTRINGLENGTH, nullptr);
}

int NVRAsetstrcontrol(NVRAprob prob, int control, const char *value) {
    if (int rc = enterProbEdit(prob)) return rc;
    return writeStrControl(prob, kOptimizerRegistry, prob->controls, control, value);
}

int NVRAsetdefaults(NVRAprob prob) {
    if (int rc = enterProbEdit(prob)) return rc;
    try {
        prob->controls = ControlValues();
    } catch (const std::bad_alloc &) {
        return probError(prob, NVRA_RC_NOMEM, "NVRAsetdefaults: out of memory");
    }
    return NVRA_RC_OK;
}

int NVRAsetdefaultcontrol(NVRAprob prob, int control) {
    if (int rc = enterProbEdit(prob)) return rc;
    return resetControl(prob, kOptimizerRegistry, prob->controls, control);
}

int NVRAcopycontrols(NVRAprob dest, NVRAprob src) {
    if (int rc = enterProbEdit(dest)) return rc;
    if (checkProb(src))
        return probError(dest, NVRA_RC_MISUSE,
                         "NVRAcopycontrols: the source problem handle is not valid");
    try {
        ControlValues copy = src->controls; // complete before dest changes
        dest->controls = std::move(copy);
    } catch (const std::bad_alloc &) {
        return probError(dest, NVRA_RC_NOMEM, "NVRAcopycontrols: out of memory");
    }
    return NVRA_RC_OK;
}

} // extern "C"
