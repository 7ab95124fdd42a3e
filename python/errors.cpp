// Core failures to Python exceptions.
#include "errors.hpp"

#include <span>
#include <string>
#include <utility>
#include <vector>

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

// The steps recorded for the failure being raised on this thread, innermost
// first; emptied by the outermost reader.
thread_local std::vector<vorn::ErrorStep> t_steps;

bool record(vorn::ErrorStep step) noexcept {
    try {
        t_steps.push_back(step);
    } catch (const std::bad_alloc&) {
        // Without memory the note is left out; the exception stays.
    }
    return false;
}

// "in orders[2].actions[1], key 'price'": indices in brackets, the fields
// that lead to a nested item after a dot, and a field that is the last step
// (the key whose value failed) as the key.
std::string path_text(const char* name, std::span<const vorn::ErrorStep> innermost_first) {
    std::string text = "in ";
    text += name;
    for (size_t k = innermost_first.size(); k-- > 0;) {
        const vorn::ErrorStep& step = innermost_first[k];
        if (step.field == nullptr) {
            text += '[';
            text += std::to_string(step.index);
            text += ']';
        } else if (k == 0) {
            text += ", key '";
            text += step.field;
            text += '\'';
        } else {
            text += '.';
            text += step.field;
        }
    }
    return text;
}

// Adds the note for these steps to the exception being raised. When the
// note cannot be added (no memory, an add_note of a user's exception class
// that fails), the exception is raised as it was.
void add_path_note(const char* name, std::span<const vorn::ErrorStep> innermost_first) noexcept {
    PyObject* exc = PyErr_GetRaisedException();
    if (exc == nullptr) return;
    try {
        const std::string text = path_text(name, innermost_first);
        PyObject* note = PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
        PyObject* done = note != nullptr ? PyObject_CallMethod(exc, "add_note", "O", note) : nullptr;
        Py_XDECREF(note);
        Py_XDECREF(done);
    } catch (const std::bad_alloc&) {
    }
    PyErr_Clear();
    PyErr_SetRaisedException(exc);
}

// The recorded steps, taken (user code run by add_note may record its own).
std::vector<vorn::ErrorStep> take_steps() noexcept {
    std::vector<vorn::ErrorStep> steps;
    steps.swap(t_steps);
    return steps;
}

}  // namespace

bool fail_at_key(const char* key) { return record({key, 0}); }
bool fail_at_index(size_t i) { return record({nullptr, i}); }

bool fail_in_element(const char* name, size_t i) {
    record({nullptr, i});
    std::vector<vorn::ErrorStep> steps = take_steps();
    add_path_note(name, steps);
    return false;
}

bool fail_in_value(const char* name) {
    std::vector<vorn::ErrorStep> steps = take_steps();
    if (!steps.empty()) add_path_note(name, steps);
    return false;
}

PyObject* raise_item_error(const vorn::Error& e, const char* name) {
    raise_core_error(e);
    if (e.kind != vorn::ErrorKind::Internal && !e.where.empty()) add_path_note(name, e.where);
    return nullptr;
}

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
    // Too deep an input, as the interpreter's own readers report it.
    if (e.kind == vorn::ErrorKind::OrderNesting)
        return set_string(PyExc_RecursionError, "maximum recursion depth exceeded while parsing an order");
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
