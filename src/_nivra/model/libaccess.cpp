// model/libaccess.cpp: names of a problem's rows, columns and sets, read and written through
// the library.
#include "libaccess.h"

#include "runtime/alloc.h"
#include "runtime/args.h"

PyObject *nvr_entityName(problem_lib_s *p, int type, int index) {
    int nbytes = 0;
    if (problem_call(p, NVRAgetnamelist, "NVRAgetnamelist", type, nullptr, 0, &nbytes, index,
                     index) != 0)
        return nullptr;
    const int size = nbytes > 0 ? nbytes : 1;
    LibArray<char> buf(static_cast<size_t>(size));
    if (!buf) return nullptr;
    buf[0] = '\0';
    if (problem_call(p, NVRAgetnamelist, "NVRAgetnamelist", type, buf.get(), size, &nbytes, index,
                     index) != 0)
        return nullptr;
    return PyUnicode_FromString(buf.get());
}

int nvr_setEntityName(problem_lib_s *p, int type, int index, PyObject *name) {
    static const char *const kWhat[] = {"Constraint", "Variable", "SOS"}; // by NVRA_NAMES_* - 1
    const char *utf8 = nvr_nameText(name, kWhat[type - 1]);
    if (!utf8) return -1;
    return problem_call(p, NVRAaddnames, "NVRAaddnames", type, utf8, index, index);
}
