// nonlinear/mathfuncs.cpp: module functions (mathematical functions, max, min, user, pwl).
#include "module/methods.h"

PyMethodDef nvr_nonlinear_methods[] = {
    {nullptr, nullptr, 0, nullptr},
};
