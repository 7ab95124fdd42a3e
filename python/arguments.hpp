// Argument converters of the call path (fastcall.hpp), all of them: the one
// place where arguments are converted. A body declares one converter per
// parameter, in parameter order; the call path converts the
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
// value is the converter's `value` member. A list converted element by
// element while its batch runs (Streamed) is the exception: it has settle(),
// run when a later step fails, which converts its elements then, so that a
// bad element is still reported first.
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
#include "types/keypair.hpp"
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

// A value converted by one function of convert.hpp (or of the dict readers)
// when read.
template <class T, bool (*Read)(PyObject*, const char*, T*)>
struct Arg {
    T value{};
    bool read(PyObject* obj, const char* name) { return Read(obj, name, &value); }
};

// The same for an optional parameter: Read also takes nullptr (omitted).
template <class T, bool (*Read)(PyObject*, const char*, T*)>
struct OptionalArg : Arg<T, Read> {
    static constexpr bool optional = true;
};

// str (viewed in place or copied), bytes (viewed in place), bool only, and
// numbers.
using Text = Arg<std::string_view, to_text>;
using String = Arg<std::string, to_string>;
using Bytes = Arg<std::string_view, to_bytes>;
using Flag = Arg<bool, to_strict_bool>;
using U8 = Arg<uint8_t, to_u8>;
using U64 = Arg<uint64_t, to_u64>;
using F64 = Arg<double, to_f64>;
using OptionalF64 = OptionalArg<std::optional<double>, to_optional_f64>;
// An optional nonce (or base nonce); none means a nonce is drawn.
using Nonce = OptionalArg<std::optional<uint64_t>, to_optional_u64>;
// The optional transfer kind, matched when read.
using Kind = OptionalArg<TransferKind, parse_transfer_kind>;
// A liquidator configuration dict.
using Config = Arg<LiquidatorConfig, parse_liquidator_config>;

// str when read, decoded from the text in the decode step: a public key or a
// network name.
template <class T, bool (*Decode)(std::string_view, T*)>
struct Decoded {
    std::string_view text;
    T value{};
    bool read(PyObject* obj, const char* name) { return to_text(obj, name, &text); }
    bool decode() { return Decode(text, &value); }
};

using Key = Decoded<Pubkey, decode_pubkey>;
using Domain = Decoded<SignatureDomain, decode_domain>;

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

// ---- arguments of particular functions and methods ----

// A Keypair instance (defined in keypair_type.cpp, which owns the type).
struct KeypairArg {
    const Keypair* value = nullptr;
    bool read(PyObject* obj, const char* name);
};

// The readers of orders below note where in the argument a conversion
// failed (errors.hpp): one order dict, and a list of them.
struct Order {
    OrderItem value;
    bool read(PyObject* obj, const char* name) { return parse_order_item(obj, &value) || fail_in_value(name); }
};

struct OrderList {
    std::vector<OrderItem> value;
    bool read(PyObject* obj, const char* name) { return parse_order_list(obj, name, &value) || fail_in_value(name); }
};

// A list whose elements are converted one at a time, by Element, while its
// batch runs (the batch's read step): the list's own type is checked when
// read, element i is converted by read_element(i) into items[i]. A private
// tuple copy keeps the elements alive while user code runs.
template <class T, bool (*Element)(PyObject*, T*)>
struct Streamed {
    PyRef seq;
    std::vector<T> items;
    const char* name = nullptr;

    bool read(PyObject* obj, const char* argname) {
        name = argname;
        if (!check_list(obj, name)) return false;
        seq = PyRef(PyList_AsTuple(obj));
        if (!seq) return false;
        items.resize(size());
        return true;
    }
    size_t size() const { return seq ? static_cast<size_t>(PyTuple_Size(seq.get())) : 0; }
    bool read_element(size_t i) {
        return Element(PyTuple_GetItem(seq.get(), static_cast<Py_ssize_t>(i)), &items[i]) ||
               fail_in_element(name, i);
    }
    // A later argument has failed: every element is converted now, and the
    // first bad one's error replaces the later argument's, as if the whole
    // list had been converted when read.
    void settle() {
        if (!seq) return;
        PyObject* pending = PyErr_GetRaisedException();
        for (size_t i = 0; i < size(); ++i) {
            if (!read_element(i)) {
                Py_XDECREF(pending);
                return;
            }
        }
        PyErr_SetRaisedException(pending);
    }
};

inline bool order_list_element(PyObject* obj, std::vector<OrderItem>* out) {
    return parse_order_list(obj, nullptr, out);
}

// A list of order dicts, and a list of lists of order dicts, converted
// while their batch runs.
using StreamedOrders = Streamed<OrderItem, parse_order_item>;
using StreamedBatches = Streamed<std::vector<OrderItem>, order_list_element>;

// A sequence of tuples of `Arity` members, each converted by `item`; the
// shapes of all tuples are checked before any member is converted.
template <Py_ssize_t Arity, class T, bool (*Item)(PyObject* tuple, T* out)>
struct Tuples {
    std::vector<T> value;
    bool read(PyObject* obj, const char* name) {
        PyRef holder;
        std::vector<PyObject*> tuples;
        if (!to_tuple_sequence(obj, name, Arity, &holder, &tuples)) return false;
        value.reserve(tuples.size());
        for (PyObject* t : tuples) {
            T x{};
            if (!Item(t, &x)) return false;
            value.push_back(std::move(x));
        }
        return true;
    }
};

inline PyObject* member(PyObject* tuple, Py_ssize_t i) { return PyTuple_GetItem(tuple, i); }

inline bool leverage_pair(PyObject* t, std::pair<std::string, double>* out) {
    return to_string(member(t, 0), nullptr, &out->first) && to_f64(member(t, 1), nullptr, &out->second);
}

inline bool oracle_price(PyObject* t, OraclePrice* p) {
    return to_u64(member(t, 0), nullptr, &p->timestamp) && to_string(member(t, 1), nullptr, &p->symbol) &&
           to_f64(member(t, 2), nullptr, &p->price);
}

inline bool pyth_entry(PyObject* t, PythEntry* e) {
    return to_u64(member(t, 0), nullptr, &e->timestamp) && to_u64(member(t, 1), nullptr, &e->feed_index) &&
           to_u64(member(t, 2), nullptr, &e->price) && to_i16(member(t, 3), nullptr, &e->exponent);
}

using Leverage = Tuples<2, std::pair<std::string, double>, leverage_pair>;
using OraclePrices = Tuples<3, OraclePrice, oracle_price>;
using PythEntries = Tuples<4, PythEntry, pyth_entry>;

// An order dict, wrapped into an on-fill item when it carries "on_fill".
struct OrderWithOnFill {
    OrderItem value;
    bool read(PyObject* obj, const char* name) { return parse_order_with_on_fill(obj, &value) || fail_in_value(name); }
};

// The transfer kind: its type is checked when read, its text after the keys.
struct CheckedKind {
    static constexpr bool optional = true;
    PyObject* obj = nullptr;
    std::optional<std::string_view> text;
    TransferKind value = TransferKind::Internal;
    bool read(PyObject* given, const char* name) {
        obj = given;
        return to_optional_text(given, name, &text);
    }
    bool decode() { return parse_transfer_kind(obj, "kind", &value); }
};

// An order dict in either shape (compute_order_id_from_order).
struct AnyOrder {
    OrderItem value;
    bool read(PyObject* obj, const char* name) {
        return check_dict(obj, name) && (parse_compact_order(obj, &value) || fail_in_value(name));
    }
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

// The settle step of any converter (nothing for those without one).
template <class C>
void settle_step(C& c) {
    if constexpr (requires { c.settle(); }) c.settle();
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
