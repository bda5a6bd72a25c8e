// iis.cpp: irreducible infeasible subsystems. The engine finds one IIS of the continuous
// problem; further ones are found by searching the problem with members of known IISs left out
// (every IIS of such a relaxation is an IIS of the problem). For each IIS the library computes
// its Farkas multipliers and least violation from a small elastic problem of its own, and on
// request the isolations (members whose removal makes the whole problem feasible).
#include "solver/analysis.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "highs_c_api.h"

namespace nvra {
namespace {

constexpr int kStatusFound = 0, kStatusNone = 1, kStatusUnfinished = 2;

// A member of an IIS: row i or column j with its side.
struct Member {
    bool row;
    int index;
    char side;
};

std::vector<Member> membersOf(const Iis &iis) {
    std::vector<Member> out;
    for (size_t k = 0; k < iis.rows.size(); ++k)
        out.push_back({true, iis.rows[k], iis.rowSide[k]});
    for (size_t k = 0; k < iis.cols.size(); ++k)
        out.push_back({false, iis.cols[k], iis.colSide[k]});
    return out;
}

// Row sides: 'L' its upper end, 'G' its lower end, 'E' / 'R' both. Column sides: 'L' lower bound,
// 'U' upper, 'B' both.
bool rowLowerUsed(char side) {
    return side == 'G' || side == 'E' || side == 'R';
}
bool rowUpperUsed(char side) {
    return side == 'L' || side == 'E' || side == 'R';
}
bool colLowerUsed(char side) {
    return side == 'L' || side == 'B';
}
bool colUpperUsed(char side) {
    return side == 'U' || side == 'B';
}

std::pair<double, double> memberEnds(const Model &m, const Member &mb) {
    const auto [lo, up] = mb.row ? rowEnds(m, mb.index) : valueRange(m, mb.index);
    const bool useLo = mb.row ? rowLowerUsed(mb.side) : colLowerUsed(mb.side);
    const bool useUp = mb.row ? rowUpperUsed(mb.side) : colUpperUsed(mb.side);
    return {useLo ? lo : -kInf, useUp ? up : kInf};
}

char rowSide(const Model &m, int i, HighsInt bound) {
    switch (bound) {
    case kHighsIisBoundLower:
        return 'G';
    case kHighsIisBoundUpper:
        return 'L';
    default:
        return m.rowtype[i] == 'E' ? 'E' : 'R';
    }
}

char colSide(HighsInt bound) {
    return bound == kHighsIisBoundLower ? 'L' : bound == kHighsIisBoundUpper ? 'U' : 'B';
}

// The engine's IIS of the model it holds (strategy by mode); status out.
int engineIis(NVRAprob prob, Engine &e, int mode, Iis &iis, int &status) {
    const Model &m = prob->model;
    const int nc = m.numCols(), nr = m.numRows();
    const HighsInt strategy = mode == 0   ? kHighsIisStrategyLight
                              : mode == 1 ? kHighsIisStrategyFromLpRowPriority
                                          : kHighsIisStrategyFromLpColPriority;
    writeIntOption(e.highs, &e.options, "iis_strategy", strategy);
    // The engine's search may work on its own model: the next hand-over reads it back.
    forgetHandover(e);
    HighsInt ncol = 0, nrow = 0;
    std::vector<HighsInt> colIndex(nc), rowIndex(nr), colBound(nc), rowBound(nr), colStatus(nc),
        rowStatus(nr);
    const long rc =
        Highs_getIis(e.highs, &ncol, &nrow, colIndex.data(), rowIndex.data(), colBound.data(),
                     rowBound.data(), colStatus.data(), rowStatus.data());
    writeIntOption(e.highs, &e.options, "iis_strategy", kHighsIisStrategyLight);
    if (!highsOk(rc)) {
        // The engine reports a search stopped by Ctrl-C or NVRAinterrupt as a failure.
        if (stopRequested(e)) {
            status = kStatusUnfinished;
            return 0;
        }
        return engineError(prob, e, "The engine's IIS search failed");
    }
    if (ncol + nrow == 0) {
        const HighsInt model = Highs_getModelStatus(e.highs);
        const bool feasible = model == kHighsModelStatusOptimal ||
                              model == kHighsModelStatusUnbounded ||
                              model == kHighsModelStatusModelEmpty;
        status = feasible ? kStatusNone : kStatusUnfinished;
        return 0;
    }
    // Entries reported with a free bound appear in the IIS's rows without a bound of their own
    // taking part: they are not members.
    iis = Iis();
    for (HighsInt k = 0; k < nrow; ++k) {
        if (rowBound[k] == kHighsIisBoundFree) continue;
        iis.rows.push_back(rowIndex[k]);
        iis.rowSide.push_back(rowSide(m, rowIndex[k], rowBound[k]));
    }
    for (HighsInt k = 0; k < ncol; ++k) {
        if (colBound[k] == kHighsIisBoundFree) continue;
        iis.cols.push_back(colIndex[k]);
        iis.colSide.push_back(colSide(colBound[k]));
    }
    status = kStatusFound;
    return 0;
}

// The elastic problem of an IIS: minimise the total violation of its members (each a row
// lo <= a'x + e+ - e- <= up over the members' ends); its optimum is the least violation and
// its duals, negated, the Farkas multipliers.
void measureIis(NVRAprob prob, Iis &iis) {
    if (iis.measured) return;
    iis.measured = true;
    const Model &m = prob->model;
    const std::vector<Member> members = membersOf(iis);
    std::vector<int> colPos(m.numCols(), -1);
    std::vector<int> cols;
    auto useCol = [&](int j) {
        if (colPos[j] < 0) {
            colPos[j] = static_cast<int>(cols.size());
            cols.push_back(j);
        }
        return colPos[j];
    };
    // Rows of the elastic problem, row-wise.
    std::vector<HighsInt> start{0}, index;
    std::vector<double> value, lower, upper;
    for (const Member &mb : members) {
        if (mb.row) {
            for (int64_t p = m.A.start[mb.index]; p < m.A.start[mb.index + 1]; ++p) {
                index.push_back(useCol(m.A.index[p]));
                value.push_back(m.A.value[p]);
            }
        } else {
            index.push_back(useCol(mb.index));
            value.push_back(1.0);
        }
        const auto [lo, up] = memberEnds(m, mb);
        lower.push_back(lo);
        upper.push_back(up);
        start.push_back(static_cast<HighsInt>(index.size()));
    }
    const int nx = static_cast<int>(cols.size()), nrows = static_cast<int>(members.size());
    // Elastic columns: e+ and e- per member, each with one entry in its row (+1 / -1).
    const int ncols = nx + 2 * nrows;
    std::vector<double> cost(ncols, 0.0), colLower(ncols, -kInf), colUpper(ncols, kInf);
    for (int c = nx; c < ncols; ++c) {
        cost[c] = 1.0;
        colLower[c] = 0.0;
    }
    // Assemble row-wise with the elastic entries appended.
    std::vector<HighsInt> fullStart{0}, fullIndex;
    std::vector<double> fullValue;
    for (int r = 0; r < nrows; ++r) {
        for (HighsInt p = start[r]; p < start[r + 1]; ++p) {
            fullIndex.push_back(index[p]);
            fullValue.push_back(value[p]);
        }
        fullIndex.push_back(nx + 2 * r);
        fullValue.push_back(1.0);
        fullIndex.push_back(nx + 2 * r + 1);
        fullValue.push_back(-1.0);
        fullStart.push_back(static_cast<HighsInt>(fullIndex.size()));
    }
    void *g = Highs_create();
    if (!g) return;
    std::unique_ptr<void, void (*)(void *)> guard(g, Highs_destroy);
    Highs_setBoolOptionValue(g, "output_flag", 0);
    const double inf = Highs_getInfinity(g);
    for (auto *v : {&colLower, &colUpper, &lower, &upper})
        for (double &x : *v)
            x = x >= kInf ? inf : x <= -kInf ? -inf : x;
    if (!highsOk(Highs_passLp(g, ncols, nrows, static_cast<HighsInt>(fullIndex.size()),
                              kHighsMatrixFormatRowwise, kHighsObjSenseMinimize, 0.0, cost.data(),
                              colLower.data(), colUpper.data(), lower.data(), upper.data(),
                              fullStart.data(), fullIndex.data(), fullValue.data())) ||
        !highsOk(Highs_run(g)) || Highs_getModelStatus(g) != kHighsModelStatusOptimal)
        return;
    std::vector<double> x(ncols), dj(ncols), act(nrows), y(nrows);
    Highs_getSolution(g, x.data(), dj.data(), act.data(), y.data());
    const double tol = prob->controls.dbls[dblSlot::kCtrlFeasTol];
    iis.sumInfeas = Highs_getObjectiveValue(g);
    iis.numInfeas = 0;
    for (int r = 0; r < nrows; ++r)
        iis.numInfeas += x[nx + 2 * r] + x[nx + 2 * r + 1] > tol;
    iis.rowDual.clear();
    iis.colDual.clear();
    for (int r = 0; r < nrows; ++r)
        (members[r].row ? iis.rowDual : iis.colDual).push_back(-y[r] + 0.0);
}

bool sameIis(const Iis &a, const Iis &b) {
    auto key = [](const Iis &s) {
        std::vector<std::pair<int, int>> k;
        for (int i : s.rows)
            k.emplace_back(0, i);
        for (int j : s.cols)
            k.emplace_back(1, j);
        std::sort(k.begin(), k.end());
        return k;
    };
    return key(a) == key(b);
}

// Relaxes (loosen true) or restores the ends of a set of members in the engine; members of the
// same row or column loosen the ends of all of them together.
void relaxMembers(Engine &e, const Model &m, const std::vector<Member> &set, bool loosen) {
    const double inf = Highs_getInfinity(e.highs);
    auto ev = [&](double v) { return v >= kInf ? inf : v <= -kInf ? -inf : v; };
    forgetHandover(e);
    for (size_t k = 0; k < set.size(); ++k) {
        const Member &mb = set[k];
        auto [lo, up] = mb.row ? rowEnds(m, mb.index) : valueRange(m, mb.index);
        for (const Member &other : set) {
            if (!loosen || other.row != mb.row || other.index != mb.index) continue;
            const auto [useLo, useUp] = memberEnds(m, other);
            if (useLo > -kInf) lo = -kInf;
            if (useUp < kInf) up = kInf;
        }
        if (mb.row)
            Highs_changeRowBounds(e.highs, mb.index, ev(lo), ev(up));
        else
            Highs_changeColBounds(e.highs, mb.index, ev(lo), ev(up));
    }
}

bool sameMember(const Member &a, const Member &b) {
    return a.row == b.row && a.index == b.index && a.side == b.side;
}

// A member of iis not in set, or nullptr.
const Member *memberOutside(const std::vector<Member> &set, const Iis &iis,
                            std::vector<Member> &scratch) {
    scratch = membersOf(iis);
    for (const Member &mb : scratch)
        if (std::none_of(set.begin(), set.end(),
                         [&](const Member &s) { return sameMember(s, mb); }))
            return &mb;
    return nullptr;
}

const Iis *knownIis(const std::vector<Iis> &found, const Iis &iis) {
    for (const Iis &f : found)
        if (sameIis(f, iis)) return &f;
    return nullptr;
}

// Searches for an IIS not found yet with the members of `out` left out. Each time the search
// meets a known IIS, one more of its members is left out, so the search goes on past it until a
// new IIS, a feasible relaxation (kStatusNone) or an unfinished search (kStatusUnfinished).
int searchWithout(NVRAprob prob, Engine &e, std::vector<Member> out, Iis &iis, int &status) {
    const Model &m = prob->model;
    const std::vector<Iis> &found = prob->solution.iis.found;
    std::vector<Member> scratch;
    for (;;) {
        relaxMembers(e, m, out, true);
        const int rc = engineIis(prob, e, 1, iis, status);
        relaxMembers(e, m, out, false);
        if (rc || status != kStatusFound) return rc;
        const Iis *known = knownIis(found, iis);
        if (!known) return 0;
        const Member *more = memberOutside(out, *known, scratch);
        if (!more) {
            status = kStatusNone;
            return 0;
        }
        out.push_back(*more);
    }
}

int requireIis(NVRAprob prob, const char *fn, int num, const Iis *&iis) {
    auto &found = prob->solution.iis.found;
    if (num < 1 || num > static_cast<int>(found.size()))
        return probError(prob, NVRA_RC_RANGE,
                         "%s: IIS %d does not exist: %zu have been found (numbered from 1)", fn,
                         num, found.size());
    measureIis(prob, found[num - 1]);
    iis = &found[num - 1];
    return 0;
}

int iisFirst(NVRAprob prob, const char *fn, Engine &e, int mode, int *status) {
    if (mode < 0 || mode > 2)
        return probError(prob, NVRA_RC_INVALID, "%s: mode %d: the modes are 0, 1 and 2", fn, mode);
    if (int rc = requireNotPresolved(prob, fn)) return rc;
    Image img;
    if (int rc = passContinuous(prob, e, img)) return rc;
    SolveState &st = prob->solution;
    st.engineExact = st.engineSolved = false;
    st.iis = IisState();
    Iis iis;
    int found = kStatusUnfinished;
    beginCapture(e, false);
    const int rc = engineIis(prob, e, mode, iis, found);
    endCapture(e);
    if (rc) return rc;
    if (found == kStatusNone && hasEntities(prob->model)) found = kStatusUnfinished;
    if (found == kStatusFound) {
        iis.rowIsolation.assign(iis.rows.size(), -1);
        iis.colIsolation.assign(iis.cols.size(), -1);
        st.iis.found.push_back(std::move(iis));
    }
    st.iis.status = found == kStatusFound  ? NVRA_IISSOL_COMPLETED
                    : found == kStatusNone ? NVRA_IISSOL_FEASIBLE
                                           : NVRA_IISSOL_UNFINISHED;
    if (status) *status = found;
    return 0;
}

int iisNext(NVRAprob prob, const char *fn, Engine &e, int *status) {
    SolveState &st = prob->solution;
    if (st.iis.found.empty())
        return probError(prob, NVRA_RC_ERROR, "%s: no IIS has been found: call NVRAiisfirst first",
                         fn);
    int result = kStatusNone;
    if (!st.iis.exhausted) {
        Image img;
        if (int rc = passContinuous(prob, e, img)) return rc;
        st.engineExact = st.engineSolved = false;
        // Starting points, the first that finds a new IIS wins: one member of every known IIS
        // left out (finds an IIS apart from all of them at once), then each member of each
        // known IIS, newest first.
        std::vector<std::vector<Member>> starts(1);
        std::vector<Member> scratch;
        for (const Iis &f : st.iis.found)
            if (const Member *mb = memberOutside(starts[0], f, scratch)) starts[0].push_back(*mb);
        for (size_t k = st.iis.found.size(); k-- > 0;)
            for (const Member &mb : membersOf(st.iis.found[k]))
                starts.push_back({mb});
        beginCapture(e, false);
        for (const std::vector<Member> &out : starts) {
            Iis iis;
            int found = kStatusUnfinished;
            if (int rc = searchWithout(prob, e, out, iis, found)) {
                endCapture(e);
                return rc;
            }
            if (found == kStatusFound) {
                iis.rowIsolation.assign(iis.rows.size(), -1);
                iis.colIsolation.assign(iis.cols.size(), -1);
                st.iis.found.push_back(std::move(iis));
                result = kStatusFound;
                break;
            }
            // A stopped search (Ctrl-C, NVRAinterrupt) is not an exhausted one.
            if (found == kStatusUnfinished && stopRequested(e)) {
                result = kStatusUnfinished;
                break;
            }
        }
        endCapture(e);
        st.iis.exhausted = result == kStatusNone;
    }
    if (status) *status = result;
    return 0;
}

int isolations(NVRAprob prob, const char *fn, Engine &e, int num) {
    const Iis *found = nullptr;
    if (int rc = requireIis(prob, fn, num, found)) return rc;
    Image img;
    if (int rc = passContinuous(prob, e, img)) return rc;
    SolveState &st = prob->solution;
    st.engineExact = st.engineSolved = false;
    Iis &iis = st.iis.found[num - 1];
    const Model &m = prob->model;
    const std::vector<Member> members = membersOf(iis);
    beginCapture(e, false);
    for (size_t k = 0; k < members.size(); ++k) {
        relaxMembers(e, m, {members[k]}, true);
        SolveResult r;
        const int rc = runEngine(prob, e, false, r);
        relaxMembers(e, m, {members[k]}, false);
        if (rc) {
            endCapture(e);
            return rc;
        }
        if (stopRequested(e)) break; // a stopped run tells nothing: the rest stay not computed
        const signed char isolated =
            r.lpStatus == NVRA_LP_OPTIMAL || r.lpStatus == NVRA_LP_UNBOUNDED ? 1 : 0;
        if (members[k].row)
            iis.rowIsolation[k] = isolated;
        else
            iis.colIsolation[k - iis.rows.size()] = isolated;
    }
    endCapture(e);
    return 0;
}

template <class T, class U> void copyTo(const std::vector<T> &from, U *to) {
    if (to) std::copy(from.begin(), from.end(), to);
}

int iisData(NVRAprob prob, const char *fn, int num, int *nrows, int *ncols, int *rowind,
            int *colind, char *contype, char *bndtype, double *duals, double *djs, char *isorows,
            char *isocols) {
    const Iis *iis = nullptr;
    if (int rc = requireIis(prob, fn, num, iis)) return rc;
    if (nrows) *nrows = static_cast<int>(iis->rows.size());
    if (ncols) *ncols = static_cast<int>(iis->cols.size());
    copyTo(iis->rows, rowind);
    copyTo(iis->cols, colind);
    copyTo(iis->rowSide, contype);
    copyTo(iis->colSide, bndtype);
    if ((duals || djs) && iis->rowDual.size() != iis->rows.size())
        return probError(prob, NVRA_RC_ENGINE,
                         "%s: the multipliers of IIS %d could not be computed", fn, num);
    copyTo(iis->rowDual, duals);
    copyTo(iis->colDual, djs);
    copyTo(iis->rowIsolation, isorows);
    copyTo(iis->colIsolation, isocols);
    return 0;
}

// The name of entry i as the problem shows it: its own, or its default name.
std::string shownName(const NameList &names, char kind, int i) {
    const std::string_view given = names.get(i);
    if (!given.empty()) return std::string(given);
    std::string name(1, kind);
    name += std::to_string(i);
    return name;
}

// A problem holding IIS num alone (its rows with the ends that take part, its columns' bounds
// that take part, other bounds free; the problem's names; no objective) for writing.
int iisProblem(NVRAprob prob, const char *fn, int num, NVRAprob out) {
    const Iis *iis = nullptr;
    if (int rc = requireIis(prob, fn, num, iis)) return rc;
    const Model &m = prob->model;
    Model &w = out->model;
    std::vector<int> colPos(m.numCols(), -1);
    std::vector<int> cols;
    for (int i : iis->rows)
        for (int64_t p = m.A.start[i]; p < m.A.start[i + 1]; ++p)
            if (colPos[m.A.index[p]] < 0) {
                colPos[m.A.index[p]] = static_cast<int>(cols.size());
                cols.push_back(m.A.index[p]);
            }
    for (int j : iis->cols)
        if (colPos[j] < 0) {
            colPos[j] = static_cast<int>(cols.size());
            cols.push_back(j);
        }
    const int nc = static_cast<int>(cols.size());
    w.lb.assign(nc, -kInf);
    w.ub.assign(nc, kInf);
    w.cost.assign(nc, 0.0);
    w.limit.assign(nc, 0.0);
    w.coltype.assign(nc, 'C');
    w.colNames.resize(nc);
    for (size_t k = 0; k < iis->cols.size(); ++k) {
        const auto [lo, up] = memberEnds(m, Member{false, iis->cols[k], iis->colSide[k]});
        w.lb[colPos[iis->cols[k]]] = lo;
        w.ub[colPos[iis->cols[k]]] = up;
    }
    for (int k = 0; k < nc; ++k)
        w.colNames.set(k, shownName(m.colNames, 'C', cols[k]));
    const int nr = static_cast<int>(iis->rows.size());
    w.rowNames.resize(nr);
    for (int k = 0; k < nr; ++k) {
        const int i = iis->rows[k];
        const auto [lo, up] = memberEnds(m, Member{true, i, iis->rowSide[k]});
        const char t = lo == up ? 'E' : lo <= -kInf ? 'L' : up >= kInf ? 'G' : 'R';
        w.rowtype.push_back(t);
        w.rhs.push_back(t == 'G' ? lo : up);
        w.range.push_back(t == 'R' ? up - lo : 0.0);
        std::vector<std::pair<int, double>> entries;
        for (int64_t p = m.A.start[i]; p < m.A.start[i + 1]; ++p)
            entries.emplace_back(colPos[m.A.index[p]], m.A.value[p]);
        std::sort(entries.begin(), entries.end());
        for (auto [c, v] : entries) {
            w.A.index.push_back(c);
            w.A.value.push_back(v);
        }
        w.A.start.push_back(static_cast<int64_t>(w.A.index.size()));
        w.rowNames.set(k, shownName(m.rowNames, 'R', i));
    }
    w.probName = m.probName + "_iis" + std::to_string(num);
    return 0;
}

int iisWrite(NVRAprob prob, const char *fn, int num, const char *filename, int filetype,
             const char *flags) {
    if (filetype != NVRA_IISFILE_LP && filetype != NVRA_IISFILE_MPS)
        return probError(prob, NVRA_RC_INVALID,
                         "%s: file type %d: the types are 0 (LP) and 1 (MPS)", fn, filetype);
    if (!filename || !*filename) return probError(prob, NVRA_RC_INVALID, "%s: no file name", fn);
    NVRAprob out = nullptr;
    if (NVRAcreateprob(&out)) return probError(prob, NVRA_RC_NOMEM, "%s: out of memory", fn);
    std::unique_ptr<nvo_prob_struct, int (*)(NVRAprob)> guard(out, NVRAdestroyprob);
    if (int rc = iisProblem(prob, fn, num, out)) return rc;
    const std::string format =
        std::string(filetype == NVRA_IISFILE_LP ? "l" : "m") + (flags ? flags : "");
    if (int rc = NVRAwriteprob(out, filename, format.c_str()))
        return probError(prob, rc, "%s", out->lastError.c_str());
    return 0;
}

void describeMember(NVRAprob prob, const Iis &iis, size_t k, bool row) {
    const Model &m = prob->model;
    const int index = row ? iis.rows[k] : iis.cols[k];
    const char side = row ? iis.rowSide[k] : iis.colSide[k];
    const auto [lo, up] = memberEnds(m, Member{row, index, side});
    const std::string label = row ? rowLabel(m, index) : colLabel(m, index);
    const std::vector<double> &duals = row ? iis.rowDual : iis.colDual;
    const std::string ends = lo <= -kInf  ? "<= " + numberText(up)
                             : up >= kInf ? ">= " + numberText(lo)
                             : lo == up   ? "= " + numberText(lo)
                                          : "in [" + numberText(lo) + ", " + numberText(up) + "]";
    const std::string dual =
        k < duals.size() ? ", multiplier " + numberText(duals[k]) : std::string();
    notice(prob, NVRA_MSG_IIS, 1, "  %s %s%s", label.c_str(), ends.c_str(), dual.c_str());
}

int iisPrint(NVRAprob prob, const char *fn, int num) {
    const Iis *iis = nullptr;
    if (int rc = requireIis(prob, fn, num, iis)) return rc;
    notice(prob, NVRA_MSG_IIS, 1, "IIS %d: %zu rows and %zu bounds, least total violation %s", num,
           iis->rows.size(), iis->cols.size(), numberText(iis->sumInfeas).c_str());
    for (size_t k = 0; k < iis->rows.size(); ++k)
        describeMember(prob, *iis, k, true);
    for (size_t k = 0; k < iis->cols.size(); ++k)
        describeMember(prob, *iis, k, false);
    return 0;
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAiisfirst(NVRAprob prob, int mode, int *status) {
    const char *fn = "NVRAiisfirst";
    return engineCall(prob, fn, [&](Engine &e) { return iisFirst(prob, fn, e, mode, status); });
}

int NVRAiisnext(NVRAprob prob, int *status) {
    const char *fn = "NVRAiisnext";
    return engineCall(prob, fn, [&](Engine &e) { return iisNext(prob, fn, e, status); });
}

int NVRAiisall(NVRAprob prob) {
    const char *fn = "NVRAiisall";
    return engineCall(prob, fn, [&](Engine &e) {
        int status = 0;
        if (int rc = iisFirst(prob, fn, e, 1, &status)) return rc;
        const int64_t limit = prob->controls.ints[intSlot::kCtrlMaxIis];
        while (status == kStatusFound &&
               (limit < 0 || static_cast<int64_t>(prob->solution.iis.found.size()) < limit))
            if (int rc = iisNext(prob, fn, e, &status)) return rc;
        return 0;
    });
}

int NVRAiisclear(NVRAprob prob) {
    return sideEdit(prob, "NVRAiisclear", [&] {
        prob->solution.iis = IisState();
        return 0;
    });
}

int NVRAiisstatus(NVRAprob prob, int *count, int rowsizes[], int colsizes[], double suminfeas[],
                  int numinfeas[]) {
    return storeQuery(prob, "NVRAiisstatus", [&] {
        auto &found = prob->solution.iis.found;
        for (Iis &iis : found)
            measureIis(prob, iis);
        if (count) *count = static_cast<int>(found.size());
        for (size_t k = 0; k < found.size(); ++k) {
            if (rowsizes) rowsizes[k] = static_cast<int>(found[k].rows.size());
            if (colsizes) colsizes[k] = static_cast<int>(found[k].cols.size());
            if (suminfeas) suminfeas[k] = found[k].sumInfeas;
            if (numinfeas) numinfeas[k] = found[k].numInfeas;
        }
        return 0;
    });
}

int NVRAgetiisdata(NVRAprob prob, int num, int *nrows, int *ncols, int rowind[], int colind[],
                   char contype[], char bndtype[], double duals[], double djs[],
                   char isolationrows[], char isolationcols[]) {
    const char *fn = "NVRAgetiisdata";
    return storeQuery(prob, fn, [&] {
        return iisData(prob, fn, num, nrows, ncols, rowind, colind, contype, bndtype, duals, djs,
                       isolationrows, isolationcols);
    });
}

int NVRAiisisolations(NVRAprob prob, int num) {
    const char *fn = "NVRAiisisolations";
    return engineCall(prob, fn, [&](Engine &e) { return isolations(prob, fn, e, num); });
}

int NVRAiiswrite(NVRAprob prob, int num, const char *filename, int filetype, const char *flags) {
    const char *fn = "NVRAiiswrite";
    return storeQuery(prob, fn, [&] { return iisWrite(prob, fn, num, filename, filetype, flags); });
}

int NVRAiisprint(NVRAprob prob, int num) {
    const char *fn = "NVRAiisprint";
    return storeQuery(prob, fn, [&] { return iisPrint(prob, fn, num); });
}

} // extern "C"
