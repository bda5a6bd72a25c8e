// attributes.cpp: attribute values from the model store and the results of the last
// optimisation.
#include "core/callbacks.h"
#include "core/problem.h"

#include <algorithm>
#include <cinttypes>
#include <string_view>
#include <type_traits>

namespace nvra {
namespace {

// What an attribute is read from: the problem, and the solve whose results answer the entries
// flagged NVRA_CA_PERSOLVE.
struct Source {
    const nvo_prob_struct &p;
    const SolveResult &r;
    const Model &m() const { return p.model; }
};

int64_t countCols(const Model &m, std::string_view types) {
    return std::count_if(m.coltype.begin(), m.coltype.end(),
                         [&](char t) { return types.find(t) != std::string_view::npos; });
}

int64_t setMembers(const Model &m) {
    int64_t n = 0;
    for (const Sos &set : m.sets)
        n += static_cast<int64_t>(set.cols.size());
    return n;
}

// Bytes of the default name of entry index ("R", "C" or "S" and the index).
int64_t defaultNameLength(int index) {
    int64_t digits = 1;
    for (; index >= 10; index /= 10)
        ++digits;
    return 1 + digits;
}

// Bytes of the longest name of a list with its zero: the given names, and the default names of
// unnamed entries. Only entries whose default name would be longer than every given name are
// looked at, from the highest index down to the first unnamed one.
int64_t longestName(const NameList &names) {
    int64_t longest = names.longest();
    for (int i = names.size() - 1; i >= 0 && defaultNameLength(i) > longest; --i)
        if (names.get(i).empty()) {
            longest = defaultNameLength(i);
            break;
        }
    return longest + 1;
}

int64_t nameLength(const Model &m) {
    return std::max({longestName(m.rowNames), longestName(m.colNames), longestName(m.setNames)});
}

template <class T> struct Getter {
    int id;
    T (*get)(const Source &);
};

// Rows and columns of the presolved problem in the presolved state, of the problem otherwise.
const PresolvedState *presolved(const Source &s) {
    return s.p.solution.presolved.get();
}

// Counts describe the problem as built; rows and cols follow the presolved state. A problem is
// always loaded (an empty one at creation).
constexpr Getter<int64_t> kIntGetters[] = {
    {kAttrRows,
     [](const Source &s) -> int64_t {
         return presolved(s) ? presolved(s)->rows : s.m().numRows();
     }},
    {kAttrOriginalRows, [](const Source &s) -> int64_t { return s.m().numRows(); }},
    {kAttrInputRows, [](const Source &s) -> int64_t { return s.m().numRows(); }},
    {kAttrCols,
     [](const Source &s) -> int64_t {
         return presolved(s) ? presolved(s)->cols : s.m().numCols();
     }},
    {kAttrOriginalCols, [](const Source &s) -> int64_t { return s.m().numCols(); }},
    {kAttrInputCols, [](const Source &s) -> int64_t { return s.m().numCols(); }},
    {kAttrCuts, [](const Source &s) -> int64_t { return s.p.cutPool.activeCount(); }},
    {kAttrElems, [](const Source &s) { return s.m().numNz(); }},
    {kAttrSets, [](const Source &s) -> int64_t { return s.m().sets.size(); }},
    {kAttrOriginalSets, [](const Source &s) -> int64_t { return s.m().sets.size(); }},
    {kAttrSetMembers, [](const Source &s) { return setMembers(s.m()); }},
    {kAttrMipEnts, [](const Source &s) { return countCols(s.m(), "BISRP"); }},
    {kAttrOriginalMipEnts, [](const Source &s) { return countCols(s.m(), "BISRP"); }},
    {kAttrBinCols, [](const Source &s) { return countCols(s.m(), "B"); }},
    {kAttrIntCols, [](const Source &s) { return countCols(s.m(), "I"); }},
    {kAttrQElems, [](const Source &s) -> int64_t { return s.m().Q.v.size(); }},
    {kAttrQConstraints, [](const Source &s) -> int64_t { return s.m().qrows.size(); }},
    {kAttrIndicators, [](const Source &s) -> int64_t { return s.m().indicators.size(); }},
    {kAttrPwlCons, [](const Source &s) -> int64_t { return s.m().pwls.size(); }},
    {kAttrGenCons, [](const Source &s) -> int64_t { return s.m().gencons.size(); }},
    {kAttrObjectives, [](const Source &s) -> int64_t { return 1 + s.m().objectives.size(); }},
    {kAttrNameLength, [](const Source &s) { return nameLength(s.m()); }},
    {kAttrProbNameLength, [](const Source &s) -> int64_t { return s.m().probName.size() + 1; }},
    {kAttrPresolveState, [](const Source &s) -> int64_t { return presolved(s) ? 3 : 1; }},
    {kAttrIisSolStatus, [](const Source &s) -> int64_t { return s.p.solution.iis.status; }},
    {kAttrNumIis, [](const Source &s) -> int64_t { return s.p.solution.iis.found.size(); }},
    {kAttrSolves, [](const Source &s) -> int64_t { return s.p.solution.solves.size(); }},
    {kAttrLpStatus, [](const Source &s) -> int64_t { return s.r.lpStatus; }},
    {kAttrMipStatus, [](const Source &s) -> int64_t { return s.r.mipStatus; }},
    {kAttrSolveStatus, [](const Source &s) -> int64_t { return s.r.solveStatus; }},
    {kAttrSolStatus, [](const Source &s) -> int64_t { return s.r.solStatus; }},
    {kAttrStopStatus, [](const Source &s) -> int64_t { return s.r.stopStatus; }},
    {kAttrOptimizeTypeUsed, [](const Source &s) -> int64_t { return s.r.optimizeType; }},
    {kAttrSimplexIter, [](const Source &s) { return s.r.simplexIter; }},
    {kAttrBarIter, [](const Source &s) { return s.r.barIter; }},
    {kAttrNodes, [](const Source &s) { return s.r.nodes; }},
    {kAttrDroppedCoefs, [](const Source &s) { return s.p.solution.droppedCoefs; }},
    {kAttrNlpSolves, [](const Source &s) { return s.r.nlpSolves; }},
    {kAttrMasterSolves, [](const Source &s) { return s.r.masterSolves; }},
    {kAttrReplacedNames, [](const Source &s) { return s.p.replacedNames; }},
};

constexpr Getter<double> kDblGetters[] = {
    {kAttrObjSense, [](const Source &s) -> double { return s.m().sense; }},
    {kAttrLpObjVal, [](const Source &s) { return s.r.lpObjVal; }},
    {kAttrMipObjVal, [](const Source &s) { return s.r.mipObjVal; }},
    {kAttrObjVal, [](const Source &s) { return s.r.objVal; }},
    {kAttrBestBound, [](const Source &s) { return s.r.bestBound; }},
    {kAttrMipGap, [](const Source &s) { return s.r.mipGap; }},
    {kAttrSolveTime, [](const Source &s) { return s.r.solveTime; }},
    {kAttrMaxDroppedCoef, [](const Source &s) { return s.p.solution.maxDroppedCoef; }},
    {kAttrMaxViolation, [](const Source &s) { return s.r.maxViolation; }},
};

constexpr Getter<std::string_view> kStrGetters[] = {
    {kAttrProbName, [](const Source &s) -> std::string_view { return s.m().probName; }},
};

// A getter table holds exactly the attributes of its type in the registry.
template <class T, size_t N>
constexpr bool coversRegistry(const Getter<T> (&table)[N], CaType type) {
    size_t attributes = 0;
    for (const CaEntry &e : kRegistry) {
        if (e.flags & NVRA_CA_CONTROL || e.type != type) continue;
        ++attributes;
        if (std::none_of(table, table + N, [&](const Getter<T> &g) { return g.id == e.id; }))
            return false;
    }
    return attributes == N;
}
static_assert(coversRegistry(kIntGetters, CaType::Int), "one getter per integer attribute");
static_assert(coversRegistry(kDblGetters, CaType::Double), "one getter per double attribute");
static_assert(coversRegistry(kStrGetters, CaType::String), "one getter per string attribute");

template <class T, size_t N> auto getterOf(const Getter<T> (&table)[N], int id) {
    return std::find_if(table, table + N, [&](const Getter<T> &g) { return g.id == id; })->get;
}

// The results that answer problem-level reads: during a solve its progress so far (callbacks
// read it), otherwise the last solve's, or before any solve the "unstarted" values with
// objective values at the worst end for the problem's sense.
SolveResult currentResult(const nvo_prob_struct &p) {
    SolveResult live;
    if (liveProgress(p, live)) return live;
    if (!p.solution.solves.empty()) return p.solution.solves.back();
    return unstartedResult(p.model.sense);
}

// The results of solve solveidx of the last optimisation, or nullptr with the error set.
const SolveResult *solveResult(NVRAprob prob, int solveidx) {
    const auto &solves = prob->solution.solves;
    if (solveidx < 0 || static_cast<size_t>(solveidx) >= solves.size()) {
        probError(prob, NVRA_RC_RANGE,
                  "Solve index %d is out of range: the last optimisation made %zu solves", solveidx,
                  solves.size());
        return nullptr;
    }
    return &solves[solveidx];
}

int nullOutput(NVRAprob prob, const char *function) {
    return probError(prob, NVRA_RC_INVALID, "%s: null value pointer", function);
}

// Reads attribute id of type T (int64_t or double) into *value: from the results of solve
// *solveidx of the last optimisation, or of the current state when solveidx is null.
template <class T>
int read(NVRAprob prob, int id, const int *solveidx, T *value, const char *function) {
    if (int rc = enterProb(prob)) return rc;
    if (!value) return nullOutput(prob, function);
    constexpr bool isInt = std::is_same_v<T, int64_t>;
    if (!findCaAs(prob, id, CaKind::Attribute, isInt ? CaType::Int : CaType::Double))
        return NVRA_RC_INVALID;
    SolveResult current;
    const SolveResult *r = &current;
    if (solveidx) {
        if (!(r = solveResult(prob, *solveidx))) return NVRA_RC_RANGE;
    } else {
        current = currentResult(*prob);
    }
    const Source source{*prob, *r};
    if constexpr (isInt)
        *value = getterOf(kIntGetters, id)(source);
    else
        *value = getterOf(kDblGetters, id)(source);
    return NVRA_RC_OK;
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAgetintattrib64(NVRAprob prob, int attrib, int64_t *value) {
    return read(prob, attrib, nullptr, value, "NVRAgetintattrib64");
}

int NVRAgetintattrib(NVRAprob prob, int attrib, int *value) {
    int64_t v = 0;
    if (int rc = read(prob, attrib, nullptr, value ? &v : nullptr, "NVRAgetintattrib")) return rc;
    return narrowToInt(prob, *findCa(attrib), v, value, "NVRAgetintattrib64");
}

int NVRAgetdblattrib(NVRAprob prob, int attrib, double *value) {
    return read(prob, attrib, nullptr, value, "NVRAgetdblattrib");
}

int NVRAgetstringattrib(NVRAprob prob, int attrib, char *value, int maxbytes, int *nbytes) {
    if (int rc = enterProb(prob)) return rc;
    if (!findCaAs(prob, attrib, CaKind::Attribute, CaType::String)) return NVRA_RC_INVALID;
    const SolveResult r = currentResult(*prob);
    copyOut(getterOf(kStrGetters, attrib)(Source{*prob, r}), value, maxbytes, nbytes);
    return NVRA_RC_OK;
}

int NVRAgetobjintattrib64(NVRAprob prob, int solveidx, int attrib, int64_t *value) {
    return read(prob, attrib, &solveidx, value, "NVRAgetobjintattrib64");
}

int NVRAgetobjdblattrib(NVRAprob prob, int solveidx, int attrib, double *value) {
    return read(prob, attrib, &solveidx, value, "NVRAgetobjdblattrib");
}

} // extern "C"
