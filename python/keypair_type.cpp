// The Keypair class.

#include <sodium.h>

#include <string>

#include "arguments.hpp"
#include "binder.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "fastcall.hpp"
#include "module.hpp"
#include "results.hpp"

namespace vorn::py {
namespace {

struct KeypairObject {
    PyObject_HEAD
    vorn::Keypair* kp;
};

PyTypeObject* g_keypair_type = nullptr;

KeypairObject* as_keypair(PyObject* self) { return reinterpret_cast<KeypairObject*>(self); }

// A new instance of `type` owning a copy of kp.
PyObject* wrap(PyTypeObject* type, const vorn::Keypair& kp) {
    PyRef obj(alloc_instance(type));
    if (!obj) return nullptr;
    as_keypair(obj.get())->kp = new vorn::Keypair(kp);
    return obj.release();
}

PyObject* wrap_result(PyTypeObject* type, const vorn::Result<vorn::Keypair>& r) {
    if (!r) return raise_core_error(r.error());
    return wrap(type, *r);
}

PyObject* from_text(PyTypeObject* type, std::string_view text) {
    return wrap_result(type, vorn::Keypair::from_base58(text));
}

PyObject* from_raw(PyTypeObject* type, std::string_view raw) {
    return wrap_result(type, vorn::Keypair::from_bytes(reinterpret_cast<const uint8_t*>(raw.data()), raw.size()));
}

// Keypair(*args): no argument generates a key, one str or bytes decodes it.
PyObject* keypair_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return call_guarded([&]() -> PyObject* {
        if (kwargs != nullptr && PyDict_Size(kwargs) != 0) {
            return raise_type_error("Keypair() takes no keyword arguments");
        }
        Py_ssize_t n = PyTuple_Size(args);
        if (n > 1) return raise_type_error("expected at most one key");
        if (n == 0) return wrap_result(type, vorn::Keypair::generate());
        PyObject* key = PyTuple_GetItem(args, 0);
        if (PyUnicode_Check(key)) {
            std::string_view text;
            if (!to_text(key, "key", &text)) return nullptr;
            return from_text(type, text);
        }
        if (PyBytes_Check(key)) {
            std::string_view raw;
            if (!to_bytes(key, "key", &raw)) return nullptr;
            return from_raw(type, raw);
        }
        return raise_type_error("key must be a base58 string or bytes");
    });
}

constexpr const char* kFromBase58Params[] = {"s"};
constexpr CallSignature kFromBase58{"Keypair.from_base58", kFromBase58Params, 1, 1};

PyObject* keypair_from_base58(Text text) { return from_text(g_keypair_type, text.value); }

constexpr const char* kFromBytesParams[] = {"bytes"};
constexpr CallSignature kFromBytes{"Keypair.from_bytes", kFromBytesParams, 1, 1};

PyObject* keypair_from_bytes(Bytes raw) { return from_raw(g_keypair_type, raw.value); }

PyObject* keypair_pubkey(PyObject* self, void*) {
    return call_guarded([&]() -> PyObject* { return text_to_python(as_keypair(self)->kp->pubkey().to_base58()); });
}

PyObject* keypair_to_base58(PyObject* self, PyObject*) {
    return call_guarded([&]() -> PyObject* {
        std::string text = as_keypair(self)->kp->to_base58();
        PyObject* r = text_to_python(text);
        sodium_memzero(text.data(), text.size());
        return r;
    });
}

PyObject* keypair_to_bytes(PyObject* self, PyObject*) {
    std::array<uint8_t, 64> raw = as_keypair(self)->kp->to_bytes();
    PyObject* r = PyBytes_FromStringAndSize(reinterpret_cast<const char*>(raw.data()), 64);
    sodium_memzero(raw.data(), raw.size());
    return r;
}

PyObject* keypair_secret_key(PyObject* self, PyObject*) {
    const auto& seed = as_keypair(self)->kp->seed();
    return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(seed.data()), 32);
}

PyObject* keypair_repr(PyObject* self) {
    return call_guarded([&]() -> PyObject* {
        return text_to_python("Keypair(pubkey='" + as_keypair(self)->kp->pubkey().to_base58() + "')");
    });
}

PyObject* keypair_str(PyObject* self) { return keypair_pubkey(self, nullptr); }

PyMethodDef kKeypairMethods[] = {
    {"from_base58", fastcall<kFromBase58, keypair_from_base58>(), kFastCall | METH_STATIC,
     "from_base58(s)\n--\n\nCreate from base58-encoded secret key or full keypair"},
    {"from_bytes", fastcall<kFromBytes, keypair_from_bytes>(), kFastCall | METH_STATIC,
     "from_bytes(bytes)\n--\n\nCreate from raw bytes (32-byte secret or 64-byte keypair)"},
    {"to_base58", keypair_to_base58, METH_NOARGS,
     "to_base58($self)\n--\n\nGet the full keypair as base58 (64 bytes)"},
    {"to_bytes", keypair_to_bytes, METH_NOARGS, "to_bytes($self)\n--\n\nGet the full keypair as bytes (64 bytes)"},
    {"secret_key", keypair_secret_key, METH_NOARGS,
     "secret_key($self)\n--\n\nGet the secret key as bytes (32 bytes)"},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kKeypairGetSet[] = {
    {"pubkey", keypair_pubkey, nullptr, "Get the public key as base58 string", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot kKeypairSlots[] = {
    {Py_tp_doc, const_cast<char*>("Keypair(*args)\n--\n\nEd25519 keypair for signing transactions")},
    {Py_tp_new, reinterpret_cast<void*>(keypair_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_owner<KeypairObject, &KeypairObject::kp>)},
    {Py_tp_methods, kKeypairMethods},
    {Py_tp_getset, kKeypairGetSet},
    {Py_tp_repr, reinterpret_cast<void*>(keypair_repr)},
    {Py_tp_str, reinterpret_cast<void*>(keypair_str)},
    {0, nullptr},
};

PyType_Spec kKeypairTypeDef = {
    "vorn_keychain._native.Keypair",
    sizeof(KeypairObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
    kKeypairSlots,
};

}  // namespace

PyObject* create_keypair_type() { return create_type(kKeypairTypeDef, g_keypair_type); }

bool KeypairArg::read(PyObject* obj, const char* name) {
    if (g_keypair_type == nullptr || !PyObject_TypeCheck(obj, g_keypair_type)) return wrong_type(obj, name, "Keypair");
    value = as_keypair(obj)->kp;
    return true;
}

}  // namespace vorn::py
