// numeric/aggregates.cpp: module functions (Sum,Prod,Dot,And,Or).
#include "module/methods.h"

PyMethodDef nvr_numeric_methods[] = {
    {nullptr, nullptr, 0, nullptr},
};
