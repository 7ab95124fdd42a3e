// PySink: containers are built as the renderer opens them and filled in
// place; a failure (out of memory) sets the Python error once and the rest of
// the rendering is dropped.
#include "action_sink.hpp"

#include <cstdint>
#include <cstring>

#include "results.hpp"

namespace vorn::py {
namespace {

// The str objects of short keys and short texts, by content: the same few
// dozen names ("c", "sz", "GTC", a symbol) come back in every rendering.
// Bounded; an entry stays once made, a text that finds its slots taken is
// made each time. The objects are the module's own, never interned
// (interning could hand back, and keep alive, a str the caller owns).
constexpr size_t kSlots = 256;
constexpr size_t kProbes = 4;
constexpr size_t kMaxCachedText = 23;

struct TextSlot {
    PyObject* obj;
    uint8_t len;
    char text[kMaxCachedText];
};
TextSlot g_texts[kSlots];

size_t text_hash(std::string_view t) {
    uint32_t h = 2166136261u;  // FNV-1a
    for (char c : t) h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
    return h;
}

PyObject* short_text(std::string_view t) {
    if (t.size() > kMaxCachedText) return text_to_python(t);
    const size_t h = text_hash(t);
    TextSlot* free_slot = nullptr;
    for (size_t p = 0; p < kProbes; ++p) {
        TextSlot& slot = g_texts[(h + p) % kSlots];
        if (slot.obj == nullptr) {
            if (free_slot == nullptr) free_slot = &slot;
            continue;
        }
        if (slot.len == t.size() && std::memcmp(slot.text, t.data(), t.size()) == 0) return Py_NewRef(slot.obj);
    }
    PyObject* obj = text_to_python(t);
    if (obj != nullptr && free_slot != nullptr) {
        free_slot->obj = Py_NewRef(obj);
        free_slot->len = static_cast<uint8_t>(t.size());
        std::memcpy(free_slot->text, t.data(), t.size());
    }
    return obj;
}

}  // namespace

PySink::~PySink() { release_all(); }

void PySink::release_all() {
    for (size_t i = 0; i < depth_; ++i) Py_DECREF(i < kInline ? inline_[i] : spill_[i - kInline]);
    depth_ = 0;
    spill_.clear();
    Py_CLEAR(key_);
    Py_CLEAR(done_);
}

PyObject* PySink::take() {
    if (failed_) return nullptr;
    if (done_ == nullptr || depth_ != 0) {
        PyErr_SetString(PyExc_SystemError, "action list not rendered");
        return nullptr;
    }
    PyObject* out = done_;
    done_ = nullptr;
    return out;
}

void PySink::on_key(std::string_view key) {
    if (failed_) return;
    Py_XDECREF(key_);
    key_ = short_text(key);
    if (key_ == nullptr) {
        failed_ = true;
        release_all();
    }
}

void PySink::on_u64(uint64_t u) {
    // Beyond the signed 64-bit range the nearest double, as a float.
    put(u > static_cast<uint64_t>(INT64_MAX) ? PyFloat_FromDouble(static_cast<double>(u))
                                             : PyLong_FromUnsignedLongLong(u));
}

void PySink::on_text(std::string_view text) { put(short_text(text)); }

void PySink::put(PyObject* v) {
    if (failed_) {
        Py_XDECREF(v);
        return;
    }
    bool ok = v != nullptr;
    if (ok && depth_ == 0) {
        Py_XDECREF(done_);
        done_ = v;
        return;
    }
    if (ok) {
        PyObject* top = depth_ <= kInline ? inline_[depth_ - 1] : spill_[depth_ - 1 - kInline];
        if (PyDict_Check(top)) {
            ok = PyDict_SetItem(top, key_, v) == 0;
        } else {
            ok = PyList_Append(top, v) == 0;
        }
        Py_DECREF(v);
    }
    if (!ok) {
        failed_ = true;
        release_all();
    }
}

void PySink::open(PyObject* container) {
    if (failed_) {
        Py_XDECREF(container);
        return;
    }
    if (container == nullptr) {
        failed_ = true;
        release_all();
        return;
    }
    // Placed in its parent now (a new reference kept for the stack), filled
    // in place afterwards.
    put(Py_NewRef(container));
    if (failed_) {
        Py_DECREF(container);
        return;
    }
    if (done_ == container) {
        Py_DECREF(container);  // the outermost one: held as done_ already
        done_ = nullptr;
    }
    if (depth_ < kInline) {
        inline_[depth_] = container;
    } else {
        spill_.push_back(container);
    }
    ++depth_;
}

void PySink::close() {
    if (failed_ || depth_ == 0) return;
    --depth_;
    PyObject* c = depth_ < kInline ? inline_[depth_] : spill_.back();
    if (depth_ >= kInline) spill_.pop_back();
    if (depth_ == 0) {
        Py_XDECREF(done_);
        done_ = c;  // the stack's reference becomes the result's
    } else {
        Py_DECREF(c);  // its parent holds it
    }
}

}  // namespace vorn::py
