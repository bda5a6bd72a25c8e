// problem/constraints.cpp: problem methods addConstraint.
#include "problem/methods.h"

PyMethodDef problem_constraints_methods[] = {
    {nullptr, nullptr, 0, nullptr},
};
