// problem/solution.cpp: problem methods optimize, getSolution, duals, slacks, reduced costs.
#include "problem/methods.h"

PyMethodDef problem_solution_methods[] = {
    {nullptr, nullptr, 0, nullptr},
};
