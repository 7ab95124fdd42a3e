// Module functions of the signing surface: random client hashes, unique
// timestamps, key and hash validation, and order ids without a private key.
#include "functions.hpp"

#include <vector>

#include "binder.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "keypair.hpp"
#include "nonce.hpp"
#include "order_parse.hpp"
#include "results.hpp"
#include "sdk_compat.hpp"

namespace vorn::py {
namespace {

PyObject* py_random_hash(PyObject*, PyObject*) {
    return call_guarded([&]() -> PyObject* { return text_to_python(vorn::random_hash()); });
}

PyObject* py_current_timestamp(PyObject*, PyObject*) {
    vorn::Timed<uint64_t> t = vorn::unique_timestamp();
    if (!t) return raise_fault(t.error());
    return PyLong_FromUnsignedLongLong(*t);
}

const char* const kTextParams[] = {"s"};
const FunctionSpec kValidatePubkey{"validate_pubkey", kTextParams, 1, 1};
const FunctionSpec kValidateHash{"validate_hash", kTextParams, 1, 1};

PyObject* py_validate_pubkey(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[1];
        std::string_view text;
        if (!bind_args(kValidatePubkey, args, nargs, kwnames, a) || !to_text(a[0], "s", &text)) return nullptr;
        return PyBool_FromLong(vorn::validate_pubkey(text));
    });
}

PyObject* py_validate_hash(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[1];
        std::string_view text;
        if (!bind_args(kValidateHash, args, nargs, kwnames, a) || !to_text(a[0], "s", &text)) return nullptr;
        return PyBool_FromLong(vorn::validate_hash(text));
    });
}

const char* const kRawParams[] = {"wincode_bytes"};
const FunctionSpec kComputeOrderId{"compute_order_id", kRawParams, 1, 1};

PyObject* py_compute_order_id(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[1];
        std::string_view raw;
        if (!bind_args(kComputeOrderId, args, nargs, kwnames, a) || !to_bytes(a[0], "wincode_bytes", &raw)) {
            return nullptr;
        }
        vorn::Hash h = vorn::compute_order_id(reinterpret_cast<const uint8_t*>(raw.data()), raw.size());
        return text_to_python(h.to_base58());
    });
}

const char* const kFromOrderParams[] = {"order", "nonce", "account"};
const FunctionSpec kFromOrder{"compute_order_id_from_order", kFromOrderParams, 3, 3};

PyObject* py_compute_order_id_from_order(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[3];
        if (!bind_args(kFromOrder, args, nargs, kwnames, a)) return nullptr;
        uint64_t nonce = 0;
        std::string_view account_text;
        if (!to_u64(a[1], "nonce", &nonce) || !to_text(a[2], "account", &account_text) ||
            !check_dict(a[0], "order")) {
            return nullptr;
        }
        vorn::OrderItem item;
        vorn::Pubkey account;
        if (!parse_compact_order(a[0], &item) || !decode_pubkey(account_text, &account)) return nullptr;
        std::vector<uint8_t> scratch;
        scratch.reserve(96);
        std::optional<vorn::Hash> id = vorn::compute_order_item_id_with_seqno(item, 0, nonce, account, scratch);
        if (!id) Py_RETURN_NONE;
        return text_to_python(id->to_base58());
    });
}

template <class F>
PyCFunction as_cfunction(F* f) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f));
}

constexpr int kFast = METH_FASTCALL | METH_KEYWORDS;

}  // namespace
}  // namespace vorn::py

PyMethodDef vorn_signing_methods[] = {
    {"random_hash", vorn::py::py_random_hash, METH_NOARGS,
     "random_hash()\n--\n\nGenerate a random hash (for client order IDs)"},
    {"current_timestamp", vorn::py::py_current_timestamp, METH_NOARGS,
     "current_timestamp()\n--\n\nGet the current Unix timestamp in nanoseconds"},
    {"validate_pubkey", vorn::py::as_cfunction(vorn::py::py_validate_pubkey), vorn::py::kFast,
     "validate_pubkey(s)\n--\n\nValidate a base58-encoded public key"},
    {"validate_hash", vorn::py::as_cfunction(vorn::py::py_validate_hash), vorn::py::kFast,
     "validate_hash(s)\n--\n\nValidate a base58-encoded hash"},
    {"compute_order_id", vorn::py::as_cfunction(vorn::py::py_compute_order_id), vorn::py::kFast,
     "compute_order_id(wincode_bytes)\n--\n\n"
     "Compute SHA256 hash from raw bytes.\n\n"
     "This is a raw utility and does not apply VORN order-ID canonicalization."},
    {"compute_order_id_from_order", vorn::py::as_cfunction(vorn::py::py_compute_order_id_from_order),
     vorn::py::kFast,
     "compute_order_id_from_order(order, nonce, account)\n--\n\n"
     "Compute order ID from an order JSON object without a private key.\n\n"
     "Supports:\n"
     "- simplified shape: {\"type\": \"order\", ...}\n"
     "- compact API shape: {\"l\": {...}} / {\"m\": {...}}\n\n"
     "Returns `None` for non-order actions (cancel/modify/cancel-all)."},
    {nullptr, nullptr, 0, nullptr},
};
