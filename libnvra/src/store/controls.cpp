// controls.cpp: registry lookups, the control and attribute lists, and typed control access.
#include "core/problem.h"

#include "core/env.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

namespace nvra {
namespace {

// ---- indexes over the registry, built at compile time ------------------------------------------

using RowIndex = std::array<int16_t, kRegistrySize>;

template <class Less> constexpr RowIndex sortedRows(Less less) {
    RowIndex rows{};
    for (int i = 0; i < kRegistrySize; ++i)
        rows[i] = static_cast<int16_t>(i);
    std::sort(rows.begin(), rows.end(),
              [&](int16_t a, int16_t b) { return less(kRegistry[a], kRegistry[b]); });
    return rows;
}

constexpr RowIndex kById =
    sortedRows([](const CaEntry &a, const CaEntry &b) { return a.id < b.id; });
constexpr RowIndex kByName = sortedRows([](const CaEntry &a, const CaEntry &b) {
    return std::string_view(a.name) < std::string_view(b.name);
});

constexpr bool idsAndNamesUnique() {
    for (int i = 1; i < kRegistrySize; ++i) {
        if (kRegistry[kById[i - 1]].id == kRegistry[kById[i]].id) return false;
        if (std::string_view(kRegistry[kByName[i - 1]].name) ==
            std::string_view(kRegistry[kByName[i]].name))
            return false;
    }
    return true;
}
static_assert(idsAndNamesUnique(), "controls.def: every id and every name must be unique");

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

// ---- messages ----------------------------------------------------------------------------------

const char *typeWord(CaType t) {
    switch (t) {
    case CaType::Int:
        return "an integer";
    case CaType::Double:
        return "a double";
    case CaType::String:
        return "a string";
    }
    return "an unknown";
}

bool isControl(const CaEntry &e) {
    return e.flags & NVRA_CA_CONTROL;
}

// "Control 8011 (presolve)" / "Attribute 1001 (rows)".
std::string subject(const CaEntry &e) {
    char buf[96];
    snprintf(buf, sizeof buf, "%s %d (%s)", isControl(e) ? "Control" : "Attribute", e.id, e.name);
    return buf;
}

// ---- typed control access ----------------------------------------------------------------------

int nullArgument(NVRAprob prob, const char *function, const char *what) {
    return probError(prob, NVRA_RC_INVALID, "%s: null %s", function, what);
}

int getInt64(NVRAprob prob, int id, int64_t *value, const char *function) {
    if (int rc = enterProb(prob)) return rc;
    if (!value) return nullArgument(prob, function, "value pointer");
    const CaEntry *e = findCaAs(prob, id, CaKind::Control, CaType::Int);
    if (!e) return NVRA_RC_INVALID;
    *value = prob->controls.ints[e->slot];
    return NVRA_RC_OK;
}

int setInt64(NVRAprob prob, int id, int64_t value) {
    if (int rc = enterProbEdit(prob)) return rc;
    const CaEntry *e = findCaAs(prob, id, CaKind::Control, CaType::Int);
    if (!e) return NVRA_RC_INVALID;
    if (value < e->intLower || value > e->intUpper)
        return probError(prob, NVRA_RC_INVALID,
                         "%s: value %" PRId64 " is out of range [%" PRId64 ", %" PRId64 "]",
                         subject(*e).c_str(), value, e->intLower, e->intUpper);
    prob->controls.ints[e->slot] = value;
    return NVRA_RC_OK;
}

// Id and NVRA_TYPE_* of a control (objective controls included) or an attribute by name.
int caInfo(NVRAprob prob, const char *name, int *id, int *type, bool control,
           const char *function) {
    if (int rc = enterProb(prob)) return rc;
    if (!name) return nullArgument(prob, function, "name");
    if (!id || !type) return nullArgument(prob, function, "output pointer");
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

const CaEntry *findCa(int id) {
    const auto *pos = std::lower_bound(kById.begin(), kById.end(), id, [](int16_t row, int key) {
        return kRegistry[row].id < key;
    });
    return pos != kById.end() && kRegistry[*pos].id == id ? &kRegistry[*pos] : nullptr;
}

const CaEntry *findCaByName(const char *name) {
    if (!name) return nullptr;
    // Registry names are short; a longer name cannot match.
    char lower[64];
    const size_t len = strlen(name);
    if (len == 0 || len >= sizeof lower) return nullptr;
    const bool allLower = strspn(name, "abcdefghijklmnopqrstuvwxyz0123456789_") == len;
    const bool allUpper = strspn(name, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") == len;
    if (!allLower && !allUpper) return nullptr;
    for (size_t i = 0; i < len; ++i)
        lower[i] =
            (name[i] >= 'A' && name[i] <= 'Z') ? static_cast<char>(name[i] - 'A' + 'a') : name[i];
    const std::string_view key(lower, len);
    const auto *pos =
        std::lower_bound(kByName.begin(), kByName.end(), key, [](int16_t row, std::string_view k) {
            return std::string_view(kRegistry[row].name) < k;
        });
    return pos != kByName.end() && kRegistry[*pos].name == key ? &kRegistry[*pos] : nullptr;
}

const CaEntry *findCaAs(NVRAprob prob, int id, CaKind kind, CaType type) {
    const bool wantControl = kind == CaKind::Control;
    const CaEntry *e = findCa(id);
    if (!e) {
        probError(prob, NVRA_RC_INVALID, "Unknown %s id %d", wantControl ? "control" : "attribute",
                  id);
        return nullptr;
    }
    if (isControl(*e) != wantControl) {
        probError(prob, NVRA_RC_INVALID, "%s is %s, not %s", subject(*e).c_str(),
                  wantControl ? "an attribute" : "a control",
                  wantControl ? "a control" : "an attribute");
        return nullptr;
    }
    if (e->flags & NVRA_CA_OBJCONTROL) {
        probError(prob, NVRA_RC_INVALID,
                  "%s is an objective control: it is read and set per objective, with the "
                  "objective-control functions",
                  subject(*e).c_str());
        return nullptr;
    }
    if (e->type != type) {
        probError(prob, NVRA_RC_INVALID, "%s is %s %s, not %s one", subject(*e).c_str(),
                  typeWord(e->type), wantControl ? "control" : "attribute", typeWord(type));
        return nullptr;
    }
    return e;
}

void copyOut(std::string_view text, char *value, int maxbytes, int *nbytes) {
    if (nbytes) *nbytes = static_cast<int>(text.size()) + 1;
    if (!value || maxbytes <= 0) return;
    const size_t n = std::min(text.size(), static_cast<size_t>(maxbytes) - 1);
    memcpy(value, text.data(), n);
    value[n] = '\0';
}

std::string numberText(double v) {
    char buf[32];
    for (int precision = 6; precision <= 17; ++precision) {
        snprintf(buf, sizeof buf, "%.*g", precision, v);
        if (strtod(buf, nullptr) == v) break;
    }
    return buf;
}

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
    return getInt64(prob, control, value, "NVRAgetintcontrol64");
}

int NVRAgetintcontrol(NVRAprob prob, int control, int *value) {
    int64_t v = 0;
    if (int rc = getInt64(prob, control, value ? &v : nullptr, "NVRAgetintcontrol")) return rc;
    if (v < INT32_MIN || v > INT32_MAX)
        return probError(prob, NVRA_RC_RANGE,
                         "%s: value %" PRId64
                         " does not fit in a 32-bit integer: use NVRAgetintcontrol64",
                         subject(*findCa(control)).c_str(), v);
    *value = static_cast<int>(v);
    return NVRA_RC_OK;
}

int NVRAsetintcontrol(NVRAprob prob, int control, int value) {
    return setInt64(prob, control, value);
}
int NVRAsetintcontrol64(NVRAprob prob, int control, int64_t value) {
    return setInt64(prob, control, value);
}

int NVRAgetdblcontrol(NVRAprob prob, int control, double *value) {
    if (int rc = enterProb(prob)) return rc;
    if (!value) return nullArgument(prob, "NVRAgetdblcontrol", "value pointer");
    const CaEntry *e = findCaAs(prob, control, CaKind::Control, CaType::Double);
    if (!e) return NVRA_RC_INVALID;
    *value = prob->controls.dbls[e->slot];
    return NVRA_RC_OK;
}

// Values at or beyond +-1e20 (infinities included) are stored as +-1e20, then checked against
// the bounds (a control that allows infinity has the bound 1e20).
int NVRAsetdblcontrol(NVRAprob prob, int control, double value) {
    if (int rc = enterProbEdit(prob)) return rc;
    const CaEntry *e = findCaAs(prob, control, CaKind::Control, CaType::Double);
    if (!e) return NVRA_RC_INVALID;
    const double v = std::clamp(value, -kInf, kInf); // NaN stays NaN and fails below
    if (!(v >= e->dblLower && v <= e->dblUpper))
        return probError(prob, NVRA_RC_INVALID, "%s: value %s is out of range [%s, %s]",
                         subject(*e).c_str(), numberText(value).c_str(),
                         numberText(e->dblLower).c_str(), numberText(e->dblUpper).c_str());
    prob->controls.dbls[e->slot] = v;
    return NVRA_RC_OK;
}

int NVRAgetstringcontrol(NVRAprob prob, int control, char *value, int maxbytes, int *nbytes) {
    if (int rc = enterProb(prob)) return rc;
    const CaEntry *e = findCaAs(prob, control, CaKind::Control, CaType::String);
    if (!e) return NVRA_RC_INVALID;
    copyOut(prob->controls.strs[e->slot], value, maxbytes, nbytes);
    return NVRA_RC_OK;
}

int NVRAgetstrcontrol(NVRAprob prob, int control, char *value) {
    if (int rc = enterProb(prob)) return rc;
    if (!value) return nullArgument(prob, "NVRAgetstrcontrol", "value buffer");
    return NVRAgetstringcontrol(prob, control, value, NVRA_MAXSTRINGLENGTH, nullptr);
}

int NVRAsetstrcontrol(NVRAprob prob, int control, const char *value) {
    if (int rc = enterProbEdit(prob)) return rc;
    const CaEntry *e = findCaAs(prob, control, CaKind::Control, CaType::String);
    if (!e) return NVRA_RC_INVALID;
    if (!value) return probError(prob, NVRA_RC_INVALID, "%s: null value", subject(*e).c_str());
    // A value handed to the engine must fit its string options.
    const size_t limit = e->highsOption ? kEngineStringLength : NVRA_MAXSTRINGLENGTH;
    const size_t len = strnlen(value, limit);
    if (len >= limit)
        return probError(prob, NVRA_RC_INVALID,
                         "%s: the value is too long: at most %zu bytes are allowed",
                         subject(*e).c_str(), limit - 1);
    try {
        prob->controls.strs[e->slot].assign(value, len);
    } catch (const std::bad_alloc &) {
        return probError(prob, NVRA_RC_NOMEM, "%s: out of memory", subject(*e).c_str());
    }
    return NVRA_RC_OK;
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
    const CaEntry *e = findCa(control);
    // Any type will do: look the id up as the control of its own type.
    if (!findCaAs(prob, control, CaKind::Control, e ? e->type : CaType::Int))
        return NVRA_RC_INVALID;
    switch (e->type) {
    case CaType::Int:
        prob->controls.ints[e->slot] = e->intDefault;
        break;
    case CaType::Double:
        prob->controls.dbls[e->slot] = e->dblDefault;
        break;
    case CaType::String:
        try {
            prob->controls.strs[e->slot] = e->strDefault;
        } catch (const std::bad_alloc &) {
            return probError(prob, NVRA_RC_NOMEM, "%s: out of memory", subject(*e).c_str());
        }
        break;
    }
    return NVRA_RC_OK;
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
