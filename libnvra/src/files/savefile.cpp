// savefile.cpp: the whole problem in one binary file (binary_io.h), or the same content in
// memory (for the module's pickling): its model (rows, columns, matrix, objectives, quadratic
// parts, sets, indicators, piecewise-linear and general constraints, names, row flags,
// directives), its controls and its solution with statuses and basis. Restoring checks every part
// before it replaces the problem, so that a damaged file changes nothing. The cut pool and the
// starts of the next solve are not saved. Formulas of the nonlinear part are not either: a problem
// that holds them is refused rather than saved without them.
//
// Every field of Model, ControlValues and SolveState that a restored problem needs is written
// here: a new field of those records needs its line in putModel / getModel (and checkModel).
#include "files/binary_io.h"
#include "files/record_io.h"

#include <cmath>
#include <cstring>

namespace nvra {
namespace {

constexpr char kMagic[8] = {'N', 'V', 'R', 'A', 'S', 'V', 'F', '1'};

void putNames(BinWriter &out, const NameList &names) {
    out.put<int32_t>(names.size());
    for (int i = 0; i < names.size(); ++i)
        out.putString(names.get(i));
}

void getNames(BinReader &in, NameList &names) {
    const int32_t n = in.get<int32_t>();
    if (n < 0) throw ReadError{0, "a negative count of names"};
    names.resize(n);
    for (int i = 0; i < n; ++i) {
        const std::string name = in.getString();
        if (const char *fault = nameFault(name)) throw ReadError{0, "a name " + std::string(fault)};
        names.set(i, name);
    }
}

void putTriplets(BinWriter &out, const QTriplets &q) {
    out.putVector(q.i);
    out.putVector(q.j);
    out.putVector(q.v);
}

QTriplets getTriplets(BinReader &in) {
    QTriplets q;
    q.i = in.getVector<int32_t>();
    q.j = in.getVector<int32_t>();
    q.v = in.getVector<double>();
    return q;
}

void putModel(BinWriter &out, const Model &m) {
    out.putString(m.probName);
    out.put<int32_t>(m.sense);
    out.put<double>(m.objConstant);
    for (const auto *v : {&m.lb, &m.ub, &m.cost, &m.limit})
        out.putVector(*v);
    out.putVector(m.coltype);
    out.putVector(m.rowtype);
    out.putVector(m.rhs);
    out.putVector(m.range);
    out.putVector(m.A.start);
    out.putVector(m.A.index);
    out.putVector(m.A.value);
    putTriplets(out, m.Q);
    out.put<int32_t>(static_cast<int32_t>(m.qrows.size()));
    for (const auto &[row, q] : m.qrows) {
        out.put<int32_t>(row);
        putTriplets(out, q);
    }
    out.put<int32_t>(static_cast<int32_t>(m.indicators.size()));
    for (const auto &[row, ind] : m.indicators) {
        out.put<int32_t>(row);
        out.put<int32_t>(ind.col);
        out.put<int32_t>(ind.complement);
    }
    out.put<int32_t>(static_cast<int32_t>(m.sets.size()));
    for (const Sos &s : m.sets) {
        out.put<char>(s.type);
        out.putVector(s.cols);
        out.putVector(s.weights);
    }
    out.put<int32_t>(static_cast<int32_t>(m.pwls.size()));
    for (const Pwl &p : m.pwls) {
        out.put<int32_t>(p.col);
        out.put<int32_t>(p.resultant);
        out.putVector(p.x);
        out.putVector(p.y);
    }
    out.put<int32_t>(static_cast<int32_t>(m.gencons.size()));
    for (const GenCons &g : m.gencons) {
        out.put<int32_t>(g.type);
        out.put<int32_t>(g.resultant);
        out.putVector(g.cols);
        out.putVector(g.vals);
    }
    out.put<int32_t>(static_cast<int32_t>(m.objectives.size()));
    for (const Objective &o : m.objectives) {
        out.putVector(o.cost);
        out.put<double>(o.constant);
        out.put<int32_t>(o.priority);
        out.put<double>(o.weight);
        out.put<double>(o.absTol);
        out.put<double>(o.relTol);
    }
    out.put<int32_t>(m.priority0);
    out.put<double>(m.weight0);
    out.put<double>(m.absTol0);
    out.put<double>(m.relTol0);
    putNames(out, m.rowNames);
    putNames(out, m.colNames);
    putNames(out, m.setNames);
    out.put<int32_t>(static_cast<int32_t>(m.rowFlags.size()));
    for (const auto &[row, flags] : m.rowFlags) {
        out.put<int32_t>(row);
        out.put<int32_t>(flags);
    }
    out.put<int32_t>(static_cast<int32_t>(m.dirs.size()));
    for (const auto &[col, d] : m.dirs) {
        out.put<int32_t>(col);
        out.put<int32_t>(d.priority);
        out.put<char>(d.dir);
        out.put<double>(d.upPseudo);
        out.put<double>(d.downPseudo);
    }
}

int32_t getCount(BinReader &in) {
    const int32_t n = in.get<int32_t>();
    if (n < 0) throw ReadError{0, "a negative count"};
    return n;
}

void getModel(BinReader &in, Model &m) {
    m.probName = in.getString();
    m.sense = in.get<int32_t>();
    m.objConstant = in.get<double>();
    for (auto *v : {&m.lb, &m.ub, &m.cost, &m.limit})
        *v = in.getVector<double>();
    m.coltype = in.getVector<char>();
    m.rowtype = in.getVector<char>();
    m.rhs = in.getVector<double>();
    m.range = in.getVector<double>();
    m.A.start = in.getVector<int64_t>();
    m.A.index = in.getVector<int32_t>();
    m.A.value = in.getVector<double>();
    m.Q = getTriplets(in);
    for (int32_t k = getCount(in); k > 0; --k) {
        const int32_t row = in.get<int32_t>();
        m.qrows[row] = getTriplets(in);
    }
    for (int32_t k = getCount(in); k > 0; --k) {
        const int32_t row = in.get<int32_t>();
        Indicator &ind = m.indicators[row];
        ind.col = in.get<int32_t>();
        ind.complement = in.get<int32_t>();
    }
    m.sets.resize(getCount(in));
    for (Sos &s : m.sets) {
        s.type = in.get<char>();
        s.cols = in.getVector<int32_t>();
        s.weights = in.getVector<double>();
    }
    m.pwls.resize(getCount(in));
    for (Pwl &p : m.pwls) {
        p.col = in.get<int32_t>();
        p.resultant = in.get<int32_t>();
        p.x = in.getVector<double>();
        p.y = in.getVector<double>();
    }
    m.gencons.resize(getCount(in));
    for (GenCons &g : m.gencons) {
        g.type = in.get<int32_t>();
        g.resultant = in.get<int32_t>();
        g.cols = in.getVector<int32_t>();
        g.vals = in.getVector<double>();
    }
    m.objectives.resize(getCount(in));
    for (Objective &o : m.objectives) {
        o.cost = in.getVector<double>();
        o.constant = in.get<double>();
        o.priority = in.get<int32_t>();
        o.weight = in.get<double>();
        o.absTol = in.get<double>();
        o.relTol = in.get<double>();
    }
    m.priority0 = in.get<int32_t>();
    m.weight0 = in.get<double>();
    m.absTol0 = in.get<double>();
    m.relTol0 = in.get<double>();
    getNames(in, m.rowNames);
    getNames(in, m.colNames);
    getNames(in, m.setNames);
    for (int32_t k = getCount(in); k > 0; --k) {
        const int32_t row = in.get<int32_t>();
        m.rowFlags[row] = in.get<int32_t>();
    }
    for (int32_t k = getCount(in); k > 0; --k) {
        const int32_t col = in.get<int32_t>();
        Direction &d = m.dirs[col];
        d.priority = in.get<int32_t>();
        d.dir = in.get<char>();
        d.upPseudo = in.get<double>();
        d.downPseudo = in.get<double>();
    }
}

bool inRange(int64_t v, int64_t n) {
    return v >= 0 && v < n;
}

bool tripletsFit(const QTriplets &q, int n) {
    if (q.i.size() != q.v.size() || q.j.size() != q.v.size()) return false;
    for (size_t k = 0; k < q.v.size(); ++k)
        if (!inRange(q.i[k], n) || q.j[k] < q.i[k] || !inRange(q.j[k], n) || !std::isfinite(q.v[k]))
            return false;
    return true;
}

// What makes a restored model inconsistent, or nullptr.
const char *checkModel(const Model &m) {
    const size_t n = m.coltype.size(), r = m.rowtype.size();
    if (m.lb.size() != n || m.ub.size() != n || m.cost.size() != n || m.limit.size() != n)
        return "its columns";
    for (size_t j = 0; j < n; ++j)
        if (!validColType(m.coltype[j]) || std::isnan(m.lb[j]) || std::isnan(m.ub[j]) ||
            !std::isfinite(m.cost[j]))
            return "its columns";
    if (m.rhs.size() != r || m.range.size() != r) return "its rows";
    for (size_t i = 0; i < r; ++i)
        if (!validRowType(m.rowtype[i]) || std::isnan(m.rhs[i]) || std::isnan(m.range[i]))
            return "its rows";
    const auto &A = m.A;
    if (A.start.size() != r + 1 || A.start[0] != 0 ||
        A.start[r] != static_cast<int64_t>(A.index.size()) || A.index.size() != A.value.size())
        return "its matrix";
    for (size_t i = 0; i < r; ++i) {
        if (A.start[i + 1] < A.start[i]) return "its matrix";
        for (int64_t p = A.start[i]; p < A.start[i + 1]; ++p)
            if (!inRange(A.index[p], n) || (p > A.start[i] && A.index[p] <= A.index[p - 1]) ||
                !std::isfinite(A.value[p]) || A.value[p] == 0.0)
                return "its matrix";
    }
    if (!tripletsFit(m.Q, static_cast<int>(n))) return "its quadratic objective";
    for (const auto &[row, q] : m.qrows)
        if (!inRange(row, r) || !tripletsFit(q, static_cast<int>(n))) return "its quadratic rows";
    for (const auto &[row, ind] : m.indicators)
        if (!inRange(row, r) || (ind.complement != 0 && !inRange(ind.col, n)) ||
            ind.complement < -1 || ind.complement > 1)
            return "its indicators";
    for (const Sos &s : m.sets) {
        if ((s.type != '1' && s.type != '2') || s.cols.size() != s.weights.size())
            return "its sets";
        for (int32_t c : s.cols)
            if (!inRange(c, n)) return "its sets";
    }
    for (const Pwl &p : m.pwls) {
        if (!inRange(p.col, n) || !inRange(p.resultant, n) || p.x.empty() ||
            p.x.size() != p.y.size())
            return "its piecewise-linear constraints";
        for (size_t k = 0; k < p.x.size(); ++k)
            if (!std::isfinite(p.x[k]) || !std::isfinite(p.y[k]) || (k && p.x[k] < p.x[k - 1]))
                return "its piecewise-linear constraints";
    }
    for (const GenCons &g : m.gencons) {
        if (g.type < 0 || g.type >= kNumGenConsTypes || !inRange(g.resultant, n))
            return "its general constraints";
        for (int32_t c : g.cols)
            if (!inRange(c, n)) return "its general constraints";
        for (double v : g.vals)
            if (!std::isfinite(v)) return "its general constraints";
    }
    for (const Objective &o : m.objectives)
        if (o.cost.size() != n) return "its objectives";
    if (m.rowNames.size() != static_cast<int>(r) || m.colNames.size() != static_cast<int>(n) ||
        m.setNames.size() != static_cast<int>(m.sets.size()))
        return "its names";
    for (const auto &[row, flags] : m.rowFlags)
        if (!inRange(row, r)) return "its row flags";
    for (const auto &[col, d] : m.dirs)
        if (!inRange(col, n) || (d.dir != 'U' && d.dir != 'D' && d.dir != 'N'))
            return "its directives";
    return (m.sense == 1 || m.sense == -1) ? nullptr : "its objective sense";
}

void putControls(BinWriter &out, const ControlValues &c) {
    for (const CaEntry &e : kRegistry) {
        if (!(e.flags & NVRA_CA_CONTROL) || e.slot < 0) continue;
        out.put<int32_t>(e.id);
        out.put<int32_t>(static_cast<int32_t>(e.type));
        if (e.type == CaType::Int)
            out.put<int64_t>(c.ints[e.slot]);
        else if (e.type == CaType::Double)
            out.put<double>(c.dbls[e.slot]);
        else
            out.putString(c.strs[e.slot]);
    }
    out.put<int32_t>(0);
}

// Controls of ids this library does not have are left out; values outside a control's bounds
// make the file damaged.
void getControls(BinReader &in, ControlValues &c) {
    for (int32_t id = in.get<int32_t>(); id != 0; id = in.get<int32_t>()) {
        const int32_t type = in.get<int32_t>();
        const CaEntry *e = findCa(id);
        const bool known = e && (e->flags & NVRA_CA_CONTROL) && e->slot >= 0 &&
                           static_cast<int32_t>(e->type) == type;
        if (type == static_cast<int32_t>(CaType::Int)) {
            const int64_t v = in.get<int64_t>();
            if (!known) continue;
            if (v < e->intLower || v > e->intUpper)
                throw ReadError{0, "a control value out of range"};
            c.ints[e->slot] = v;
        } else if (type == static_cast<int32_t>(CaType::Double)) {
            const double v = in.get<double>();
            if (!known) continue;
            if (!(v >= e->dblLower && v <= e->dblUpper))
                throw ReadError{0, "a control value out of range"};
            c.dbls[e->slot] = v;
        } else if (type == static_cast<int32_t>(CaType::String)) {
            std::string v = in.getString();
            if (!known) continue;
            if (v.size() >= NVRA_MAXSTRINGLENGTH) throw ReadError{0, "a control string too long"};
            c.strs[e->slot] = std::move(v);
        } else {
            throw ReadError{0, "a control of an unknown type"};
        }
    }
}

void putResult(BinWriter &out, const SolveResult &r) {
    for (int v :
         {r.lpStatus, r.mipStatus, r.solveStatus, r.solStatus, r.stopStatus, r.optimizeType})
        out.put<int32_t>(v);
    for (double v :
         {r.objVal, r.lpObjVal, r.mipObjVal, r.bestBound, r.mipGap, r.solveTime, r.maxViolation})
        out.put<double>(v);
    for (int64_t v : {r.simplexIter, r.barIter, r.nodes, r.nlpSolves, r.masterSolves})
        out.put<int64_t>(v);
}

SolveResult getResult(BinReader &in) {
    SolveResult r;
    for (int *v :
         {&r.lpStatus, &r.mipStatus, &r.solveStatus, &r.solStatus, &r.stopStatus, &r.optimizeType})
        *v = in.get<int32_t>();
    for (double *v : {&r.objVal, &r.lpObjVal, &r.mipObjVal, &r.bestBound, &r.mipGap, &r.solveTime,
                      &r.maxViolation})
        *v = in.get<double>();
    for (int64_t *v : {&r.simplexIter, &r.barIter, &r.nodes, &r.nlpSolves, &r.masterSolves})
        *v = in.get<int64_t>();
    return r;
}

void putSolution(BinWriter &out, const SolveState &st) {
    out.put<int32_t>(static_cast<int32_t>(st.solves.size()));
    for (const SolveResult &r : st.solves)
        putResult(out, r);
    for (const auto *v : {&st.x, &st.slack, &st.dual, &st.redCost})
        out.putVector(*v);
    out.put<int32_t>(st.primalAvail);
    out.put<int32_t>(st.dualAvail);
    out.put<int32_t>(st.fromMip ? 1 : 0);
    out.putVector(st.basis.rows);
    out.putVector(st.basis.cols);
}

void getSolution(BinReader &in, SolveState &st) {
    for (int32_t k = getCount(in); k > 0; --k)
        st.solves.push_back(getResult(in));
    for (auto *v : {&st.x, &st.slack, &st.dual, &st.redCost})
        *v = in.getVector<double>();
    st.primalAvail = in.get<int32_t>();
    st.dualAvail = in.get<int32_t>();
    st.fromMip = in.get<int32_t>() != 0;
    st.basis.rows = in.getVector<int32_t>();
    st.basis.cols = in.getVector<int32_t>();
}

const char *checkSolution(const SolveState &st, const Model &m) {
    const size_t n = m.coltype.size(), r = m.rowtype.size();
    auto sized = [](const std::vector<double> &v, size_t k) { return v.empty() || v.size() == k; };
    if (!sized(st.x, n) || !sized(st.slack, r) || !sized(st.dual, r) || !sized(st.redCost, n))
        return "its solution";
    if (st.primalAvail < 0 || st.primalAvail > 2 || st.dualAvail < 0 || st.dualAvail > 2)
        return "its solution";
    if (!st.basis.empty() && (st.basis.rows.size() != r || st.basis.cols.size() != n))
        return "its basis";
    for (const auto *v : {&st.basis.rows, &st.basis.cols})
        for (int32_t s : *v)
            if (s < 0 || s > 3) return "its basis";
    return nullptr;
}

// Problems whose formulas the format cannot keep are refused. 0 or the error code.
int checkSavable(NVRAprob prob, const char *fn) {
    if (prob->nonlinear && prob->nonlinear->holdsFormulas())
        return probError(prob, NVRA_RC_UNSUPPORTED,
                         "%s: the problem holds formulas, which saved problems do not keep", fn);
    return 0;
}

void putProblem(BinWriter &out, NVRAprob prob) {
    putModel(out, prob->model);
    putControls(out, prob->controls);
    putSolution(out, prob->solution.presolved ? SolveState() : prob->solution);
}

int save(NVRAprob prob, const char *fn, const std::string &filename) {
    if (int rc = checkSavable(prob, fn)) return rc;
    BinWriter out(kMagic);
    putProblem(out, prob);
    if (int err = out.writeTo(filename.c_str()))
        return probError(prob, NVRA_RC_FILE, "%s: cannot write \"%s\": %s", fn, filename.c_str(),
                         std::strerror(err));
    return 0;
}

int saveToBuffer(NVRAprob prob, const char *fn, void *buf, int64_t bufsize, int64_t *nbytes) {
    if (!nbytes) return probError(prob, NVRA_RC_INVALID, "%s: no place for the size given", fn);
    if (bufsize < 0 || (!buf && bufsize != 0))
        return probError(prob, NVRA_RC_INVALID,
                         "%s: a buffer size of %lld bytes without a buffer of that size", fn,
                         static_cast<long long>(bufsize));
    if (int rc = checkSavable(prob, fn)) return rc;
    BinWriter out(kMagic);
    putProblem(out, prob);
    const int64_t size = static_cast<int64_t>(out.size());
    *nbytes = size;
    if (buf && bufsize < size)
        return probError(prob, NVRA_RC_INVALID,
                         "%s: the buffer of %lld bytes is too small: the saved problem takes %lld",
                         fn, static_cast<long long>(bufsize), static_cast<long long>(size));
    if (buf) out.copyTo(static_cast<char *>(buf));
    return 0;
}

std::string savedFileName(const char *probname) {
    const std::string name(probname);
    const bool hasExtension = name.size() >= 4 && name.compare(name.size() - 4, 4, ".svf") == 0;
    return hasExtension ? name : name + ".svf";
}

// Replaces the problem by the saved content in `in` (from source, e.g. "\"a.svf\""); damaged
// content is refused with code and changes nothing.
int restoreFrom(NVRAprob prob, const char *fn, BinReader &in, const std::string &source, int code) {
    Model m;
    ControlValues controls;
    SolveState st;
    try {
        in.check(kMagic);
        getModel(in, m);
        getControls(in, controls);
        getSolution(in, st);
        in.finish();
    } catch (const ReadError &e) {
        return probError(prob, code, "%s: %s: %s", fn, source.c_str(), e.message.c_str());
    }
    const char *fault = checkModel(m);
    if (!fault) fault = checkSolution(st, m);
    if (fault)
        return probError(prob, code, "%s: %s is damaged: %s are inconsistent", fn, source.c_str(),
                         fault);
    prob->model = std::move(m);
    modelReplaced(prob);
    prob->controls = std::move(controls);
    prob->solution = std::move(st);
    prob->starts = Starts();
    prob->cutPool = CutPool();
    return 0;
}

int restore(NVRAprob prob, const char *fn, const char *probname) {
    if (!probname || !*probname) return probError(prob, NVRA_RC_INVALID, "%s: no name given", fn);
    const std::string filename = savedFileName(probname);
    BinReader in;
    if (int err = in.load(filename.c_str()))
        return probError(prob, NVRA_RC_FILE, "%s: cannot read \"%s\": %s", fn, filename.c_str(),
                         std::strerror(err));
    return restoreFrom(prob, fn, in, "\"" + filename + "\"", NVRA_RC_FILE);
}

int restoreFromBuffer(NVRAprob prob, const char *fn, const void *buf, int64_t nbytes) {
    if (nbytes < 0 || (!buf && nbytes != 0))
        return probError(prob, NVRA_RC_INVALID, "%s: %lld bytes without a buffer of that size", fn,
                         static_cast<long long>(nbytes));
    BinReader in;
    in.assign(static_cast<const char *>(buf), static_cast<size_t>(nbytes));
    return restoreFrom(prob, fn, in, "the saved problem in memory", NVRA_RC_INVALID);
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAsave(NVRAprob prob) {
    const char *fn = "NVRAsave";
    return storeQuery(prob, fn, [&] { return save(prob, fn, prob->model.probName + ".svf"); });
}

int NVRAsaveas(NVRAprob prob, const char *filename) {
    const char *fn = "NVRAsaveas";
    return storeQuery(prob, fn, [&] {
        if (!filename || !*filename)
            return probError(prob, NVRA_RC_INVALID, "%s: no file name given", fn);
        return save(prob, fn, filename);
    });
}

int NVRArestore(NVRAprob prob, const char *probname, const char *flags) {
    const char *fn = "NVRArestore";
    return sideEdit(prob, fn, [&] {
        if (int rc = noFlags(prob, fn, flags)) return rc;
        return restore(prob, fn, probname);
    });
}

int NVRAsavetobuffer(NVRAprob prob, void *buf, int64_t bufsize, int64_t *nbytes) {
    const char *fn = "NVRAsavetobuffer";
    return storeQuery(prob, fn, [&] { return saveToBuffer(prob, fn, buf, bufsize, nbytes); });
}

int NVRArestorefrombuffer(NVRAprob prob, const void *buf, int64_t nbytes, const char *flags) {
    const char *fn = "NVRArestorefrombuffer";
    return sideEdit(prob, fn, [&] {
        if (int rc = noFlags(prob, fn, flags)) return rc;
        return restoreFromBuffer(prob, fn, buf, nbytes);
    });
}

} // extern "C"
