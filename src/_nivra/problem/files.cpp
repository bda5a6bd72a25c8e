// problem/files.cpp: problem methods read and write: problem files through the library, and
// the model objects for what a read brought in.
//
// Reading replaces the whole model. The problem's objects are let go first (linked ones become
// deleted objects), then the library reads, and then one object is made per column, row and
// set the library holds afterwards: on success the file's model, on failure whatever the
// library kept (it empties the problem when a file cannot be read). The lists thus always
// match the library's problem.
#include "problem/problib.h"

#include <cstring>

#include "model/constraint.h"
#include "model/conrow.h"
#include "model/maps.h"
#include "model/sos.h"
#include "model/var.h"
#include "runtime/args.h"
#include "runtime/ref.h"
#include "runtime/npy.h"
#include "problem/methods.h"
#include "problem/objtransfer.h"
#include "problem/variables.h"

namespace {

constexpr double kInf = NVRA_PLUSINFINITY;
constexpr int kNameBlock = 256; // names fetched per library call

// The sizes of the library's problem after a read.
struct ReadCounts {
    int cols = 0, rows = 0, sets = 0;
    int nameLength = 0; // bytes of the longest name with its zero
};

int readCounts(problem_s *p, ReadCounts *n) {
    return problem_intAttrib(p, NVRA_ATTR_ORIGINALCOLS, &n->cols) != 0 ||
                   problem_intAttrib(p, NVRA_ATTR_ORIGINALROWS, &n->rows) != 0 ||
                   problem_intAttrib(p, NVRA_ATTR_ORIGINALSETS, &n->sets) != 0 ||
                   problem_intAttrib(p, NVRA_ATTR_NAMELENGTH, &n->nameLength) != 0
               ? -1
               : 0;
}

// The unlinked argument of read: None keeps the problem's present mode (unlinked when it holds
// unlinked objects), True asks for unlinked objects (deprecated), False for linked ones.
// 0 or -1.
int readMode(problem_s *p, PyObject *arg, bool *unlinked) {
    if (!arg || arg == Py_None) {
        *unlinked = problem_holdsUnlinked(p);
        return 0;
    }
    if (!PyBool_Check(arg) && !PyArray_IsScalar(arg, Bool))
        return nvr_raise(nvy_model_exc, "The unlinked argument must be a Boolean value");
    *unlinked = PyObject_IsTrue(arg) == 1;
    return *unlinked ? warnDeprec(9, 5, "unlinked variables and constraints are deprecated") : 0;
}

// Clears the model objects before a read. The user functions stay: the nonlinear solver keeps
// their registrations, which point at the records, and a file names the user functions of its
// formulas, which must be registered when it is read. 0 or -1.
int clearForRead(problem_s *p) {
    return problem_clearmodeldata(p, 0);
}

// ---- names of the unlinked objects --------------------------------------------------------------

// The names of the `count` entries of one kind, fetched from the library in blocks.
class NameReader {
    problem_s *p_;
    int type_, count_, length_;
    LibArray<char> buf_;
    int first_ = 0, loaded_ = 0; // the entries first_ .. first_ + loaded_ - 1 are in buf_
    const char *next_ = nullptr;

  public:
    NameReader(problem_s *p, int type, int count, int nameLength)
        : p_(p), type_(type), count_(count), length_(nameLength > 0 ? nameLength : 1) {}

    // The name of entry i (entries are asked for in order) as a new str, or null.
    PyObject *name(int i) {
        if (i >= first_ + loaded_ && load(i) != 0) return nullptr;
        const char *text = next_;
        next_ += strlen(text) + 1;
        return PyUnicode_FromString(text);
    }

  private:
    int load(int first) {
        const int n = count_ - first < kNameBlock ? count_ - first : kNameBlock;
        if (!buf_ &&
            buf_.alloc(static_cast<size_t>(kNameBlock) * static_cast<size_t>(length_)) != 0)
            return -1;
        if (problem_call(p_, NVRAgetnames, "NVRAgetnames", type_, buf_.get(), first,
                         first + n - 1) != 0)
            return -1;
        first_ = first;
        loaded_ = n;
        next_ = buf_.get();
        return 0;
    }
};

// Records serial -> index in one of the problem's maps, creating the map. 0 or -1.
int mapSerial(rowcolmap **map, uint64_t serial, long index, const char *failure) {
    if ((*map || (*map = rowcolmap_new())) && rowcolmap_set(*map, serial, index) == 0) return 0;
    return nvr_raise(nvy_model_exc, failure);
}

// The integer entities and sets of the problem, as NVRAgetmipentities64 gives them: column
// types and thresholds for unlinked variables, set types, members and weights for unlinked
// sets.
struct Entities {
    int count = 0, sets = 0;
    LibArray<char> coltype, settype;
    LibArray<int> colind, setcols;
    LibArray<double> limit, refval;
    LibArray<int64_t> start;

    int fetch(problem_s *p) {
        if (problem_call(p, NVRAgetmipentities64, "NVRAgetmipentities64", &count, &sets, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) != 0 ||
            start.alloc(static_cast<size_t>(sets) + 1) != 0)
            return -1;
        start[0] = 0;
        if (sets > 0 &&
            problem_call(p, NVRAgetmipentities64, "NVRAgetmipentities64", &count, &sets, nullptr,
                         nullptr, nullptr, nullptr, start.get(), nullptr, nullptr) != 0)
            return -1;
        const size_t members = static_cast<size_t>(start[sets]);
        if (coltype.alloc(count) != 0 || colind.alloc(count) != 0 || limit.alloc(count) != 0 ||
            settype.alloc(sets) != 0 || setcols.alloc(members) != 0 || refval.alloc(members) != 0)
            return -1;
        return problem_call(p, NVRAgetmipentities64, "NVRAgetmipentities64", &count, &sets,
                            coltype.get(), colind.get(), limit.get(), settype.get(), start.get(),
                            setcols.get(), refval.get());
    }
};

// ---- objects for the columns, rows and sets ---------------------------------------------------

// Unlinked variables for the n columns, with the library's bounds, types, thresholds and
// names. 0 or -1.
int addUnlinkedVars(problem_s *p, int n, int nameLength, const Entities &ent) {
    LibArray<double> lb(n), ub(n), threshold(n);
    LibArray<char> type(n);
    if (n == 0) return 0;
    if (!lb || !ub || !threshold || !type ||
        problem_call(p, NVRAgetlb, "NVRAgetlb", lb.get(), 0, n - 1) != 0 ||
        problem_call(p, NVRAgetub, "NVRAgetub", ub.get(), 0, n - 1) != 0 ||
        problem_call(p, NVRAgetcoltype, "NVRAgetcoltype", type.get(), 0, n - 1) != 0)
        return -1;
    for (int j = 0; j < n; ++j)
        threshold[j] = -kInf;
    for (int k = 0; k < ent.count; ++k)
        threshold[ent.colind[k]] = ent.limit[k];
    NameReader names(p, NVRA_NAMES_COLUMNS, n, nameLength);
    for (int j = 0; j < n; ++j) {
        const int vartype = coltype_to_vartype(type[j]);
        Ref name = Ref::steal(names.name(j));
        Ref v = Ref::steal(name ? var_base() : nullptr);
        if (!v ||
            var_init_unlinked(v.get(), nvr_py_env.next_var_serial++, vartype, lb[j], ub[j],
                              vartype >= kSemiContinuous ? threshold[j] : -kInf, name.get()) != 0)
            return -1;
        as_var(v.get())->flags |= kVarAddedFlag;
        if (mapSerial(&p->var_index_map, var_id(as_var(v.get())), j,
                      "Could not amend variable map") != 0 ||
            PyList_Append(p->vars, v.get()) != 0)
            return -1;
    }
    return 0;
}

// Unlinked constraints for the n rows: no body, the library's bounds and names, each with a
// serial mapped to its row. 0 or -1.
int addUnlinkedCons(problem_s *p, int n, int nameLength) {
    LibArray<double> rhs(n), range(n);
    LibArray<char> type(n);
    if (n == 0) return 0;
    if (!rhs || !range || !type ||
        problem_call(p, NVRAgetrhs, "NVRAgetrhs", rhs.get(), 0, n - 1) != 0 ||
        problem_call(p, NVRAgetrhsrange, "NVRAgetrhsrange", range.get(), 0, n - 1) != 0 ||
        problem_call(p, NVRAgetrowtype, "NVRAgetrowtype", type.get(), 0, n - 1) != 0)
        return -1;
    NameReader names(p, NVRA_NAMES_ROWS, n, nameLength);
    for (int i = 0; i < n; ++i) {
        // Free rows ('N'), which MPS files may hold beside the objective, are nonbinding.
        const long contype = conrow_type_of_letter(type[i]);
        if (contype < 0) {
            PyErr_Format(nvy_interf_exc, "Unexpected constraint type %c in row %d", type[i], i);
            return -1;
        }
        double lb = 0.0, ub = 0.0;
        calc_constraint_bounds(contype, rhs[i], range[i], &lb, &ub);
        Ref name = Ref::steal(names.name(i));
        Ref c = Ref::steal(name ? constraint_base() : nullptr);
        if (!c ||
            constraint_init_internal(as_constraint(c.get()), lb, ub, nullptr, name.get()) != 0)
            return -1;
        // Without a body the constraint has no variable to take its kind from: it is an
        // unlinked constraint of this problem, known by its serial.
        constraint_s *rec = as_constraint(c.get());
        const uint64_t serial = nvr_py_env.next_constraint_serial++;
        rec->flags = static_cast<uint16_t>((rec->flags & ~kConKindMask) |
                                           (kConKindUnlinked << kConKindShift));
        rec->id_low = static_cast<uint32_t>(serial);
        rec->id_high = static_cast<uint16_t>(serial >> 32);
        if (mapSerial(&p->con_index_map, serial, i, "Could not amend constraint map") != 0 ||
            PyList_Append(p->cons, c.get()) != 0)
            return -1;
    }
    return 0;
}

// Unlinked sets with the library's names, types, members and weights. 0 or -1.
int addUnlinkedSets(problem_s *p, int n, int nameLength, const Entities &ent) {
    NameReader names(p, NVRA_NAMES_SETS, n, nameLength);
    for (int k = 0; k < n; ++k) {
        Ref name = Ref::steal(names.name(k));
        Ref set = Ref::steal(name ? sos_type.tp_new(&sos_type, nullptr, nullptr) : nullptr);
        if (!set) return -1;
        sos_s *s = as_sos(set.get());
        s->index = static_cast<int64_t>(nvr_py_env.next_sos_serial++);
        s->type = ent.settype[k] == '2' ? 2 : 1;
        s->name = name.release();
        const Py_ssize_t members = static_cast<Py_ssize_t>(ent.start[k + 1] - ent.start[k]);
        if (!(s->indices = PyList_New(members)) || !(s->weights = PyList_New(members))) return -1;
        for (Py_ssize_t m = 0; m < members; ++m) {
            const int64_t at = ent.start[k] + m;
            PyObject *weight = PyFloat_FromDouble(ent.refval[at]);
            if (!weight) return -1;
            PyList_SET_ITEM(s->weights, m, weight);
            PyList_SET_ITEM(s->indices, m, Py_NewRef(PyList_GET_ITEM(p->vars, ent.setcols[at])));
        }
        if (mapSerial(&p->sos_index_map, static_cast<uint64_t>(s->index), k,
                      "Could not amend SOS map") != 0 ||
            PyList_Append(p->sets, set.get()) != 0)
            return -1;
    }
    return 0;
}

int addUnlinkedObjects(problem_s *p, const ReadCounts &n) {
    Entities ent;
    return ent.fetch(p) != 0 || addUnlinkedVars(p, n.cols, n.nameLength, ent) != 0 ||
                   addUnlinkedCons(p, n.rows, n.nameLength) != 0 ||
                   addUnlinkedSets(p, n.sets, n.nameLength, ent) != 0
               ? -1
               : 0;
}

// Linked constraints and sets for the rows and sets of p (the variables are made by the
// routine shared with the API's column additions). 0 or -1.
int addLinkedObjects(problem_s *p, const ReadCounts &n) {
    if (addColsAsVariables(p, n.cols, nullptr, nullptr, nullptr) != 0) return -1;
    for (int i = 0; i < n.rows; ++i) {
        Ref c = Ref::steal(constraint_base());
        if (!c) return -1;
        constraint_link(as_constraint(c.get()), p, i);
        if (PyList_Append(p->cons, c.get()) != 0) return -1;
    }
    for (int k = 0; k < n.sets; ++k) {
        Ref set = Ref::steal(sos_new_linked(p, k));
        if (!set || PyList_Append(p->sets, set.get()) != 0) return -1;
    }
    return 0;
}

// The nonlinear content the library's problem holds after a read: nl_rows counts the rows with
// formulas (attributes 12026 and 12016), and a transfer row and column become the nonlinear
// objective. 0 or -1.
int adoptNonlinear(problem_s *p) {
    if (!p->nlprob) return 0;
    int formulaRows = 0, columnCoefs = 0;
    if (problem_call(p, NSLPgetintattrib, "NSLPgetintattrib", NSLP_ATTR_FORMULAROWS,
                     &formulaRows) != 0 ||
        problem_call(p, NSLPgetintattrib, "NSLPgetintattrib", NSLP_ATTR_COEFS, &columnCoefs) != 0)
        return -1;
    p->nl_rows = formulaRows + columnCoefs;
    return objtransfer_adopt(p);
}

// The model objects for whatever the library's problem holds. 0 or -1.
int createObjects(problem_s *p, bool unlinked) {
    ReadCounts n;
    if (readCounts(p, &n) != 0) return -1;
    if (unlinked ? addUnlinkedObjects(p, n) : addLinkedObjects(p, n)) return -1;
    return adoptNonlinear(p);
}

// ---- methods ------------------------------------------------------------------------------------

// The file name argument: a str, bytes or path-like object, as the file-system encoding's
// bytes (a name with a zero byte is refused by the converter).
struct FileName {
    PyObject *bytes = nullptr; // owned once parsing succeeded
    ~FileName() { Py_XDECREF(bytes); }
    const char *text() const { return PyBytes_AS_STRING(bytes); }
};

PyObject *problem_read(PyObject *self, PyObject *args, PyObject *kwargs) {
    problem_s *p = as_problem(self);
    static const char *const kw[] = {"filename", "options", "unlinked", nullptr};
    FileName file;
    const char *options = nullptr;
    PyObject *unlinkedArg = nullptr;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "O&|zO", kw, nullptr, PyUnicode_FSConverter,
                                   &file.bytes, &options, &unlinkedArg))
        return nullptr;
    bool unlinked = false;
    if (checkProblemIsInitialized(p) != 0 || readMode(p, unlinkedArg, &unlinked) != 0 ||
        clearForRead(p) != 0)
        return nullptr;
    const int rc =
        problem_call(p, NVRAreadprob, "NVRAreadprob", file.text(), options ? options : "");
    {
        AutoSavedException readError; // kept while the objects are made, raised afterwards
        if (createObjects(p, unlinked) != 0) {
            if (rc != 0)
                PyErr_Clear(); // the read's own error is the one to report
            else
                return nullptr;
        }
    }
    if (rc != 0) return nullptr;
    Py_RETURN_NONE;
}

// A RuntimeWarning when the file holds default names in place of names the user gave (duplicated,
// or not writable in the format): reading it back gives the model under those names. 0, or -1
// when the warning is raised as an error (or the query failed).
int warnReplacedNames(problem_s *p, const char *filename) {
    int replaced = 0;
    if (problem_intAttrib(p, NVRA_ATTR_REPLACEDNAMES, &replaced) != 0) return -1;
    if (replaced == 0) return 0;
    return PyErr_WarnFormat(PyExc_RuntimeWarning, 1,
                            "%d name%s of the model (duplicated, or not writable in this format) "
                            "written to '%s' as default names",
                            replaced, replaced == 1 ? "" : "s", filename);
}

PyObject *problem_write(PyObject *self, PyObject *args, PyObject *kwargs) {
    problem_s *p = as_problem(self);
    static const char *const kw[] = {"filename", "flags", nullptr};
    FileName file;
    const char *flags = nullptr;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "O&|z", kw, nullptr, PyUnicode_FSConverter,
                                   &file.bytes, &flags))
        return nullptr;
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    // Nonlinear formulas and the flag 'g' call for the nonlinear solver's writer.
    const bool nonlinear = p->nl_rows || p->nl_objective || (flags && strchr(flags, 'g'));
    if (nonlinear && !p->nlprob) {
        PyErr_SetString(nvy_interf_exc, "Writing a problem with nonlinear constraints or a "
                                        "nonlinear objective (or with the flag 'g') needs the "
                                        "nonlinear solver, which is not available");
        return nullptr;
    }
    const int rc =
        nonlinear
            ? problem_call(p, NSLPwriteprob, "NSLPwriteprob", file.text(), flags ? flags : "")
            : problem_call(p, NVRAwriteprob, "NVRAwriteprob", file.text(), flags ? flags : "");
    if (rc != 0) return nullptr;
    if (warnReplacedNames(p, file.text()) != 0) return nullptr;
    Py_RETURN_NONE;
}

} // namespace

int problem_adoptReplacedModel(problem_s *p, bool unlinked) {
    return clearForRead(p) != 0 || createObjects(p, unlinked) != 0 ? -1 : 0;
}

PyMethodDef problem_files_methods[] = {
    {"read", nvr_method(problem_read), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("read(filename, options=None, unlinked=None)\n\n"
               "Replaces the problem by the one in the file (MPS or LP, chosen by the options\n"
               "'m' or 'l' or else by the extension; 'f' reads strict fixed-format MPS).\n"
               "Afterwards problem.getVariable(), getConstraint() and the solution methods see\n"
               "one variable per column and one constraint per row, in file order; objects of\n"
               "the problem from before the read become deleted objects. Nonlinear formulas\n"
               "and a nonlinear objective in the file come back as they were written; user\n"
               "functions they call must be known to the problem (by name) beforehand.")},
    {"write", nvr_method(problem_write), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("write(filename, flags=None)\n\n"
               "Writes the problem as MPS or LP (flags 'm' or 'l', else by the extension: .lp\n"
               "for LP, anything else MPS; 'f' writes fixed-format MPS). Nonlinear formulas, a\n"
               "nonlinear objective and the SLP data of columns and rows go to a nonlinear\n"
               "section of the file (also asked for by the flag 'g').")},
    {nullptr, nullptr, 0, nullptr},
};
