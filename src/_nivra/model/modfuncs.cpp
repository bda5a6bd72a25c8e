// model/modfuncs.cpp: the module functions of the modelling layer, and the counts of live
// modelling objects.
#include "modfuncs.h"

#include "equality.h"
#include "live.h"

Py_ssize_t nvr_live_objects[kLiveKinds];
const char *const nvr_live_names[kLiveKinds] = {"var",       "linterm",    "quadterm", "expression",
                                                "nonlinear", "constraint", "sos"};

PyMethodDef nvr_model_methods[] = {
    {"is_equal", nivramod_is_equal, METH_VARARGS,
     PyDoc_STR("is_equal(a, b) -> bool: whether two model objects (or containers of them) have "
               "the same algebraic form")},
    {nullptr, nullptr, 0, nullptr},
};
