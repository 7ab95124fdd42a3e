// Module functions of the signing surface: random client hashes, unique
// timestamps, key and hash validation, and order ids without a private key.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <optional>
#include <string>
#include <vector>

#include "arguments.hpp"
#include "binder.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "fastcall.hpp"
#include "module.hpp"
#include "types/keypair.hpp"
#include "nonce/nonce.hpp"
#include "order_parse.hpp"
#include "results.hpp"
#include "sdk_compat/sdk_compat.hpp"

namespace vorn::py {
namespace {

PyObject* py_random_hash(PyObject*, PyObject*) {
    return call_guarded([&]() -> PyObject* { return text_to_python(vorn::random_hash()); });
}

PyObject* py_current_timestamp(PyObject*, PyObject*) {
    vorn::Result<uint64_t> t = vorn::unique_timestamp();
    if (!t) return raise_core_error(t.error());
    return PyLong_FromUnsignedLongLong(*t);
}

constexpr const char* kTextParams[] = {"s"};
constexpr CallSignature kValidatePubkey{"validate_pubkey", kTextParams, 1, 1};
constexpr CallSignature kValidateHash{"validate_hash", kTextParams, 1, 1};

bool validate_pubkey(Text s) { return vorn::validate_pubkey(s.value); }
bool validate_hash(Text s) { return vorn::validate_hash(s.value); }

constexpr const char* kRawParams[] = {"wincode_bytes"};
constexpr CallSignature kComputeOrderId{"compute_order_id", kRawParams, 1, 1};

std::string compute_order_id(Bytes raw) {
    return vorn::compute_order_id(reinterpret_cast<const uint8_t*>(raw.value.data()), raw.value.size()).to_base58();
}

constexpr const char* kFromOrderParams[] = {"order", "nonce", "account"};
constexpr CallSignature kFromOrder{"compute_order_id_from_order", kFromOrderParams, 3, 3};

// Unusual: the order is read after the nonce and the account text have
// converted, and before the account decodes.
PyObject* compute_order_id_from_order(Late<AnyOrder> order, U64 nonce, Key account) {
    std::vector<uint8_t> scratch;
    scratch.reserve(96);
    std::optional<vorn::Hash> id =
        vorn::compute_order_item_id_with_seqno(order.value, 0, nonce.value, account.value, scratch);
    if (!id) Py_RETURN_NONE;
    return text_to_python(id->to_base58());
}

}  // namespace

PyMethodDef signing_functions[] = {
    {"random_hash", py_random_hash, METH_NOARGS, "random_hash()\n--\n\nGenerate a random hash (for client order IDs)"},
    {"current_timestamp", py_current_timestamp, METH_NOARGS,
     "current_timestamp()\n--\n\nGet the current Unix timestamp in nanoseconds"},
    {"validate_pubkey", fastcall<kValidatePubkey, validate_pubkey>(), kFastCall,
     "validate_pubkey(s)\n--\n\nValidate a base58-encoded public key"},
    {"validate_hash", fastcall<kValidateHash, validate_hash>(), kFastCall,
     "validate_hash(s)\n--\n\nValidate a base58-encoded hash"},
    {"compute_order_id", fastcall<kComputeOrderId, compute_order_id>(), kFastCall,
     "compute_order_id(wincode_bytes)\n--\n\n"
     "Compute SHA256 hash from raw bytes.\n\n"
     "This is a raw utility and does not apply VORN order-ID canonicalization."},
    {"compute_order_id_from_order", fastcall<kFromOrder, compute_order_id_from_order>(), kFastCall,
     "compute_order_id_from_order(order, nonce, account)\n--\n\n"
     "Compute order ID from an order JSON object without a private key.\n\n"
     "Supports:\n"
     "- simplified shape: {\"type\": \"order\", ...}\n"
     "- compact API shape: {\"l\": {...}} / {\"m\": {...}}\n\n"
     "Returns `None` for non-order actions (cancel/modify/cancel-all)."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace vorn::py
