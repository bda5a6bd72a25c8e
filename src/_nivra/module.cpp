// module.cpp: the module entry point, its free hook and the module functions of the
// runtime (library start and stop, global-environment settings, output switches).
#include "runtime/npy.h"

#include <vector>

#include "nvra.h"
#include "runtime/args.h"
#include "runtime/env.h"
#include "runtime/errors.h"
#include "runtime/output.h"
#include "runtime/ref.h"
#include "util/freelist.h"
#include "model/constraint.h"
#include "model/expression.h"
#include "model/linterm.h"
#include "model/maps.h"
#include "model/modfuncs.h"
#include "model/quadterm.h"
#include "model/sos.h"
#include "model/var.h"
#include "nonlinear/nonlinear.h"
#include "numeric/aggregates.h"
#include "numeric/npdtypes.h"
#include "controls/control.h"
#include "controls/objattrib.h"
#include "problem/methods.h"
#include "problem/problem.h"
#include "callbacks/generic.h"
#include "callbacks/msghandlers.h"
#include "callbacks/poolcut.h"
#include "callbacks/entry.h"
#include "callbacks/register.h"
#include "api/branchobj.h"
#include "api/methods.h"
#include "testhooks.h"
#include "problem/userfuncs.h"

namespace {

PyObject *noneOrGlobalError(int rc) {
    if (rc != 0) {
        setNvraErr(nullptr);
        return nullptr;
    }
    Py_RETURN_NONE;
}

PyObject *nivramod_getlasterror(PyObject *, PyObject *) {
    if (turnNVRAon(nullptr, 0) != 0) return nullptr;
    char msg[1024];
    int code = 0;
    nvr_lib_last_error(nullptr, &code, msg, sizeof msg);
    return Py_BuildValue("(is)", code, msg);
}

PyObject *nivramod_getversion(PyObject *, PyObject *) {
    char buf[64] = "";
    if (NVRAgetversion(buf) != 0) return noneOrGlobalError(1);
    return PyUnicode_FromString(buf);
}

PyObject *nivramod_getversionnumbers(PyObject *, PyObject *) {
    int major = -1, minor = -1, build = -1;
    if (NVRAgetversionnumbers(&major, &minor, &build) != 0) return noneOrGlobalError(1);
    return Py_BuildValue("(iii)", major, minor, build);
}

PyObject *nivramod_getbanner(PyObject *, PyObject *, PyObject *) {
    if (turnNVRAon(nullptr, 0) != 0) return nullptr;
    char buf[NVRA_MAXMESSAGELENGTH] = "";
    if (NVRAgetbanner(buf) != 0) return noneOrGlobalError(1);
    return PyUnicode_FromString(buf);
}

PyObject *nivramod_init(PyObject *, PyObject *arg) {
    const char *path = nullptr;
    if (arg != Py_None) {
        if (!PyUnicode_Check(arg)) {
            PyErr_SetString(nvy_interf_exc, "_init() takes None or a string with the path of the "
                                            "library's data directory");
            return nullptr;
        }
        path = PyUnicode_AsUTF8(arg);
        if (!path) return nullptr;
    }
    if (turnNVRAon(path, 1) != 0) return nullptr;
    Py_RETURN_NONE;
}

PyObject *nivramod_free(PyObject *, PyObject *) {
    if (turnNVRAoff(1) != 0) return nullptr;
    return PyBool_FromLong(nvr_py_env.start_count > 0);
}

// Integer settings of the global environment read after an implicit start.
template <int (*Get)(int *)> PyObject *getGlobalInt(PyObject *, PyObject *) {
    if (turnNVRAon(nullptr, 0) != 0) return nullptr;
    int value = 0;
    if (Get(&value) != 0) return noneOrGlobalError(1);
    return PyLong_FromLong(value);
}

PyObject *nivramod_getcheckedmode(PyObject *, PyObject *) {
    if (turnNVRAon(nullptr, 0) != 0) return nullptr;
    int value = 0;
    if (NVRA_ge_getcheckedmode(&value) != 0) return noneOrGlobalError(1);
    return PyBool_FromLong(value);
}

PyObject *nivramod_setcheckedmode(PyObject *, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"checked_mode", nullptr};
    PyObject *flag;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "O", kw, nullptr, &flag)) return nullptr;
    if (turnNVRAon(nullptr, 0) != 0) return nullptr;
    return noneOrGlobalError(NVRA_ge_setcheckedmode(flag == Py_True ? 1 : 0));
}

PyObject *nivramod_setarchconsistency(PyObject *, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"ifArchConsistent", nullptr};
    PyObject *flag;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "O", kw, nullptr, &flag)) return nullptr;
    if (turnNVRAon(nullptr, 0) != 0) return nullptr;
    return noneOrGlobalError(
        NVRA_ge_setarchconsistency(flag == Py_None || flag == Py_False ? 0 : 1));
}

PyObject *nivramod_featurequery(PyObject *, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"feature", nullptr};
    const char *feature;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "s", kw, nullptr, &feature)) return nullptr;
    if (turnNVRAon(nullptr, 0) != 0) return nullptr;
    int status = 0;
    if (NVRAfeaturequery(feature, &status) != 0) return noneOrGlobalError(1);
    return PyBool_FromLong(status);
}

// Truth value of arg, or -1 with ModelError msg when the truth test itself fails.
int truthOrError(PyObject *arg, const char *msg) {
    const int t = PyObject_IsTrue(arg);
    if (t < 0) {
        PyErr_Clear();
        PyErr_SetString(nvy_model_exc, msg);
    }
    return t;
}

PyObject *nivramod_getOutputEnabled(PyObject *, PyObject *) {
    return PyBool_FromLong(nvr_py_env.output_enabled);
}

PyObject *nivramod_setOutputEnabled(PyObject *, PyObject *arg) {
    const int t =
        truthOrError(arg, "Incorrect argument in setOutputEnabled: should be True or False");
    if (t < 0) return nullptr;
    nvr_py_env.output_enabled = static_cast<uint8_t>(t);
    Py_RETURN_NONE;
}

PyObject *nivramod_getConstraintOperatorsEnabled(PyObject *, PyObject *) {
    return PyBool_FromLong(nvr_py_env.constraint_operators_enabled);
}

PyObject *nivramod_setConstraintOperatorsEnabled(PyObject *, PyObject *arg) {
    const int t = truthOrError(
        arg, "Incorrect argument in setConstraintOperatorsEnabled: should be True or False");
    if (t < 0) return nullptr;
    nvr_py_env.constraint_operators_enabled = static_cast<uint8_t>(t);
    Py_RETURN_NONE;
}

PyObject *nivramod_setcomputeallowed(PyObject *, PyObject *arg) {
    if (!nvo_isIntegerArg(arg)) {
        PyErr_SetString(nvy_model_exc,
                        "Incorrect argument in setcomputeallowed: should be 0, 1 or -1");
        return nullptr;
    }
    Ref num = Ref::steal(PyNumber_Long(arg));
    if (!num) return nullptr;
    int overflow = 0;
    long value = PyLong_AsLongAndOverflow(num.get(), &overflow);
    if (value == -1 && PyErr_Occurred()) return nullptr;
    if (turnNVRAon(nullptr, 0) != 0) return nullptr;
    if (overflow || value < INT_MIN || value > INT_MAX) value = INT_MAX; // the library refuses it
    return noneOrGlobalError(NVRA_ge_setcomputeallowed(static_cast<int>(value)));
}

PyObject *nivramod_setdebugmode(PyObject *, PyObject *arg) {
    const int t = truthOrError(arg, "Incorrect argument in setdebugmode: should be True or False");
    if (t < 0) return nullptr;
    if (turnNVRAon(nullptr, 0) != 0) return nullptr;
    return noneOrGlobalError(NVRA_ge_setdebugmode(t));
}

PyMethodDef runtime_methods[] = {
    {"getlasterror", nivramod_getlasterror, METH_NOARGS,
     PyDoc_STR("getlasterror() -> (code, message): the library's last global error")},
    {"getversion", nivramod_getversion, METH_NOARGS,
     PyDoc_STR("getversion() -> str: version of the optimizer library")},
    {"getversionnumbers", nivramod_getversionnumbers, METH_NOARGS,
     PyDoc_STR("getversionnumbers() -> (major, minor, build)")},
    {"getcheckedmode", nivramod_getcheckedmode, METH_NOARGS,
     PyDoc_STR("getcheckedmode() -> bool: whether the library checks its arguments")},
    {"setcheckedmode", nvr_method(nivramod_setcheckedmode), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("setcheckedmode(checked_mode): enable argument checks (only True enables)")},
    {"getbanner", nvr_method(nivramod_getbanner), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("getbanner() -> str: the library's banner")},
    {"_init", nivramod_init, METH_O,
     PyDoc_STR("_init(path): start the optimizer library explicitly (path: None or a directory)")},
    {"free", nivramod_free, METH_NOARGS,
     PyDoc_STR("free() -> bool: undo one explicit start; True if the library is still started")},
    {"setarchconsistency", nvr_method(nivramod_setarchconsistency), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("setarchconsistency(ifArchConsistent): same results on every architecture")},
    {"featurequery", nvr_method(nivramod_featurequery), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("featurequery(feature) -> bool: whether the library has the named feature")},
    {"getOutputEnabled", nivramod_getOutputEnabled, METH_NOARGS,
     PyDoc_STR("getOutputEnabled() -> bool: whether library output is printed")},
    {"setOutputEnabled", nivramod_setOutputEnabled, METH_O,
     PyDoc_STR("setOutputEnabled(flag): print library output or not, for every problem")},
    {"getcomputeallowed", getGlobalInt<NVRA_ge_getcomputeallowed>, METH_NOARGS,
     PyDoc_STR("getcomputeallowed() -> int: 1, 0 or -1")},
    {"setcomputeallowed", nivramod_setcomputeallowed, METH_O,
     PyDoc_STR("setcomputeallowed(value): 1, 0 or -1")},
    {"getdebugmode", getGlobalInt<NVRA_ge_getdebugmode>, METH_NOARGS,
     PyDoc_STR("getdebugmode() -> int")},
    {"setdebugmode", nivramod_setdebugmode, METH_O, PyDoc_STR("setdebugmode(flag)")},
    {"getConstraintOperatorsEnabled", nivramod_getConstraintOperatorsEnabled, METH_NOARGS,
     PyDoc_STR("getConstraintOperatorsEnabled() -> bool: whether comparisons build constraints")},
    {"_setConstraintOperatorsEnabled", nivramod_setConstraintOperatorsEnabled, METH_O,
     PyDoc_STR("_setConstraintOperatorsEnabled(flag): comparisons build constraints (True) or "
               "test structural equality (False)")},
    {nullptr, nullptr, 0, nullptr},
};

std::vector<PyMethodDef> all_methods;

void nivramod_freeModule(void *) {
    Py_CLEAR(nvr_py_env.module_controls);
    Py_CLEAR(nvr_py_env.default_control_values);
    Py_CLEAR(nvr_py_env.control_table);
    Py_CLEAR(nvr_py_env.attribute_table);
    Py_CLEAR(nvr_py_env.msghandlers);
    Py_CLEAR(nvr_py_env.npvar_dtype);
    Py_CLEAR(nvr_py_env.npexpr_dtype);
    Py_CLEAR(nvr_py_env.npconstraint_dtype);
    Py_CLEAR(nvr_py_env.scipy_sparray);
    Py_CLEAR(nvr_py_env.scipy_spmatrix);
    Py_CLEAR(nvr_py_env.enum_classes);
    nvr_free_exceptions();
    boundmap_free(&nvr_py_env.unlinked_lb);
    boundmap_free(&nvr_py_env.unlinked_ub);
    boundmap_free(&nvr_py_env.unlinked_threshold);
    namemap_free(&nvr_py_env.unlinked_names);
    turnNVRAoff(0);
    ObjectFreeList::closeAll();
    nvr_py_env = nvr_py_env_s{};
}

PyModuleDef nivra_module = {
    .m_base = PyModuleDef_HEAD_INIT,
    .m_name = "_nivra",
    .m_doc = PyDoc_STR("Nivra: create, solve, query and handle optimization problems with the "
                       "Nivra optimizer."),
    .m_size = -1,
    .m_methods = nullptr,
    .m_slots = nullptr,
    .m_traverse = nullptr,
    .m_clear = nullptr,
    .m_free = nivramod_freeModule,
};

PyTypeObject *const all_types[] = {
    &var_type,       &sos_type,       &expression_type, &constraint_type,
    &control_type,   &attribute_type, &objattrib_type,  &problem_type,
    &branchobj_type, &poolcut_type,   &nvraobject_type, &generic_type,
    &linterm_type,   &quadterm_type,  &nonlinear_type,  &cbentry_type,
};

// Step 4 of initialisation: the module-wide containers. 0 or -1.
int createEnvironment() {
    nvr_py_env.module_controls = ctrl_base(nullptr);
    nvr_py_env.default_control_values = PyDict_New();
    nvr_py_env.control_table = PyDict_New();
    nvr_py_env.attribute_table = PyDict_New();
    nvr_py_env.msghandlers = PyList_New(0);
    nvr_py_env.unlinked_lb = boundmap_new();
    nvr_py_env.unlinked_ub = boundmap_new();
    nvr_py_env.unlinked_threshold = boundmap_new();
    nvr_py_env.unlinked_names = namemap_new();
    nvr_py_env.nonlinear_available = -1;
    nvr_py_env.output_enabled = 1;
    nvr_py_env.constraint_operators_enabled = 1;
    if (!nvr_py_env.module_controls || !nvr_py_env.default_control_values ||
        !nvr_py_env.control_table || !nvr_py_env.attribute_table || !nvr_py_env.msghandlers)
        return -1;
    if (!nvr_py_env.unlinked_lb || !nvr_py_env.unlinked_ub || !nvr_py_env.unlinked_threshold ||
        !nvr_py_env.unlinked_names) {
        PyErr_NoMemory();
        return -1;
    }
    return 0;
}

PyObject *initModule() {
    if (problem_build_method_table(
            {nvr_api_build_methods, nvr_api_read_methods, nvr_api_delete_methods,
             nvr_api_callback_methods, nvr_api_analysis_methods, nvr_api_solving_methods,
             nvr_api_cutpool_methods, nvr_api_newer_methods, nvr_api_nonlinear_methods}) != 0)
        return nullptr;
    for (PyTypeObject *t : all_types)
        if (PyType_Ready(t) < 0) return nullptr;
    nivra_module.m_methods = nvr_join_methods(
        all_methods, {nvr_numeric_methods, nvr_nonlinear_methods, runtime_methods,
                      nvr_callbacks_methods, nvr_controls_methods, nvr_model_methods,
                      nvr_problem_module_methods, nvr_api_module_methods, nvr_test_methods});
    if (!nivra_module.m_methods) return nullptr;
    Ref module = Ref::steal(PyModule_Create(&nivra_module));
    if (!module) return nullptr;
    nvr_py_env.module = module.get();
    nvr_py_env.hooks.build_tables = ctrl_attr_fill_typeobj;
    nvr_py_env.hooks.user_function = userFunctionOf;
    nvr_py_env.hooks.release_problem = [](problem_lib_s *p) {
        return problem_freeresources(static_cast<problem_s *>(p));
    };
    nvr_py_env.hooks.copy_callbacks = [](problem_lib_s *dst, problem_lib_s *src) {
        return copyCallbacks(static_cast<problem_s *>(dst), static_cast<problem_s *>(src));
    };
    if (createEnvironment() != 0 || nvr_create_exceptions(module.get()) != 0) return nullptr;
    const struct {
        const char *name;
        PyObject *obj;
    } added[] = {
        {"var", (PyObject *)&var_type},         {"expression", (PyObject *)&expression_type},
        {"sos", (PyObject *)&sos_type},         {"constraint", (PyObject *)&constraint_type},
        {"problem", (PyObject *)&problem_type}, {"branchobj", (PyObject *)&branchobj_type},
        {"poolcut", (PyObject *)&poolcut_type},
    };
    for (auto &a : added)
        if (PyModule_AddObjectRef(module.get(), a.name, a.obj) != 0) return nullptr;
    if (setAltNumOps() != 0) return nullptr;
    if (init_structures(module.get()) != 0) return nullptr;
    if (PyModule_AddObjectRef(module.get(), "npvar", (PyObject *)nvr_py_env.npvar_dtype) != 0 ||
        PyModule_AddObjectRef(module.get(), "npexpr", (PyObject *)nvr_py_env.npexpr_dtype) != 0 ||
        PyModule_AddObjectRef(module.get(), "npconstraint",
                              (PyObject *)nvr_py_env.npconstraint_dtype) != 0)
        return nullptr;
    return module.release();
}

} // namespace

PyMODINIT_FUNC PyInit__nivra(void) {
    if (nvr_py_env.module) {
        PyErr_SetString(PyExc_ImportError,
                        "the module _nivra is already initialized in this process");
        return nullptr;
    }
    PyObject *module = nullptr;
    try {
        module = initModule();
    } catch (...) {
        nvr_translate_exception();
    }
    if (!module) {
        nvr_py_env.module = nullptr;
        if (!PyErr_Occurred())
            PyErr_SetString(PyExc_RuntimeError, "Error initializing the Nivra module");
    }
    return module;
}
