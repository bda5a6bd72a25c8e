// callbacks/poolcut.cpp: nivra.poolcut, a cut handle of the library's cut pool (no methods of
// its own; the problem's cut-pool members take and give these objects).
#include "poolcut.h"

#include "runtime/ref.h"

PyTypeObject poolcut_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.poolcut",
    .tp_basicsize = sizeof(poolcut_s),
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("A cut of the problem's cut pool (made by the cut-pool methods)"),
    .tp_new = PyType_GenericNew,
};

PyObject *poolcut_create(NVRAcut cut) {
    PyObject *o = PyType_GenericNew(&poolcut_type, nullptr, nullptr);
    if (o) reinterpret_cast<poolcut_s *>(o)->cut = cut;
    return o;
}
