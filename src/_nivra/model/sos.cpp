// model/sos.cpp: nivra.sos: the deprecated constructor of unlinked sets, printing, name and
// index, copies, the set lookup for the problem code and the type object.
#include "sos.h"

#include "libaccess.h"
#include "live.h"
#include "maps.h"
#include "runtime/args.h"
#include "runtime/env.h"
#include "runtime/errors.h"
#include "runtime/ref.h"
#include "problem_model.h"
#include "var.h"

namespace {

constexpr const char *kDeletedMsg = "SOS has been deleted from the problem";

bool isDeleted(const sos_s *s) {
    return s->owner == kDeletedOwner;
}
bool isLinked(const sos_s *s) {
    return s->owner && !isDeleted(s);
}

PyObject *modelError(const char *msg) {
    PyErr_SetString(nvy_model_exc, msg);
    return nullptr;
}

// A new unlinked set with the next serial (no lists yet). New reference or null.
sos_s *newSos() {
    sos_s *s = newGcModelObject<sos_s>(&sos_type, kLiveSos);
    if (!s) return nullptr;
    PyObject_GC_Track(s);
    return s;
}

PyObject *sos_new(PyTypeObject *, PyObject *, PyObject *) {
    return reinterpret_cast<PyObject *>(newSos());
}

void takeSerial(sos_s *s) {
    s->index = static_cast<int64_t>(nvr_py_env.next_sos_serial++);
}

// The type argument: an integer whose lowest 8 bits give 1 or 2. 0 or -1.
int typeArg(PyObject *o, int *type) {
    Ref number = Ref::steal(PyNumber_Index(o));
    if (!number) return -1;
    const unsigned long bits = PyLong_AsUnsignedLongMask(number.get());
    if (bits == static_cast<unsigned long>(-1) && PyErr_Occurred()) return -1;
    *type = static_cast<int>(bits & 0xFF);
    if (*type == 1 || *type == 2) return 0;
    modelError("SOS type must be 1 or 2");
    return -1;
}

// sos(indices, weights, type=1, name=None): deprecated; a failed call has used up a serial.
int sos_init(PyObject *self, PyObject *args, PyObject *kwargs) {
    sos_s *s = as_sos(self);
    if (s->owner || s->index != 0) {
        PyErr_SetString(nvy_interf_exc, "Cannot re-initialize a SOS");
        return -1;
    }
    if (warnDeprec(9, 5, "create a linked SOS by calling problem.addSOS()") != 0) return -1;
    s->type = 1;
    takeSerial(s);
    static const char *const kw[] = {"indices", "weights", "type", "name", nullptr};
    PyObject *indices, *weights, *typeObj = nullptr, *name = nullptr;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "OO|OO", kw, nullptr, &indices, &weights, &typeObj,
                                   &name))
        return -1;
    int type = 1;
    if (typeObj && typeObj != Py_None && typeArg(typeObj, &type) != 0) return -1;
    if (!PyList_Check(weights)) return modelError("SOS weights must be passed as a list"), -1;
    if (!PyList_Check(indices)) return modelError("SOS indices must be passed as a list"), -1;
    Ref stored =
        Ref::steal(name && name != Py_None
                       ? Py_NewRef(name)
                       : PyUnicode_FromFormat("sos%lld", static_cast<long long>(s->index)));
    if (!stored) return -1;
    s->type = type;
    Py_XSETREF(s->name, stored.release());
    Py_XSETREF(s->indices, Py_NewRef(indices));
    Py_XSETREF(s->weights, Py_NewRef(weights));
    return 0;
}

void sos_dealloc(PyObject *self) {
    PyObject_GC_UnTrack(self);
    sos_s *s = as_sos(self);
    Py_CLEAR(s->name);
    Py_CLEAR(s->indices);
    Py_CLEAR(s->weights);
    freeModelObject(self, kLiveSos);
}

int sos_traverse(PyObject *self, visitproc visit, void *arg) {
    const sos_s *s = as_sos(self);
    Py_VISIT(s->name);
    Py_VISIT(s->indices);
    Py_VISIT(s->weights);
    return 0;
}

int sos_clear(PyObject *self) {
    sos_s *s = as_sos(self);
    Py_CLEAR(s->name);
    Py_CLEAR(s->indices);
    Py_CLEAR(s->weights);
    return 0;
}

// str(): "(deleted SOS)", the set's name in the problem, or the stored name.
PyObject *sos_str(PyObject *self) {
    const sos_s *s = as_sos(self);
    if (isDeleted(s)) return PyUnicode_FromString("(deleted SOS)");
    if (isLinked(s)) return nvr_entityName(s->owner, NVRA_NAMES_SETS, static_cast<int>(s->index));
    if (s->name) return PyObject_Str(s->name);
    return PyUnicode_FromFormat("sos%lld", static_cast<long long>(s->index));
}

PyObject *sos_get_name(PyObject *self, void *) {
    return sos_str(self);
}

int sos_set_name(PyObject *self, PyObject *value, void *) {
    sos_s *s = as_sos(self);
    if (isDeleted(s)) return modelError(kDeletedMsg), -1;
    if (!nvr_nameText(value, "SOS")) return -1;
    if (isLinked(s))
        return nvr_setEntityName(s->owner, NVRA_NAMES_SETS, static_cast<int>(s->index), value);
    Py_XSETREF(s->name, Py_NewRef(value));
    return 0;
}

PyObject *sos_get_index(PyObject *self, void *) {
    const sos_s *s = as_sos(self);
    if (isDeleted(s)) return PyLong_FromLong(-1);
    if (!s->owner) Py_RETURN_NONE;
    return PyLong_FromLongLong(s->index);
}

int sos_set_index(PyObject *, PyObject *, void *) {
    PyErr_SetString(nvy_interf_exc, "SOS index cannot be modified");
    return -1;
}

PyObject *sos_get_dict(PyObject *self, void *) {
    Ref d = Ref::steal(PyDict_New());
    if (!d) return nullptr;
    static const struct {
        const char *name;
        getter get;
    } entries[] = {{"name", sos_get_name}, {"index", sos_get_index}};
    for (const auto &e : entries) {
        if (isDeleted(as_sos(self)) && e.get == sos_get_name) continue;
        Ref value = Ref::steal(e.get(self, nullptr));
        if (!value || PyDict_SetItemString(d.get(), e.name, value.get()) != 0) return nullptr;
    }
    return d.release();
}

int sos_set_dict(PyObject *, PyObject *, void *) {
    PyErr_SetString(PyExc_AttributeError,
                    "attribute '__dict__' of 'nivra.sos' objects is not writable");
    return -1;
}

int sos_setattro(PyObject *self, PyObject *name, PyObject *value) {
    if (!value) {
        PyErr_Format(nvy_interf_exc, "Cannot delete the %U attribute", name);
        return -1;
    }
    return PyObject_GenericSetAttr(self, name, value);
}

// copy(): a new unlinked set with a fresh serial, new lists of the same objects, and the name
// "sos<serial>_copy_<name>" from the set copied.
PyObject *sos_copy(PyObject *self, PyObject *) {
    const sos_s *s = as_sos(self);
    if (s->owner) return modelError("SOS cannot be copied because it has been added to a problem");
    if (!s->indices || !s->weights) return modelError("SOS is not initialized");
    Ref name = Ref::steal(sos_str(self));
    Ref copy = Ref::steal(reinterpret_cast<PyObject *>(newSos()));
    if (!name || !copy) return nullptr;
    sos_s *c = as_sos(copy.get());
    takeSerial(c);
    c->type = s->type;
    c->name = PyUnicode_FromFormat("sos%lld_copy_%S", static_cast<long long>(s->index), name.get());
    c->indices = PyList_GetSlice(s->indices, 0, PyList_GET_SIZE(s->indices));
    c->weights = PyList_GetSlice(s->weights, 0, PyList_GET_SIZE(s->weights));
    if (!c->name || !c->indices || !c->weights) return nullptr;
    return copy.release();
}

PyMethodDef sos_methods[] = {
    {"copy", sos_copy, METH_NOARGS,
     PyDoc_STR("copy() -> sos: a new unlinked set with the same variables, weights and type")},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef sos_getset[] = {
    {"name", sos_get_name, sos_set_name, PyDoc_STR("name"), nullptr},
    {"index", sos_get_index, sos_set_index,
     PyDoc_STR("set index; None when unlinked, -1 when deleted"), nullptr},
    {"__dict__", sos_get_dict, sos_set_dict, PyDoc_STR("the properties as a dict"), nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

} // namespace

int get_sos_index(problem_model_s *prob, const sos_s *sos, int64_t *index) {
    const char *fault = nullptr;
    if (isDeleted(sos)) {
        fault = kDeletedMsg;
    } else if (sos->owner) {
        if (sos->owner == prob || (prob->parent && sos->owner == prob->parent)) {
            *index = sos->index;
            return 0;
        }
        fault = "SOS is from a different problem";
    } else if (sos->index == 0) {
        fault = "SOS is not initialized";
    } else {
        long found;
        if (rowcolmap_get(prob->sos_index_map, static_cast<uint64_t>(sos->index), &found) == 0) {
            *index = found;
            return 0;
        }
        fault = "SOS does not belong to this problem";
    }
    modelError(fault);
    return -1;
}

PyTypeObject sos_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.sos",
    .tp_basicsize = sizeof(sos_s),
    .tp_dealloc = sos_dealloc,
    .tp_repr = sos_str,
    .tp_str = sos_str,
    .tp_setattro = sos_setattro,
    .tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC,
    .tp_doc = PyDoc_STR("sos(indices, weights, type=1, name=None): a special ordered set of type "
                        "1 or 2 (deprecated: use problem.addSOS)"),
    .tp_traverse = sos_traverse,
    .tp_clear = sos_clear,
    .tp_methods = sos_methods,
    .tp_getset = sos_getset,
    .tp_init = sos_init,
    .tp_new = sos_new,
};

PyObject *sos_new_linked(problem_model_s *prob, int64_t index) {
    PyObject *set = sos_type.tp_new(&sos_type, nullptr, nullptr);
    if (set) {
        as_sos(set)->owner = prob;
        as_sos(set)->index = index;
    }
    return set;
}
