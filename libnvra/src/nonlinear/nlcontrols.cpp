// nlcontrols.cpp: the nonlinear solver's control and attribute lists, and typed access to its
// controls and attributes (the checks are core/registry.cpp's).
#include "nonlinear/nlprob.h"

#include "core/env.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace nvra::nl {
namespace {

// ---- the two lists: header entry, the entries of the list in registry order, terminator ------

constexpr bool inIpmList(const CaEntry &e) {
    return e.id >= kIpmListFirstId;
}

template <bool Ipm> constexpr int listedCount() {
    int n = 0;
    for (const CaEntry &e : kNlRegistryRows)
        n += inIpmList(e) == Ipm;
    return n;
}

template <bool Ipm> struct List {
    static constexpr int N = listedCount<Ipm>();
    template <class T, class Field> static constexpr auto column(Field field, T blank) {
        std::array<T, N + 2> c{};
        c[0] = blank;
        int n = 1;
        for (const CaEntry &e : kNlRegistryRows)
            if (inIpmList(e) == Ipm) c[n++] = field(e);
        c[n] = blank;
        return c;
    }
    static constexpr auto ids = column<int>([](const CaEntry &e) { return e.id; }, 0);
    static constexpr auto names = column<const char *>([](const CaEntry &e) { return e.name; }, "");
    static constexpr auto flags = column<int>([](const CaEntry &e) { return nslpListFlags(e); }, 0);
};

template <bool Ipm>
int handOut(NSLPprob nlprob, const char *fn, int *count, const int **ids, const char *const **names,
            const int **flags) {
    return nlQuery(nlprob, fn, [&](NSLPprob) -> int {
        if (count) *count = List<Ipm>::N;
        if (ids) *ids = List<Ipm>::ids.data();
        if (names) *names = List<Ipm>::names.data();
        if (flags) *flags = List<Ipm>::flags.data();
        return 0;
    });
}

// ---- attributes
// ----------------------------------------------------------------------------------

int64_t countCells(const NlData &d, bool withColumn) {
    int64_t n = 0;
    int lastRow = INT32_MIN;
    for (const auto &[row, col] : d.coefs.cells()) {
        if (withColumn)
            n += col != NSLP_NOCOLUMN;
        else if (col == NSLP_NOCOLUMN && row != lastRow)
            ++n, lastRow = row;
    }
    return n;
}

int64_t nonlinearColumns(const NlData &d, int ncols) {
    std::vector<uint8_t> seen(static_cast<size_t>(ncols), 0);
    for (const Piece &p : d.coefs.pieces) {
        if (p.row == Coefficients::kDead) continue;
        if (p.col >= 0) seen[p.col] = 1;
        for (int64_t k = p.begin; k < p.begin + p.length; ++k)
            if (d.coefs.type[k] == NSLP_TOK_COL) seen[static_cast<size_t>(d.coefs.value[k])] = 1;
    }
    int64_t n = 0;
    for (uint8_t s : seen)
        n += s;
    return n;
}

bool solved(NSLPprob nl) {
    return !nl->prob->solution.solves.empty();
}

int64_t intAttribute(NSLPprob nl, int id) {
    const Model &m = nl->prob->model;
    switch (id) {
    case kNlAttrRows:
        return m.numRows();
    case kNlAttrCols:
        return m.numCols();
    case kNlAttrEqualsColumn:
    case kIpmAttrEqualsColumn:
        return -1;
    case kNlAttrCoefs:
        return countCells(nl->data, true);
    case kNlAttrFormulaRows:
        return countCells(nl->data, false);
    case kNlAttrStatus:
        return nl->prob->solution.current().nlpStatus;
    case kNlAttrState:
        return nl->constructed ? NSLP_STATE_CONSTRUCTED : 0;
    case kNlAttrIterations:
        return nl->prob->solution.current().slpIter;
    case kNlAttrUserFuncs:
        return static_cast<int64_t>(nl->data.userFunctions.size());
    case kNlAttrTolSets:
        return static_cast<int64_t>(nl->data.tolsets.size());
    case kNlAttrMsJobs:
        return static_cast<int64_t>(nl->data.jobs.size());
    case kNlAttrNonlinearCols:
        return nonlinearColumns(nl->data, m.numCols());
    case kNlAttrTokens:
        return nl->data.coefs.liveTokens();
    case kNlAttrEvaluations:
        return nl->counters.values.load();
    case kNlAttrGradients:
        return nl->counters.gradients.load();
    case kNlAttrHessians:
        return nl->counters.hessians.load();
    case kNlAttrViolations:
        return nl->violations;
    default: // kIpmAttrIterations
        return nl->prob->solution.current().barIter;
    }
}

double dblAttribute(NSLPprob nl, int id) {
    switch (id) {
    case kNlAttrObjVal:
        return solved(nl) ? nl->prob->solution.current().objVal : kInf * nl->prob->model.sense;
    case kNlAttrMaxViolation:
        return nl->maxViolation;
    default: // kNlAttrSumInfeas
        return nl->sumInfeas;
    }
}

int setObjSense(NSLPprob nl, double value) {
    if (value != 1.0 && value != -1.0)
        return nlError(nl, NVRA_RC_INVALID,
                       "Control %d (nlp_objsense): value %s is not 1 (minimise) or -1 (maximise)",
                       kNlCtrlObjSense, numberText(value).c_str());
    nl->prob->model.sense = static_cast<int>(value);
    nl->changed();
    return 0;
}

} // namespace
} // namespace nvra::nl

using namespace nvra;
using namespace nvra::nl;

extern "C" {

int NSLPgetcalist(NSLPprob nlprob, int *count, const int **ids, const char *const **names,
                  const int **flags) {
    return handOut<false>(nlprob, "NSLPgetcalist", count, ids, names, flags);
}

int NSLPgetIPMcalist(NSLPprob nlprob, int *count, const int **ids, const char *const **names,
                     const int **flags) {
    return handOut<true>(nlprob, "NSLPgetIPMcalist", count, ids, names, flags);
}

int NSLPcontrolcode(int *id, const char *name, int *flags) {
    if (int rc = requireStarted()) return rc;
    if (!id || !name || !flags)
        return setGlobalError(NVRA_RC_INVALID, "NSLPcontrolcode: null argument");
    const CaEntry *e = findCaByName(kNlRegistry, name);
    *id = e ? e->id : 0;
    *flags = e ? nslpListFlags(*e) : 0;
    return NVRA_RC_OK;
}

int NSLPgetintcontrol(NSLPprob nlprob, int control, int *value) {
    return nlQuery(nlprob, "NSLPgetintcontrol", [&](NSLPprob nl) -> int {
        int64_t v = 0;
        if (int rc = readIntControl(nl->prob, kNlRegistry, nl->controls, control,
                                    value ? &v : nullptr, "NSLPgetintcontrol"))
            return rc;
        *value = static_cast<int>(v); // the bounds of every integer control fit
        return 0;
    });
}

int NSLPsetintcontrol(NSLPprob nlprob, int control, int value) {
    return nlSettings(nlprob, "NSLPsetintcontrol", [&](NSLPprob nl) -> int {
        return writeIntControl(nl->prob, kNlRegistry, nl->controls, control, value);
    });
}

int NSLPgetdblcontrol(NSLPprob nlprob, int control, double *value) {
    return nlQuery(nlprob, "NSLPgetdblcontrol", [&](NSLPprob nl) -> int {
        if (int rc = readDblControl(nl->prob, kNlRegistry, nl->controls, control, value,
                                    "NSLPgetdblcontrol"))
            return rc;
        if (control == kNlCtrlObjSense) *value = nl->prob->model.sense;
        return 0;
    });
}

int NSLPsetdblcontrol(NSLPprob nlprob, int control, double value) {
    return nlSettings(nlprob, "NSLPsetdblcontrol", [&](NSLPprob nl) -> int {
        if (control == kNlCtrlObjSense) return setObjSense(nl, value);
        return writeDblControl(nl->prob, kNlRegistry, nl->controls, control, value);
    });
}

int NSLPgetstrcontrol(NSLPprob nlprob, int control, char *value) {
    return nlQuery(nlprob, "NSLPgetstrcontrol", [&](NSLPprob nl) -> int {
        if (!value) return nlError(nl, NVRA_RC_INVALID, "NSLPgetstrcontrol: null value buffer");
        return readStrControl(nl->prob, kNlRegistry, nl->controls, control, value,
                              NVRA_MAXSTRINGLENGTH, nullptr);
    });
}

int NSLPsetstrcontrol(NSLPprob nlprob, int control, const char *value) {
    return nlSettings(nlprob, "NSLPsetstrcontrol", [&](NSLPprob nl) -> int {
        return writeStrControl(nl->prob, kNlRegistry, nl->controls, control, value);
    });
}

// The objective sense (a view of the optimizer problem's) is not a stored setting: it is left
// as it is by NSLPsetdefaults, NSLPsetdefaultcontrol and NSLPcopycontrols.
int NSLPsetdefaults(NSLPprob nlprob) {
    return nlSettings(nlprob, "NSLPsetdefaults", [&](NSLPprob nl) -> int {
        nl->controls = ControlValues(kNlRegistry);
        return 0;
    });
}

int NSLPsetdefaultcontrol(NSLPprob nlprob, int control) {
    return nlSettings(nlprob, "NSLPsetdefaultcontrol", [&](NSLPprob nl) -> int {
        return resetControl(nl->prob, kNlRegistry, nl->controls, control);
    });
}

int NSLPgetintattrib(NSLPprob nlprob, int attrib, int *value) {
    return nlQuery(nlprob, "NSLPgetintattrib", [&](NSLPprob nl) -> int {
        const CaEntry *e = findCaAs(nl->prob, kNlRegistry, attrib, CaKind::Attribute, CaType::Int);
        if (!e) return NVRA_RC_INVALID;
        if (!value) return nlError(nl, NVRA_RC_INVALID, "NSLPgetintattrib: null value pointer");
        // Counts beyond the 32-bit range (evaluations over a long life) saturate.
        *value = static_cast<int>(std::min<int64_t>(intAttribute(nl, attrib), INT32_MAX));
        return 0;
    });
}

int NSLPgetdblattrib(NSLPprob nlprob, int attrib, double *value) {
    return nlQuery(nlprob, "NSLPgetdblattrib", [&](NSLPprob nl) -> int {
        if (!findCaAs(nl->prob, kNlRegistry, attrib, CaKind::Attribute, CaType::Double))
            return NVRA_RC_INVALID;
        if (!value) return nlError(nl, NVRA_RC_INVALID, "NSLPgetdblattrib: null value pointer");
        *value = dblAttribute(nl, attrib);
        return 0;
    });
}

int NSLPgetstrattrib(NSLPprob nlprob, int attrib, char *) {
    return nlQuery(nlprob, "NSLPgetstrattrib", [&](NSLPprob nl) -> int {
        // The registry has no string attributes: this reports the id as unknown or mistyped.
        findCaAs(nl->prob, kNlRegistry, attrib, CaKind::Attribute, CaType::String);
        return NVRA_RC_INVALID;
    });
}

int NSLPgetptrattrib(NSLPprob nlprob, int attrib, void **value) {
    return nlQuery(nlprob, "NSLPgetptrattrib", [&](NSLPprob nl) -> int {
        if (attrib != NSLP_ATTR_PROBLEM)
            return nlError(nl, NVRA_RC_INVALID,
                           "Unknown pointer attribute id %d (the only one is %d, the optimizer "
                           "problem)",
                           attrib, NSLP_ATTR_PROBLEM);
        if (!value) return nlError(nl, NVRA_RC_INVALID, "NSLPgetptrattrib: null value pointer");
        *value = nl->prob;
        return 0;
    });
}

} // extern "C"
