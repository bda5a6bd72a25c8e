// problem/files.cpp: problem methods read and write.
#include "problem/methods.h"

PyMethodDef problem_files_methods[] = {
    {nullptr, nullptr, 0, nullptr},
};
