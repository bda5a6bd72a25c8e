// model/problem_model.h: a problem as its model objects see it: the library side
// (runtime/problem_lib.h), the lists of its variable, constraint and SOS objects in index order
// and the maps from the serials of older-style unlinked objects to their indices. Linked model
// objects hold such a pointer as their owner; nivra.problem's record (problem_s,
// problem/problem.h) extends this one.
#pragma once

#include "runtime/problem_lib.h"

struct rowcolmap;

struct problem_model_s : problem_lib_s {
    PyObject *vars;           // list of variables in column order
    PyObject *cons;           // list of constraints in row order
    PyObject *sets;           // list of SOS in set order
    rowcolmap *var_index_map; // serial of unlinked variable -> column
    rowcolmap *con_index_map; // serial of unlinked constraint -> row
    rowcolmap *sos_index_map; // serial of unlinked SOS -> set
};
