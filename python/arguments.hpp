// Argument converters of the call path (fastcall.hpp). A body declares one
// converter per parameter, in parameter order; the call path converts the
// bound arguments in three steps, each over all parameters in order:
//
//   read(obj, name)   the Python type conversion; obj is nullptr for an
//                     omitted optional parameter, name the parameter's name
//   decode_first()    only converters that have it (First<>)
//   decode()          only converters that have it: value checks, such as
//                     base58 keys, made once every argument has its type
//
// The first step that fails ends the call with its Python error set, so the
// order of the steps decides which of several bad arguments is reported, and
// no nonce is drawn for a call whose arguments do not convert. The converted
// value is the converter's `value` member.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert.hpp"
#include "inputs.hpp"
#include "order_parse.hpp"
#include "types/types.hpp"

namespace vorn::py {

// Any object, unconverted.
struct Object {
    PyObject* value = nullptr;
    bool read(PyObject* obj, const char*) {
        value = obj;
        return true;
    }
};

// str, viewed in place.
struct Text {
    std::string_view value;
    bool read(PyObject* obj, const char* name) { return to_text(obj, name, &value); }
};

// str, copied.
struct String {
    std::string value;
    bool read(PyObject* obj, const char* name) { return to_string(obj, name, &value); }
};

// bytes, viewed in place.
struct Bytes {
    std::string_view value;
    bool read(PyObject* obj, const char* name) { return to_bytes(obj, name, &value); }
};

// A public key: str when read, base58 decoded in the decode step.
struct Key {
    std::string_view text;
    Pubkey value;
    bool read(PyObject* obj, const char* name) { return to_text(obj, name, &text); }
    bool decode() { return decode_pubkey(text, &value); }
};

// An optional public key; None and omission give no key.
struct OptionalKey {
    static constexpr bool optional = true;
    std::optional<std::string_view> text;
    std::optional<Pubkey> value;
    bool read(PyObject* obj, const char* name) { return to_optional_text(obj, name, &text); }
    bool decode() {
        if (!text) return true;
        Pubkey key;
        if (!decode_pubkey(*text, &key)) return false;
        value = key;
        return true;
    }
};

// A network name: str when read, matched in the decode step.
struct Domain {
    std::string_view text;
    SignatureDomain value = SignatureDomain::Mainnet;
    bool read(PyObject* obj, const char* name) { return to_text(obj, name, &text); }
    bool decode() { return decode_domain(text, &value); }
};

// bool only.
struct Flag {
    bool value = false;
    bool read(PyObject* obj, const char* name) { return to_strict_bool(obj, name, &value); }
};

struct U8 {
    uint8_t value = 0;
    bool read(PyObject* obj, const char* name) { return to_u8(obj, name, &value); }
};

struct U64 {
    uint64_t value = 0;
    bool read(PyObject* obj, const char* name) { return to_u64(obj, name, &value); }
};

struct F64 {
    double value = 0.0;
    bool read(PyObject* obj, const char* name) { return to_f64(obj, name, &value); }
};

struct OptionalF64 {
    static constexpr bool optional = true;
    std::optional<double> value;
    bool read(PyObject* obj, const char* name) { return to_optional_f64(obj, name, &value); }
};

// An optional nonce (or base nonce); none means the signer draws one.
struct Nonce {
    static constexpr bool optional = true;
    std::optional<uint64_t> value;
    bool read(PyObject* obj, const char* name) { return to_optional_u64(obj, name, &value); }
};

// The optional transfer kind, matched when read.
struct Kind {
    static constexpr bool optional = true;
    TransferKind value = TransferKind::Internal;
    bool read(PyObject* obj, const char*) { return parse_transfer_kind(obj, &value); }
};

// A list of order dicts.
struct OrderList {
    std::vector<OrderItem> value;
    bool read(PyObject* obj, const char* name) { return parse_order_list(obj, name, &value); }
};

// A liquidator configuration dict.
struct Config {
    LiquidatorConfig value;
    bool read(PyObject* obj, const char* name) { return parse_liquidator_config(obj, name, &value); }
};

// The decode step of any converter (true for those without one).
template <class C>
bool decode_step(C& c) {
    if constexpr (requires { c.decode(); }) {
        return c.decode();
    } else {
        return true;
    }
}

// C decoded in the decode_first step, before the other converters decode.
template <class C>
struct First : C {
    bool decode_first() { return decode_step(static_cast<C&>(*this)); }
    bool decode() { return true; }
};

// C read and decoded only in the decode step, after every other argument has
// been read.
template <class C>
struct Late : C {
    PyObject* late_obj = nullptr;
    const char* late_name = nullptr;
    bool read(PyObject* obj, const char* name) {
        late_obj = obj;
        late_name = name;
        return true;
    }
    bool decode() { return C::read(late_obj, late_name) && decode_step(static_cast<C&>(*this)); }
};

// Whether a converter's parameter may be omitted.
template <class C>
constexpr bool is_optional() {
    if constexpr (requires { C::optional; }) {
        return C::optional;
    } else {
        return false;
    }
}

}  // namespace vorn::py
