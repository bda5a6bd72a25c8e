// problem/variables.cpp: variables as columns of a problem: addVariable, addVariables, the
// module function vars, columns added through the API, and the older addition of existing
// unlinked variable objects.
#include "runtime/npy.h"

#include "variables.h"

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "model/maps.h"
#include "model/var.h"
#include "runtime/alloc.h"
#include "runtime/args.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "numeric/walker.h"
#include "problem/methods.h"
#include "problem/problib.h"

namespace {

constexpr double kInf = NVRA_PLUSINFINITY;
constexpr size_t kNameFlushBytes = size_t{1} << 20;
constexpr size_t kNameBufferStart = 1024;
constexpr const char *kNoMemoryTables =
    "No memory to create variables. Consider restricting one or more index sets/lists/ranges in "
    "the index argument";
constexpr const char *kNoMemoryContainer =
    "Could not create variables. Consider restricting one or more index sets/lists/ranges in the "
    "index argument";

struct VarSettings {
    long vartype = 0;
    double lb = 0.0, ub = kInf, threshold = 1.0;
};

// The binary default upper bound, then the checks and rounding shared with nivra.var. 0 or -1.
int applySettings(VarSettings *s) {
    if (s->vartype == 1 && s->ub >= kInf) s->ub = 1.0;
    return validate_var_bounds(s->vartype, &s->lb, &s->ub, s->threshold);
}

bool hasThreshold(int vartype) {
    return vartype >= 3 && vartype <= 5;
}

// Zero-terminated names one after another (the buffer starts at 1024 bytes and doubles).
class ByteBuffer {
    GrowArray<char, kNameBufferStart> bytes_;
    size_t len_ = 0;

  public:
    const char *data() const { return bytes_.data(); }
    size_t size() const { return len_; }
    void clear() { len_ = 0; }
    // Room for n more bytes. 0, or -1 with MemoryError.
    int reserve(size_t n) { return bytes_.reserve(len_ + n); }
    // Appends n bytes after reserve made room for them.
    void put(const char *s, size_t n) {
        memcpy(bytes_.data() + len_, s, n);
        len_ += n;
    }
    int append(const char *s, size_t n) {
        if (reserve(n) != 0) return -1;
        put(s, n);
        return 0;
    }
};

// Column names waiting to be handed to the library, sent whenever 1 MiB is pending.
class NameAdder {
    problem_s *p_;
    int first_;
    int added_ = 0, handed_ = 0;
    ByteBuffer buf_;

  public:
    NameAdder(problem_s *p, int first) : p_(p), first_(first) {}

    // Appends one name (n bytes, no zero among them). 0 or -1.
    int addName(const char *text, size_t n) {
        if (buf_.reserve(n + 1) != 0) {
            PyErr_Clear();
            if (flush() != 0) return -1;
            if (buf_.reserve(n + 1) != 0) return -1;
        }
        buf_.put(text, n);
        buf_.put("", 1);
        ++added_;
        return buf_.size() >= kNameFlushBytes ? flush() : 0;
    }

    int flush() {
        if (buf_.size() == 0) return 0;
        if (problem_call(p_, NVRAaddnames, "NVRAaddnames", NVRA_NAMES_COLUMNS, buf_.data(),
                         first_ + handed_, first_ + added_ - 1) != 0)
            return -1;
        handed_ = added_;
        buf_.clear();
        return 0;
    }
};

// ---- columns and their variable objects -------------------------------------------------------

// Deletes columns first .. first + n - 1 of p again, keeping a pending exception.
void deleteColumns(problem_s *p, int first, Py_ssize_t n) {
    if (n <= 0) return;
    LibArray<int> idx(static_cast<size_t>(n));
    if (!idx) return;
    for (Py_ssize_t i = 0; i < n; ++i)
        idx[i] = first + static_cast<int>(i);
    problem_call(p, NVRAdelcols, "NVRAdelcols", static_cast<int>(n), idx.get());
}

// Removes the entries from index `from` on from p->vars; linked variables among them are
// marked deleted (nothing refers to their columns any more).
void dropVarsFrom(problem_s *p, Py_ssize_t from) {
    const Py_ssize_t n = PyList_GET_SIZE(p->vars);
    for (Py_ssize_t i = from; i < n; ++i) {
        var_s *v = as_var(PyList_GET_ITEM(p->vars, i));
        if (v->owner == p) v->owner = kDeletedOwner;
    }
    if (from < n) {
        AutoSavedException keep;
        if (PyList_SetSlice(p->vars, from, n, nullptr) != 0) PyErr_Clear();
    }
}

// The library calls after NVRAaddcols that give n new columns from `first` their type,
// threshold and (for binaries) bounds. 0 or -1.
int setColumnProperties(problem_s *p, int first, int n, const VarSettings &s) {
    if (s.vartype == 0) return 0; // new columns are continuous already
    LibArray<int> idx(static_cast<size_t>(n));
    LibArray<char> types(static_cast<size_t>(n));
    if (!idx || !types) return -1;
    const char letter = vartype_to_coltype(static_cast<int>(s.vartype));
    for (int i = 0; i < n; ++i) {
        idx[i] = first + i;
        types[i] = letter;
    }
    if (problem_call(p, NVRAchgcoltype, "NVRAchgcoltype", n, idx.get(), types.get()) != 0)
        return -1;
    if (hasThreshold(static_cast<int>(s.vartype))) {
        LibArray<double> limits(static_cast<size_t>(n));
        if (!limits) return -1;
        for (int i = 0; i < n; ++i)
            limits[i] = s.threshold;
        if (problem_call(p, NVRAchgglblimit, "NVRAchgglblimit", n, idx.get(), limits.get()) != 0)
            return -1;
    }
    // Changing the type to binary resets the bounds to [0, 1].
    if (s.vartype == 1 && (s.lb != 0.0 || s.ub != 1.0)) {
        const bool both = s.lb != 0.0 && s.ub != 1.0;
        const size_t m = static_cast<size_t>(n) * (both ? 2 : 1);
        LibArray<int> bidx(m);
        LibArray<char> btype(m);
        LibArray<double> bval(m);
        if (!bidx || !btype || !bval) return -1;
        size_t k = 0;
        for (int i = 0; i < n; ++i) {
            if (s.lb != 0.0) bidx[k] = first + i, btype[k] = 'L', bval[k++] = s.lb;
            if (s.ub != 1.0) bidx[k] = first + i, btype[k] = 'U', bval[k++] = s.ub;
        }
        if (problem_call(p, NVRAchgbounds, "NVRAchgbounds", static_cast<int>(m), bidx.get(),
                         btype.get(), bval.get()) != 0)
            return -1;
    }
    return 0;
}

int createLinked(problem_s *p, PyObject **out, Py_ssize_t n, const VarSettings &s) {
    int first = 0;
    if (problem_intAttrib(p, NVRA_ATTR_ORIGINALCOLS, &first) != 0) return -1;
    if (n > INT_MAX - first) return nvr_raise(nvy_model_exc, kNoMemoryTables);
    const int cols = static_cast<int>(n);
    LibArray<double> lbs, ubs;
    if (s.lb != 0.0) {
        if (lbs.alloc(static_cast<size_t>(n)) != 0) return -1;
        for (int i = 0; i < cols; ++i)
            lbs[i] = s.lb;
    }
    if (s.ub < kInf) {
        if (ubs.alloc(static_cast<size_t>(n)) != 0) return -1;
        for (int i = 0; i < cols; ++i)
            ubs[i] = s.ub;
    }
    if (problem_call(p, NVRAaddcols, "NVRAaddcols", cols, 0, nullptr, nullptr, nullptr, nullptr,
                     lbs.get(), ubs.get()) != 0)
        return -1;
    const Py_ssize_t listed = PyList_GET_SIZE(p->vars);
    bool ok = setColumnProperties(p, first, cols, s) == 0;
    for (int i = 0; ok && i < cols; ++i) {
        PyObject *v = var_base();
        if (!v) {
            ok = false;
            break;
        }
        as_var(v)->owner = p;
        as_var(v)->id_low = static_cast<uint32_t>(first + i);
        ok = PyList_Append(p->vars, v) == 0;
        out[i] = v;
        if (!ok) Py_CLEAR(out[i]);
    }
    if (ok) return 0;
    const Py_ssize_t made = PyList_GET_SIZE(p->vars) - listed;
    dropVarsFrom(p, listed);
    for (Py_ssize_t i = 0; i < made; ++i)
        Py_CLEAR(out[i]);
    deleteColumns(p, first, n);
    return -1;
}

// ---- index arguments --------------------------------------------------------------------------

// One positional index argument of addVariables: the integer range 0 .. size - 1 (items null)
// or the list of the items of a collection.
struct IndexSet {
    Py_ssize_t size = 0;
    Ref items;                       // list, or null for an integer range
    std::vector<std::string> labels; // formatted items, when names are built
};

bool hasLength(PyObject *o) {
    PySequenceMethods *sq = Py_TYPE(o)->tp_as_sequence;
    PyMappingMethods *mp = Py_TYPE(o)->tp_as_mapping;
    return (sq && sq->sq_length) || (mp && mp->mp_length);
}

// Fills set from argument number argno (from 1). 0 or -1 with ModelError.
int classifyIndex(PyObject *arg, int argno, IndexSet *set) {
    if (hasLength(arg) && Py_TYPE(arg)->tp_iter) {
        set->items = Ref::steal(PySequence_List(arg));
    } else if (PySequence_Check(arg)) {
        const Py_ssize_t n = PySequence_Size(arg);
        if (n < 0) return -1;
        set->items = Ref::steal(PyList_New(n));
        for (Py_ssize_t i = 0; set->items && i < n; ++i) {
            PyObject *item = PySequence_GetItem(arg, i);
            if (!item) return -1;
            PyList_SET_ITEM(set->items.get(), i, item);
        }
    } else if (nvo_isIntegerArg(arg)) {
        const long long k = PyLong_AsLongLong(arg);
        if (k == -1 && PyErr_Occurred()) return -1;
        if (k < 1)
            return nvr_raise(nvy_model_exc,
                             "Invalid index: integer argument must be positive (it is "
                             "equivalent to range(k))");
        if (k > PY_SSIZE_T_MAX) return nvr_raise(nvy_model_exc, kNoMemoryTables);
        set->size = static_cast<Py_ssize_t>(k);
        return 0;
    } else {
        return nvr_raise(nvy_model_exc, "Invalid index: arguments must be lists, sets, iterable "
                                        "objects, or integer numbers");
    }
    if (!set->items) return -1;
    set->size = PyList_GET_SIZE(set->items.get());
    if (!PyAnySet_Check(arg)) {
        Ref unique = Ref::steal(PySet_New(set->items.get()));
        if (!unique) return -1;
        if (PySet_GET_SIZE(unique.get()) != set->size) {
            PyErr_Format(nvy_model_exc,
                         "Duplicate item in argument %d: each argument must contain unique "
                         "elements",
                         argno);
            return -1;
        }
    }
    if (set->size == 0)
        return nvr_raise(nvy_model_exc, "Invalid index: empty dimension in creation of variables");
    return 0;
}

bool isNumpyInteger(PyObject *o) {
    return PyArray_IsScalar(o, Integer);
}
bool isFloatLike(PyObject *o) {
    return PyFloat_Check(o) || PyArray_IsScalar(o, Floating);
}

// The text of one index item in a variable name. 0 or -1 with ModelError.
int formatIndex(PyObject *o, std::string *out) {
    char buf[64];
    if (PyLong_Check(o) || isNumpyInteger(o)) {
        int overflow = 0;
        Ref num = Ref::steal(PyNumber_Index(o));
        const long long v = num ? PyLong_AsLongLongAndOverflow(num.get(), &overflow) : -1;
        if (num && !overflow && !(v == -1 && PyErr_Occurred())) {
            snprintf(buf, sizeof buf, "%lld", v);
            *out = buf;
            return 0;
        }
        PyErr_Clear(); // too large for a machine integer: str() below
    } else if (isFloatLike(o)) {
        const double v = PyFloat_AsDouble(o);
        if (!(v == -1.0 && PyErr_Occurred())) {
            snprintf(buf, sizeof buf, "%g", v);
            *out = buf;
            return 0;
        }
        PyErr_Clear();
    } else if (PyUnicode_Check(o) || PyBytes_Check(o)) {
        const char *s = pyStrToStr(o, nullptr, nullptr);
        const Py_ssize_t n = s ? pyStrLen(o) : -1;
        if (!s || n < 0 || strlen(s) != static_cast<size_t>(n)) {
            PyErr_Clear();
            return nvr_raise(nvy_model_exc, "Bad index tuple");
        }
        *out = s;
        return 0;
    }
    Ref text = Ref::steal(PyObject_Str(o));
    Py_ssize_t n = 0;
    const char *s = text ? PyUnicode_AsUTF8AndSize(text.get(), &n) : nullptr;
    if (!s || strlen(s) != static_cast<size_t>(n)) {
        PyErr_Clear();
        return nvr_raise(nvy_model_exc, "Element of index tuple cannot be represented");
    }
    *out = s;
    return 0;
}

int formatLabels(IndexSet *set) {
    set->labels.resize(static_cast<size_t>(set->size));
    for (Py_ssize_t i = 0; i < set->size; ++i) {
        if (!set->items) {
            set->labels[i] = std::to_string(i);
        } else if (formatIndex(PyList_GET_ITEM(set->items.get(), i), &set->labels[i]) != 0) {
            return -1;
        }
    }
    return 0;
}

// The dictionary key of one index item. New reference or null.
PyObject *keyItem(const IndexSet &set, Py_ssize_t i) {
    return set.items ? Py_NewRef(PyList_GET_ITEM(set.items.get(), i)) : PyLong_FromSsize_t(i);
}

// ---- bulk creation ----------------------------------------------------------------------------

struct BulkRequest {
    std::vector<IndexSet> sets;
    Py_ssize_t count = 1;
    bool array = true; // every index argument is an integer
    bool names = true;
    std::string prefix = "x";
    VarSettings settings;
};

int parseBulkKeywords(PyObject *kwargs, BulkRequest *r) {
    static const char *const kw[] = {"name", "lb", "ub", "threshold", "vartype", nullptr};
    PyObject *name = nullptr;
    VarSettings &s = r->settings;
    if (!parseKeywordArgs(kwargs, "|Odddl", kw, &name, &s.lb, &s.ub, &s.threshold, &s.vartype))
        return -1;
    if (name && name != Py_None && !PyUnicode_Check(name))
        return nvr_raise(nvy_model_exc, "Variable name must be a string");
    if (name == Py_None) {
        r->names = false;
    } else if (name) {
        const char *text = nvr_nameText(name, "Variable");
        if (!text) return -1;
        r->prefix = text;
        r->names = *text != '\0';
    }
    return applySettings(&s);
}

int classifyAll(PyObject *indices, BulkRequest *r) {
    const Py_ssize_t nargs = PyTuple_GET_SIZE(indices);
    r->sets.resize(static_cast<size_t>(nargs));
    for (Py_ssize_t d = 0; d < nargs; ++d) {
        IndexSet &set = r->sets[d];
        if (classifyIndex(PyTuple_GET_ITEM(indices, d), static_cast<int>(d + 1), &set) != 0)
            return -1;
        if (set.items) r->array = false;
        if (set.size > PY_SSIZE_T_MAX / r->count) return nvr_raise(nvy_model_exc, kNoMemoryTables);
        r->count *= set.size;
    }
    if (r->names)
        for (IndexSet &set : r->sets)
            if (formatLabels(&set) != 0) return -1;
    return 0;
}

// The result container: an npvar array of the integer sizes, or a dict. New reference or null.
PyObject *newContainer(const BulkRequest &r) {
    PyObject *c;
    if (r.array) {
        std::vector<npy_intp> dims;
        for (const IndexSet &set : r.sets)
            dims.push_back(set.size);
        Py_INCREF(nvr_py_env.npvar_dtype);
        c = PyArray_NewFromDescr(&PyArray_Type, nvr_py_env.npvar_dtype,
                                 static_cast<int>(dims.size()), dims.data(), nullptr, nullptr, 0,
                                 nullptr);
    } else {
        c = PyDict_New();
    }
    if (!c) {
        PyErr_Clear();
        PyErr_SetString(nvy_model_exc, kNoMemoryContainer);
    }
    return c;
}

// Walks the Cartesian product of the index sets in row-major order (the last set varies
// fastest), calling visit(i, pos) with the combination's number and its positions.
template <class F> int forEachCombination(const BulkRequest &r, F &&visit) {
    std::vector<Py_ssize_t> pos(r.sets.size(), 0);
    for (Py_ssize_t i = 0; i < r.count; ++i) {
        if (visit(i, pos) != 0) return -1;
        for (size_t d = pos.size(); d-- > 0;) {
            if (++pos[d] < r.sets[d].size) break;
            pos[d] = 0;
        }
    }
    return 0;
}

void buildName(const BulkRequest &r, const std::vector<Py_ssize_t> &pos, std::string *name) {
    name->assign(r.prefix);
    name->push_back('(');
    for (size_t d = 0; d < pos.size(); ++d) {
        if (d) name->push_back(',');
        name->append(r.sets[d].labels[pos[d]]);
    }
    name->push_back(')');
}

// Stores var (a new reference, taken over) in the container at combination i. 0 or -1.
int store(PyObject *container, const BulkRequest &r, Py_ssize_t i,
          const std::vector<Py_ssize_t> &pos, PyObject *var) {
    if (r.array) {
        auto *slot = reinterpret_cast<PyObject **>(
                         PyArray_DATA(reinterpret_cast<PyArrayObject *>(container))) +
                     i;
        *slot = var;
        return 0;
    }
    Ref value = Ref::steal(var);
    Ref key;
    if (r.sets.size() == 1) {
        key = Ref::steal(keyItem(r.sets[0], pos[0]));
    } else {
        key = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(r.sets.size())));
        for (size_t d = 0; key && d < r.sets.size(); ++d) {
            PyObject *item = keyItem(r.sets[d], pos[d]);
            if (!item) return -1;
            PyTuple_SET_ITEM(key.get(), static_cast<Py_ssize_t>(d), item);
        }
    }
    if (!key) return -1;
    return PyDict_SetItem(container, key.get(), value.get());
}

PyObject *bulkLinked(problem_s *p, BulkRequest &r) {
    int first = 0;
    if (problem_intAttrib(p, NVRA_ATTR_ORIGINALCOLS, &first) != 0) return nullptr;
    Ref container = Ref::steal(newContainer(r));
    if (!container) return nullptr;
    std::vector<PyObject *> all(static_cast<size_t>(r.count), nullptr);
    const Py_ssize_t listed = PyList_GET_SIZE(p->vars);
    if (createLinked(p, all.data(), r.count, r.settings) != 0) return nullptr;
    NameAdder names(p, first);
    Py_ssize_t stored = 0;
    int rc = -1;
    try {
        std::string name;
        rc = forEachCombination(r, [&](Py_ssize_t i, const std::vector<Py_ssize_t> &pos) {
            PyObject *var = std::exchange(all[i], nullptr);
            ++stored;
            if (store(container.get(), r, i, pos, var) != 0) return -1;
            if (!r.names) return 0;
            buildName(r, pos, &name);
            return names.addName(name.data(), name.size());
        });
    } catch (...) {
        nvr_translate_exception();
    }
    if (rc == 0 && names.flush() == 0) return container.release();
    for (Py_ssize_t i = stored; i < r.count; ++i)
        Py_CLEAR(all[i]);
    container.reset();
    const Py_ssize_t made = PyList_GET_SIZE(p->vars) - listed;
    dropVarsFrom(p, listed);
    deleteColumns(p, first, made);
    return nullptr;
}

PyObject *bulkUnlinked(BulkRequest &r) {
    Ref container = Ref::steal(newContainer(r));
    if (!container) return nullptr;
    const uint64_t serial = nvr_py_env.next_var_serial;
    nvr_py_env.next_var_serial += static_cast<uint64_t>(r.count);
    const VarSettings &s = r.settings;
    std::string name;
    const int rc = forEachCombination(r, [&](Py_ssize_t i, const std::vector<Py_ssize_t> &pos) {
        Ref text;
        if (r.names) {
            buildName(r, pos, &name);
            text = Ref::steal(
                PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size())));
            if (!text) return -1;
        }
        PyObject *var = var_base();
        if (!var) return -1;
        if (var_init_unlinked(var, serial + static_cast<uint64_t>(i), static_cast<int>(s.vartype),
                              s.lb, s.ub, s.threshold, text.get()) != 0) {
            Py_DECREF(var);
            return -1;
        }
        return store(container.get(), r, i, pos, var);
    });
    return rc == 0 ? container.release() : nullptr;
}

// ---- the older addition of existing unlinked variables ----------------------------------------

// Columns collected from unlinked variables, in the order met.
struct UnlinkedBatch {
    problem_s *p;
    int first;
    std::vector<PyObject *> vars; // borrowed: p->vars holds them
    std::vector<bool> newlyFlagged;
    std::vector<char> types;
    std::vector<double> lbs, ubs, thresholds;
    std::vector<int> thresholdCols;
    ByteBuffer names;
};

int admitUnlinked(PyObject *leaf, void *ctx) {
    auto *b = static_cast<UnlinkedBatch *>(ctx);
    problem_s *p = b->p;
    if (!var_Check(leaf))
        return nvr_raise(nvy_model_exc,
                         "Invalid object passed to problem.addVariable: expected variables");
    var_s *v = as_var(leaf);
    // A repeated variable is reported as such, before the warning about shared variables.
    if (!v->owner && rowcolmap_has(p->var_index_map, var_id(v)))
        return nvr_raise(nvy_interf_exc, "Variable already added to problem");
    if (check_can_add_unlinked_var(leaf) != 0) return -1;
    NVR_TRY {
        if (!p->var_index_map && !(p->var_index_map = rowcolmap_new()))
            return nvr_raise(nvy_model_exc, "Could not amend variable map");
        const int col = b->first + static_cast<int>(b->vars.size());
        if (rowcolmap_set(p->var_index_map, var_id(v), col) != 0)
            return nvr_raise(nvy_model_exc, "Could not amend variable map");
        if (PyList_Append(p->vars, leaf) != 0) {
            rowcolmap_del(p->var_index_map, var_id(v));
            return -1;
        }
        b->vars.push_back(leaf);
        b->newlyFlagged.push_back(!(v->flags & kVarAddedFlag));
        v->flags |= kVarAddedFlag;
        int type;
        double lb, ub, threshold;
        var_unlinked_props(v, &type, &lb, &ub, &threshold);
        b->types.push_back(vartype_to_coltype(type));
        b->lbs.push_back(lb);
        b->ubs.push_back(ub);
        if (hasThreshold(type)) {
            b->thresholdCols.push_back(col);
            b->thresholds.push_back(threshold);
        }
        Ref name = Ref::steal(var_str(leaf));
        const char *text = name ? PyUnicode_AsUTF8(name.get()) : nullptr;
        if (!text) return -1;
        return b->names.append(text, strlen(text) + 1);
    }
    NVR_CATCH(-1)
}

// The library calls for the collected columns. 0 or -1.
int sendUnlinked(UnlinkedBatch &b) NVR_TRY {
    problem_s *p = b.p;
    const int n = static_cast<int>(b.vars.size());
    if (problem_call(p, NVRAaddcols64, "NVRAaddcols64", n, int64_t{0}, nullptr, nullptr, nullptr,
                     nullptr, b.lbs.data(), b.ubs.data()) != 0)
        return -1;
    std::vector<int> idx(static_cast<size_t>(n));
    std::vector<int> bidx;
    std::vector<char> btype;
    std::vector<double> bval;
    for (int i = 0; i < n; ++i) {
        idx[i] = b.first + i;
        if (b.types[i] == 'B' && (b.lbs[i] != 0.0 || b.ubs[i] != 1.0)) {
            bidx.insert(bidx.end(), {idx[i], idx[i]});
            btype.insert(btype.end(), {'L', 'U'});
            bval.insert(bval.end(), {b.lbs[i], b.ubs[i]});
        }
    }
    if (problem_call(p, NVRAchgcoltype, "NVRAchgcoltype", n, idx.data(), b.types.data()) != 0 ||
        problem_call(p, NVRAaddnames, "NVRAaddnames", NVRA_NAMES_COLUMNS, b.names.data(), b.first,
                     b.first + n - 1) != 0)
        return -1;
    if (!b.thresholdCols.empty() && problem_call(p, NVRAchgglblimit, "NVRAchgglblimit",
                                                 static_cast<int>(b.thresholdCols.size()),
                                                 b.thresholdCols.data(), b.thresholds.data()) != 0)
        return -1;
    if (!bidx.empty() &&
        problem_call(p, NVRAchgbounds, "NVRAchgbounds", static_cast<int>(bidx.size()), bidx.data(),
                     btype.data(), bval.data()) != 0)
        return -1;
    return 0;
}
NVR_CATCH(-1)

// Undoes a failed addition: the columns, the map entries, the flags and the list entries.
void rollbackUnlinked(UnlinkedBatch &b, Py_ssize_t listed, bool mapExisted) {
    problem_s *p = b.p;
    int cols = 0;
    {
        AutoSavedException keep;
        if (problem_intAttrib(p, NVRA_ATTR_ORIGINALCOLS, &cols) != 0) PyErr_Clear();
    }
    deleteColumns(p, b.first, cols - b.first);
    for (size_t i = 0; i < b.vars.size(); ++i) {
        var_s *v = as_var(b.vars[i]);
        if (p->var_index_map) rowcolmap_del(p->var_index_map, var_id(v));
        if (b.newlyFlagged[i]) v->flags &= ~kVarAddedFlag;
    }
    if (!mapExisted) rowcolmap_free(&p->var_index_map);
    dropVarsFrom(p, listed);
}

// ---- problem methods --------------------------------------------------------------------------

// addVariable's choice between creating a new variable and adding existing ones.
bool takesNewVariablePath(problem_s *p, PyObject *args, PyObject *kwargs) {
    if (kwargs && PyDict_GET_SIZE(kwargs) > 0) return true;
    const bool positional = PyTuple_GET_SIZE(args) > 0;
    if (positional) {
        PyObject *a0 = PyTuple_GET_ITEM(args, 0);
        if (a0 == Py_None || PyUnicode_Check(a0)) return true;
    }
    if (problem_holdsUnlinked(p)) return false;
    if (problem_holdsLinked(p)) return true;
    return !positional;
}

int firstLeaf(PyObject *leaf, void *ctx) {
    *static_cast<PyObject **>(ctx) = Py_NewRef(leaf);
    return 1; // stop at the first leaf
}

// The error for a name argument that is not a string.
void raiseBadName(PyObject *name) {
    PyObject *leaf = nullptr;
    for_each_nested_object(name, firstLeaf, &leaf, kNestingDepth);
    PyErr_Clear();
    const bool isVar = leaf && var_Check(leaf);
    Py_XDECREF(leaf);
    PyErr_SetString(nvy_model_exc, isVar ? "Cannot use problem.addVariable to add existing "
                                           "variables to the problem"
                                         : "Variable name must be a string");
}

PyObject *newVariable(problem_s *p, PyObject *args, PyObject *kwargs) {
    if (problem_holdsUnlinked(p)) {
        PyErr_SetString(nvy_model_exc, "Cannot use problem.addVariable to create linked "
                                       "variables: this problem already contains unlinked "
                                       "objects");
        return nullptr;
    }
    static const char *const kw[] = {"name", "lb", "ub", "threshold", "vartype", nullptr};
    PyObject *name = Py_None;
    VarSettings s;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "|Odddl", kw, nullptr, &name, &s.lb, &s.ub,
                                   &s.threshold, &s.vartype))
        return nullptr;
    if (name != Py_None && !PyUnicode_Check(name)) {
        raiseBadName(name);
        return nullptr;
    }
    const char *text = name == Py_None ? nullptr : nvr_nameText(name, "Variable");
    if (name != Py_None && !text) return nullptr;
    if (applySettings(&s) != 0) return nullptr;
    PyObject *var = nullptr;
    if (createLinked(p, &var, 1, s) != 0) return nullptr;
    if (!text) return var;
    const int col = static_cast<int>(as_var(var)->id_low);
    if (problem_call(p, NVRAaddnames, "NVRAaddnames", NVRA_NAMES_COLUMNS, text, col, col) == 0)
        return var;
    dropVarsFrom(p, PyList_GET_SIZE(p->vars) - 1);
    Py_DECREF(var);
    deleteColumns(p, col, 1);
    return nullptr;
}

PyObject *problem_addVariable(PyObject *self, PyObject *args, PyObject *kwargs) {
    auto *p = reinterpret_cast<problem_s *>(self);
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    if (takesNewVariablePath(p, args, kwargs)) return newVariable(p, args, kwargs);
    if (problem_addUnlinkedVars(p, args) != 0) return nullptr;
    Py_RETURN_NONE;
}

PyObject *problem_addVariables(PyObject *self, PyObject *args, PyObject *kwargs) {
    auto *p = reinterpret_cast<problem_s *>(self);
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    if (PyTuple_GET_SIZE(args) == 0) return newVariable(p, args, kwargs);
    if (problem_holdsUnlinked(p)) {
        PyErr_SetString(nvy_model_exc, "Cannot use problem.addVariables to create linked "
                                       "variables: this problem already contains unlinked "
                                       "objects");
        return nullptr;
    }
    return add_variables_common(args, kwargs, p);
}

} // namespace

// ---- functions for other files ------------------------------------------------------------------

int check_can_add_unlinked_var(PyObject *var) {
    const var_s *v = as_var(var);
    if (var_is_deleted(v)) return nvr_raise(nvy_model_exc, "Deleted variables cannot be re-used");
    if (v->owner)
        return nvr_raise(nvy_model_exc, "Linked variables cannot be added to another problem");
    if (var_id(v) == 0) return nvr_raise(nvy_model_exc, "Variable is not initialized");
    if (v->flags & kVarAddedFlag)
        return warnDeprec(9, 5, "do not share variables between several problems");
    return 0;
}

int create_linked_vars(problem_s *p, PyObject **out, Py_ssize_t n, int vartype, double lb,
                       double ub, double threshold) {
    VarSettings s;
    s.vartype = vartype;
    s.lb = lb;
    s.ub = ub;
    s.threshold = threshold;
    return n > 0 ? createLinked(p, out, n, s) : 0;
}

PyObject *add_variables_common(PyObject *indices, PyObject *kwargs, problem_s *p) {
    NVR_TRY {
        BulkRequest r;
        if (parseBulkKeywords(kwargs, &r) != 0 || classifyAll(indices, &r) != 0) return nullptr;
        if (p && r.count > INT_MAX) {
            PyErr_SetString(nvy_model_exc, kNoMemoryTables);
            return nullptr;
        }
        return p ? bulkLinked(p, r) : bulkUnlinked(r);
    }
    NVR_CATCH(nullptr)
}

int problem_addUnlinkedVars(problem_s *p, PyObject *args) {
    if (problem_holdsLinked(p))
        return nvr_raise(nvy_model_exc,
                         "Cannot use problem.addVariable to add existing variables to "
                         "the problem");
    if (PyTuple_GET_SIZE(args) == 0)
        return warnDeprec(9, 5,
                          "problem.addVariable() with no arguments on an unlinked problem "
                          "has no effect");
    NVR_TRY {
        UnlinkedBatch b;
        b.p = p;
        if (problem_intAttrib(p, NVRA_ATTR_ORIGINALCOLS, &b.first) != 0) return -1;
        const Py_ssize_t listed = PyList_GET_SIZE(p->vars);
        const bool mapExisted = p->var_index_map != nullptr;
        int rc = for_each_nested_object(args, admitUnlinked, &b, kNestingDepth);
        if (rc == 0 && !b.vars.empty()) rc = sendUnlinked(b);
        if (rc == 0) return 0;
        rollbackUnlinked(b, listed, mapExisted);
        return -1;
    }
    NVR_CATCH(-1)
}

int addColsAsVariables(problem_s *p, int ncols, PyObject *names, PyObject *types,
                       PyObject *thresholds) {
    if (names && PySequence_Size(names) != ncols)
        return nvr_raise(nvy_model_exc, "Incorrect length of variable name list");
    if (types && PySequence_Size(types) != ncols)
        return nvr_raise(nvy_model_exc, "Incorrect length of variable type list");
    const Py_ssize_t listed = PyList_GET_SIZE(p->vars);
    const bool unlinked = problem_holdsUnlinked(p);
    const bool mapExisted = p->var_index_map != nullptr;
    int rc = 0;
    for (int i = 0; rc == 0 && i < ncols; ++i) {
        Ref var = Ref::steal(var_base());
        if (!var) {
            rc = -1;
            break;
        }
        const int col = static_cast<int>(listed) + i;
        if (unlinked) {
            int vartype = 0;
            double threshold = -kInf;
            if (types) {
                Ref t = Ref::steal(PySequence_GetItem(types, i));
                const char *letter = t ? pyStrToStr(t.get(), nullptr, nullptr) : nullptr;
                if (!letter) {
                    rc = -1;
                    break;
                }
                vartype = coltype_to_vartype(*letter);
                if (strlen(letter) != 1 || (vartype == 0 && *letter != 'C')) {
                    rc = nvr_raise(nvy_model_exc, "Incorrect variable type");
                    break;
                }
                if (hasThreshold(vartype) && thresholds) {
                    Ref t2 = Ref::steal(PySequence_GetItem(thresholds, i));
                    threshold = t2 ? PyFloat_AsDouble(t2.get()) : -1.0;
                    if (PyErr_Occurred()) {
                        rc = -1;
                        break;
                    }
                }
            }
            Ref name = names ? Ref::steal(PySequence_GetItem(names, i)) : Ref();
            if (names && !name) {
                rc = -1;
                break;
            }
            const double ub = vartype == 1 ? 1.0 : kInf;
            if (var_init_unlinked(var.get(), nvr_py_env.next_var_serial++, vartype, 0.0, ub,
                                  threshold,
                                  name && name.get() != Py_None ? name.get() : nullptr) != 0) {
                rc = -1;
                break;
            }
            as_var(var.get())->flags |= kVarAddedFlag;
            if ((!p->var_index_map && !(p->var_index_map = rowcolmap_new())) ||
                rowcolmap_set(p->var_index_map, var_id(as_var(var.get())), col) != 0) {
                rc = nvr_raise(nvy_model_exc, "Could not amend variable map");
                break;
            }
        } else {
            as_var(var.get())->owner = p;
            as_var(var.get())->id_low = static_cast<uint32_t>(col);
        }
        rc = PyList_Append(p->vars, var.get());
    }
    if (rc == 0) return 0;
    if (unlinked)
        for (Py_ssize_t i = listed; i < PyList_GET_SIZE(p->vars); ++i)
            rowcolmap_del(p->var_index_map, var_id(as_var(PyList_GET_ITEM(p->vars, i))));
    if (!mapExisted) rowcolmap_free(&p->var_index_map);
    dropVarsFrom(p, listed);
    return -1;
}

PyObject *nivramod_vars(PyObject *, PyObject *args, PyObject *kwargs) {
    if (PyTuple_GET_SIZE(args) == 0) {
        return PyObject_Call(reinterpret_cast<PyObject *>(&var_type), args, kwargs);
    }
    if (warnDeprec(9, 5, "create linked variables by calling problem.addVariables()") != 0)
        return nullptr;
    return add_variables_common(args, kwargs, nullptr);
}

PyMethodDef problem_variables_methods[] = {
    {"addVariable", nvr_method(problem_addVariable), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR(
         "addVariable(name=None, lb=0, ub=infinity, threshold=1, vartype=continuous) -> var\n\n"
         "Adds one column to the problem and returns its variable. Types: nivra.continuous,\n"
         "binary, integer, semicontinuous, semiinteger, partiallyinteger (the last three\n"
         "use the threshold). A binary variable has bounds [0, 1] unless given.")},
    {"addVariables", nvr_method(problem_addVariables), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR(
         "addVariables(*indices, name='x', lb=0, ub=infinity, threshold=1, vartype=continuous)\n\n"
         "Adds one variable per combination of the index arguments. With integer arguments\n"
         "only (addVariables(3, 2)) the result is a NumPy array of that shape; with lists,\n"
         "sets or other iterables it is a dict keyed by the index (tuples for several\n"
         "arguments). Variables are named name(i,j,...); name='' or None leaves them\n"
         "unnamed.")},
    {nullptr, nullptr, 0, nullptr},
};
