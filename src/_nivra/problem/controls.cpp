// problem/controls.cpp: problem methods getControl, setControl, getAttrib.
#include "problem/methods.h"

PyMethodDef problem_controls_methods[] = {
    {nullptr, nullptr, 0, nullptr},
};
