// callbacks/trampolines.h: the callback kinds as the module registers them with the library,
// one row per kind of nvra_callbacks.def: the library functions that register and remove an
// entry with the kind's trampoline, the C function through which the library calls the
// entry's Python callable.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "problem/problem.h"
#include "runtime/ref.h"

struct CallbackKind {
    const char *name;
    bool nonlinear; // a kind of the nonlinear solver (setcb<name>)
    // Register and remove entry on p's library problem (0, or -1 with the library's error
    // raised). The nonlinear solver keeps one function per kind, so a nonlinear registration
    // replaces the one before it, and there is no removal (remove is null).
    int (*add)(problem_s *p, PyObject *entry, int priority);
    int (*remove)(problem_s *p, PyObject *entry);
};

extern const CallbackKind kCallbackKinds[kNumCallbackKinds];

// Solve callbacks, which members such as strongbranchcb take as arguments instead of
// registering them: the member makes an entry of this kind for the length of its library call
// and passes it with solvecbTrampoline, through which the library calls
// callable(problem, data, index) and gets its int result (None 0; an exception stops, and the
// member raises it after the call).
constexpr int kSolveCallback = kNumCallbackKinds;
int solvecbTrampoline(NVRAprob prob, void *entry, int index);

// The frame in which every trampoline calls its entry's callable: it takes the interpreter lock,
// skips the call when an exception is pending on the thread (the solve is stopped) or the entry
// was removed, presents a problem object for the library problem that calls back (sharing the
// registering problem's model objects), and after a failure keeps the exception on the
// registering problem (for the method that started the solve to raise) and stops the solve.
// The problem object is cut off from the library when the frame ends, so that a callback that
// keeps it gets "Problem is not initialized" from it later. Callbacks of the nonlinear solver
// pass its handle too: the problem object then has both, and a failure stops the nonlinear
// solve.
class CallbackFrame {
  public:
    CallbackFrame(void *entry, NVRAprob handle, NSLPprob nlhandle = nullptr);
    ~CallbackFrame();
    CallbackFrame(const CallbackFrame &) = delete;
    CallbackFrame &operator=(const CallbackFrame &) = delete;

    // Calls the callable with (problem, data, extra...), format "(OO...)" with the extra codes;
    // the result, or null after a failure (or when the call was skipped).
    template <class... A> Ref call(const char *format, A... extra) {
        if (!ready_) return Ref();
        Ref r =
            Ref::steal(PyObject_CallFunction(callable(), format, problem_.get(), data(), extra...));
        if (!r) fail();
        return r;
    }
    // Marks the call failed; the pending exception (or InterfaceError "Unknown problem in
    // callback") is what the solve raises.
    void fail();
    // Fails with InterfaceError msg.
    void failWith(const char *msg);

  private:
    PyObject *callable() const;
    PyObject *data() const;
    void interrupt() const;

    PyGILState_STATE gil_;
    Ref entry_;
    Ref problem_;
    NVRAprob handle_;
    NSLPprob nlhandle_;
    bool ready_ = false;
    bool failed_ = false;
};

// A callback's int result: a Python int or NumPy integer scalar gives its value, None gives
// none, anything else -1 (or, with strict set, fails the frame with InterfaceError strict and
// gives none).
int callbackInt(CallbackFrame &f, PyObject *r, int none, const char *strict = nullptr);
// Calls the frame's callable with (problem, data, message text, message type).
void callWithMessage(CallbackFrame &f, const char *msg, int len, int msgtype);
// A number or None of a callback's result: a number is stored into *out. False for anything
// else.
bool callbackNumber(PyObject *item, double *out);
