// Argument binding with the interpreter's own TypeError wording.
#include "binder.hpp"

#include <string>

namespace vorn::py {
namespace {

Py_ssize_t find_param(const CallSignature& sig, PyObject* name) {
    for (Py_ssize_t i = 0; i < sig.nparams; ++i) {
        if (PyUnicode_CompareWithASCIIString(name, sig.params[i]) == 0) return i;
    }
    return -1;
}

void raise_too_many_positional(const CallSignature& sig, Py_ssize_t given) {
    std::string takes;
    if (sig.nrequired == sig.nparams) {
        takes = std::to_string(sig.nparams) + (sig.nparams == 1 ? " positional argument" : " positional arguments");
    } else {
        takes = "from " + std::to_string(sig.nrequired) + " to " + std::to_string(sig.nparams) +
                " positional arguments";
    }
    std::string msg = std::string(sig.name) + "() takes " + takes + " but " + std::to_string(given) +
                      (given == 1 ? " was given" : " were given");
    PyErr_SetString(PyExc_TypeError, msg.c_str());
}

// "'a'", "'a' and 'b'", "'a', 'b', and 'c'" as the interpreter lists them.
void raise_missing(const CallSignature& sig, PyObject** out) {
    Py_ssize_t missing[kMaxParams];
    Py_ssize_t count = 0;
    for (Py_ssize_t i = 0; i < sig.nrequired; ++i) {
        if (out[i] == nullptr) missing[count++] = i;
    }
    std::string names;
    for (Py_ssize_t k = 0; k < count; ++k) {
        if (k > 0) {
            if (count == 2) names += " and ";
            else if (k == count - 1) names += ", and ";
            else names += ", ";
        }
        names += "'";
        names += sig.params[missing[k]];
        names += "'";
    }
    std::string msg = std::string(sig.name) + "() missing " + std::to_string(count) + " required positional " +
                      (count == 1 ? "argument: " : "arguments: ") + names;
    PyErr_SetString(PyExc_TypeError, msg.c_str());
}

bool place_keyword(const CallSignature& sig, PyObject* name, PyObject* value, PyObject** out) {
    Py_ssize_t idx = find_param(sig, name);
    if (idx < 0) {
        PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", sig.name, name);
        return false;
    }
    if (out[idx] != nullptr) {
        PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", sig.name, sig.params[idx]);
        return false;
    }
    out[idx] = value;
    return true;
}

bool finish(const CallSignature& sig, PyObject** out) {
    for (Py_ssize_t i = 0; i < sig.nrequired; ++i) {
        if (out[i] == nullptr) {
            raise_missing(sig, out);
            return false;
        }
    }
    // None passed for an optional parameter means the parameter is omitted.
    for (Py_ssize_t i = sig.nrequired; i < sig.nparams; ++i) {
        if (out[i] == Py_None) out[i] = nullptr;
    }
    return true;
}

}  // namespace

bool bind_args(const CallSignature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
               PyObject** out) {
    for (Py_ssize_t i = 0; i < sig.nparams; ++i) out[i] = nullptr;
    if (nargs > sig.nparams) {
        raise_too_many_positional(sig, nargs);
        return false;
    }
    for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = args[i];
    if (kwnames != nullptr) {
        Py_ssize_t nkw = PyTuple_Size(kwnames);
        for (Py_ssize_t k = 0; k < nkw; ++k) {
            if (!place_keyword(sig, PyTuple_GetItem(kwnames, k), args[nargs + k], out)) return false;
        }
    }
    return finish(sig, out);
}

bool bind_tuple_args(const CallSignature& sig, PyObject* args, PyObject* kwargs, PyObject** out) {
    for (Py_ssize_t i = 0; i < sig.nparams; ++i) out[i] = nullptr;
    Py_ssize_t nargs = args != nullptr ? PyTuple_Size(args) : 0;
    if (nargs > sig.nparams) {
        raise_too_many_positional(sig, nargs);
        return false;
    }
    for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = PyTuple_GetItem(args, i);
    if (kwargs != nullptr) {
        Py_ssize_t pos = 0;
        PyObject* key;
        PyObject* value;
        while (PyDict_Next(kwargs, &pos, &key, &value)) {
            if (!PyUnicode_Check(key)) {
                PyErr_Format(PyExc_TypeError, "%s() keywords must be strings", sig.name);
                return false;
            }
            if (!place_keyword(sig, key, value, out)) return false;
        }
    }
    return finish(sig, out);
}

}  // namespace vorn::py
