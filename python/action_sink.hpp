// The action JSON as Python objects: the binding's sink of the one renderer
// (sdk_compat/render.hpp). Dicts keep the renderer's key order, which is the
// JSON's sorted order; numbers are as json_to_python makes them (results.hpp).
// Containers are made as the renderer opens them and filled in place; a
// failure (out of memory) sets the Python error once and the rest of the
// rendering is dropped. Used only with the GIL.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "convert.hpp"
#include "results.hpp"
#include "sdk_compat/render.hpp"

namespace vorn::py {

// The callbacks are inlined into the renderer's instance for this sink.
#define VORN_SINK_STEP [[gnu::always_inline]] inline

class PySink final : public vorn::ActionSinkOf<PySink> {
public:
    PySink() = default;
    ~PySink() override {
        if (top_ != nullptr || key_owned_ || done_ != nullptr) release_all();
    }
    PySink(const PySink&) = delete;
    PySink& operator=(const PySink&) = delete;

    // The finished "actions" list (a new reference), or nullptr with the
    // Python error set when the sink failed. Once.
    PyObject* take();

private:
    friend class vorn::ActionSinkOf<PySink>;

    VORN_SINK_STEP void on_begin_object() { open(PyDict_New(), true); }
    VORN_SINK_STEP void on_end_object() { close(); }
    VORN_SINK_STEP void on_begin_array() { open(PyList_New(0), false); }
    VORN_SINK_STEP void on_end_array() { close(); }
    VORN_SINK_STEP void on_key(std::string_view key, bool literal) {
        if (key_owned_) drop_key();
        // The renderer's own keys are the module's key objects (convert.hpp),
        // found by address and borrowed.
        key_ = literal ? key_object(key.data()) : cached_text_to_python(key);
        key_owned_ = !literal;
        if (key_ == nullptr) fail();
    }
    VORN_SINK_STEP void on_bool(bool b) { put(Py_NewRef(b ? Py_True : Py_False)); }
    VORN_SINK_STEP void on_u64(uint64_t u) {
        // Beyond the signed 64-bit range the nearest double, as a float.
        put(u > static_cast<uint64_t>(INT64_MAX) ? PyFloat_FromDouble(static_cast<double>(u))
                                                 : PyLong_FromUnsignedLongLong(u));
    }
    VORN_SINK_STEP void on_i64(int64_t i) { put(PyLong_FromLongLong(i)); }
    VORN_SINK_STEP void on_f64(double x) { put(PyFloat_FromDouble(x)); }
    VORN_SINK_STEP void on_null() { put(Py_NewRef(Py_None)); }
    void on_text(std::string_view text, bool literal);

    // An open container, and whether it is a dict (else a list).
    struct Frame {
        PyObject* obj;
        bool dict;
    };

    // Adds v (a new reference, consumed; nullptr: its making failed) to the
    // open container. After a failure nothing is open, so that the rest
    // lands in put_slow and is dropped.
    VORN_SINK_STEP void put(PyObject* v) {
        if (v == nullptr || top_ == nullptr) return put_slow(v);
        const int rc = top_->dict ? PyDict_SetItem(top_->obj, key_, v) : PyList_Append(top_->obj, v);
        Py_DECREF(v);
        if (rc != 0) fail();
    }
    VORN_SINK_STEP void open(PyObject* container, bool dict) {
        if (container == nullptr || failed_) return open_slow(container);
        // Placed in its parent now, filled in place afterwards; the stack
        // keeps the reference it was made with. The outermost one becomes
        // the result when it closes.
        if (top_ != nullptr &&
            (top_->dict ? PyDict_SetItem(top_->obj, key_, container) : PyList_Append(top_->obj, container)) != 0) {
            Py_DECREF(container);
            return fail();
        }
        if (depth_ >= kInline) return open_deep(container, dict);
        top_ = &inline_[depth_++];
        *top_ = {container, dict};
    }
    VORN_SINK_STEP void close() {
        if (top_ == nullptr) return;
        if (depth_ > kInline) return close_deep();
        PyObject* c = top_->obj;
        if (--depth_ == 0) {
            top_ = nullptr;
            done_ = c;  // the stack's reference becomes the result's
        } else {
            top_ = &inline_[depth_ - 1];
            Py_DECREF(c);  // its parent holds it
        }
    }

    [[gnu::cold]] void put_slow(PyObject* v);
    [[gnu::cold]] void open_slow(PyObject* container);
    // Containers beyond the inline ones (deeply nested items).
    void open_deep(PyObject* container, bool dict);
    void close_deep();
    [[gnu::cold]] void fail();
    void drop_key();
    void release_all();

    // The open containers, outermost first: a few levels inline (left
    // uninitialised until used), deeper nesting in spill; top_ is the
    // innermost, or null when none is open.
    static constexpr size_t kInline = 16;
    Frame inline_[kInline];
    std::vector<Frame> spill_;
    Frame* top_ = nullptr;
    size_t depth_ = 0;
    PyObject* key_ = nullptr;   // the pending key of the innermost dict
    bool key_owned_ = false;    // else borrowed from the module's key objects
    PyObject* done_ = nullptr;  // the finished outermost container
    bool failed_ = false;       // a Python error is set; the rest is ignored
};

#undef VORN_SINK_STEP

}  // namespace vorn::py
