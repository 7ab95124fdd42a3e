// PySink's cold paths.
#include "action_sink.hpp"

#include "convert.hpp"
#include "results.hpp"

namespace vorn::py {

void PySink::drop_key() {
    if (key_owned_) Py_XDECREF(key_);
    key_ = nullptr;
    key_owned_ = false;
}

void PySink::release_all() {
    for (size_t i = 0; i < depth_; ++i) Py_DECREF(i < kInline ? inline_[i].obj : spill_[i - kInline].obj);
    depth_ = 0;
    top_ = nullptr;
    spill_.clear();
    drop_key();
    Py_CLEAR(done_);
}

void PySink::fail() {
    failed_ = true;
    release_all();
}

void PySink::put_slow(PyObject* v) {
    if (v == nullptr) {
        if (!failed_) fail();  // its making failed
    } else if (failed_) {
        Py_DECREF(v);
    } else {
        // Every value sits inside the outer list: nothing is put outside it.
        Py_DECREF(v);
        PyErr_SetString(PyExc_SystemError, "action JSON value outside a container");
        fail();
    }
}

void PySink::open_slow(PyObject* container) {
    if (container == nullptr) {
        if (!failed_) fail();  // its making failed
    } else {
        Py_DECREF(container);
    }
}

void PySink::open_deep(PyObject* container, bool dict) {
    spill_.push_back({container, dict});
    ++depth_;
    top_ = &spill_.back();
}

void PySink::close_deep() {
    PyObject* c = top_->obj;
    spill_.pop_back();
    --depth_;
    top_ = spill_.empty() ? &inline_[kInline - 1] : &spill_.back();
    Py_DECREF(c);  // its parent holds it
}

PyObject* PySink::take() {
    if (failed_) return nullptr;
    if (done_ == nullptr || top_ != nullptr) {
        PyErr_SetString(PyExc_SystemError, "action list not rendered");
        return nullptr;
    }
    PyObject* out = done_;
    done_ = nullptr;
    return out;
}

void PySink::on_text(std::string_view text, bool literal) {
    put(literal ? literal_to_python(text.data()) : cached_text_to_python(text));
}

}  // namespace vorn::py
