// callbacks/trampolines.cpp: the C functions through which the library calls Python callbacks,
// the frame they share, and the table of kinds that registers them.
#include "trampolines.h"

#include <cmath>
#include <cstdio>

#include "entry.h"
#include "nltrampolines.h"
#include "runtime/args.h"
#include "runtime/calllib.h"
#include "runtime/env.h"
#include "runtime/errors.h"

namespace {

// The reason given to the library when a callback stops the solve.
constexpr int kCallbackStop = 7;

const char *kindName(int kind) {
    return kind == kSolveCallback ? "solvecb" : kCallbackKinds[kind].name;
}

} // namespace

CallbackFrame::CallbackFrame(void *entry, NVRAprob handle, NSLPprob nlhandle)
    : gil_(PyGILState_Ensure()), handle_(handle), nlhandle_(nlhandle) {
    if (PyErr_Occurred()) {
        // An exception not yet handled on this thread: no further Python code, stop.
        interrupt();
        return;
    }
    entry_ = Ref::borrow(static_cast<PyObject *>(entry));
    problem_s *parent = as_cbentry(entry)->problem;
    if (!parent) return; // removed while the library still had it
    problem_ = Ref::steal(problem_forCallback(parent, handle, nlhandle));
    if (!problem_) {
        fail();
        return;
    }
    ready_ = true;
}

CallbackFrame::~CallbackFrame() {
    if (failed_) {
        if (!PyErr_Occurred()) PyErr_SetString(nvy_interf_exc, "Unknown problem in callback");
        problem_s *parent = as_cbentry(entry_.get())->problem;
        char name[64];
        snprintf(name, sizeof name, "%s callback", kindName(as_cbentry(entry_.get())->kind));
        if (parent)
            saveException(parent, name, parent->prob);
        else
            PyErr_WriteUnraisable(entry_.get());
        interrupt();
    }
    if (problem_) {
        problem_s *p = as_problem(problem_.get());
        p->prob = nullptr;
        p->nlprob = nullptr;
        problem_.reset();
    }
    entry_.reset();
    PyGILState_Release(gil_);
}

PyObject *CallbackFrame::callable() const {
    return as_cbentry(entry_.get())->callable;
}

PyObject *CallbackFrame::data() const {
    return as_cbentry(entry_.get())->data;
}

void CallbackFrame::interrupt() const {
    if (nlhandle_)
        NSLPinterrupt(nlhandle_, kCallbackStop);
    else
        NVRAinterrupt(handle_, kCallbackStop);
}

void CallbackFrame::fail() {
    failed_ = true;
}

void CallbackFrame::failWith(const char *msg) {
    PyErr_SetString(nvy_interf_exc, msg);
    fail();
}

int callbackInt(CallbackFrame &f, PyObject *r, int none, const char *strict) {
    if (r == Py_None) return none;
    if (nvo_isIntegerArg(r)) {
        const long v = PyLong_AsLong(r);
        if (v == -1 && PyErr_Occurred()) {
            f.fail();
            return none;
        }
        return static_cast<int>(v);
    }
    if (!strict) return -1;
    f.failWith(strict);
    return none; // the failure stops the solve; the library sees no answer
}

void callWithMessage(CallbackFrame &f, const char *msg, int len, int msgtype) {
    Ref text = Ref::steal(PyUnicode_DecodeUTF8(msg ? msg : "", msg ? len : 0, "replace"));
    if (!text) return f.fail();
    f.call("(OOOi)", text.get(), msgtype);
}

bool callbackNumber(PyObject *item, double *out) {
    if (item == Py_None) return true;
    if (!PyFloat_Check(item) && !PyLong_Check(item) && !PyNumber_Check(item)) return false;
    const double v = PyFloat_AsDouble(item);
    if (v == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        return false;
    }
    *out = v;
    return true;
}

namespace {

// ---- the trampolines, by the shape of their call ------------------------------------------------

// (problem, data, extra...) -> int returned to the library; None 0; an exception 1 (stop).
template <class... A> int intCall(NVRAprob prob, void *entry, const char *format, A... extra) {
    CallbackFrame f(entry, prob);
    Ref r = f.call(format, extra...);
    return r ? callbackInt(f, r.get(), 0) : 1;
}

int intTrampoline(NVRAprob prob, void *entry) {
    return intCall(prob, entry, "(OO)");
}

// (problem, data), result ignored.
void plainTrampoline(NVRAprob prob, void *entry) {
    CallbackFrame f(entry, prob);
    f.call("(OO)");
}

// (problem, data) -> int into *out; None 0; an exception onError.
template <int OnError> void outTrampoline(NVRAprob prob, void *entry, int *out) {
    CallbackFrame f(entry, prob);
    Ref r = f.call("(OO)");
    *out = r ? callbackInt(f, r.get(), 0) : OnError;
}

void messageTrampoline(NVRAprob prob, void *entry, const char *msg, int len, int msgtype) {
    CallbackFrame f(entry, prob);
    callWithMessage(f, msg, len, msgtype);
}

void usersolnotifyTrampoline(NVRAprob prob, void *entry, const char *name, int status) {
    CallbackFrame f(entry, prob);
    f.call("(OOsi)", name ? name : "", status);
}

void cutroundTrampoline(NVRAprob prob, void *entry, int ifcuts, int *action) {
    CallbackFrame f(entry, prob);
    Ref r = f.call("(OOi)", ifcuts);
    if (r)
        *action =
            callbackInt(f, r.get(), 0, "Problem in cutround callback: must return an Int or None");
}

void gapnotifyTrampoline(NVRAprob prob, void *entry, double *relgap, double *absgap, double *obj,
                         double *bound) {
    CallbackFrame f(entry, prob);
    Ref r = f.call("(OO)");
    if (!r) return;
    double *targets[] = {relgap, absgap, obj, bound};
    double values[4] = {*relgap, *absgap, *obj, *bound};
    bool ok = PyTuple_Check(r.get()) && PyTuple_GET_SIZE(r.get()) == 4;
    for (int k = 0; ok && k < 4; ++k)
        ok = callbackNumber(PyTuple_GET_ITEM(r.get(), k), &values[k]);
    if (!ok)
        return f.failWith("Problem in gapnotify callback: must return tuple of four elements, "
                          "each being a number or None");
    for (int k = 0; k < 4; ++k)
        *targets[k] = values[k];
}

void preintsolTrampoline(NVRAprob prob, void *entry, int soltype, int *reject, double *cutoff) {
    CallbackFrame f(entry, prob);
    Ref r = f.call("(OOid)", soltype, *cutoff);
    if (!r) return;
    const char *bad = "Problem in preintsol callback: must return tuple of two elements, both "
                      "being a number or None";
    if (!PyTuple_Check(r.get()) || PyTuple_GET_SIZE(r.get()) != 2) return f.failWith(bad);
    PyObject *first = PyTuple_GET_ITEM(r.get(), 0);
    double newCutoff = *cutoff;
    if ((first != Py_None && !nvo_isIntegerArg(first)) ||
        !callbackNumber(PyTuple_GET_ITEM(r.get(), 1), &newCutoff))
        return f.failWith(bad);
    if (first != Py_None) *reject = callbackInt(f, first, 0);
    *cutoff = newCutoff;
}

} // namespace

int solvecbTrampoline(NVRAprob prob, void *entry, int index) {
    return intCall(prob, entry, "(OOi)", index);
}

namespace {

// The trampoline of each optimizer kind; kinds the library refuses have none.
template <int Kind> struct Trampoline { static constexpr std::nullptr_t fn = nullptr; };
#define NVR_TRAMPOLINE(kind, function)                                                             \
    template <> struct Trampoline<NVRA_CB_##kind> { static constexpr auto fn = function; };
NVR_TRAMPOLINE(BARITERATION, outTrampoline<1>)
NVR_TRAMPOLINE(BARLOG, intTrampoline)
NVR_TRAMPOLINE(CUTLOG, intTrampoline)
NVR_TRAMPOLINE(CUTROUND, cutroundTrampoline)
NVR_TRAMPOLINE(GAPNOTIFY, gapnotifyTrampoline)
NVR_TRAMPOLINE(MIPLOG, intTrampoline)
NVR_TRAMPOLINE(INTSOL, plainTrampoline)
NVR_TRAMPOLINE(LPLOG, intTrampoline)
NVR_TRAMPOLINE(MESSAGE, messageTrampoline)
NVR_TRAMPOLINE(OPTNODE, outTrampoline<0>)
NVR_TRAMPOLINE(PREINTSOL, preintsolTrampoline)
NVR_TRAMPOLINE(PRENODE, outTrampoline<0>)
NVR_TRAMPOLINE(USERSOLNOTIFY, usersolnotifyTrampoline)
NVR_TRAMPOLINE(CHECKTIME, intTrampoline)
NVR_TRAMPOLINE(BEFOREOBJECTIVE, plainTrampoline)
NVR_TRAMPOLINE(AFTEROBJECTIVE, plainTrampoline)
NVR_TRAMPOLINE(PRESOLVE, plainTrampoline)
#undef NVR_TRAMPOLINE

} // namespace

const CallbackKind kCallbackKinds[kNumCallbackKinds] = {
#define NVRA_CALLBACK_NVRA(number, kind)                                                           \
    {#kind, false,                                                                                 \
     [](problem_s *p, PyObject *entry, int priority) {                                             \
         return problem_call(p, NVRAaddcb##kind, "NVRAaddcb" #kind, Trampoline<number>::fn,        \
                             static_cast<void *>(entry), priority);                                \
     },                                                                                            \
     [](problem_s *p, PyObject *entry) {                                                           \
         return problem_call(p, NVRAremovecb##kind, "NVRAremovecb" #kind, Trampoline<number>::fn,  \
                             static_cast<void *>(entry));                                          \
     }},
#define NVRA_CALLBACK_NSLP(number, kind)                                                           \
    {#kind, true,                                                                                  \
     [](problem_s *p, PyObject *entry, int) {                                                      \
         return problem_call(p, NSLPsetcb##kind, "NSLPsetcb" #kind, NlTrampoline<number>::fn,      \
                             static_cast<void *>(entry));                                          \
     },                                                                                            \
     nullptr},
#define NVRA_CALLBACK(number, kind, KIND, interface, honoured, doc)                                \
    NVRA_CALLBACK_##interface(number, kind)
#include "nvra_callbacks.def"
#undef NVRA_CALLBACK_NVRA
#undef NVRA_CALLBACK_NSLP
};
