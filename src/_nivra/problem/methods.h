// problem/methods.h: the method tables of nivra.problem, one per job, joined into the type's
// method table when the type is readied. Each is terminated by an entry with a null name.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <initializer_list>

extern PyMethodDef problem_lifecycle_methods[]; // problem/problem.cpp
extern PyMethodDef
    problem_controls_methods[]; // problem/controls.cpp: getControl, setControl, getAttrib
extern PyMethodDef problem_variables_methods[];   // problem/variables.cpp: addVariable(s)
extern PyMethodDef problem_constraints_methods[]; // problem/constraints.cpp: addConstraint
extern PyMethodDef problem_objective_methods[]; // problem/objective.cpp: setObjective, addObjective
extern PyMethodDef problem_solution_methods[];  // problem/solution.cpp: optimize, getSolution, ...
extern PyMethodDef problem_files_methods[];     // problem/files.cpp: read, write
extern PyMethodDef problem_lookup_methods[];    // problem/lookup.cpp: getVariable, ..., getIndex
extern PyMethodDef problem_entities_methods[];  // problem/entities.cpp: addSOS, addIndicator

// The module functions of the problem layer (problem/modfuncs.cpp: evaluate, vars).
extern PyMethodDef nvr_problem_module_methods[];

// Joins the tables above and those of the layers above (upper) into problem_type.tp_methods.
// 0, or -1 with an exception set.
int problem_build_method_table(std::initializer_list<const PyMethodDef *> upper);
