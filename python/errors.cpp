// Core failures to Python exceptions.
#include "errors.hpp"

#include <string>

namespace vorn::py {
namespace {

// Created once at module initialisation and kept for the life of the
// process; deliberately not a module attribute.
PyObject* g_internal_fault = nullptr;

PyObject* set_string(PyObject* type, std::string_view text) {
    PyObject* msg = PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
    if (msg == nullptr) return nullptr;
    PyErr_SetObject(type, msg);
    Py_DECREF(msg);
    return nullptr;
}

}  // namespace

bool init_errors() {
    if (g_internal_fault != nullptr) return true;
    g_internal_fault = PyErr_NewExceptionWithDoc(
        "vorn_keychain._native.InternalFault",
        "An internal invariant of the signing core failed (for example the clock reads before 1970).",
        PyExc_BaseException, nullptr);
    return g_internal_fault != nullptr;
}

PyObject* raise_core_error(const vorn::Error& e) {
    if (e.kind == vorn::ErrorKind::Internal) return raise_fault_text(e.text);
    try {
        return set_string(PyExc_ValueError, e.display());
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    }
}

PyObject* raise_fault_text(std::string_view text) {
    return set_string(g_internal_fault != nullptr ? g_internal_fault : PyExc_SystemError, text);
}

PyObject* raise_value_error(std::string_view text) { return set_string(PyExc_ValueError, text); }
PyObject* raise_type_error(std::string_view text) { return set_string(PyExc_TypeError, text); }

PyObject* raise_current_exception() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    } catch (const vorn::Error& e) {
        return raise_core_error(e);
    } catch (const std::exception& e) {
        return raise_fault_text(e.what());
    } catch (...) {
        return raise_fault_text("unknown internal fault");
    }
}

}  // namespace vorn::py
