// problem/constraints.cpp: problem method addConstraint: constraints converted into rows,
// collected in a batch and sent to the library with as few calls as possible; a failed call
// leaves the problem with the rows and constraint objects it had.
#include "runtime/npy.h"

#include "constraints.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "model/constraint.h"
#include "model/maps.h"
#include "nonlinear/nonlinear.h"
#include "runtime/alloc.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "numeric/walker.h"
#include "problem/convert.h"
#include "problem/general.h"
#include "problem/methods.h"
#include "problem/problib.h"

namespace {

constexpr double kInf = NVRA_PLUSINFINITY;
constexpr size_t kFirstCapacity = 2048;

// Batch arrays start at 2048 entries.
template <class T> using Column = GrowArray<T, kFirstCapacity>;

// The rows collected since the last flush.
struct Batch {
    size_t rows = 0;
    uint64_t nnz = 0, nq = 0;
    size_t nameBytes = 0;
    bool named = false; // the rows of the batch have names (all or none do)
    Column<char> types;
    Column<double> rhs, ranges;
    Column<int64_t> starts;
    Column<uint64_t> rowq; // quadratic entries per row
    Column<int> cols, qcols1, qcols2;
    Column<double> vals, qvals;
    Column<char> names;
    FormulaPieces formulas; // nonlinear summands of the rows
    int formulaRows = 0;    // rows with nonlinear summands

    bool empty() const { return rows == 0; }
    void reset() {
        formulas.clear();
        formulaRows = 0;
        rows = 0;
        nnz = nq = 0;
        nameBytes = 0;
        named = false;
        forEachArray([](auto &a) { a.release(); });
        room = {};
    }
    // Room for one more row with nameLen bytes of name (0: unnamed) and rowNnz linear and rowNq
    // quadratic entries. The entry arrays are always allocated, so that a conversion writes
    // into them.
    int reserve(size_t nameLen, uint64_t rowNnz, uint64_t rowNq) {
        if (hasRoom(nameLen, rowNnz, rowNq)) return 0;
        return grow(rows + 1, nameBytes + nameLen, nnz + rowNnz + 1, nq + rowNq + 1);
    }
    // The common case, checked once per row rather than once per array.
    bool hasRoom(size_t nameLen, uint64_t rowNnz, uint64_t rowNq) const {
        return rows < room.rows && nnz + rowNnz < room.lin && nq + rowNq < room.quad &&
               nameBytes + nameLen <= room.names;
    }
    // Room for rows rows in the per-row arrays, when a call knows how many it brings (a list or
    // array of constraints): they are then sized once instead of doubling. 0 or -1.
    int presize(size_t n) { return grow(std::max(n, rows + 1), nameBytes, nnz + 1, nq + 1); }

  private:
    struct Room {
        size_t rows = 0, names = 0, lin = 0, quad = 0;
    } room; // what every array of each group has room for

    int grow(size_t r, size_t nb, size_t lin, size_t quad) {
        const bool ok = types.reserve(r) == 0 && rhs.reserve(r) == 0 && ranges.reserve(r) == 0 &&
                        starts.reserve(r) == 0 && rowq.reserve(r) == 0 && names.reserve(nb) == 0 &&
                        cols.reserve(lin) == 0 && vals.reserve(lin) == 0 &&
                        qcols1.reserve(quad) == 0 && qcols2.reserve(quad) == 0 &&
                        qvals.reserve(quad) == 0;
        room = {std::min({types.capacity(), rhs.capacity(), ranges.capacity(), starts.capacity(),
                          rowq.capacity()}),
                names.capacity(), std::min(cols.capacity(), vals.capacity()),
                std::min({qcols1.capacity(), qcols2.capacity(), qvals.capacity()})};
        return ok ? 0 : -1;
    }
    template <class F> void forEachArray(F f) {
        f(types), f(rhs), f(ranges), f(starts), f(rowq), f(cols), f(qcols1), f(qcols2), f(vals),
            f(qvals), f(names);
    }
};

// The state of one addConstraint call.
struct AddContext {
    problem_s *p;
    int rowsBefore;      // rows of the library problem before the call
    size_t rowsSent = 0; // rows of this call already flushed
    Py_ssize_t listed;   // constraints in p->cons before the call
    bool conMapExisted;
    Batch batch;
    struct SavedMode {
        constraint_s *c;
        uint16_t flags, idHigh;
        uint32_t idLow;
    };
    std::vector<SavedMode> modes; // constraints whose mode this call decided
    GeneralMark general;          // what rewrites of max, min, ... added
    size_t nameBytes = 0;         // of the row being converted, its zero included (0: none)
    int32_t nlRowsBefore;         // the problem's count of nonlinear rows before the call
    size_t rowPieces = 0;         // pieces in the batch when the row being converted began
};

// Sends the batch to the library and empties it (also on failure). 0 or -1.
int flushConstraints(AddContext &ctx) {
    problem_s *p = ctx.p;
    Batch &b = ctx.batch;
    if (b.empty()) return 0;
    const int base = ctx.rowsBefore + static_cast<int>(ctx.rowsSent);
    const int rows = static_cast<int>(b.rows);
    int rc = problem_call(p, NVRAaddrows64, "NVRAaddrows64", rows, static_cast<int64_t>(b.nnz),
                          b.types.data(), b.rhs.data(), b.ranges.data(), b.starts.data(),
                          b.cols.data(), b.vals.data());
    if (rc == 0) ctx.rowsSent += b.rows;
    if (rc == 0 && b.named)
        rc = problem_call(p, NVRAaddnames, "NVRAaddnames", NVRA_NAMES_ROWS, b.names.data(), base,
                          base + rows - 1);
    uint64_t q = 0;
    for (size_t i = 0; rc == 0 && i < b.rows; ++i) {
        const uint64_t n = b.rowq[i];
        if (n > 0)
            rc = problem_call(p, NVRAaddqmatrix64, "NVRAaddqmatrix64", base + static_cast<int>(i),
                              static_cast<int64_t>(n), b.qcols1.data() + q, b.qcols2.data() + q,
                              b.qvals.data() + q);
        q += n;
    }
    const FormulaPieces &f = b.formulas;
    if (rc == 0 && f.count > 0) {
        rc = problem_call(p, NSLPaddcoefs, "NSLPaddcoefs", static_cast<int>(f.count), f.rows.data(),
                          f.cols.data(), f.factors.data(), f.starts.data(), 1,
                          f.tokens.types.data(), f.tokens.values.data());
        if (rc == 0) p->nl_rows += b.formulaRows;
    }
    b.reset();
    ctx.rowPieces = 0;
    return rc;
}

// Runs grow and, when it fails with rows in the batch, flushes and tries once more. 0 or -1.
template <class F> int withRoom(AddContext &ctx, F &&grow) {
    if (grow() == 0) return 0;
    if (ctx.batch.empty()) return -1;
    PyErr_Clear();
    if (flushConstraints(ctx) != 0) return -1;
    return grow();
}

// The room function of the rows that addConstraint converts: the row is written straight into
// the batch, which grows to hold it. Before the row holds entries (nonlinear pieces included), a
// batch that cannot grow is flushed and the growth tried again. 0 or -1.
int batchRoom(ExprRow *row, uint64_t nnz, uint64_t nq, void *ctxp) {
    auto &ctx = *static_cast<AddContext *>(ctxp);
    Batch &b = ctx.batch;
    if (!b.hasRoom(ctx.nameBytes, nnz, nq)) {
        auto grow = [&] { return b.reserve(ctx.nameBytes, nnz, nq); };
        const bool fresh = row->nnz == 0 && row->nq == 0 && b.formulas.count == ctx.rowPieces;
        if ((fresh ? withRoom(ctx, grow) : grow()) != 0) return -1;
    }
    row->cols = b.cols.data() + b.nnz;
    row->vals = b.vals.data() + b.nnz;
    row->qcols1 = b.qcols1.data() + b.nq;
    row->qcols2 = b.qcols2.data() + b.nq;
    row->qvals = b.qvals.data() + b.nq;
    return 0;
}

// The constraint's mode in the problem it joins: the kind bits of its record (1: unlinked,
// identified by a serial; 2: linked). The previous state is kept for a rollback.
void decideMode(AddContext &ctx, constraint_s *c, int mode) {
    ctx.modes.push_back({c, c->flags, c->id_high, c->id_low});
    c->flags = static_cast<uint16_t>((c->flags & ~kConKindMask) | (mode << kConKindShift));
    if (mode == kConKindUnlinked && constraint_serial(c) == 0) {
        const uint64_t serial = nvr_py_env.next_constraint_serial++;
        c->id_low = static_cast<uint32_t>(serial);
        c->id_high = static_cast<uint16_t>(serial >> 32);
    }
}

// The admission checks of one constraint and its mode in the problem. 0 or -1.
int admit(AddContext &ctx, PyObject *obj, constraint_s **out) {
    problem_s *p = ctx.p;
    if (!constraint_Check(obj)) return nvr_model_error("Invalid constraint");
    constraint_s *c = as_constraint(obj);
    if (checkConstraintValid(c) != 0) return -1;
    const bool adding = c->flags & kConAddingFlag; // given twice to this call
    if (constraint_is_linked(c) || adding) {
        const bool here = adding || constraint_problem(c) == p;
        PyErr_Format(nvy_model_exc, "Constraint already added to %s problem",
                     here ? "this" : "another");
        return -1;
    }
    const int kind = constraint_kind(c);
    if (kind == kConKindUnlinked && problem_holdsLinked(p))
        return nvr_model_error("Constraint cannot be added because it contains unlinked variables");
    if (kind == kConKindLinked && problem_holdsUnlinked(p))
        return nvr_model_error(
            "Constraint cannot be added because one or more variables are linked to "
            "another problem");
    if (!constraint_body(c))
        return nvr_model_error("Constraint cannot be added because it has no body");
    if (kind == kConKindNone)
        decideMode(ctx, c, problem_holdsUnlinked(p) ? kConKindUnlinked : kConKindLinked);
    if (constraint_kind(c) == kConKindUnlinked &&
        rowcolmap_has(p->con_index_map, constraint_serial(c)))
        return nvr_model_error("Constraint already added to problem");
    *out = c;
    return 0;
}

// The per-leaf step: one constraint into the batch.
int addOne(PyObject *obj, void *ctxp) {
    auto &ctx = *static_cast<AddContext *>(ctxp);
    problem_s *p = ctx.p;
    constraint_s *c;
    if (admit(ctx, obj, &c) != 0) return -1;
    // max, min, abs, And, Or and pwl become variables of general constraints first; their
    // auxiliary rows join the batch ahead of this one.
    PyObject *stored = constraint_body(c);
    Ref body = nonlinear_Check(stored)
                   ? Ref::steal(problem_rewriteGeneral(p, stored, ctx.general, addOne, &ctx))
                   : Ref::borrow(stored);
    if (!body || PyList_Append(p->cons, obj) != 0) return -1;
    c->flags |= kConAddingFlag;

    const char *name = nullptr;
    Py_ssize_t nameLen = 0;
    if (PyObject *stored = constraint_stored_name(c)) {
        if (!(name = nvr_nameText(stored, "Constraint", &nameLen))) return -1;
    }
    Batch &b = ctx.batch;
    if (!b.empty() && b.named != (name != nullptr) && flushConstraints(ctx) != 0) return -1;

    const size_t nameBytes = name ? static_cast<size_t>(nameLen) + 1 : 0;
    ctx.nameBytes = nameBytes;
    ExprRow row;
    row.room = batchRoom;
    row.ctx = &ctx;
    row.pieces = p->nlprob ? &b.formulas : nullptr;
    row.pieceRow = ctx.rowsBefore + static_cast<int>(ctx.rowsSent + b.rows);
    ctx.rowPieces = b.formulas.count;
    if (convertExpr(p, body.get(), &row, false) != 0) return -1;
    if (b.formulas.count > ctx.rowPieces) ++b.formulaRows;

    double rhs = -row.constant, range = 0.0;
    getRhsSense(constraint_lb(c), constraint_ub(c), &b.types[b.rows], &rhs, &range);
    b.rhs[b.rows] = rhs;
    b.ranges[b.rows] = range;
    b.starts[b.rows] = static_cast<int64_t>(b.nnz);
    b.rowq[b.rows] = row.nq;
    if (name) {
        memcpy(b.names.data() + b.nameBytes, name, nameBytes);
        b.nameBytes += nameBytes;
    }
    b.named = name != nullptr;
    b.nnz += row.nnz;
    b.nq += row.nq;
    ++b.rows;

    if (constraint_kind(c) == kConKindUnlinked) {
        const long index = ctx.rowsBefore + static_cast<long>(ctx.rowsSent + b.rows - 1);
        if ((!p->con_index_map && !(p->con_index_map = rowcolmap_new())) ||
            rowcolmap_set(p->con_index_map, constraint_serial(c), index) != 0)
            return nvr_model_error("Cannot add constraint to problem");
    }
    return 0;
}

// Clears the mark of the constraints this call appended to the problem's list.
void unmarkAdded(AddContext &ctx) {
    problem_s *p = ctx.p;
    for (Py_ssize_t i = ctx.listed; i < PyList_GET_SIZE(p->cons); ++i)
        as_constraint(PyList_GET_ITEM(p->cons, i))->flags &= ~kConAddingFlag;
}

// Takes the problem back to its state before the call: rows, map entries, list entries and the
// modes that the call decided. A pending exception is kept.
void rollback(AddContext &ctx) {
    problem_s *p = ctx.p;
    AutoSavedException keep;
    int rows = ctx.rowsBefore;
    if (problem_intAttrib(p, NVRA_ATTR_ORIGINALROWS, &rows) != 0) PyErr_Clear();
    if (rows > ctx.rowsBefore) {
        LibArray<int> idx(static_cast<size_t>(rows - ctx.rowsBefore));
        if (idx) {
            for (int i = ctx.rowsBefore; i < rows; ++i)
                idx[i - ctx.rowsBefore] = i;
            if (problem_call(p, NVRAdelrows, "NVRAdelrows", rows - ctx.rowsBefore, idx.get()) != 0)
                PyErr_Clear();
        }
        PyErr_Clear();
    }
    const Py_ssize_t n = PyList_GET_SIZE(p->cons);
    if (p->con_index_map)
        for (Py_ssize_t i = ctx.listed; i < n; ++i) {
            constraint_s *c = as_constraint(PyList_GET_ITEM(p->cons, i));
            if (constraint_kind(c) == kConKindUnlinked)
                rowcolmap_del(p->con_index_map, constraint_serial(c));
        }
    if (!ctx.conMapExisted) rowcolmap_free(&p->con_index_map);
    unmarkAdded(ctx);
    for (auto it = ctx.modes.rbegin(); it != ctx.modes.rend(); ++it) {
        it->c->flags = it->flags;
        it->c->id_low = it->idLow;
        it->c->id_high = it->idHigh;
    }
    if (PyList_SetSlice(p->cons, ctx.listed, n, nullptr) != 0) PyErr_Clear();
    problem_undoGeneral(p, ctx.general);
    p->nl_rows = ctx.nlRowsBefore; // the library dropped the formulas with their rows
}

// Links the constraints of a successful call to their rows (a problem of linked objects).
void linkAdded(AddContext &ctx) {
    problem_s *p = ctx.p;
    unmarkAdded(ctx);
    if (p->con_index_map) return;
    const Py_ssize_t n = PyList_GET_SIZE(p->cons);
    for (Py_ssize_t i = ctx.listed; i < n; ++i) {
        constraint_s *c = as_constraint(PyList_GET_ITEM(p->cons, i));
        if (constraint_kind(c) == kConKindLinked)
            constraint_link(c, p, ctx.rowsBefore + static_cast<int>(i - ctx.listed));
    }
}

// The number of constraints that one argument brings at its first level (lists, tuples and
// arrays by their sizes; what is only known by walking it counts 0).
size_t countHintOf(PyObject *a) {
    if (constraint_Check(a)) return 1;
    if (PyList_Check(a) || PyTuple_Check(a)) return static_cast<size_t>(Py_SIZE(a));
    if (PyArray_Check(a))
        return static_cast<size_t>(PyArray_SIZE(reinterpret_cast<PyArrayObject *>(a)));
    return 0;
}

// The same for the arguments (a tuple of them, or, from a problem declaration, any one object
// to walk): the size of the first batch.
size_t countHint(PyObject *args) {
    if (!PyTuple_Check(args)) return countHintOf(args);
    size_t n = 0;
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(args); ++i)
        n += countHintOf(PyTuple_GET_ITEM(args, i));
    return n;
}

PyObject *problem_addConstraint_method(PyObject *self, PyObject *args) {
    if (problem_addConstraint(as_problem(self), args) != 0) return nullptr;
    Py_RETURN_NONE;
}

} // namespace

void getRhsSense(double lb, double ub, char *sense, double *rhs, double *range) {
    *range = 0.0;
    if (lb <= -kInf) {
        *sense = ub < kInf ? 'L' : 'N';
        if (ub < kInf) *rhs += ub;
    } else if (ub >= kInf) {
        *sense = 'G';
        *rhs += lb;
    } else if (lb != ub) {
        *sense = 'R';
        *rhs += ub;
        *range = ub - lb;
    } else {
        *sense = 'E';
        *rhs += lb;
    }
}

int addRowsAsConstraints(problem_s *p, int nrows) {
    if (problem_holdsUnlinked(p)) return 0;
    const Py_ssize_t listed = PyList_GET_SIZE(p->cons);
    for (int i = 0; i < nrows; ++i) {
        Ref c = Ref::steal(constraint_base_acyclic());
        if (c) constraint_link(as_constraint(c.get()), p, static_cast<int>(listed) + i);
        if (!c || PyList_Append(p->cons, c.get()) != 0) {
            AutoSavedException keep;
            for (Py_ssize_t k = listed; k < PyList_GET_SIZE(p->cons); ++k)
                constraint_mark_deleted(as_constraint(PyList_GET_ITEM(p->cons, k)));
            if (PyList_SetSlice(p->cons, listed, PyList_GET_SIZE(p->cons), nullptr) != 0)
                PyErr_Clear();
            return -1;
        }
    }
    return 0;
}

int problem_addConstraint(problem_s *p, PyObject *args) {
    if (checkProblemIsInitialized(p) != 0) return -1;
    NVR_TRY {
        AddContext ctx{p};
        ctx.listed = PyList_GET_SIZE(p->cons);
        ctx.nlRowsBefore = p->nl_rows;
        ctx.conMapExisted = p->con_index_map != nullptr;
        if (problem_intAttrib(p, NVRA_ATTR_ORIGINALROWS, &ctx.rowsBefore) != 0) return -1;
        int rc = -1;
        try {
            // A hint only: without the room, the batch grows as it goes.
            if (const size_t n = countHint(args); n > kFirstCapacity && ctx.batch.presize(n) != 0)
                PyErr_Clear();
            rc = for_each_nested_object(args, addOne, &ctx, kNestingDepth);
            if (rc == 0) rc = flushConstraints(ctx);
        } catch (...) {
            nvr_translate_exception();
        }
        if (rc == 0) {
            linkAdded(ctx);
            return 0;
        }
        setNvraErr(p);
        rollback(ctx);
        return -1;
    }
    NVR_CATCH(-1)
}

PyMethodDef problem_constraints_methods[] = {
    {"addConstraint", problem_addConstraint_method, METH_VARARGS,
     PyDoc_STR("addConstraint(*constraints)\n\n"
               "Adds constraints (x + y <= 3, NumPy arrays of constraints, and any nesting of\n"
               "lists, tuples, dicts and generators of them) as rows of the problem, in order.\n"
               "If any of them cannot be added, the problem keeps the rows it had.")},
    {"_convert", nvr_method(problem_convertForTests), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("_convert(obj, objective=False): the arrays a constraint body or objective "
               "becomes (for tests)")},
    {nullptr, nullptr, 0, nullptr},
};
