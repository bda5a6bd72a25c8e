// api/build.cpp: the optimizer API members that build and change a problem: the rows of
// api/build.def, and the members with extra logic written out here: addcols and addrows (which
// create the model objects of the new columns and rows), loadproblem (six loaders, objects,
// names, and an empty problem after a failure past the load) and chgobjsense.
#include "api/methods.h"

#include "api/member.h"
#include "model/maps.h"
#include "problem/constraints.h"
#include "problem/delobjs.h"
#include "problem/variables.h"
#include "runtime/env.h"
#include "runtime/errors.h"

using namespace nvapi;

#define NVR_API_TABLE "api/build.def"
#define NVR_API_STAGE 1
#include "api/expand.inc"

namespace {

// Required array arguments given as None: the missing-argument error naming all of them
// (kw[0] .. kw[n - 1]). 0 or -1.
int checkRequired(const char *const *kw, std::initializer_list<PyObject *> args) {
    int n = 0;
    bool missing = false;
    for (PyObject *a : args) {
        missing = missing || a == Py_None;
        ++n;
    }
    if (!missing) return 0;
    nvo_PyErr_MissingArgsRange(kw, 0, n);
    return -1;
}

PyObject *noneToNull(PyObject *o) {
    return o == Py_None ? nullptr : o;
}

// A list of the items of an optional collection (names, types), so that it can be read more
// than once; null for None. 0 or -1.
int listOf(PyObject *o, Ref &out) {
    if (!o || o == Py_None) return 0;
    out = Ref::steal(PyUnicode_Check(o) ? PyTuple_Pack(1, o) : PySequence_List(o));
    if (out) return 0;
    if (PyErr_ExceptionMatches(PyExc_TypeError)) {
        PyErr_Clear();
        PyErr_SetString(nvy_interf_exc, "Invalid sequence of strings");
    }
    return -1;
}

int attrib(problem_s *p, int id) {
    int v = 0;
    return problem_intAttrib(p, id, &v) == 0 ? v : -1;
}

// Deletes entries first .. first + n - 1 of the library problem again (rows or columns),
// keeping a pending exception.
void deleteAdded(problem_s *p, int (*del)(NVRAprob, int, const int *), const char *name, int first,
                 int n) {
    if (n <= 0) return;
    AutoSavedException keep;
    LibArray<int> idx(static_cast<size_t>(n));
    if (!idx) return;
    for (int i = 0; i < n; ++i)
        idx[i] = first + i;
    problem_call(p, del, name, n, idx.get());
    PyErr_Clear();
}

// Names entries first .. first + n - 1 of a kind from the packed list names (empty: none).
int addNames(problem_s *p, int type, const std::string &names, int first, int n) {
    if (names.empty() || n == 0) return 0;
    return problem_call(p, NVRAaddnames, "NVRAaddnames", type, names.data(), first, first + n - 1);
}

} // namespace

// ---- addcols, addrows
// -----------------------------------------------------------------------------

PyObject *NVRA_PY_addcols(problem_s *p, PyObject *args, PyObject *kwargs) {
    using M = api_addcols;
    PyObject *objcoef, *start, *rowind, *rowcoef, *lb, *ub, *names = nullptr, *types = nullptr,
                                                            *unlinked = nullptr;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), &objcoef, &start,
                                   &rowind, &rowcoef, &lb, &ub, &names, &types, &unlinked) ||
        checkRequired(M::kw, {objcoef, start, rowind, rowcoef, lb, ub}) != 0)
        return nullptr;
    int unlinkedMode = 0;
    Ref nameList, typeList;
    if (check_unlinked_arg(p, unlinked, &unlinkedMode) != 0 || listOf(names, nameList) != 0 ||
        listOf(types, typeList) != 0)
        return nullptr;
    int64_t ncols = -1, ncoefs = -1;
    ConvArray<kElemDouble> cost, coef, lower, upper;
    ConvArray<kElemInt64> starts;
    ConvArray<kElemRow> rows;
    ConvArray<kElemChar> letters;
    std::string nameBuf;
    if (conv_obj2arr(p, &ncols, objcoef, cost, "objcoef") != 0 ||
        conv_obj2arr(p, &ncols, start, starts, "start") != 0 ||
        conv_obj2arr(p, &ncoefs, rowind, rows, "rowind") != 0 ||
        conv_obj2arr(p, &ncoefs, rowcoef, coef, "rowcoef") != 0 ||
        conv_obj2arr(p, &ncols, lb, lower, "lb") != 0 ||
        conv_obj2arr(p, &ncols, ub, upper, "ub") != 0 ||
        conv_obj2arr(p, &ncols, typeList.get(), letters, "types") != 0 ||
        conv_names2arr(p, nameList.get(), nameList ? ncols : 0, nameBuf) != 0)
        return nullptr;
    const int first = attrib(p, NVRA_ATTR_COLS);
    const int n = static_cast<int>(ncols);
    if (first < 0 ||
        problem_call(p, NVRAaddcols64, "NVRAaddcols64", n, ncoefs, cost.get(), starts.get(),
                     rows.get(), coef.get(), lower.get(), upper.get()) != 0)
        return nullptr;
    const Py_ssize_t listed = PyList_GET_SIZE(p->vars);
    LibArray<int> idx;
    bool ok = idx.alloc(static_cast<size_t>(n)) == 0;
    for (int i = 0; ok && i < n; ++i)
        idx[i] = first + i;
    if (ok && unlinkedMode && !p->var_index_map && !(p->var_index_map = rowcolmap_new())) {
        PyErr_NoMemory();
        ok = false;
    }
    ok = ok &&
         (!letters.get() ||
          problem_call(p, NVRAchgcoltype, "NVRAchgcoltype", n, idx.get(), letters.get()) == 0) &&
         addNames(p, NVRA_NAMES_COLUMNS, nameBuf, first, n) == 0 &&
         addColsAsVariables(p, n, nameList.get(), typeList.get(), nullptr) == 0;
    if (ok) Py_RETURN_NONE;
    deleteAdded(p, NVRAdelcols, "NVRAdelcols", first, n);
    nvy_dropObjectsFrom(p, p->vars, listed);
    return nullptr;
}

PyObject *NVRA_PY_addrows(problem_s *p, PyObject *args, PyObject *kwargs) {
    using M = api_addrows;
    PyObject *rowtype, *rhs, *start, *colind, *rowcoef, *range = nullptr, *names = nullptr,
                                                        *unlinked = nullptr;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), &rowtype, &rhs,
                                   &start, &colind, &rowcoef, &range, &names, &unlinked) ||
        checkRequired(M::kw, {rowtype, rhs, start, colind, rowcoef}) != 0)
        return nullptr;
    int unlinkedMode = 0;
    Ref nameList;
    if (check_unlinked_arg(p, unlinked, &unlinkedMode) != 0 || listOf(names, nameList) != 0)
        return nullptr;
    int64_t nrows = -1, ncoefs = -1;
    ConvArray<kElemChar> types;
    ConvArray<kElemDouble> rhsArr, coef, ranges;
    ConvArray<kElemInt64> starts;
    ConvArray<kElemCol> cols;
    std::string nameBuf;
    if (conv_obj2arr(p, &nrows, rowtype, types, "rowtype") != 0 ||
        conv_obj2arr(p, &nrows, rhs, rhsArr, "rhs") != 0 ||
        conv_obj2arr(p, &nrows, start, starts, "start") != 0 ||
        conv_obj2arr(p, &ncoefs, colind, cols, "colind") != 0 ||
        conv_obj2arr(p, &ncoefs, rowcoef, coef, "rowcoef") != 0 ||
        conv_obj2arr(p, &nrows, range, ranges, "range") != 0 ||
        conv_names2arr(p, nameList.get(), nameList ? nrows : 0, nameBuf) != 0)
        return nullptr;
    const int first = attrib(p, NVRA_ATTR_ROWS);
    const int n = static_cast<int>(nrows);
    if (first < 0 ||
        problem_call(p, NVRAaddrows64, "NVRAaddrows64", n, ncoefs, types.get(), rhsArr.get(),
                     ranges.get(), starts.get(), cols.get(), coef.get()) != 0)
        return nullptr;
    const Py_ssize_t listed = PyList_GET_SIZE(p->cons);
    if (addNames(p, NVRA_NAMES_ROWS, nameBuf, first, n) == 0 && addRowsAsConstraints(p, n) == 0)
        Py_RETURN_NONE;
    deleteAdded(p, NVRAdelrows, "NVRAdelrows", first, n);
    nvy_dropObjectsFrom(p, p->cons, listed);
    return nullptr;
}

// ---- loadproblem
// ----------------------------------------------------------------------------------

namespace {

// The converted arguments of loadproblem and the counts they share.
struct LoadArgs {
    const char *probname = nullptr;
    PyObject *obj[28] = {};
    int64_t cols = -1, rows = -1, nnz = -1, starts = -1, objq = -1, qrows = -1, rowq = -1,
            ents = -1, sets = -1, setStarts = -1, members = -1;
    ConvArray<kElemChar> rowtype, coltype, settype;
    ConvArray<kElemDouble> rhs, rng, objcoef, rowcoef, lb, ub, objqcoef, rowqcoef, limit, refval;
    ConvArray<kElemInt64> start, nrowqcoefs, setstart;
    ConvArray<kElemInt> collen, rowind, objqcol1, objqcol2, qrowind, rowqcol1, rowqcol2, entind,
        setind;
    std::string colnames, rownames;
    bool quadObj = false, quadRows = false, entities = false, sos = false;
};

// Positions of loadproblem's parameters after probname.
enum LoadParam {
    kRowtype,
    kRhs,
    kRng,
    kObjcoef,
    kStart,
    kCollen,
    kRowind,
    kRowcoef,
    kLb,
    kUb,
    kObjqcol1,
    kObjqcol2,
    kObjqcoef,
    kQrowind,
    kNrowqcoefs,
    kRowqcol1,
    kRowqcol2,
    kRowqcoef,
    kColtype,
    kEntind,
    kLimit,
    kSettype,
    kSetstart,
    kSetind,
    kRefval,
    kColnames,
    kRownames,
    kUnlinked
};

// An optional group of arguments: all given or none. 1 when given, 0 when not, -1 with the
// "Incomplete list" error.
int group(const LoadArgs &a, std::initializer_list<int> members, const char *what) {
    int given = 0, n = 0;
    for (int k : members) {
        given += a.obj[k] != nullptr;
        ++n;
    }
    if (given == 0 || given == n) return given ? 1 : 0;
    PyErr_Format(nvy_interf_exc, "Incomplete list of arguments specified for the %s", what);
    return -1;
}

// The number of entries the list starts (with lengths, or ending at the next start) refer to:
// the library reads that many entries of the lists they index.
int64_t extent(const int64_t *start, const int *len, int64_t n) {
    int64_t end = 0;
    for (int64_t j = 0; j < n; ++j)
        end = std::max(end, len ? start[j] + len[j] : start[j + 1]);
    return end;
}

// The lists indexed by starts must hold what the starts refer to (the library reads by them).
int checkExtent(const char *argname, int64_t have, int64_t needed) {
    if (have >= needed) return 0;
    PyErr_Format(nvy_interf_exc,
                 "Argument '%s' has %lld elements, but the starts refer to %lld of them", argname,
                 static_cast<long long>(have), static_cast<long long>(needed));
    return -1;
}

int convertLoad(problem_s *p, LoadArgs &a) {
    const char *const *kw = api_loadproblem::kw + 1;
    auto conv = [&](auto &arr, int64_t &count, int k) {
        return conv_obj2arr(p, &count, a.obj[k], arr, kw[k]);
    };
    // The column count: from the per-column arrays, else from start.
    if (conv(a.objcoef, a.cols, kObjcoef) || conv(a.collen, a.cols, kCollen) ||
        conv(a.lb, a.cols, kLb) || conv(a.ub, a.cols, kUb) || conv(a.start, a.starts, kStart) ||
        conv(a.rowtype, a.rows, kRowtype) || conv(a.rhs, a.rows, kRhs) ||
        conv(a.rng, a.rows, kRng) || conv(a.rowind, a.nnz, kRowind) ||
        conv(a.rowcoef, a.nnz, kRowcoef))
        return -1;
    const bool lengths = a.collen.get() != nullptr;
    if (a.cols < 0) a.cols = std::max<int64_t>(0, a.starts - (lengths ? 0 : 1));
    if (a.starts < a.cols + (lengths ? 0 : 1)) {
        PyErr_SetString(nvy_interf_exc,
                        lengths ? "The mstart array must contain an element for every column"
                                : "The mstart array must contain an element for every column "
                                  "plus one more element");
        return -1;
    }
    if (checkExtent("rowind", std::max<int64_t>(a.nnz, 0),
                    extent(a.start.get(), a.collen.get(), a.cols)) != 0)
        return -1;
    if (a.rows < 0) a.rows = 0;
    if (a.nnz < 0) a.nnz = 0;
    if (a.quadObj && (conv(a.objqcol1, a.objq, kObjqcol1) || conv(a.objqcol2, a.objq, kObjqcol2) ||
                      conv(a.objqcoef, a.objq, kObjqcoef)))
        return -1;
    if (a.quadRows) {
        if (conv(a.qrowind, a.qrows, kQrowind) || conv(a.nrowqcoefs, a.qrows, kNrowqcoefs) ||
            conv(a.rowqcol1, a.rowq, kRowqcol1) || conv(a.rowqcol2, a.rowq, kRowqcol2) ||
            conv(a.rowqcoef, a.rowq, kRowqcoef))
            return -1;
        int64_t total = 0;
        for (int64_t k = 0; k < a.qrows; ++k)
            total += a.nrowqcoefs[k];
        if (total != a.rowq) {
            PyErr_Format(nvy_interf_exc,
                         "Argument 'rowqcol1' has %lld elements, but nrowqcoefs adds up to %lld",
                         static_cast<long long>(a.rowq), static_cast<long long>(total));
            return -1;
        }
    }
    if (a.entities && (conv(a.coltype, a.ents, kColtype) || conv(a.entind, a.ents, kEntind) ||
                       conv(a.limit, a.ents, kLimit)))
        return -1;
    if (a.sos) {
        if (conv(a.settype, a.sets, kSettype) || conv(a.setstart, a.setStarts, kSetstart) ||
            conv(a.setind, a.members, kSetind) || conv(a.refval, a.members, kRefval))
            return -1;
        if (a.setStarts != a.sets + 1) {
            PyErr_Format(nvy_interf_exc,
                         "Argument 'setstart' must have one element more than 'settype' (%lld), "
                         "but has %lld",
                         static_cast<long long>(a.sets + 1), static_cast<long long>(a.setStarts));
            return -1;
        }
        if (checkExtent("setind", a.members, a.sets ? a.setstart[a.sets] : 0) != 0) return -1;
    }
    return conv_names2arr(p, a.obj[kColnames], a.obj[kColnames] ? a.cols : 0, a.colnames) ||
                   conv_names2arr(p, a.obj[kRownames], a.obj[kRownames] ? a.rows : 0, a.rownames)
               ? -1
               : 0;
}

// The loader for the groups given: quadratic rows and entities miqcqp, quadratic objective and
// entities miqp, quadratic rows qcqp, quadratic objective qp, entities mip, else lp. 0 or -1.
int load(problem_s *p, LoadArgs &a) {
    const int nc = static_cast<int>(a.cols), nr = static_cast<int>(a.rows);
    const auto qobj = std::make_tuple(std::max<int64_t>(a.objq, 0), a.objqcol1.get(),
                                      a.objqcol2.get(), a.objqcoef.get());
    const auto qrow =
        std::make_tuple(static_cast<int>(std::max<int64_t>(a.qrows, 0)), a.qrowind.get(),
                        a.nrowqcoefs.get(), a.rowqcol1.get(), a.rowqcol2.get(), a.rowqcoef.get());
    const auto ent = std::make_tuple(
        static_cast<int>(std::max<int64_t>(a.ents, 0)),
        static_cast<int>(std::max<int64_t>(a.sets, 0)), a.coltype.get(), a.entind.get(),
        a.limit.get(), a.settype.get(), a.setstart.get(), a.setind.get(), a.refval.get());
    auto call = [&](auto fn, const char *name, auto extra) {
        return std::apply(
            [&](auto... e) {
                return problem_call(p, fn, name, a.probname, nc, nr, a.rowtype.get(), a.rhs.get(),
                                    a.rng.get(), a.objcoef.get(), a.start.get(), a.collen.get(),
                                    a.rowind.get(), a.rowcoef.get(), a.lb.get(), a.ub.get(), e...);
            },
            extra);
    };
    const bool mip = a.entities || a.sos;
    if (a.quadRows && mip)
        return call(NVRAloadmiqcqp64, "NVRAloadmiqcqp64", std::tuple_cat(qobj, qrow, ent));
    if (a.quadRows) return call(NVRAloadqcqp64, "NVRAloadqcqp64", std::tuple_cat(qobj, qrow));
    if (a.quadObj && mip) return call(NVRAloadmiqp64, "NVRAloadmiqp64", std::tuple_cat(qobj, ent));
    if (a.quadObj) return call(NVRAloadqp64, "NVRAloadqp64", qobj);
    if (mip) return call(NVRAloadmip64, "NVRAloadmip64", ent);
    return call(NVRAloadlp64, "NVRAloadlp64", std::tuple<>());
}

// The model objects and names of a model just loaded, in place of the old ones. 0 or -1.
int adoptLoaded(problem_s *p, LoadArgs &a, bool unlinked) {
    const int nc = static_cast<int>(a.cols), nr = static_cast<int>(a.rows);
    if (problem_clearmodeldata(p, 0) != 0) return -1;
    if (unlinked && !(p->var_index_map = rowcolmap_new())) {
        PyErr_NoMemory();
        return -1;
    }
    Ref names;
    if (listOf(unlinked ? a.obj[kColnames] : nullptr, names) != 0) return -1;
    return addColsAsVariables(p, nc, names.get(), nullptr, nullptr) != 0 ||
                   addNames(p, NVRA_NAMES_COLUMNS, a.colnames, 0, nc) != 0 ||
                   addNames(p, NVRA_NAMES_ROWS, a.rownames, 0, nr) != 0 ||
                   addRowsAsConstraints(p, nr) != 0
               ? -1
               : 0;
}

} // namespace

PyObject *NVRA_PY_loadproblem(problem_s *p, PyObject *args, PyObject *kwargs) {
    using M = api_loadproblem;
    LoadArgs a;
    PyObject **o = a.obj;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), &a.probname, &o[0],
                                   &o[1], &o[2], &o[3], &o[4], &o[5], &o[6], &o[7], &o[8], &o[9],
                                   &o[10], &o[11], &o[12], &o[13], &o[14], &o[15], &o[16], &o[17],
                                   &o[18], &o[19], &o[20], &o[21], &o[22], &o[23], &o[24], &o[25],
                                   &o[26], &o[27]))
        return nullptr;
    static const char *const required[] = {"rowtype", "rhs", "start", "rowind", "rowcoef"};
    for (int k : {kRowtype, kRhs, kStart, kRowind, kRowcoef})
        if (o[k] == Py_None) {
            nvo_PyErr_MissingArgsRange(required, 0, 5);
            return nullptr;
        }
    int unlinked = 0;
    if (check_unlinked_arg(p, o[kUnlinked], &unlinked) != 0) return nullptr;
    for (PyObject *&x : a.obj)
        x = noneToNull(x);
    const int groups[] = {
        group(a, {kObjqcol1, kObjqcol2, kObjqcoef}, "quadratic objective component"),
        group(a, {kQrowind, kNrowqcoefs, kRowqcol1, kRowqcol2, kRowqcoef},
              "quadratic rows component"),
        group(a, {kColtype, kEntind}, "global entities"),
        group(a, {kSettype, kSetstart, kSetind, kRefval}, "SOS")};
    for (int g : groups)
        if (g < 0) return nullptr;
    a.quadObj = groups[0], a.quadRows = groups[1], a.entities = groups[2], a.sos = groups[3];
    // Everything is converted and checked before the load, so that bad arguments leave the
    // problem as it was; the library refuses a bad model without changing it either.
    if (convertLoad(p, a) != 0 || load(p, a) != 0) return nullptr;
    if (adoptLoaded(p, a, unlinked != 0) == 0) Py_RETURN_NONE;
    // The model is loaded but its objects or names are not: an empty problem rather than a
    // half-made one.
    AutoSavedException keep;
    if (problem_loadEmpty(p, "") != 0 || problem_clearmodeldata(p, 0) != 0) PyErr_Clear();
    return nullptr;
}

PyObject *NVRA_PY_chgobjsense(problem_s *p, PyObject *args, PyObject *kwargs) {
    using M = api_chgobjsense;
    int sense = 0;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), &sense))
        return nullptr;
    // A problem with nonlinear formulas takes its sense through the nonlinear solver's control;
    // the library keeps one sense for both (the control reads and writes the optimizer's), so
    // the two cannot disagree. The library refuses any value but 1 and -1 on either path.
    const bool nonlinear = p->nlprob && (p->nl_rows || p->nl_objective);
    const int rc = nonlinear ? problem_call(p, NSLPsetdblcontrol, "NSLPsetdblcontrol",
                                            NSLP_CONTROL_OBJSENSE, static_cast<double>(sense))
                             : problem_call(p, NVRAchgobjsense, "NVRAchgobjsense", sense);
    if (rc != 0) return nullptr;
    Py_RETURN_NONE;
}

PyMethodDef nvr_api_build_methods[] = {
#define NVR_API_STAGE 2
#include "api/expand.inc"
    {nullptr, nullptr, 0, nullptr},
};

const ApiMemberInfo nvr_api_build_info[] = {
#define NVR_API_STAGE 3
#include "api/expand.inc"
    {nullptr, nullptr, nullptr, nullptr},
};
