// problem/problem.cpp: nivra.problem lifecycle: creation and initialisation, the list of live
// problems, copy, reset, name, context manager, output switch and the freeing of library
// resources.
#include "problem.h"

#include <vector>

#include "controls/control.h"
#include "controls/objattrib.h"
#include "controls/values.h"
#include "model/constraint.h"
#include "model/maps.h"
#include "model/operand.h"
#include "model/sos.h"
#include "model/var.h"
#include "runtime/alloc.h"
#include "runtime/args.h"
#include "runtime/env.h"
#include "runtime/output.h"
#include "runtime/ref.h"
#include "numeric/walker.h"
#include "problem/constraints.h"
#include "problem/entities.h"
#include "problem/methods.h"
#include "problem/objective.h"
#include "problem/problib.h"
#include "problem/variables.h"

namespace {

// ---- model data ---------------------------------------------------------------------------------

// The linked objects of p in list get the deleted marker; unlinked ones stay as they are.
void markListDeleted(problem_s *p, PyObject *list) {
    if (!list) return;
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(list); ++i)
        if (problem_isLinkedObject(PyList_GET_ITEM(list, i), p))
            problem_markObjectDeleted(PyList_GET_ITEM(list, i));
}

// The three empty lists of model objects. 0 or -1.
int newLists(problem_s *p) {
    Py_XSETREF(p->vars, PyList_New(0));
    Py_XSETREF(p->cons, PyList_New(0));
    Py_XSETREF(p->sets, PyList_New(0));
    return (p->vars && p->cons && p->sets) ? 0 : -1;
}

// The view objects are cut off before they are let go, as users may hold them longer.
void releaseViews(problem_s *p) {
    ctrl_attr_detach(p->controls, p);
    ctrl_attr_detach(p->attributes, p);
    objattr_detach(p->objattribs, p);
    Py_XSETREF(p->controls, Py_NewRef(Py_None));
    Py_XSETREF(p->attributes, Py_NewRef(Py_None));
    Py_XSETREF(p->objattribs, Py_NewRef(Py_None));
}

// ---- creation steps shared by __init__ and copy -------------------------------------------------

// The parts of the record that do not involve the library: saved-exception slot, lists,
// views, user-function registry and bookkeeping. 0 or -1.
int createRecordParts(problem_s *p) {
    p->saved_exc = new (std::nothrow) SavedException;
    p->userfuncs = userfuncmap_new();
    if (!p->saved_exc || !p->userfuncs) {
        PyErr_NoMemory();
        return -1;
    }
    if (newLists(p) != 0) return -1;
    Py_XSETREF(p->controls, ctrl_base(p));
    Py_XSETREF(p->attributes, attr_base(p, -1));
    Py_XSETREF(p->objattribs, objattr_create(p));
    if (!p->controls || !p->attributes || !p->objattribs) return -1;
    p->nlprob = nullptr;
    p->nl_solver = -1;
    p->nl_rows = 0;
    p->nl_objective = 0;
    p->obj_state[0] = -1;
    return 0;
}

// The optimizer problem and, when the nonlinear solver is started, the nonlinear problem
// attached to it (destroyed with it). 0 or -1.
int createLibProblem(problem_s *p) {
    if (NVRAcreateprob(&p->prob) != 0) {
        p->prob = nullptr;
        setNvraErr(nullptr);
        return -1;
    }
    if (nvr_py_env.nonlinear_available <= 0) return 0;
    if (NSLPcreateprob(&p->nlprob, p->prob) != 0) {
        p->nlprob = nullptr;
        return setNvraErr(p);
    }
    // The module prints the nonlinear messages itself (registerMessages): the library is not to
    // forward them to the optimizer problem's log as well.
    return problem_call(p, NSLPsetintcontrol, "NSLPsetintcontrol", NSLP_CONTROL_MSGFORWARD, 0);
}

// The print routines of the problem's log and of its nonlinear problem's. A nonlinear message
// callback of the user's (copied onto a new problem) prints the log itself and stays.
int registerMessages(problem_s *p) {
    if (problem_call(p, NVRAaddcbmessage, "NVRAaddcbmessage", nvr_py_print_prob,
                     static_cast<void *>(p), 1) != 0)
        return -1;
    if (!p->nlprob || p->callbacks[NVRA_CB_NL_MESSAGE]) return 0;
    return problem_call(p, NSLPsetcbmessage, "NSLPsetcbmessage", nvr_py_print_probNL,
                        static_cast<void *>(p));
}

// Steps 4 to 9 of initialisation: an empty library problem named name with the given sense,
// the module default controls and the message callback. 0 or -1.
int initialise(problem_s *p, const char *name, int sense) {
    if (createRecordParts(p) != 0 || createLibProblem(p) != 0 || problem_loadEmpty(p, name) != 0 ||
        registerMessages(p) != 0 || problem_applyDefaultControls(p) != 0)
        return -1;
    return problem_call(p, NVRAchgobjsense, "NVRAchgobjsense", sense);
}

// Frees what a failed creation step left, keeping its exception (or "Error declaring problem").
void undoCreation(problem_s *p) {
    if (!PyErr_Occurred()) PyErr_SetString(nvy_model_exc, "Error declaring problem");
    AutoSavedException keep;
    if (problem_freeresources(p) != 0) PyErr_Clear();
}

// ---- positional elements of the declaration ---------------------------------------------------

const char kErroneousElement[] = "Erroneous problem declaration; argument contained object that "
                                 "was not a variable, constraint, or expression";

int collectLeaf(PyObject *leaf, void *list) {
    return PyList_Append(static_cast<PyObject *>(list), leaf);
}

// A variable of p: linked to it, or an unlinked one it holds already.
bool inProblem(problem_s *p, PyObject *var) {
    const var_s *v = as_var(var);
    return v->owner == p || (!v->owner && rowcolmap_has(p->var_index_map, var_id(v)));
}

using ElementAdder = int (*)(problem_s *, PyObject *);

// The operation for an element whose first leaf is first, or null with ModelError.
ElementAdder adderFor(problem_s *p, PyObject *first) {
    if (var_Check(first))
        return inProblem(p, first) ? problem_addObjective : problem_addUnlinkedVars;
    if (constraint_Check(first)) return problem_addConstraint;
    if (sos_Check(first)) return problem_addExistingSOS;
    if (exprKindOf(first) >= 2) return problem_addObjective; // terms, expressions, nonlinear
    nvr_model_error(kErroneousElement);
    return nullptr;
}

// One element other than a name, classified by its first leaf. Its leaves are collected first,
// so that iterators anywhere in it are read once. 0 or -1.
int addElement(problem_s *p, PyObject *element) {
    Ref leaves = Ref::steal(PyList_New(0));
    if (!leaves || for_each_nested_object(element, collectLeaf, leaves.get(), kNestingDepth) != 0)
        return -1;
    if (PyList_GET_SIZE(leaves.get()) == 0) return 0;
    const ElementAdder add = adderFor(p, PyList_GET_ITEM(leaves.get(), 0));
    return add ? add(p, leaves.get()) : -1;
}

// A string names the problem (once); everything else is added as what its first leaf is. 0 or -1.
int addElements(problem_s *p, PyObject *elements) {
    bool named = false;
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(elements); ++i) {
        PyObject *e = PyTuple_GET_ITEM(elements, i);
        if (!PyUnicode_Check(e) && !PyBytes_Check(e)) {
            if (addElement(p, e) != 0) return -1;
            continue;
        }
        if (named) return nvr_model_error("More than one string passed in problem declaration");
        named = true;
        Ref text = Ref::steal(PyBytes_Check(e) ? PyUnicode_FromEncodedObject(e, "utf-8", "strict")
                                               : Py_NewRef(e));
        const char *name = text ? nvr_nameText(text.get(), "Problem") : nullptr;
        if (!name || problem_call(p, NVRAsetprobname, "NVRAsetprobname", name) != 0) return -1;
    }
    return 0;
}

// ---- copy ---------------------------------------------------------------------------------------

// A new object of o's kind linked to dst at o's index. New reference or null.
PyObject *linkedCopy(PyObject *o, problem_s *dst) {
    if (var_Check(o)) {
        PyObject *v = var_base();
        if (!v) return nullptr;
        as_var(v)->owner = dst;
        as_var(v)->id_low = as_var(o)->id_low;
        as_var(v)->id_high = as_var(o)->id_high;
        return v;
    }
    if (constraint_Check(o)) {
        PyObject *c = constraint_base();
        if (c) constraint_link(as_constraint(c), dst, static_cast<int>(as_constraint(o)->id_low));
        return c;
    }
    return sos_new_linked(dst, as_sos(o)->index);
}

// The copy of one entry of a source list: a linked object becomes a new object linked to dst
// at the same index; an unlinked one is shared. New reference or null.
PyObject *copyEntry(problem_s *src, problem_s *dst, PyObject *o) {
    return problem_isLinkedObject(o, src) ? linkedCopy(o, dst) : Py_NewRef(o);
}

int copyList(problem_s *src, problem_s *dst, PyObject *from, PyObject *to) {
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(from); ++i) {
        Ref item = Ref::steal(copyEntry(src, dst, PyList_GET_ITEM(from, i)));
        if (!item || PyList_Append(to, item.get()) != 0) return -1;
    }
    return 0;
}

int copyMap(rowcolmap **dst, const rowcolmap *src) {
    if (!src || rowcolmap_copy(dst, src) == 0) return 0;
    PyErr_NoMemory();
    return -1;
}

// Fills the new problem dst as a copy of src. 0 or -1.
int copyInto(problem_s *src, problem_s *dst) {
    if (createRecordParts(dst) != 0 || createLibProblem(dst) != 0 ||
        problem_applyDefaultControls(dst) != 0 ||
        problem_call(dst, NVRAcopyprob, "NVRAcopyprob", src->prob, "") != 0 ||
        problem_call(dst, NVRAcopycontrols, "NVRAcopycontrols", src->prob) != 0)
        return -1;
    // The solver's copies of user functions would call the records of src, which may go
    // before the copy does.
    if (src->userfuncs && !src->userfuncs->map.empty())
        return nvr_model_error("A problem whose formulas call user functions cannot be copied");
    if (src->nlprob && dst->nlprob &&
        problem_call(dst, NSLPcopyprob, "NSLPcopyprob", src->nlprob) != 0)
        return -1;
    if (src->ms_objects && !(dst->ms_objects = PyList_GetSlice(src->ms_objects, 0, PY_SSIZE_T_MAX)))
        return -1;
    if (nvr_py_env.hooks.copy_callbacks(dst, src) != 0) return -1;
    if (registerMessages(dst) != 0) PyErr_Clear(); // the copy works without its log
    if (copyMap(&dst->var_index_map, src->var_index_map) != 0 ||
        copyMap(&dst->con_index_map, src->con_index_map) != 0 ||
        copyMap(&dst->sos_index_map, src->sos_index_map) != 0 ||
        copyList(src, dst, src->vars, dst->vars) != 0 ||
        copyList(src, dst, src->cons, dst->cons) != 0 ||
        copyList(src, dst, src->sets, dst->sets) != 0)
        return -1;
    dst->output_enabled = src->output_enabled;
    dst->nl_solver = src->nl_solver;
    dst->nl_rows = src->nl_rows;
    dst->nl_objective = src->nl_objective;
    dst->obj_state[0] = src->obj_state[0];
    dst->obj_state[1] = src->obj_state[1];
    return 0;
}

// ---- type slots and methods ---------------------------------------------------------------------

PyObject *problem_new(PyTypeObject *type, PyObject *, PyObject *) {
    auto *p = as_problem(type->tp_alloc(type, 0));
    if (!p) return nullptr;
    p->nl_solver = -1;
    p->output_enabled = 1;
    p->obj_state[0] = -1;
    Py_INCREF(nvr_py_env.module);
    p->next = nvr_py_env.problems;
    if (p->next) p->next->prev = p;
    nvr_py_env.problems = p;
    return reinterpret_cast<PyObject *>(p);
}

// The library side and the lists of a problem going away; a failure is reported as unraisable
// and any exception pending before is kept.
void releaseQuietly(PyObject *self) {
    AutoSavedException keep;
    if (problem_freeresources(as_problem(self)) != 0) PyErr_WriteUnraisable(self);
}

void problem_dealloc(PyObject *self) {
    problem_s *p = as_problem(self);
    PyObject_GC_UnTrack(self);
    releaseQuietly(self);
    Py_CLEAR(p->controls);
    Py_CLEAR(p->attributes);
    Py_CLEAR(p->objattribs);
    Py_CLEAR(p->parent);
    Py_CLEAR(p->ms_objects); // after the library problem, whose jobs point to them
    if (p->prev)
        p->prev->next = p->next;
    else if (nvr_py_env.problems == p)
        nvr_py_env.problems = p->next;
    if (p->next) p->next->prev = p->prev;
    PyObject *module = nvr_py_env.module;
    Py_TYPE(self)->tp_free(self);
    Py_XDECREF(module);
}

int problem_traverse(PyObject *self, visitproc visit, void *arg) {
    problem_s *p = as_problem(self);
    Py_VISIT(p->vars);
    Py_VISIT(p->cons);
    Py_VISIT(p->sets);
    Py_VISIT(p->controls);
    Py_VISIT(p->attributes);
    Py_VISIT(p->objattribs);
    Py_VISIT(p->parent);
    Py_VISIT(p->ms_objects);
    for (PyObject *cb : p->callbacks)
        Py_VISIT(cb);
    return 0;
}

// Breaking a reference cycle (a callback that refers to its problem forms one): the library
// problem goes first, so that it holds no callback entry that is released here, and the model
// objects are let go as deleted ones, so that those that outlive the problem do not point to it.
int problem_clear(PyObject *self) {
    releaseQuietly(self);
    Py_CLEAR(as_problem(self)->parent);
    Py_CLEAR(as_problem(self)->ms_objects);
    return 0;
}

int problem_init(PyObject *self, PyObject *args, PyObject *kwargs) {
    problem_s *p = as_problem(self);
    static const char *const kw[] = {"name", "sense", nullptr};
    const char *name = nullptr;
    int sense = 1;
    if (p->prob) return nvr_model_error("Problem is already initialized");
    // name=None is accepted as well as no name (the documented default).
    if (!parseKeywordArgs(kwargs, "|$zi", kw, &name, &sense)) return -1;
    if (sense != 1 && sense != -1) return nvr_model_error("Invalid optimization sense");
    if (turnNVRAon(nullptr, 0) != 0) return -1;
    if (initialise(p, name, sense) == 0 && addElements(p, args) == 0) return 0;
    undoCreation(p);
    return -1;
}

PyObject *problem_copy(PyObject *self, PyObject *) {
    problem_s *src = as_problem(self);
    if (checkProblemIsInitialized(src) != 0) return nullptr;
    Ref copy = Ref::steal(problem_new(&problem_type, nullptr, nullptr));
    if (!copy) return nullptr;
    if (copyInto(src, as_problem(copy.get())) != 0) {
        undoCreation(as_problem(copy.get()));
        return nullptr;
    }
    return copy.release();
}

// copy.deepcopy(p) is p.copy(); the package's helper also lets the model objects copied along
// with p become the copy's objects.
PyObject *problem_deepcopy(PyObject *self, PyObject *memo) {
    return nvr_call_package("nivra._pickling", "deepcopy_problem", {self, memo});
}

// The notebook form: the package's HTML summary.
PyObject *problem_repr_html(PyObject *self, PyObject *) {
    return nvr_call_package("nivra._notebook", "problem_html", {self});
}

PyObject *problem_reset(PyObject *self, PyObject *) {
    if (checkProblemIsInitialized(as_problem(self)) != 0) return nullptr;
    if (problem_freeresources(as_problem(self)) != 0) return nullptr;
    Ref none = Ref::steal(PyTuple_New(0));
    if (!none || problem_init(self, none.get(), nullptr) != 0) return nullptr;
    Py_RETURN_NONE;
}

PyObject *problem_name(PyObject *self, PyObject *) {
    problem_s *p = as_problem(self);
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    int length = 0;
    if (problem_call(p, NVRAgetintattrib, "NVRAgetintattrib", NVRA_ATTR_PROBNAMELENGTH, &length) !=
        0)
        return nullptr;
    LibArray<char> buf;
    if (buf.alloc(static_cast<size_t>(length > 0 ? length : 1)) != 0) return nullptr;
    buf[0] = '\0';
    if (problem_call(p, NVRAgetprobname, "NVRAgetprobname", buf.get()) != 0) return nullptr;
    return PyUnicode_FromString(buf.get());
}

PyObject *problem_str(PyObject *self) {
    return problem_name(self, nullptr);
}

PyObject *problem_enter(PyObject *self, PyObject *) {
    return Py_NewRef(self);
}

PyObject *problem_exit(PyObject *self, PyObject *) {
    if (problem_freeresources(as_problem(self)) != 0) return nullptr;
    Py_RETURN_NONE;
}

PyObject *problem_getOutputEnabled(PyObject *self, PyObject *) {
    return PyBool_FromLong(as_problem(self)->output_enabled);
}

PyObject *problem_setOutputEnabled(PyObject *self, PyObject *arg) {
    problem_s *p = as_problem(self);
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    if (!nvo_isIntegerArg(arg)) {
        nvr_model_error("Incorrect argument in setOutputEnabled: should be True or False");
        return nullptr;
    }
    const int truth = PyObject_IsTrue(arg);
    if (truth < 0) return nullptr;
    p->output_enabled = truth;
    Py_RETURN_NONE;
}

// The read-only views (None once the problem's resources are freed).
template <PyObject *problem_s::*View> PyObject *problem_view(PyObject *self, void *) {
    PyObject *view = as_problem(self)->*View;
    return Py_NewRef(view ? view : Py_None);
}

PyGetSetDef problem_getset[] = {
    {"controls", problem_view<&problem_s::controls>, nullptr,
     PyDoc_STR("Controls: p.controls.feastol reads, p.controls.feastol = 1e-8 sets"), nullptr},
    {"attributes", problem_view<&problem_s::attributes>, nullptr,
     PyDoc_STR("Attributes: p.attributes.cols"), nullptr},
    {"objattribs", problem_view<&problem_s::objattribs>, nullptr,
     PyDoc_STR("Objective attributes: p.objattribs[i] holds the attributes of solve i of the "
               "last multi-objective optimisation"),
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

} // namespace

bool problem_isLinkedObject(PyObject *o, const problem_s *p) {
    if (var_Check(o)) return as_var(o)->owner == p;
    if (constraint_Check(o)) return constraint_problem(as_constraint(o)) == p;
    return sos_Check(o) && as_sos(o)->owner == p;
}

void problem_markObjectDeleted(PyObject *o) {
    if (var_Check(o)) {
        as_var(o)->owner = kDeletedOwner;
        as_var(o)->id_low = 0;
        as_var(o)->id_high = 0;
    } else if (constraint_Check(o)) {
        constraint_mark_deleted(as_constraint(o));
    } else {
        as_sos(o)->owner = kDeletedOwner;
        as_sos(o)->index = 0;
    }
}

int problem_loadEmpty(problem_s *p, const char *name) {
    int log = 0;
    if (problem_call(p, NVRAgetintcontrol, "NVRAgetintcontrol", NVRA_CONTROL_OUTPUTLOG, &log) !=
            0 ||
        problem_call(p, NVRAsetintcontrol, "NVRAsetintcontrol", NVRA_CONTROL_OUTPUTLOG, 0) != 0)
        return -1;
    const int rc =
        problem_call(p, NVRAloadlp, "NVRAloadlp", name ? name : "noname", 0, 0, nullptr, nullptr,
                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    const int restored =
        problem_call(p, NVRAsetintcontrol, "NVRAsetintcontrol", NVRA_CONTROL_OUTPUTLOG, log);
    return (rc || restored) ? -1 : 0;
}

PyObject *problem_forCallback(problem_s *parent, NVRAprob handle, NSLPprob nlhandle) {
    Ref o = Ref::steal(problem_new(&problem_type, nullptr, nullptr));
    if (!o) return nullptr;
    problem_s *p = as_problem(o.get());
    p->prob = handle;
    p->nlprob = nlhandle;
    p->parent =
        static_cast<problem_lib_s *>(as_problem(Py_NewRef(reinterpret_cast<PyObject *>(parent))));
    p->output_enabled = parent->output_enabled;
    using Member = PyObject *problem_s::*;
    for (Member shared : std::initializer_list<Member>{
             &problem_s::vars, &problem_s::cons, &problem_s::sets, &problem_s::controls,
             &problem_s::attributes, &problem_s::objattribs})
        p->*shared = Py_XNewRef(parent->*shared);
    for (int k = 0; k < kNumCallbackKinds; ++k)
        p->callbacks[k] = Py_XNewRef(parent->callbacks[k]);
    if (copyMap(&p->var_index_map, parent->var_index_map) != 0 ||
        copyMap(&p->con_index_map, parent->con_index_map) != 0 ||
        copyMap(&p->sos_index_map, parent->sos_index_map) != 0)
        return nullptr;
    p->nl_solver = parent->nl_solver;
    p->nl_rows = parent->nl_rows;
    p->nl_objective = parent->nl_objective;
    p->obj_state[0] = parent->obj_state[0];
    p->obj_state[1] = parent->obj_state[1];
    return o.release();
}

int problem_clearmodeldata(problem_s *p, int final) {
    markListDeleted(p, p->vars);
    markListDeleted(p, p->cons);
    markListDeleted(p, p->sets);
    Py_CLEAR(p->vars);
    Py_CLEAR(p->cons);
    Py_CLEAR(p->sets);
    rowcolmap_free(&p->var_index_map);
    rowcolmap_free(&p->con_index_map);
    rowcolmap_free(&p->sos_index_map);
    if (final) return 0;
    p->nl_solver = -1;
    p->nl_rows = 0; // the nonlinear rows went with the rest of the model
    p->nl_objective = 0;
    p->obj_state[0] = -1;
    return newLists(p);
}

int problem_freeresources(problem_s *p) {
    int rc = 0;
    if (nvr_py_env.start_count > 0 && p->prob && !p->parent) {
        if (problem_call(p, NVRAremovecbmessage, "NVRAremovecbmessage", nvr_py_print_prob,
                         static_cast<void *>(p)) != 0)
            rc = -1;
        if (problem_call(p, NVRAdestroyprob, "NVRAdestroyprob") != 0) rc = -1;
    }
    p->prob = nullptr;
    p->nlprob = nullptr;
    for (PyObject *&cb : p->callbacks)
        Py_CLEAR(cb);
    releaseViews(p);
    problem_clearmodeldata(p, 1);
    userfuncmap_free(&p->userfuncs);
    if (p->saved_exc) {
        p->saved_exc->clear();
        delete p->saved_exc;
        p->saved_exc = nullptr;
    }
    return rc;
}

int nvy_isOriginalProb(problem_s *p) {
    if (p->parent) return 0;
    if (checkProblemIsInitialized(p) != 0) return -1;
    int64_t state = 0;
    if (problem_call(p, NVRAgetintattrib64, "NVRAgetintattrib64", NVRA_ATTR_PRESOLVESTATE,
                     &state) != 0)
        return -1;
    return (state & (2 | 4)) ? 0 : 1;
}

Py_ssize_t problem_live_count() {
    Py_ssize_t n = 0;
    for (const problem_lib_s *p = nvr_py_env.problems, *prev = nullptr; p;
         prev = p, p = p->next, ++n)
        if (p->prev != prev) return -1;
    return n;
}

int check_nl_unconstruct(problem_s *) {
    // A nonlinear solve leaves the nonlinear problem in its solved form (status bits of the
    // nonlinear attribute 12062: bit 0 asks for NSLPunconstruct, bit 29 for NSLPpostsolve).
    // This release's nonlinear component is absent: no problem has a nonlinear handle, so
    // there is never anything to undo.
    return 0;
}

PyMethodDef problem_lifecycle_methods[] = {
    {"copy", problem_copy, METH_NOARGS,
     PyDoc_STR("copy() -> problem: a new problem with the same model, controls and name; its "
               "variables are new objects with the same indices")},
    {"__copy__", problem_copy, METH_NOARGS, PyDoc_STR("copy.copy(p): the same as p.copy()")},
    {"__deepcopy__", problem_deepcopy, METH_O,
     PyDoc_STR("copy.deepcopy(p): the same as p.copy(); variables, constraints and SOS copied "
               "in the same deep copy become the copy's objects")},
    {"_repr_html_", problem_repr_html, METH_NOARGS,
     PyDoc_STR("_repr_html_() -> str: the problem as an HTML table for notebooks")},
    {"reset", problem_reset, METH_NOARGS,
     PyDoc_STR("reset(): empty the problem, as a new problem named \"noname\" that minimises; "
               "its former variables and constraints become deleted objects")},
    {"name", problem_name, METH_NOARGS, PyDoc_STR("name() -> str: the problem's name")},
    {"__enter__", problem_enter, METH_NOARGS, PyDoc_STR("with problem(...) as p: ...")},
    {"__exit__", problem_exit, METH_VARARGS,
     PyDoc_STR("frees the problem's library resources at the end of a with block")},
    {"getOutputEnabled", problem_getOutputEnabled, METH_NOARGS,
     PyDoc_STR("getOutputEnabled() -> bool: whether this problem's log is printed")},
    {"setOutputEnabled", problem_setOutputEnabled, METH_O,
     PyDoc_STR("setOutputEnabled(flag): print this problem's log or not")},
    {nullptr, nullptr, 0, nullptr},
};

PyTypeObject problem_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.problem",
    .tp_basicsize = sizeof(problem_s),
    .tp_dealloc = problem_dealloc,
    .tp_str = problem_str,
    .tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE | Py_TPFLAGS_HAVE_GC,
    .tp_doc = PyDoc_STR(
        "problem(*elements, name=None, sense=nivra.minimize): an optimization problem\n\n"
        "elements may hold a name (str), constraints, objectives (expressions) and variables, "
        "also in nested lists, tuples, dicts or NumPy arrays. Use it as a context manager to "
        "free its library resources at the end of a with block."),
    .tp_traverse = problem_traverse,
    .tp_clear = problem_clear,
    .tp_getset = problem_getset,
    .tp_init = problem_init,
    .tp_new = problem_new,
};

int problem_build_method_table(std::initializer_list<const PyMethodDef *> upper) {
    static std::vector<PyMethodDef> table;
    std::vector<const PyMethodDef *> tables{
        problem_lifecycle_methods,   problem_controls_methods,  problem_variables_methods,
        problem_constraints_methods, problem_objective_methods, problem_solution_methods,
        problem_files_methods,       problem_lookup_methods,    problem_entities_methods};
    tables.insert(tables.end(), upper.begin(), upper.end());
    problem_type.tp_methods = nvr_join_methods(table, tables.data(), tables.size());
    return problem_type.tp_methods ? 0 : -1;
}
