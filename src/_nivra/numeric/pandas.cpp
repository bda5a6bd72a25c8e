// numeric/pandas.cpp: pandas Series and Index as arguments (see pandas.h).
#include "pandas.h"

#include "runtime/ref.h"

namespace {

// Sets attr to pandas.<name> when pandas is imported, else leaves it empty. 0, or -1 with an
// exception.
int pandasAttr(const char *name, Ref &attr) {
    PyObject *modules = PySys_GetObject("modules"); // borrowed
    PyObject *pandas = modules && PyDict_Check(modules) ? PyDict_GetItemString(modules, "pandas")
                                                        : nullptr; // borrowed
    if (!pandas) return 0;
    attr = Ref::steal(PyObject_GetAttrString(pandas, name));
    return attr ? 0 : -1;
}

} // namespace

int nvr_is_pandas(PyObject *o, const char *kind) {
    // pandas' types are classes written in Python; the module's own and the built-in ones are
    // not, which keeps the common calls to one flag test.
    if (!PyType_HasFeature(Py_TYPE(o), Py_TPFLAGS_HEAPTYPE)) return 0;
    Ref cls;
    if (pandasAttr(kind, cls) != 0) return -1;
    return cls ? PyObject_IsInstance(o, cls.get()) : 0;
}

PyObject *nvr_pandas_values(PyObject *o) {
    int series = nvr_is_pandas(o, "Series"), index = series == 0 ? nvr_is_pandas(o, "Index") : 0;
    if (series < 0 || index < 0) return nullptr;
    if (series || index) return PyObject_CallMethod(o, "to_numpy", nullptr);
    return Py_NewRef(o);
}

PyObject *nvr_pandas_series_like(PyObject *series, PyObject *values) {
    Ref cls;
    if (pandasAttr("Series", cls) != 0) return nullptr;
    if (!cls) return PyErr_Format(PyExc_RuntimeError, "pandas is not imported");
    Ref index = Ref::steal(PyObject_GetAttrString(series, "index"));
    Ref name = index ? Ref::steal(PyObject_GetAttrString(series, "name")) : Ref();
    Ref kwargs = name
                     ? Ref::steal(Py_BuildValue("{sOsO}", "index", index.get(), "name", name.get()))
                     : Ref();
    Ref args = kwargs ? Ref::steal(PyTuple_Pack(1, values)) : Ref();
    return args ? PyObject_Call(cls.get(), args.get(), kwargs.get()) : nullptr;
}
