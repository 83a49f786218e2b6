// Entry point of the extension module _tessolin: multi-phase initialisation.
#include <Python.h>

namespace {

int add_public(PyObject* module, PyObject* all, const char* name, PyObject* value) {
    if (value == nullptr) return -1;
    int rc = PyModule_AddObjectRef(module, name, value);
    Py_DECREF(value);
    if (rc < 0) return -1;
    PyObject* text = PyUnicode_FromString(name);
    if (text == nullptr) return -1;
    rc = PyList_Append(all, text);
    Py_DECREF(text);
    return rc;
}

int module_exec(PyObject* module) {
    if (!PyModule_Check(module)) {
        PyErr_SetString(PyExc_TypeError, "expected a module object");
        return -1;
    }
    PyObject* all = PyList_New(0);
    if (all == nullptr) return -1;
    if (PyModule_AddObjectRef(module, "__all__", all) < 0 ||
        add_public(module, all, "__version__", PyUnicode_FromString("0.0.12")) < 0 ||
        add_public(module, all, "_debug_build", Py_NewRef(Py_False)) < 0) {
        Py_DECREF(all);
        return -1;
    }
    Py_DECREF(all);
    return 0;
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
    {Py_mod_multiple_interpreters, Py_MOD_MULTIPLE_INTERPRETERS_NOT_SUPPORTED},
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "_tessolin",
    nullptr,
    0,
    nullptr,
    module_slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__tessolin(void) {
    return PyModuleDef_Init(&module_def);
}
