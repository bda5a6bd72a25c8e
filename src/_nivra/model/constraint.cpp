// model/constraint.cpp: nivra.constraint: the record and its unlinked block, construction with
// its checks, attribute access (linked constraints through model/conrow.cpp), copies, the
// row lookup for the problem code and the type object. Comparisons that build constraints are
// in model/comparison.cpp.
#include "runtime/npy.h"

#include "constraint.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "algebra.h"
#include "conrow.h"
#include "expression.h"
#include "linterm.h"
#include "live.h"
#include "maps.h"
#include "runtime/alloc.h"
#include "runtime/args.h"
#include "runtime/env.h"
#include "runtime/errors.h"
#include "runtime/ref.h"
#include "operand.h"
#include "problem_model.h"
#include "var.h"
#include "printing.h"

namespace {

constexpr double kInf = 1e20;
constexpr double kInfeasibleTolerance = 1e-6;
constexpr const char *kDeletedMsg = "Constraint has been deleted from the problem";
constexpr const char *kNotInitializedMsg = "Constraint is not initialized";

static_assert(sizeof(ConSlot) == 8);

// Blocks of more slots than the record holds (a name and two coded bounds: 24 or 32 bytes) are
// made, grown and freed only with the interpreter lock held: Python's small-object heap serves
// them from its pools, faster than malloc.
nvo_MemoryAllocator_s *const kBlockHeap = &nvo_MemoryAllocator_PyMallocHeap_s;

// ---- flags and block ----------------------------------------------------------------------------

ConSlot *blockOf(const constraint_s *c) {
    return constraint_slots(c) ? static_cast<ConSlot *>(c->owner) : nullptr;
}

bool blockIsInline(const constraint_s *c) {
    return c->owner == static_cast<const void *>(c->inline_block);
}

int blockNoMemory() {
    if (!PyErr_Occurred()) PyErr_NoMemory();
    return -1;
}

// Gives the block of n slots (its current ones and more) room for `room` slots: the record's
// own while they fit, else a block from the heap that the current slots move into. 0 or -1
// with MemoryError.
int growBlock(constraint_s *c, int n, int room) {
    if (room > (kConSlotsMask >> kConSlotsShift)) return blockNoMemory();
    const size_t bytes = static_cast<size_t>(room) * sizeof(ConSlot);
    if (!blockIsInline(c))
        return nvo_MemoryAllocator_Realloc_Untyped(kBlockHeap, &c->owner, bytes) == 0
                   ? 0
                   : blockNoMemory();
    if (room <= kConInlineSlots) return 0;
    void *heap = nullptr;
    if (nvo_MemoryAllocator_Alloc_Untyped(kBlockHeap, bytes, &heap) != 0) return blockNoMemory();
    memcpy(heap, c->inline_block, static_cast<size_t>(n) * sizeof(ConSlot));
    c->owner = heap;
    return 0;
}

int field(const constraint_s *c, uint16_t mask, int shift) {
    return (c->flags & mask) >> shift;
}
void setField(constraint_s *c, uint16_t mask, int shift, int value) {
    c->flags = static_cast<uint16_t>((c->flags & ~mask) | ((value << shift) & mask));
}

int lbCode(const constraint_s *c) {
    return field(c, kConLbMask, 0);
}
int ubCode(const constraint_s *c) {
    return field(c, kConUbMask, kConUbShift);
}
int nameSlot(const constraint_s *c) {
    return field(c, kConNameMask, kConNameShift);
}
// The slot that holds a bound with this code (0: the value is coded, no slot).
int slotOfCode(int code) {
    return code >= 3 ? code - 2 : 0;
}

double decodeBound(const constraint_s *c, int code, double infinite) {
    switch (code) {
    case 0:
        return infinite;
    case 1:
        return 0.0;
    case 2:
        return 1.0;
    default:
        return blockOf(c)[code - 2].value;
    }
}

// A slot for a new value: the first from 1 upward not used by the two other holders; the
// block grows by one slot when there is none. The slot index, or -1 with MemoryError.
int freeSlot(constraint_s *c, int usedA, int usedB) {
    const int n = constraint_slots(c);
    for (int k = 1; k < n; ++k)
        if (k != usedA && k != usedB) return k;
    if (growBlock(c, n, n + 1) != 0) return -1;
    setField(c, kConSlotsMask, kConSlotsShift, n + 1);
    return n;
}

// Stores a bound as its code, or in a slot. 0 or -1.
int storeBound(constraint_s *c, bool lower, double x) {
    int code;
    if (lower ? x <= -kInf : x >= kInf) {
        code = 0;
    } else if (x == 0.0) {
        code = 1;
    } else if (x == 1.0) {
        code = 2;
    } else {
        const int slot = freeSlot(c, nameSlot(c), slotOfCode(lower ? ubCode(c) : lbCode(c)));
        if (slot < 0) return -1;
        blockOf(c)[slot].value = x;
        code = slot + 2;
    }
    if (lower)
        setField(c, kConLbMask, 0, code);
    else
        setField(c, kConUbMask, kConUbShift, code);
    return 0;
}

// A constraint is tracked by the cycle collector only once it holds an object that can be part
// of a reference cycle (a nonlinear body, the instance of a str subclass); with expressions and
// plain names it cannot be, and the rows of a large model then cost the collector nothing (as
// CPython leaves tuples of atomic objects untracked). Called after obj was stored in c.
void trackFor(constraint_s *c, PyObject *obj) {
    PyObject *self = reinterpret_cast<PyObject *>(c);
    if (obj && PyType_IS_GC(Py_TYPE(obj)) && PyObject_IS_GC(obj) && !PyObject_GC_IsTracked(self))
        PyObject_GC_Track(self);
}

// Stores the name (a str, or null to remove it), releasing a previous one. 0 or -1.
int storeName(constraint_s *c, PyObject *name) {
    int slot = nameSlot(c);
    if (!name) {
        if (slot) {
            setField(c, kConNameMask, kConNameShift, 0);
            Py_CLEAR(blockOf(c)[slot].obj);
        }
        return 0;
    }
    if (!slot) {
        if ((slot = freeSlot(c, slotOfCode(lbCode(c)), slotOfCode(ubCode(c)))) < 0) return -1;
        blockOf(c)[slot].obj = nullptr;
        setField(c, kConNameMask, kConNameShift, slot);
    }
    Py_XSETREF(blockOf(c)[slot].obj, Py_NewRef(name));
    trackFor(c, name);
    return 0;
}

// Releases the body and the name and frees the block; the bound codes and slot count are reset.
void releaseBlock(constraint_s *c) {
    ConSlot *block = blockOf(c);
    if (!block) return;
    PyObject *body = block[0].obj;
    const int slot = nameSlot(c);
    PyObject *name = slot ? block[slot].obj : nullptr;
    if (blockIsInline(c))
        c->owner = nullptr;
    else
        nvo_MemoryAllocator_Free_Untyped(kBlockHeap, &c->owner);
    c->flags &= static_cast<uint16_t>(kConKindMask);
    Py_XDECREF(body);
    Py_XDECREF(name);
}

void setSerial(constraint_s *c, uint64_t serial) {
    c->id_low = static_cast<uint32_t>(serial);
    c->id_high = static_cast<uint16_t>(serial >> 32);
}

// The kind of a body: from its representative variable (0 when there is none or the body is
// no model object). 0, or -1 for a deleted variable.
int kindOfBody(PyObject *body, int *kind) {
    *kind = kConKindNone;
    if (!body || exprKindOf(body) < 0) return 0;
    var_s *v;
    if (check_first_var(body, &v) != 0) return -1;
    if (v) *kind = v->owner ? kConKindLinked : kConKindUnlinked;
    return 0;
}

// Sets the kind; a constraint that becomes kind 1 without a serial takes the next one.
void setKind(constraint_s *c, int kind) {
    setField(c, kConKindMask, kConKindShift, kind);
    if (kind == kConKindUnlinked && constraint_serial(c) == 0)
        setSerial(c, nvr_py_env.next_constraint_serial++);
}

PyObject *modelError(const char *msg) {
    PyErr_SetString(nvy_model_exc, msg);
    return nullptr;
}

// ---- the compact form ---------------------------------------------------------------------------

bool isCompact(const constraint_s *c) {
    return c->flags & kConCompactFlag;
}

// The expression equal to a compact body's variable or term (what the subtraction of the number
// made in the general form, its constant taken out). New reference or null.
PyObject *expressionOfTerm(PyObject *term) {
    Poly poly;
    if (poly_of(term, exprKindOf(term), &poly) != 0) return nullptr;
    return poly_sum(poly, Poly{}, 1.0, "Cannot create linear term in expression");
}

// Gives a compact constraint the general form, before its body object is handed out: from then
// on every read sees the same expression, as for a constraint made in the general form. 0 or -1.
int expandBody(constraint_s *c) {
    if (!isCompact(c)) return 0;
    PyObject *body = expressionOfTerm(blockOf(c)[0].obj);
    if (!body) return -1;
    Py_SETREF(blockOf(c)[0].obj, body);
    c->flags &= static_cast<uint16_t>(~kConCompactFlag);
    return 0;
}

// ---- unlinked attributes ------------------------------------------------------------------------

long unlinkedType(double lb, double ub) {
    if (lb == ub) return kConEq;
    if (ub >= kInf) return lb <= -kInf ? kConNonbinding : kConGeq;
    return lb <= -kInf ? kConLeq : kConRange;
}

double unlinkedRhs(double lb, double ub) {
    return ub < kInf ? ub : lb > -kInf ? lb : 0.0;
}

double unlinkedValue(ConAttr attr, double lb, double ub) {
    switch (attr) {
    case ConAttr::Lb:
        return lb;
    case ConAttr::Ub:
        return ub;
    case ConAttr::Rhs:
        return unlinkedRhs(lb, ub);
    default:
        return std::min(ub - lb, kInf);
    }
}

// Stores both bounds. 0 or -1.
int storeBounds(constraint_s *c, double lb, double ub) {
    return storeBound(c, true, lb) != 0 || storeBound(c, false, ub) != 0 ? -1 : 0;
}

// rhs = r: an equality moves both bounds, a range keeps its width, a one-sided constraint moves
// its finite bound; a free constraint is unchanged.
int setUnlinkedRhs(constraint_s *c, double r) {
    const double lb = constraint_lb(c), ub = constraint_ub(c);
    if (lb == ub) return storeBounds(c, r, r);
    if (ub >= kInf) return lb <= -kInf ? 0 : storeBound(c, true, r);
    if (lb <= -kInf) return storeBound(c, false, r);
    return storeBounds(c, r - (ub - lb), r);
}

// rhsrange = g, as the library changes a row's range: with g >= 0 a constraint with a finite
// upper bound keeps it and gets lb = ub - g; with g < 0 a constraint with a finite lower bound
// keeps it and gets ub = lb - g. A constraint with only a lower bound keeps it with the width
// |g|, one with only an upper bound keeps that with the width |g|; a free one is unchanged.
int setUnlinkedRange(constraint_s *c, double g) {
    const double lb = constraint_lb(c), ub = constraint_ub(c);
    const bool lbFinite = lb > -kInf, ubFinite = ub < kInf;
    if (ubFinite && (g >= 0.0 || !lbFinite)) return storeBound(c, true, ub - std::fabs(g));
    if (lbFinite) return storeBound(c, false, lb + std::fabs(g));
    return 0;
}

// type = t with the current right-hand side r.
int setUnlinkedType(constraint_s *c, long t) {
    const double lb = constraint_lb(c), ub = constraint_ub(c);
    if (t < kConLeq || t > kConNonbinding) {
        PyErr_Format(nvy_model_exc,
                     "Invalid row type %ld: expected one of nivra.leq, nivra.geq, nivra.eq, etc.",
                     t);
        return -1;
    }
    if (t == unlinkedType(lb, ub)) return 0;
    const double r = unlinkedRhs(lb, ub);
    switch (t) {
    case kConGeq:
        return storeBounds(c, r, kInf);
    case kConEq:
        return storeBounds(c, r, r);
    case kConNonbinding:
        return storeBounds(c, -kInf, kInf);
    default:
        return storeBounds(c, -kInf, r); // leq and rng
    }
}

// The code of a bound that needs no slot (0 infinite, 1 the value 0.0, 2 the value 1.0), or -1.
int codeWithoutSlot(double x, bool lower) {
    if (lower ? x <= -kInf : x >= kInf) return 0;
    return x == 0.0 ? 1 : x == 1.0 ? 2 : -1;
}

// Fills an uninitialised constraint of the given kind: a block with the body, the name and the
// bounds (clamped to +-1e20), written at once: body, name, lower and upper bound in slot
// order, equal bounds sharing one slot. 0, or -1 with the record left uninitialised.
int fillBlock(constraint_s *c, double lb, double ub, PyObject *body, PyObject *name, int kind) {
    lb = std::max(lb, -kInf);
    ub = std::min(ub, kInf);
    int lbc = codeWithoutSlot(lb, true), ubc = codeWithoutSlot(ub, false);
    const bool shared = lbc < 0 && ubc < 0 && lb == ub;
    const int slots = 1 + (name != nullptr) + (lbc < 0) + (ubc < 0 && !shared);
    if (slots <= kConInlineSlots)
        c->owner = c->inline_block;
    else if (nvo_MemoryAllocator_Alloc_Untyped(kBlockHeap, slots * sizeof(ConSlot), &c->owner) != 0)
        return blockNoMemory();
    ConSlot *block = static_cast<ConSlot *>(c->owner);
    block[0].obj = Py_XNewRef(body);
    int next = 1, nameAt = 0;
    if (name) {
        block[next].obj = Py_NewRef(name);
        nameAt = next++;
    }
    if (lbc < 0) {
        block[next].value = lb;
        lbc = next++ + 2;
    }
    if (ubc < 0) {
        if (shared) {
            ubc = lbc;
        } else {
            block[next].value = ub;
            ubc = next++ + 2;
        }
    }
    c->flags = static_cast<uint16_t>(slots << kConSlotsShift | nameAt << kConNameShift |
                                     ubc << kConUbShift | lbc);
    trackFor(c, body);
    trackFor(c, name);
    setKind(c, kind);
    return 0;
}

// ---- attribute access ---------------------------------------------------------------------------

PyObject *readNumber(ConAttr attr, PyObject *self) {
    const constraint_s *c = as_constraint(self);
    if (checkConstraintValid(c) != 0) return nullptr;
    if (constraint_is_linked(c)) return conrow_get(c, attr);
    const double lb = constraint_lb(c), ub = constraint_ub(c);
    if (attr == ConAttr::Type) return PyLong_FromLong(unlinkedType(lb, ub));
    return PyFloat_FromDouble(unlinkedValue(attr, lb, ub));
}

template <ConAttr A> PyObject *getNumber(PyObject *self, void *) {
    return readNumber(A, self);
}

// str(): "(deleted constraint)", the row name, the stored name, or "R<serial>".
PyObject *constraint_str(PyObject *self) {
    const constraint_s *c = as_constraint(self);
    if (constraint_is_deleted(c)) return PyUnicode_FromString("(deleted constraint)");
    if (constraint_is_linked(c)) return conrow_name(c);
    if (PyObject *name = constraint_stored_name(c)) return Py_NewRef(name);
    return PyUnicode_FromFormat("R%llu", static_cast<unsigned long long>(constraint_serial(c)));
}

PyObject *constraint_get_name(PyObject *self, void *) {
    const constraint_s *c = as_constraint(self);
    if (!constraint_is_deleted(c) && checkConstraintValid(c) != 0) return nullptr;
    return constraint_str(self);
}

PyObject *constraint_get_body(PyObject *self, void *) {
    constraint_s *c = as_constraint(self);
    if (checkConstraintValid(c) != 0 ||
        warnDeprec(9, 5, "access the constraint body with constraint.getBody()") != 0)
        return nullptr;
    if (constraint_is_linked(c))
        return modelError("Constraint body is not available for linked constraints: use "
                          "constraint.getBody");
    if (expandBody(c) != 0) return nullptr;
    PyObject *body = constraint_body(c);
    return Py_NewRef(body ? body : Py_None);
}

PyObject *constraint_get_index(PyObject *self, void *) {
    const constraint_s *c = as_constraint(self);
    if (constraint_is_deleted(c)) return PyLong_FromLong(-1);
    if (checkConstraintValid(c) != 0) return nullptr;
    if (constraint_is_linked(c)) return PyLong_FromUnsignedLong(c->id_low);
    Py_RETURN_NONE;
}

PyObject *constraint_get_dict(PyObject *self, void *) {
    constraint_s *c = as_constraint(self);
    Ref d = Ref::steal(PyDict_New());
    if (!d) return nullptr;
    if (constraint_is_deleted(c)) {
        Ref index = Ref::steal(PyLong_FromLong(-1));
        if (!index || PyDict_SetItemString(d.get(), "index", index.get()) != 0) return nullptr;
        return d.release();
    }
    if (checkConstraintValid(c) != 0 || expandBody(c) != 0) return nullptr;
    static const struct {
        const char *name;
        getter get;
    } entries[] = {{"lb", getNumber<ConAttr::Lb>},
                   {"ub", getNumber<ConAttr::Ub>},
                   {"type", getNumber<ConAttr::Type>},
                   {"rhs", getNumber<ConAttr::Rhs>},
                   {"rhsrange", getNumber<ConAttr::RhsRange>},
                   {"body", nullptr},
                   {"name", constraint_get_name},
                   {"index", constraint_get_index}};
    for (const auto &e : entries) {
        PyObject *body = constraint_body(c);
        if (!e.get && !body) continue;
        Ref value = Ref::steal(e.get ? e.get(self, nullptr) : Py_NewRef(body));
        if (!value || PyDict_SetItemString(d.get(), e.name, value.get()) != 0) return nullptr;
    }
    return d.release();
}

template <bool Lower> int setBound(PyObject *self, PyObject *value, void *) {
    constraint_s *c = as_constraint(self);
    double x;
    if (checkConstraintValid(c) != 0) return -1;
    if (constraint_is_linked(c))
        return nvr_model_error("Constraint bounds cannot be modified once it has been added to a "
                               "problem");
    const char *nanMsg =
        Lower ? "Invalid constraint bound: lb is NaN" : "Invalid constraint bound: ub is NaN";
    return nvr_readNumber(value, &x, nanMsg) != 0 ? -1 : storeBound(c, Lower, x);
}

int constraint_set_rhs(PyObject *self, PyObject *value, void *) {
    constraint_s *c = as_constraint(self);
    double x;
    if (checkConstraintValid(c) != 0 ||
        nvr_readNumber(value, &x, "Invalid constraint right-hand side: rhs is NaN") != 0)
        return -1;
    return constraint_is_linked(c) ? conrow_set_rhs(c, x) : setUnlinkedRhs(c, x);
}

int constraint_set_rhsrange(PyObject *self, PyObject *value, void *) {
    constraint_s *c = as_constraint(self);
    double x;
    if (checkConstraintValid(c) != 0 ||
        nvr_readNumber(value, &x, "Invalid constraint range: rhsrange is NaN") != 0)
        return -1;
    return constraint_is_linked(c) ? conrow_set_range(c, x) : setUnlinkedRange(c, x);
}

int constraint_set_type(PyObject *self, PyObject *value, void *) {
    constraint_s *c = as_constraint(self);
    if (checkConstraintValid(c) != 0) return -1;
    const long t = PyLong_AsLong(value);
    if (t == -1 && PyErr_Occurred()) return -1;
    return constraint_is_linked(c) ? conrow_set_type(c, t) : setUnlinkedType(c, t);
}

int checkNameArg(PyObject *name) {
    return nvr_nameText(name, "Constraint") ? 0 : -1;
}

int constraint_set_name(PyObject *self, PyObject *value, void *) {
    constraint_s *c = as_constraint(self);
    if (checkConstraintValid(c) != 0 || checkNameArg(value) != 0) return -1;
    return constraint_is_linked(c) ? conrow_set_name(c, value) : storeName(c, value);
}

// A new body (None removes it); the kind follows the new body.
int constraint_set_body(PyObject *self, PyObject *value, void *) {
    constraint_s *c = as_constraint(self);
    if (checkConstraintValid(c) != 0) return -1;
    if (constraint_is_linked(c))
        return nvr_model_error("Constraint body cannot be modified once it has been added to a "
                               "problem");
    PyObject *body = value == Py_None ? nullptr : value;
    int kind;
    if (kindOfBody(body, &kind) != 0) return -1;
    Py_XSETREF(blockOf(c)[0].obj, Py_XNewRef(body));
    c->flags &= static_cast<uint16_t>(~kConCompactFlag);
    trackFor(c, body);
    setKind(c, kind);
    return 0;
}

int constraint_set_index(PyObject *, PyObject *, void *) {
    PyErr_SetString(nvy_interf_exc, "Constraint index cannot be modified");
    return -1;
}

int constraint_set_dict(PyObject *, PyObject *, void *) {
    PyErr_SetString(PyExc_AttributeError,
                    "attribute '__dict__' of 'nivra.constraint' objects is not writable");
    return -1;
}

int constraint_setattro(PyObject *self, PyObject *name, PyObject *value) {
    if (!value) {
        PyErr_Format(nvy_interf_exc, "Cannot delete the %U attribute", name);
        return -1;
    }
    return PyObject_GenericSetAttr(self, name, value);
}

// ---- construction -------------------------------------------------------------------------------

// A bound or number argument (what: "lower bound", "rhs", ...): Python's float conversion;
// arrays with dimensions, and NaN, are refused. 0 or -1 with ModelError.
int numberArg(PyObject *o, double *x, const char *what) {
    if (!(PyArray_Check(o) && PyArray_NDIM(reinterpret_cast<PyArrayObject *>(o)) >= 1)) {
        *x = PyFloat_AsDouble(o);
        if (!(*x == -1.0 && PyErr_Occurred())) {
            if (!std::isnan(*x)) return 0;
            PyErr_Format(nvy_model_exc, "Invalid %s argument: NaN", what);
            return -1;
        }
        PyErr_Clear();
    }
    PyErr_Format(nvy_model_exc, "Invalid %s argument: expected a number", what);
    return -1;
}

struct ConstructorArgs {
    PyObject *constraint = nullptr, *body = nullptr, *lb = nullptr, *ub = nullptr, *type = nullptr,
             *rhs = nullptr, *name = nullptr, *rhsrange = nullptr;
};

// Checks 2 and 3: which arguments may be combined. type receives the converted type.
// 0 or -1.
int checkCombination(const ConstructorArgs &a, long *type) {
    if (a.type) {
        *type = PyLong_AsLong(a.type);
        if (*type == -1 && PyErr_Occurred()) return -1;
    }
    if (a.constraint) {
        if (a.body || a.lb || a.ub || a.type || a.rhs || a.rhsrange)
            return nvr_model_error("When the constraint argument is provided, no other arguments "
                                   "except the name may be provided");
        return 0;
    }
    const char *msg = !a.body                    ? "Constraint body must be provided"
                      : a.rhsrange && !a.rhs     ? "When rhsrange argument is provided, rhs "
                                                   "argument must also be provided"
                      : a.rhs && (a.lb || a.ub)  ? "Cannot provide both right-hand side and "
                                                   "bounds arguments"
                      : !a.rhs && !a.lb && !a.ub ? "Constraint right-hand side or bounds must be "
                                                   "provided"
                      : a.type && (a.lb || a.ub) ? "Cannot provide both type and bounds arguments"
                      : a.rhs && !a.type         ? "Constraint type must be provided"
                      : a.type && *type == kConRange && !a.rhsrange
                          ? "Range constraints require the rhsrange argument"
                          : nullptr;
    return msg ? nvr_model_error(msg) : 0;
}

// Checks 4 to 6: the bounds from lb and ub, or from type, rhs and rhsrange. 0 or -1.
int boundsOf(const ConstructorArgs &a, long type, double *lb, double *ub) {
    *lb = -kInf;
    *ub = kInf;
    double rhs = 0.0, range = 0.0;
    if ((a.lb && numberArg(a.lb, lb, "lower bound") != 0) ||
        (a.ub && numberArg(a.ub, ub, "upper bound") != 0) ||
        (a.rhs && numberArg(a.rhs, &rhs, "rhs") != 0) ||
        (a.rhsrange && numberArg(a.rhsrange, &range, "rhsrange") != 0))
        return -1;
    if (*lb > *ub + kInfeasibleTolerance)
        return nvr_model_error("Constraint defined infeasible: lower bound > upper bound");
    if (a.rhs && calc_constraint_bounds(type, rhs, range, lb, ub) != 0) {
        PyErr_Format(nvy_model_exc, "Invalid type %ld: expected nivra.leq, nivra.geq, nivra.eq",
                     type);
        return -1;
    }
    return 0;
}

// Check 8: the body, a zero-dimensional array replaced by its scalar. New reference or null.
PyObject *bodyArg(PyObject *body) {
    Ref b = Ref::borrow(body);
    if (PyArray_Check(body) && PyArray_NDIM(reinterpret_cast<PyArrayObject *>(body)) == 0) {
        PyArrayObject *arr = reinterpret_cast<PyArrayObject *>(body);
        b = Ref::steal(PyArray_GETITEM(arr, static_cast<char *>(PyArray_DATA(arr))));
        if (!b) return nullptr;
    }
    if (exprKindOf(b.get()) < 0)
        return modelError("Invalid expression passed as body of constraint");
    return b.release();
}

// Check 9: the constraint to take body and bounds from (its body then in the general form, the
// object shared). 0 or -1.
int sourceConstraint(PyObject *o, constraint_s **src) {
    if (!constraint_Check(o))
        return nvr_model_error(
            PyBool_Check(o) ? "Attempt to generate an empty constraint failed. Consider using "
                              "nivra.constraint(body=..., type=..., rhs=...) instead"
                            : "Invalid constraint object passed to nivra.constraint");
    *src = as_constraint(o);
    if (checkConstraintValid(*src) != 0) return -1;
    if (constraint_is_linked(*src))
        return nvr_model_error("Cannot create a constraint from an existing constraint that has "
                               "already been added to a problem");
    return expandBody(*src);
}

PyObject *noneToNull(PyObject *o) {
    return o == Py_None ? nullptr : o;
}

// constraint(constraint=None, body=None, lb=-infinity, ub=infinity, type=None, rhs=None,
// name=None, rhsrange=None). The type is read as an object (and converted as an integer) so
// that its presence can be told.
int constraint_init(PyObject *self, PyObject *args, PyObject *kwargs) {
    constraint_s *c = as_constraint(self);
    if (c->owner) {
        PyErr_SetString(nvy_interf_exc, "Cannot re-initialize a constraint");
        return -1;
    }
    static const char *const kw[] = {"constraint", "body", "lb",       "ub",   "type",
                                     "rhs",        "name", "rhsrange", nullptr};
    static const char *const kwold[] = {"constraint", "body", "lb",       "ub",   "sense",
                                        "rhs",        "name", "rhsrange", nullptr};
    ConstructorArgs a;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "|OOOOOOOO", kw, kwold, &a.constraint, &a.body,
                                   &a.lb, &a.ub, &a.type, &a.rhs, &a.name, &a.rhsrange))
        return -1;
    a.constraint = noneToNull(a.constraint);
    a.body = noneToNull(a.body);
    a.type = noneToNull(a.type);
    a.rhs = noneToNull(a.rhs);
    a.name = noneToNull(a.name);
    a.rhsrange = noneToNull(a.rhsrange);
    long type = 0;
    double lb, ub;
    if (checkCombination(a, &type) != 0 || boundsOf(a, type, &lb, &ub) != 0) return -1;
    if (a.name && checkNameArg(a.name) != 0) return -1;
    Ref body;
    if (a.body && !(body = Ref::steal(bodyArg(a.body)))) return -1;
    if (a.constraint) {
        constraint_s *src;
        if (sourceConstraint(a.constraint, &src) != 0) return -1;
        body = Ref::borrow(constraint_body(src));
        lb = constraint_lb(src);
        ub = constraint_ub(src);
    }
    return constraint_init_internal(c, lb, ub, body.get(), a.name);
}

PyObject *constraint_new(PyTypeObject *, PyObject *, PyObject *) {
    return constraint_base();
}

void constraint_dealloc(PyObject *self) {
    PyObject_GC_UnTrack(self);
    releaseBlock(as_constraint(self));
    freeModelObject(self, kLiveConstraint);
}

int constraint_traverse(PyObject *self, visitproc visit, void *arg) {
    const constraint_s *c = as_constraint(self);
    if (ConSlot *block = blockOf(c)) {
        Py_VISIT(block[0].obj);
        if (const int slot = nameSlot(c)) Py_VISIT(block[slot].obj);
    }
    return 0;
}

int constraint_clear(PyObject *self) {
    constraint_s *c = as_constraint(self);
    if (ConSlot *block = blockOf(c)) {
        Py_CLEAR(block[0].obj);
        c->flags &= static_cast<uint16_t>(~kConCompactFlag);
        storeName(c, nullptr);
    }
    return 0;
}

// ---- methods ------------------------------------------------------------------------------------

PyObject *constraint_copy(PyObject *self, PyObject *) {
    constraint_s *c = as_constraint(self);
    if (c->owner && !constraint_is_unlinked(c))
        return modelError("Constraint cannot be copied because it has been added to a problem");
    if (expandBody(c) != 0) return nullptr;
    PyObject *body = constraint_body(c);
    if (!body) return modelError("Constraint cannot be copied because it has no body");
    Ref name;
    if (PyObject *stored = constraint_stored_name(c))
        if (!(name = Ref::steal(PyUnicode_FromFormat("%S_copy", stored)))) return nullptr;
    Ref copy = Ref::steal(constraint_base());
    if (!copy || constraint_init_internal(as_constraint(copy.get()), constraint_lb(c),
                                          constraint_ub(c), body, name.get()) != 0)
        return nullptr;
    return copy.release();
}

PyObject *constraint_getBody(PyObject *self, PyObject *) {
    const constraint_s *c = as_constraint(self);
    if (checkConstraintValid(c) != 0) return nullptr;
    if (constraint_is_linked(c)) return conrow_body(c);
    PyObject *body = constraint_body(c);
    if (isCompact(c)) return expressionOfTerm(body);
    return body ? general_copy(body, 1.0) : Py_NewRef(Py_None);
}

// The truth value of a constraint is deprecated: it is always true.
int constraint_bool(PyObject *) {
    return warnDeprec(9, 6, "compare Nivra objects with nivra.is_equal()") != 0 ? -1 : 1;
}

PyMethodDef constraint_methods[] = {
    NVR_REPR_LATEX_METHOD,
    {"copy", constraint_copy, METH_NOARGS,
     PyDoc_STR("copy() -> constraint: a new unlinked constraint with the same body and bounds")},
    {"getBody", constraint_getBody, METH_NOARGS,
     PyDoc_STR("getBody() -> expression: a copy of the body (rebuilt from the row when linked)")},
    {"getSlack", constraint_getSlack, METH_NOARGS,
     PyDoc_STR("getSlack() -> float: the slack of the row in the current solution")},
    {"getDual", constraint_getDual, METH_NOARGS,
     PyDoc_STR("getDual() -> float: the dual value of the row in the current solution")},
    {"getCallbackSlack", constraint_getCallbackSlack, METH_NOARGS,
     PyDoc_STR("getCallbackSlack() -> float: the slack of the row in a callback")},
    {"getCallbackDual", constraint_getCallbackDual, METH_NOARGS,
     PyDoc_STR("getCallbackDual() -> float: the dual value of the row in a callback")},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef constraint_getset[] = {
    {"lb", getNumber<ConAttr::Lb>, setBound<true>, PyDoc_STR("lower bound"), nullptr},
    {"ub", getNumber<ConAttr::Ub>, setBound<false>, PyDoc_STR("upper bound"), nullptr},
    {"type", getNumber<ConAttr::Type>, constraint_set_type,
     PyDoc_STR("type: leq 1, geq 2, eq 3, rng 4, nonbinding 5"), nullptr},
    {"rhs", getNumber<ConAttr::Rhs>, constraint_set_rhs, PyDoc_STR("right-hand side"), nullptr},
    {"rhsrange", getNumber<ConAttr::RhsRange>, constraint_set_rhsrange,
     PyDoc_STR("range: the width of [lb, ub]"), nullptr},
    {"name", constraint_get_name, constraint_set_name, PyDoc_STR("name"), nullptr},
    {"body", constraint_get_body, constraint_set_body,
     PyDoc_STR("body of an unlinked constraint (deprecated: use getBody())"), nullptr},
    {"index", constraint_get_index, constraint_set_index,
     PyDoc_STR("row index; None when unlinked, -1 when deleted"), nullptr},
    {"__dict__", constraint_get_dict, constraint_set_dict, PyDoc_STR("the properties as a dict"),
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyNumberMethods constraint_as_number = {
    .nb_bool = constraint_bool,
};

} // namespace

// ---- functions for other files ------------------------------------------------------------------

bool constraint_is_deleted(const constraint_s *c) {
    return !constraint_is_unlinked(c) && c->owner == reinterpret_cast<void *>(kDeletedOwner);
}

bool constraint_is_linked(const constraint_s *c) {
    return c->owner && !constraint_is_unlinked(c) && !constraint_is_deleted(c);
}

problem_model_s *constraint_problem(const constraint_s *c) {
    return constraint_is_linked(c) ? static_cast<problem_model_s *>(c->owner) : nullptr;
}

PyObject *constraint_base() {
    // The fields of the record, without the inline block, which is written when it is taken
    // (newGcModelObject would clear it too, by a call of memset per constraint).
    constraint_s *c = PyObject_GC_New(constraint_s, &constraint_type);
    if (!c) return nullptr;
    c->owner = nullptr;
    c->id_low = 0;
    c->id_high = 0;
    c->flags = 0;
    ++nvr_live_objects[kLiveConstraint];
    return reinterpret_cast<PyObject *>(c); // tracked once it holds a collectable object
}

PyObject *constraint_base_acyclic() {
    // The collector's young passes are started by the count of allocated collectable objects;
    // a constraint that is never tracked gives such a pass nothing to find, and a million of
    // them from one element-wise comparison started over a thousand passes (a quarter of the
    // comparison's time). Other allocations still start the pass once the count is due.
    const int enabled = PyGC_Disable();
    PyObject *c = constraint_base();
    if (enabled) PyGC_Enable();
    return c;
}

int calc_constraint_bounds(long type, double rhs, double range, double *lb, double *ub) {
    switch (type) {
    case kConLeq:
        *lb = -kInf, *ub = rhs;
        return 0;
    case kConGeq:
        *lb = rhs, *ub = kInf;
        return 0;
    case kConEq:
        *lb = rhs, *ub = rhs;
        return 0;
    case kConRange:
        *lb = rhs - std::fabs(range), *ub = rhs;
        return 0;
    case kConNonbinding:
        *lb = -kInf, *ub = kInf;
        return 0;
    default:
        return -1;
    }
}

int constraint_init_internal(constraint_s *c, double lb, double ub, PyObject *body,
                             PyObject *name) {
    int kind;
    if (kindOfBody(body, &kind) != 0) return -1;
    return fillBlock(c, lb, ub, body, name, kind);
}

int constraint_init_compact(constraint_s *c, double lb, double ub, PyObject *term) {
    // The kind straight from the term's variable (what the representative of any body gives).
    const var_s *v = as_var(Py_IS_TYPE(term, &var_type) ? term : as_linterm(term)->var);
    if (var_is_deleted(v)) return nvr_model_error("Deleted variable in expression");
    if (fillBlock(c, lb, ub, term, nullptr, v->owner ? kConKindLinked : kConKindUnlinked) != 0)
        return -1;
    c->flags |= kConCompactFlag;
    return 0;
}

int checkConstraintValid(const constraint_s *c) {
    if (constraint_is_deleted(c)) return nvr_model_error(kDeletedMsg);
    if (!c->owner) return nvr_model_error(kNotInitializedMsg);
    return 0;
}

int get_con_row(problem_model_s *prob, const constraint_s *c, int *row) {
    if (constraint_is_deleted(c)) return nvr_model_error(kDeletedMsg);
    if (constraint_is_unlinked(c)) {
        if (constraint_kind(c) != kConKindUnlinked)
            return nvr_model_error("Constraint does not belong to any problem");
        if (constraint_serial(c) == 0) return nvr_model_error(kNotInitializedMsg);
        long index;
        if (rowcolmap_get(prob->con_index_map, constraint_serial(c), &index) != 0)
            return nvr_model_error("Constraint does not belong to this problem");
        *row = static_cast<int>(index);
        return 0;
    }
    if (!c->owner) return nvr_model_error(kNotInitializedMsg);
    if (c->owner != prob && !(prob->parent && c->owner == prob->parent))
        return nvr_model_error("Constraint is from a different problem");
    *row = static_cast<int>(c->id_low);
    return 0;
}

PyObject *constraint_body(const constraint_s *c) {
    const ConSlot *block = blockOf(c);
    return block ? block[0].obj : nullptr;
}

double constraint_lb(const constraint_s *c) {
    return decodeBound(c, lbCode(c), -kInf);
}
double constraint_ub(const constraint_s *c) {
    return decodeBound(c, ubCode(c), kInf);
}

PyObject *constraint_stored_name(const constraint_s *c) {
    const int slot = nameSlot(c);
    return slot ? blockOf(c)[slot].obj : nullptr;
}

void constraint_link(constraint_s *c, problem_model_s *prob, int row) {
    releaseBlock(c);
    c->owner = prob;
    c->id_low = static_cast<uint32_t>(row);
    c->id_high = 0;
    // A linked constraint holds no references, so the collector need not visit it.
    PyObject_GC_UnTrack(c);
}

void constraint_mark_deleted(constraint_s *c) {
    releaseBlock(c);
    c->owner = kDeletedOwner;
}

PyTypeObject constraint_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.constraint",
    .tp_basicsize = sizeof(constraint_s),
    .tp_dealloc = constraint_dealloc,
    .tp_repr = constraint_str,
    .tp_as_number = &constraint_as_number,
    .tp_str = constraint_str,
    .tp_setattro = constraint_setattro,
    .tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC,
    .tp_doc = PyDoc_STR("constraint(constraint=None, body=None, lb=-infinity, ub=infinity, "
                        "type=None, rhs=None, name=None, rhsrange=None): the constraint "
                        "lb <= body <= ub"),
    .tp_traverse = constraint_traverse,
    .tp_clear = constraint_clear,
    .tp_methods = constraint_methods,
    .tp_getset = constraint_getset,
    .tp_init = constraint_init,
    .tp_new = constraint_new,
};
