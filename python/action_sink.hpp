// The action JSON as Python objects: the binding's sink of the one renderer
// (sdk_compat/render.hpp). Dicts keep the renderer's key order, which is the
// JSON's sorted order; numbers are as json_to_python makes them (results.hpp).
// Used only with the GIL.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

#include "sdk_compat/render.hpp"

namespace vorn::py {

class PySink final : public vorn::ActionSink {
public:
    PySink() = default;
    ~PySink() override;
    PySink(const PySink&) = delete;
    PySink& operator=(const PySink&) = delete;

    // The finished "actions" list (a new reference), or nullptr with the
    // Python error set when the sink failed. Once.
    PyObject* take();

private:
    void on_begin_object() override { open(PyDict_New()); }
    void on_end_object() override { close(); }
    void on_begin_array() override { open(PyList_New(0)); }
    void on_end_array() override { close(); }
    void on_key(std::string_view key) override;
    void on_bool(bool b) override { put(PyBool_FromLong(b)); }
    void on_u64(uint64_t u) override;
    void on_i64(int64_t i) override { put(PyLong_FromLongLong(i)); }
    void on_f64(double x) override { put(PyFloat_FromDouble(x)); }
    void on_null() override { put(Py_NewRef(Py_None)); }
    void on_text(std::string_view text) override;

    // Adds v (a new reference, consumed; nullptr: its making failed) to the
    // open container, or keeps it as the result when none is open.
    void put(PyObject* v);
    void open(PyObject* container);
    void close();
    void release_all();

    // The open containers, outermost first: a few levels inline, deeper
    // nesting in spill.
    static constexpr size_t kInline = 16;
    std::array<PyObject*, kInline> inline_{};
    std::vector<PyObject*> spill_;
    size_t depth_ = 0;
    PyObject* key_ = nullptr;   // the pending key of the innermost dict
    PyObject* done_ = nullptr;  // the finished outermost container
    bool failed_ = false;       // a Python error is set; the rest is ignored
};

}  // namespace vorn::py
