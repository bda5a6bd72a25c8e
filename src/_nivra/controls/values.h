// controls/values.h: reading and setting control and attribute values of a problem, the value
// checks, the module default values applied to new problems, and enumeration members.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>

#include "names.h"

struct problem_lib_s;

// Values of the keys (the tuple of positional arguments of getControl/getAttrib) from the
// control table (control = 1) or the attribute table (0); objidx >= 0 reads the attributes of
// that solve. No key: a dict of every entry; one tuple, list or other non-string iterable: a
// dict over its items; one other key: its value; several keys: a dict. Dicts are keyed by the
// normalised name, or by the int for ids. New reference or null.
PyObject *problem_getInfo(problem_lib_s *p, PyObject *keys, int control, int objidx);
// The value of one entry (an enumeration member for the integers that have one). New
// reference or null.
PyObject *problem_getInfo_single(problem_lib_s *p, const CaEntry &entry, int control, int objidx);

// ModelError unless value suits a control of that type. 0 or -1.
int check_setCtrl(int type, PyObject *value);
// Sets one control of p after check_setCtrl. 0, or -1 with an exception.
int problem_setControl_single(problem_lib_s *p, const CaEntry &entry, PyObject *value);
// Sets the control named (str) or numbered (int) by key. 0, or -1 with an exception.
int problem_setControl_byKey(problem_lib_s *p, PyObject *key, PyObject *value);
// Sets the module default values on p, stopping at the first failure. 0, or -1.
int problem_applyDefaultControls(problem_lib_s *p);

// value as a member of the class of id when it has one (the plain int when the class refuses
// the value). New reference or null (nivra.enums or the class missing).
PyObject *nvy_intToEnum(int id, int64_t value);
