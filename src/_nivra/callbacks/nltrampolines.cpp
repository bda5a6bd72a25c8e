// callbacks/nltrampolines.cpp: the trampolines of the nonlinear solver's callbacks. Each runs
// the frame of the optimizer callbacks with both handles: the nonlinear one the solver passes and
// the optimizer problem it belongs to (its pointer attribute NSLP_ATTR_PROBLEM).
#include "nltrampolines.h"

#include "entry.h"
#include "generic.h"
#include "runtime/args.h"
#include "runtime/env.h"
#include "runtime/output.h"
#include "trampolines.h"

namespace {

NVRAprob optimizerOf(NSLPprob nl) {
    void *prob = nullptr;
    if (NSLPgetptrattrib(nl, NSLP_ATTR_PROBLEM, &prob) != 0) return nullptr;
    return static_cast<NVRAprob>(prob);
}

class NlFrame : public CallbackFrame {
  public:
    NlFrame(NSLPprob nl, void *entry) : CallbackFrame(entry, optimizerOf(nl), nl) {}
};

// The truth value of r as 1 or 0; -1 (the frame failed) when it has none.
int truth(NlFrame &f, PyObject *r) {
    const int t = PyObject_IsTrue(r);
    if (t < 0) f.fail();
    return t;
}

} // namespace

namespace nltramp {

int plain(NSLPprob nl, void *entry) {
    NlFrame f(nl, entry);
    Ref r = f.call("(OO)");
    return r ? callbackInt(f, r.get(), 0) : 1;
}

int node(NSLPprob nl, void *entry, int *out) {
    NlFrame f(nl, entry);
    Ref r = f.call("(OO)");
    if (!r) return 1;
    *out = callbackInt(f, r.get(), 0);
    return 0;
}

int column(NSLPprob nl, void *entry, int col) {
    NlFrame f(nl, entry);
    Ref r = f.call("(OOi)", col);
    return r ? truth(f, r.get()) : -1;
}

int itervar(NSLPprob nl, void *entry, int col) {
    NlFrame f(nl, entry);
    Ref r = f.call("(OOi)", col);
    if (!r) return 0;
    if (!nvo_isIntegerArg(r.get())) {
        PyErr_SetString(nvy_solver_exc, "itervar callback did not return an integer");
        f.fail();
        return 0;
    }
    return callbackInt(f, r.get(), 0);
}

int coefevalerror(NSLPprob nl, void *entry, int row, int col) {
    NlFrame f(nl, entry);
    Ref r = f.call("(OOii)", row, col);
    return r ? callbackInt(f, r.get(), 0) : 1;
}

int drcol(NSLPprob nl, void *entry, int col, double value, double *newvalue, double lb, double ub) {
    NlFrame f(nl, entry);
    Ref r = f.call("(OOiddd)", col, value, lb, ub);
    if (!r) return 1;
    if (!callbackNumber(r.get(), newvalue)) {
        f.failWith("Problem in drcol callback: must return a number or None");
        return 1;
    }
    return 0;
}

int msjob(NSLPprob nl, void *entry, void *job, const char *description, int *status) {
    NlFrame f(nl, entry);
    Ref handle = Ref::steal(voidstar_create(job));
    if (!handle) {
        f.fail();
        return -1;
    }
    Ref r = f.call("(OOOs)", handle.get(), description ? description : "");
    if (!r) return -1;
    if (status) *status = callbackInt(f, r.get(), 0);
    return 0;
}

int mswinner(NSLPprob nl, void *entry, void *job, const char *description) {
    return msjob(nl, entry, job, description, nullptr);
}

int preupdatelinearization(NSLPprob nl, void *entry, int *ifrepeat) {
    NlFrame f(nl, entry);
    Ref r = f.call("(OOi)", *ifrepeat);
    if (!r) return 1;
    const int t = truth(f, r.get());
    if (t < 0) return 1;
    *ifrepeat = t;
    return 0;
}

void message(NSLPprob nl, void *entry, const char *msg, int len, int msgtype) {
    nvr_py_print_probNL(nl, as_cbentry(entry)->problem, msg, len, msgtype);
    NlFrame f(nl, entry);
    callWithMessage(f, msg, len, msgtype);
}

} // namespace nltramp
