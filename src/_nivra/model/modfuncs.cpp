// model/modfuncs.cpp: module functions of the modelling layer.
#include "live.h"
#include "module/methods.h"
#include "module/ref.h"

Py_ssize_t nvr_live_objects[kLiveKinds];
const char *const nvr_live_names[kLiveKinds] = {"var", "linterm", "quadterm", "expression"};

namespace {

// _live_counts() -> dict: the number of live objects of each modelling type (for tests).
PyObject *nivramod_live_counts(PyObject *, PyObject *) {
    Ref d = Ref::steal(PyDict_New());
    if (!d) return nullptr;
    for (int k = 0; k < kLiveKinds; ++k) {
        Ref n = Ref::steal(PyLong_FromSsize_t(nvr_live_objects[k]));
        if (!n || PyDict_SetItemString(d.get(), nvr_live_names[k], n.get()) != 0) return nullptr;
    }
    return d.release();
}

} // namespace

PyMethodDef nvr_model_methods[] = {
    {"_live_counts", nivramod_live_counts, METH_NOARGS,
     PyDoc_STR("_live_counts() -> dict: live objects per modelling type (for tests)")},
    {nullptr, nullptr, 0, nullptr},
};
