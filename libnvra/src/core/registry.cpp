// registry.cpp: lookups in a registry and typed access to control values (see registry.h).
#include "core/registry.h"

#include "core/model.h"
#include "core/problem.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace nvra {
namespace {

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

int nullArgument(NVRAprob prob, const char *fn, const char *what) {
    return probError(prob, NVRA_RC_INVALID, "%s: null %s", fn, what);
}

} // namespace

const CaEntry *findCa(const Registry &reg, int id) {
    const int16_t *end = reg.byId + reg.size;
    const int16_t *pos = std::lower_bound(
        reg.byId, end, id, [&](int16_t row, int key) { return reg.rows[row].id < key; });
    return pos != end && reg.rows[*pos].id == id ? &reg.rows[*pos] : nullptr;
}

const CaEntry *findCaByName(const Registry &reg, const char *name) {
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
    const int16_t *end = reg.byName + reg.size;
    const int16_t *pos =
        std::lower_bound(reg.byName, end, key, [&](int16_t row, std::string_view k) {
            return std::string_view(reg.rows[row].name) < k;
        });
    return pos != end && reg.rows[*pos].name == key ? &reg.rows[*pos] : nullptr;
}

std::string caSubject(const CaEntry &e) {
    char buf[96];
    snprintf(buf, sizeof buf, "%s %d (%s)", isControl(e) ? "Control" : "Attribute", e.id, e.name);
    return buf;
}

const CaEntry *findCaAs(NVRAprob prob, const Registry &reg, int id, CaKind kind, CaType type) {
    const bool wantControl = kind == CaKind::Control;
    const CaEntry *e = findCa(reg, id);
    if (!e) {
        probError(prob, NVRA_RC_INVALID, "Unknown %s id %d", wantControl ? "control" : "attribute",
                  id);
        return nullptr;
    }
    if (isControl(*e) != wantControl) {
        probError(prob, NVRA_RC_INVALID, "%s is %s, not %s", caSubject(*e).c_str(),
                  wantControl ? "an attribute" : "a control",
                  wantControl ? "a control" : "an attribute");
        return nullptr;
    }
    if (e->flags & NVRA_CA_OBJCONTROL) {
        probError(prob, NVRA_RC_INVALID,
                  "%s is an objective control: it is read and set per objective, with the "
                  "objective-control functions",
                  caSubject(*e).c_str());
        return nullptr;
    }
    if (e->type != type) {
        probError(prob, NVRA_RC_INVALID, "%s is %s %s, not %s one", caSubject(*e).c_str(),
                  typeWord(e->type), wantControl ? "control" : "attribute", typeWord(type));
        return nullptr;
    }
    return e;
}

int readIntControl(NVRAprob prob, const Registry &reg, const ControlValues &c, int id,
                   int64_t *value, const char *fn) {
    if (!value) return nullArgument(prob, fn, "value pointer");
    const CaEntry *e = findCaAs(prob, reg, id, CaKind::Control, CaType::Int);
    if (!e) return NVRA_RC_INVALID;
    *value = c.ints[e->slot];
    return NVRA_RC_OK;
}

int writeIntControl(NVRAprob prob, const Registry &reg, ControlValues &c, int id, int64_t value) {
    const CaEntry *e = findCaAs(prob, reg, id, CaKind::Control, CaType::Int);
    if (!e) return NVRA_RC_INVALID;
    if (value < e->intLower || value > e->intUpper)
        return probError(prob, NVRA_RC_INVALID,
                         "%s: value %" PRId64 " is out of range [%" PRId64 ", %" PRId64 "]",
                         caSubject(*e).c_str(), value, e->intLower, e->intUpper);
    c.ints[e->slot] = value;
    return NVRA_RC_OK;
}

int readDblControl(NVRAprob prob, const Registry &reg, const ControlValues &c, int id,
                   double *value, const char *fn) {
    if (!value) return nullArgument(prob, fn, "value pointer");
    const CaEntry *e = findCaAs(prob, reg, id, CaKind::Control, CaType::Double);
    if (!e) return NVRA_RC_INVALID;
    *value = c.dbls[e->slot];
    return NVRA_RC_OK;
}

// Values at or beyond +-1e20 (infinities included) are stored as +-1e20, then checked against
// the bounds (a control that allows infinity has the bound 1e20).
int writeDblControl(NVRAprob prob, const Registry &reg, ControlValues &c, int id, double value) {
    const CaEntry *e = findCaAs(prob, reg, id, CaKind::Control, CaType::Double);
    if (!e) return NVRA_RC_INVALID;
    const double v = std::clamp(value, -kInf, kInf); // NaN stays NaN and fails below
    if (!(v >= e->dblLower && v <= e->dblUpper))
        return probError(prob, NVRA_RC_INVALID, "%s: value %s is out of range [%s, %s]",
                         caSubject(*e).c_str(), numberText(value).c_str(),
                         numberText(e->dblLower).c_str(), numberText(e->dblUpper).c_str());
    c.dbls[e->slot] = v;
    return NVRA_RC_OK;
}

int readStrControl(NVRAprob prob, const Registry &reg, const ControlValues &c, int id, char *value,
                   int maxbytes, int *nbytes) {
    const CaEntry *e = findCaAs(prob, reg, id, CaKind::Control, CaType::String);
    if (!e) return NVRA_RC_INVALID;
    copyOut(c.strs[e->slot], value, maxbytes, nbytes);
    return NVRA_RC_OK;
}

int writeStrControl(NVRAprob prob, const Registry &reg, ControlValues &c, int id,
                    const char *value) {
    const CaEntry *e = findCaAs(prob, reg, id, CaKind::Control, CaType::String);
    if (!e) return NVRA_RC_INVALID;
    if (!value) return probError(prob, NVRA_RC_INVALID, "%s: null value", caSubject(*e).c_str());
    // A value handed to the engine must fit its string options.
    const size_t limit = e->highsOption ? kEngineStringLength : NVRA_MAXSTRINGLENGTH;
    const size_t len = strnlen(value, limit);
    if (len >= limit)
        return probError(prob, NVRA_RC_INVALID,
                         "%s: the value is too long: at most %zu bytes are allowed",
                         caSubject(*e).c_str(), limit - 1);
    try {
        c.strs[e->slot].assign(value, len);
    } catch (const std::bad_alloc &) {
        return probError(prob, NVRA_RC_NOMEM, "%s: out of memory", caSubject(*e).c_str());
    }
    return NVRA_RC_OK;
}

int resetControl(NVRAprob prob, const Registry &reg, ControlValues &c, int id) {
    const CaEntry *e = findCa(reg, id);
    // Any type will do: look the id up as the control of its own type.
    if (!findCaAs(prob, reg, id, CaKind::Control, e ? e->type : CaType::Int))
        return NVRA_RC_INVALID;
    switch (e->type) {
    case CaType::Int:
        c.ints[e->slot] = e->intDefault;
        break;
    case CaType::Double:
        c.dbls[e->slot] = e->dblDefault;
        break;
    case CaType::String:
        try {
            c.strs[e->slot] = e->strDefault;
        } catch (const std::bad_alloc &) {
            return probError(prob, NVRA_RC_NOMEM, "%s: out of memory", caSubject(*e).c_str());
        }
        break;
    }
    return NVRA_RC_OK;
}

int narrowToInt(NVRAprob prob, const CaEntry &e, int64_t v, int *out, const char *wideFn) {
    if (v < INT32_MIN || v > INT32_MAX)
        return probError(prob, NVRA_RC_RANGE,
                         "%s: value %" PRId64 " does not fit in a 32-bit integer: use %s",
                         caSubject(e).c_str(), v, wideFn);
    *out = static_cast<int>(v);
    return NVRA_RC_OK;
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
