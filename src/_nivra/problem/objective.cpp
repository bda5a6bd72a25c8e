// problem/objective.cpp: problem methods setObjective, addObjective.
#include "problem/methods.h"

PyMethodDef problem_objective_methods[] = {
    {nullptr, nullptr, 0, nullptr},
};
