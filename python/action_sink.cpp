// PySink's cold paths and its cache of short texts.
#include "action_sink.hpp"

#include <cstdint>
#include <cstring>

#include "convert.hpp"
#include "results.hpp"

namespace vorn::py {
namespace {

// The str objects of short texts the renderer is handed at run time (a
// symbol, a user-settings key), by content: the same few come back in every
// rendering. Bounded; an entry stays once made, a text that finds its slots
// taken is made each time. The objects are the module's own, never interned
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

PyObject* PySink::owned_text(std::string_view text) { return short_text(text); }

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
    put(literal ? literal_to_python(text.data()) : short_text(text));
}

}  // namespace vorn::py
