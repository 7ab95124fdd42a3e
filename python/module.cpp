// Module initialisation for vorn_keychain._native.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

static PyModuleDef native_module = {
    PyModuleDef_HEAD_INIT, "_native", "High-performance transaction signing for VORN DEX", 0,
    nullptr, nullptr, nullptr, nullptr, nullptr,
};

PyMODINIT_FUNC PyInit__native(void) { return PyModule_Create(&native_module); }
