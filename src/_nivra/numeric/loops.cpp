// numeric/loops.cpp: element loops for arrays of variables and expressions.
#include "npdtypes.h"

int nvr_register_loops() { return 0; }
