// model/modfuncs.cpp: module functions (vars,evaluate,is_equal).
#include "module/methods.h"

PyMethodDef nvr_model_methods[] = {
    {nullptr, nullptr, 0, nullptr},
};
