// problem/variables.cpp: problem methods addVariable, addVariables.
#include "problem/methods.h"

PyMethodDef problem_variables_methods[] = {
    {nullptr, nullptr, 0, nullptr},
};
