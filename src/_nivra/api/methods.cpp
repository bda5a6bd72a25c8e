// api/methods.cpp: the module function through which the tests walk every optimizer API member.
#include "api/methods.h"

#include "runtime/ref.h"

namespace {

// A tuple of the names of a null-terminated list; None for a null list. New reference or null.
PyObject *nameTuple(const char *const *names) {
    if (!names) Py_RETURN_NONE;
    Py_ssize_t n = 0;
    while (names[n])
        ++n;
    Ref t = Ref::steal(PyTuple_New(n));
    for (Py_ssize_t i = 0; t && i < n; ++i) {
        PyObject *s = PyUnicode_FromString(names[i]);
        if (!s) return nullptr;
        PyTuple_SET_ITEM(t.get(), i, s);
    }
    return t.release();
}

// _api_members() -> list of (name, format, keywords, old keywords or None).
PyObject *nivramod_api_members(PyObject *, PyObject *) {
    Ref out = Ref::steal(PyList_New(0));
    if (!out) return nullptr;
    for (const ApiMemberInfo *table : {nvr_api_build_info, nvr_api_read_info})
        for (const ApiMemberInfo *m = table; m->name; ++m) {
            Ref kw = Ref::steal(nameTuple(m->kw)), old = Ref::steal(nameTuple(m->oldkw));
            Ref row = Ref::steal(kw && old ? Py_BuildValue("(ssOO)", m->name, m->format,
                                                           kw.get(), old.get())
                                           : nullptr);
            if (!row || PyList_Append(out.get(), row.get()) != 0) return nullptr;
        }
    return out.release();
}

} // namespace

PyMethodDef nvr_api_module_methods[] = {
    {"_api_members", nivramod_api_members, METH_NOARGS,
     PyDoc_STR("_api_members() -> [(name, format, keywords, old keywords or None)]: the "
               "optimizer API members of nivra.problem (for tests)")},
    {nullptr, nullptr, 0, nullptr},
};
