// model/constraint.h: nivra.constraint, a bounded function lb <= body <= ub: its record, the
// unlinked block that holds body, bounds and name before the constraint joins a problem, the
// comparisons that build constraints, and the functions the problem code needs.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>

struct problem_model_s;

// One 8-byte slot of the unlinked block: slot 0 the body, the others the stored name and the
// bounds that have no code.
union ConSlot {
    PyObject *obj;
    double value;
};

// Slots of a block that the record holds itself: the body and one value or name. A comparison
// with a number (x >= 0, x + y == 5) then makes one object and no block beside it; the record
// takes 64 bytes with the collector's header, the size class the record of 32 bytes and a
// separate block of 16 took together.
constexpr int kConInlineSlots = 2;

// The record. owner is the owning problem when linked, kDeletedOwner when deleted, the
// unlinked block when the flags count slots (inline_block, or a larger block from the heap),
// and null when uninitialised. id_low is the row of a linked constraint; id_low + (id_high <<
// 32) the serial of an unlinked one (0: none).
struct constraint_s {
    PyObject_HEAD void *owner;
    uint32_t id_low;
    uint16_t id_high;
    uint16_t flags;
    ConSlot inline_block[kConInlineSlots];
};

// Flags: bounds codes (0 infinite, 1 the value 0.0, 2 the value 1.0, k >= 3 the value in slot
// k - 2 of the block), the kind (which representative variable the body has), the slot of the
// stored name (0: none) and the number of slots of the block (0: no block).
constexpr uint16_t kConLbMask = 0x7;
constexpr int kConUbShift = 3;
constexpr uint16_t kConUbMask = 0x7 << kConUbShift;
constexpr int kConKindShift = 6;
constexpr uint16_t kConKindMask = 0x3 << kConKindShift;
constexpr int kConNameShift = 8;
constexpr uint16_t kConNameMask = 0x7 << kConNameShift;
constexpr int kConSlotsShift = 11;
constexpr uint16_t kConSlotsMask = 0x7 << kConSlotsShift;
// Set while a running addConstraint call holds the constraint in its batch.
constexpr uint16_t kConAddingFlag = 0x4000;
// The compact form of a comparison of a variable or linear term with a number: slot 0 holds
// that variable or term itself, standing for the expression equal to it (the body the general
// form would hold). The expression is made only when Python asks for the body.
constexpr uint16_t kConCompactFlag = 0x8000;

// Kinds: the body's representative variable is unlinked (the constraint has a serial), linked,
// or there is none.
enum ConstraintKind : int { kConKindNone = 0, kConKindUnlinked = 1, kConKindLinked = 2 };

// Constraint types and their row type letters.
enum ConstraintType : long {
    kConLeq = 1,       // 'L': [-1e20, r]
    kConGeq = 2,       // 'G': [r, 1e20]
    kConEq = 3,        // 'E': [r, r]
    kConRange = 4,     // 'R': [r - |g|, r]
    kConNonbinding = 5 // 'N': [-1e20, 1e20]
};

extern PyTypeObject constraint_type;

inline bool constraint_Check(PyObject *o) {
    return Py_IS_TYPE(o, &constraint_type);
}
inline constraint_s *as_constraint(PyObject *o) {
    return reinterpret_cast<constraint_s *>(o);
}

inline int constraint_slots(const constraint_s *c) {
    return (c->flags & kConSlotsMask) >> kConSlotsShift;
}
inline int constraint_kind(const constraint_s *c) {
    return (c->flags & kConKindMask) >> kConKindShift;
}
inline uint64_t constraint_serial(const constraint_s *c) {
    return c->id_low | (uint64_t{c->id_high} << 32);
}
// Holds an unlinked block (body, bounds, name).
inline bool constraint_is_unlinked(const constraint_s *c) {
    return constraint_slots(c) != 0;
}
bool constraint_is_deleted(const constraint_s *c);
// Refers to a row of its owner.
bool constraint_is_linked(const constraint_s *c);
// The owner of a linked constraint, else null.
problem_model_s *constraint_problem(const constraint_s *c);

// ---- construction -------------------------------------------------------------------------------

// A new uninitialised constraint. New reference or null.
PyObject *constraint_base();
// The same for a constraint that will hold no object that can be part of a reference cycle
// (a body of kind 0 to 4, or none, and no name): its allocation does not count towards the
// cycle collector's next pass. New reference or null.
PyObject *constraint_base_acyclic();
// The bounds of a constraint of type with right-hand side rhs and range: 0, or -1 (nothing
// set, no exception) for an unknown type.
int calc_constraint_bounds(long type, double rhs, double range, double *lb, double *ub);
// Fills an uninitialised constraint: kind and serial from the body, bounds (clamped to
// ±1e20), body and name (null or a str) in a new block. 0, or -1 with the record left
// uninitialised.
int constraint_init_internal(constraint_s *c, double lb, double ub, PyObject *body, PyObject *name);
// The same with the compact body term (a variable or a linear term with a non-zero coefficient):
// the constraint lb <= term <= ub without a name.
int constraint_init_compact(constraint_s *c, double lb, double ub, PyObject *term);
// The constraint a op b (op a Python comparison code). New reference or null.
PyObject *make_constraint(PyObject *a, PyObject *b, int op);

// tp_richcompare of var, linterm, quadterm, expression and nonlinear: with the constraint
// operators on, <=, >= and == build constraints; off, == and != test structural equality.
// New reference or null.
PyObject *generic_cmp(PyObject *a, PyObject *b, int op);

// ---- for the problem code -----------------------------------------------------------------------

// ModelError for a deleted or uninitialised constraint. 0 or -1.
int checkConstraintValid(const constraint_s *c);
// The row of c in prob (ModelError when it has none there). 0 or -1.
int get_con_row(problem_model_s *prob, const constraint_s *c, int *row);
// The unlinked block's contents: the body (borrowed, may be null; in the compact form the
// variable or linear term that stands for it, which the conversion into a row takes as it is),
// the bounds, the stored name (borrowed, or null).
PyObject *constraint_body(const constraint_s *c);
double constraint_lb(const constraint_s *c);
double constraint_ub(const constraint_s *c);
PyObject *constraint_stored_name(const constraint_s *c);
// Links c to a row of prob: the block is released and freed.
void constraint_link(constraint_s *c, problem_model_s *prob, int row);
// Marks a linked constraint deleted.
void constraint_mark_deleted(constraint_s *c);
