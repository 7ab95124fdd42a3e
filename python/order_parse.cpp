// Order dicts, simplified and compact, to core order items. Keys are read in
// a fixed order and each is converted before the next is looked at, so the
// first missing or malformed key decides the error. A failure records, on its
// way out, the key whose value failed and the index of a failing list element
// (errors.hpp, fail_at_key / fail_at_index), for the note naming where.
#include "order_parse.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "convert.hpp"
#include "errors.hpp"
#include "inputs.hpp"
#include "sdk_compat/sdk_compat.hpp"

namespace vorn::py {
namespace {

bool missing(const char* message) {
    raise_value_error(message);
    return false;
}

// The value under a required key, or ValueError `message` when absent.
bool required(PyObject* d, const char* key, const char* message, PyRef* out) {
    *out = dict_get(d, key);
    return *out ? true : missing(message);
}

bool order_id_from(PyObject* value, vorn::Hash* out) {
    std::string_view text;
    return to_text(value, nullptr, &text) && decode_hash(text, out);
}

bool parse_item_list(PyObject* value, std::vector<vorn::OrderItem>* out);

// One dict field's value, converted by the type of `out`.
bool read_field(PyObject* v, std::string* out) { return to_string(v, nullptr, out); }
bool read_field(PyObject* v, bool* out) { return to_strict_bool(v, nullptr, out); }
bool read_field(PyObject* v, double* out) { return to_f64(v, nullptr, out); }
bool read_field(PyObject* v, uint32_t* out) { return to_u32(v, nullptr, out); }
bool read_field(PyObject* v, vorn::Hash* out) { return order_id_from(v, out); }
bool read_field(PyObject* v, vorn::OrderItem* out) { return parse_order_item(v, out); }
bool read_field(PyObject* v, std::vector<vorn::OrderItem>* out) { return parse_item_list(v, out); }

// The required keys of one order dict, each converted as it is read. An
// absent key raises ValueError "Missing '<prefix><key>'", the prefix naming
// the dict in the compact shape ("l." for the limit order's "c").
struct Fields {
    PyObject* d;
    const char* prefix = "";

    bool value(const char* key, PyRef* out) const {
        *out = dict_get(d, key);
        if (*out) return true;
        PyErr_Format(PyExc_ValueError, "Missing '%s%s'", prefix, key);
        return false;
    }
    template <class T>
    bool get(const char* key, T* out) const {
        PyRef v;
        return value(key, &v) && (read_field(v.get(), out) || fail_at_key(key));
    }
};

// An optional key: absent gives none; any value present is converted.
template <class T>
bool optional_field(PyObject* d, const char* key, std::optional<T>* out) {
    out->reset();
    PyRef v = dict_get(d, key);
    if (!v) return true;
    T x{};
    if (!read_field(v.get(), &x)) return fail_at_key(key);
    *out = std::move(x);
    return true;
}

// Stores a parsed item.
template <class T>
bool emit(T&& item, vorn::OrderItem* out) {
    *out = std::forward<T>(item);
    return true;
}

bool lenient_bool_field(PyObject* d, const char* key) {
    PyRef v = dict_get(d, key);
    return v && lenient_bool(v.get());
}

double number_or_nan_field(PyObject* d, const char* key) {
    PyRef v = dict_get(d, key);
    return v ? number_or_nan(v.get()) : std::nan("");
}

bool builder_code_field(PyObject* d, std::optional<vorn::Commission>* out) {
    PyRef v = dict_get(d, "builder_code");
    return parse_builder_code(v.get(), out) || fail_at_key("builder_code");
}

bool refuse_commission(PyObject* d) {
    if (dict_has(d, "commission")) return missing("commission was renamed to builder_code");
    return true;
}

// A sequence of str; anything else (a single str, a non-string element)
// gives the empty list.
std::vector<std::string> symbol_list(PyObject* value) {
    std::vector<std::string> out;
    if (value == nullptr || PyUnicode_Check(value) || !(PyList_Check(value) || PyTuple_Check(value))) {
        return out;
    }
    PyRef items(PyList_Check(value) ? PyList_AsTuple(value) : Py_NewRef(value));
    if (!items) {
        PyErr_Clear();
        return out;
    }
    Py_ssize_t n = PyTuple_Size(items.get());
    out.reserve(static_cast<size_t>(n));
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject* s = PyTuple_GetItem(items.get(), i);
        Py_ssize_t len = 0;
        const char* p = PyUnicode_Check(s) ? PyUnicode_AsUTF8AndSize(s, &len) : nullptr;
        if (p == nullptr) {
            PyErr_Clear();
            return {};
        }
        out.emplace_back(p, static_cast<size_t>(len));
    }
    return out;
}

// A time-in-force text, upper-cased the way str.upper() does it.
bool upper_case(PyObject* text, std::string* out) {
    // ASCII text (its UTF-8 bytes are all below 0x80) is upper-cased here.
    Py_ssize_t len = 0;
    const char* p = PyUnicode_AsUTF8AndSize(text, &len);
    if (p != nullptr && std::all_of(p, p + len, [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        out->assign(p, static_cast<size_t>(len));
        for (char& c : *out) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        return true;
    }
    if (p == nullptr) PyErr_Clear();  // not UTF-8 encodable: str.upper() and the conversion after it say why
    PyRef upper(PyObject_CallMethod(text, "upper", nullptr));
    return upper && to_string(upper.get(), nullptr, out);
}

// "tif" of a limit order: a str taken as is (anything else is GTC), matched
// after upper-casing; `invalid_prefix` + the original text when unknown.
bool parse_tif(PyObject* value, const char* invalid_prefix, vorn::TimeInForce* out) {
    *out = vorn::TimeInForce::GTC;
    if (value == nullptr || !PyUnicode_Check(value)) return true;
    std::string upper;
    if (!upper_case(value, &upper)) return false;
    if (upper == "GTC") return true;
    if (upper == "IOC") {
        *out = vorn::TimeInForce::IOC;
        return true;
    }
    if (upper == "ALO") {
        *out = vorn::TimeInForce::ALO;
        return true;
    }
    std::string original;
    if (!to_string(value, nullptr, &original)) return false;
    raise_value_error(invalid_prefix + original);
    return false;
}

bool parse_order_type(PyObject* value, vorn::OrderType* out) {
    if (!check_dict(value, nullptr)) return false;
    PyRef type_obj;
    if (!required(value, "type", "Missing order_type.type", &type_obj)) return false;
    std::string type;
    if (!to_string(type_obj.get(), nullptr, &type)) return fail_at_key("type");
    if (type == "limit") {
        PyRef tif_obj = dict_get(value, "tif");
        vorn::TimeInForce tif;
        if (!parse_tif(tif_obj.get(), "Invalid tif: ", &tif)) return fail_at_key("tif");
        *out = vorn::LimitType{tif};
        return true;
    }
    if (type == "trigger" || type == "market") {
        PyRef is_market = dict_get(value, "is_market");
        PyRef trigger_px = dict_get(value, "trigger_px");
        vorn::TriggerType t;
        t.is_market = !is_market || lenient_market_flag(is_market.get());
        t.trigger_price = trigger_px ? number_or_zero(trigger_px.get()) : 0.0;
        *out = t;
        return true;
    }
    raise_value_error("Invalid order_type: " + type);
    return fail_at_key("type");
}

bool parse_order(PyObject* d, vorn::OrderItem* out) {
    const Fields f{d};
    vorn::Order o;
    if (!f.get("symbol", &o.symbol) || !f.get("is_buy", &o.is_buy) || !f.get("price", &o.price) ||
        !f.get("size", &o.size)) {
        return false;
    }
    o.reduce_only = lenient_bool_field(d, "reduce_only");
    o.iso = lenient_bool_field(d, "iso");
    o.order_type = vorn::LimitType{vorn::TimeInForce::GTC};
    PyRef order_type = dict_get(d, "order_type");
    if (order_type && !parse_order_type(order_type.get(), &o.order_type)) return fail_at_key("order_type");
    if (!optional_field(d, "client_id", &o.client_id) || !refuse_commission(d) ||
        !builder_code_field(d, &o.commission) || !optional_field(d, "slippage", &o.slippage)) {
        return false;
    }
    return emit(std::move(o), out);
}

// The cancel of either shape: its symbol and order id under the given keys.
bool parse_cancel(const Fields& f, const char* symbol_key, const char* id_key, vorn::OrderItem* out) {
    vorn::Cancel c;
    if (!f.get(symbol_key, &c.symbol) || !f.get(id_key, &c.order_id)) return false;
    return emit(std::move(c), out);
}

bool parse_modify(PyObject* d, vorn::OrderItem* out) {
    const Fields f{d};
    vorn::Modify m;
    // A copy: the dict may drop the text while the amount converts.
    std::string oid_text;
    if (!f.get("symbol", &m.symbol) || !f.get("order_id", &oid_text) || !f.get("amount", &m.size)) return false;
    // The id's base58 is checked only after the amount has been read.
    if (!decode_hash(oid_text, &m.order_id)) return fail_at_key("order_id");
    return emit(std::move(m), out);
}

// The fields a trigger item ends with: "iso" and "builder_code".
template <class T>
bool emit_trigger(PyObject* d, T t, vorn::OrderItem* out) {
    t.iso = lenient_bool_field(d, "iso");
    if (!builder_code_field(d, &t.commission)) return false;
    return emit(std::move(t), out);
}

// Stop and take-profit items.
template <class T>
bool parse_tpsl(PyObject* d, vorn::OrderItem* out) {
    const Fields f{d};
    T t;
    if (!f.get("symbol", &t.symbol) || !f.get("is_buy", &t.is_buy) || !f.get("size", &t.size) ||
        !f.get("trigger_price", &t.trigger_price)) {
        return false;
    }
    t.limit_price = number_or_nan_field(d, "limit_price");
    return emit_trigger(d, std::move(t), out);
}

bool parse_range(PyObject* d, vorn::OrderItem* out) {
    const Fields f{d};
    vorn::RangeOco r;
    if (!f.get("symbol", &r.symbol) || !f.get("is_buy", &r.is_buy) || !f.get("size", &r.size) ||
        !f.get("pmin", &r.pmin) || !f.get("pmax", &r.pmax)) {
        return false;
    }
    r.lmin = number_or_nan_field(d, "lmin");
    r.lmax = number_or_nan_field(d, "lmax");
    return emit_trigger(d, std::move(r), out);
}

bool parse_trailing(PyObject* d, vorn::OrderItem* out) {
    const Fields f{d};
    vorn::TrailingStop t;
    if (!f.get("symbol", &t.symbol) || !f.get("is_buy", &t.is_buy) || !f.get("size", &t.size) ||
        !f.get("trail_bps", &t.trail_bps) || !f.get("step_bps", &t.step_bps)) {
        return false;
    }
    PyRef limit = dict_get(d, "limit_price");
    if (limit) t.limit_price = number_or_none(limit.get());
    return emit_trigger(d, std::move(t), out);
}

bool parse_trigger_basket(PyObject* d, vorn::OrderItem* out) {
    if (dict_has(d, "iso")) return missing("trig.iso is not supported; remove the top-level iso field");
    const Fields f{d};
    vorn::TriggerBasket t;
    if (!f.get("symbol", &t.symbol) || !f.get("is_buy", &t.is_buy) || !f.get("trigger_price", &t.trigger_price) ||
        !f.get("actions", &t.actions)) {
        return false;
    }
    return emit(std::move(t), out);
}

bool parse_on_fill(PyObject* d, vorn::OrderItem* out) {
    const Fields f{d};
    vorn::OrderItem trigger;
    if (!f.get("trigger", &trigger)) return false;
    vorn::OnFill of;
    of.trigger = vorn::Box<vorn::OrderItem>(std::move(trigger));
    if (!f.get("actions", &of.actions)) return false;
    return emit(std::move(of), out);
}

bool parse_simplified(PyObject* d, vorn::OrderItem* out) {
    PyRef type_obj;
    std::string type;
    if (!required(d, "type", "Missing 'type' field", &type_obj)) return false;
    if (!to_string(type_obj.get(), nullptr, &type)) return fail_at_key("type");
    if (type == "order") return parse_order(d, out);
    if (type == "cancel") return parse_cancel(Fields{d}, "symbol", "order_id", out);
    if (type == "modify") return parse_modify(d, out);
    if (type == "cancel_all") {
        PyRef symbols = dict_get(d, "symbols");
        return emit(vorn::CancelAll{symbol_list(symbols.get())}, out);
    }
    if (type == "stop" || type == "st") return parse_tpsl<vorn::Stop>(d, out);
    if (type == "take_profit" || type == "tp") return parse_tpsl<vorn::TakeProfit>(d, out);
    if (type == "range" || type == "rng") return parse_range(d, out);
    if (type == "trailing_stop" || type == "trl") return parse_trailing(d, out);
    if (type == "trig") return parse_trigger_basket(d, out);
    if (type == "on_fill" || type == "of") return parse_on_fill(d, out);
    raise_value_error("Invalid item type: " + type);
    return fail_at_key("type");
}

bool parse_item_list(PyObject* value, std::vector<vorn::OrderItem>* out) {
    out->clear();
    if (!check_list(value, nullptr)) return false;
    // A tuple copy keeps the elements alive while user code runs.
    PyRef items(PyList_AsTuple(value));
    if (!items) return false;
    Py_ssize_t n = PyTuple_Size(items.get());
    out->reserve(static_cast<size_t>(n));
    for (Py_ssize_t i = 0; i < n; ++i) {
        vorn::OrderItem item;
        if (!parse_order_item(PyTuple_GetItem(items.get(), i), &item)) return fail_at_index(static_cast<size_t>(i));
        out->push_back(std::move(item));
    }
    return true;
}

// ---- compact API shape ----

bool compact_limit(PyObject* d, vorn::OrderItem* out) {
    const Fields f{d, "l."};
    vorn::Order o;
    if (!f.get("c", &o.symbol) || !f.get("b", &o.is_buy) || !f.get("px", &o.price) || !f.get("sz", &o.size)) {
        return false;
    }
    o.reduce_only = lenient_bool_field(d, "r");
    o.iso = lenient_bool_field(d, "i");
    PyRef tif_obj = dict_get(d, "tif");
    vorn::TimeInForce tif;
    if (!parse_tif(tif_obj.get(), "Invalid l.tif: ", &tif)) return fail_at_key("tif");
    o.order_type = vorn::LimitType{tif};
    if (!optional_field(d, "cloid", &o.client_id) || !refuse_commission(d) ||
        !builder_code_field(d, &o.commission)) {
        return false;
    }
    return emit(std::move(o), out);
}

bool compact_market(PyObject* d, vorn::OrderItem* out) {
    const Fields f{d, "m."};
    vorn::Order o;
    if (!f.get("c", &o.symbol) || !f.get("b", &o.is_buy) || !f.get("sz", &o.size)) return false;
    o.reduce_only = lenient_bool_field(d, "r");
    o.iso = lenient_bool_field(d, "i");
    if (!refuse_commission(d) || !builder_code_field(d, &o.commission) ||
        !optional_field(d, "slippage", &o.slippage)) {
        return false;
    }
    o.price = 0.0;
    o.order_type = vorn::TriggerType{true, 0.0};
    return emit(std::move(o), out);
}

bool compact_cancel(PyObject* d, vorn::OrderItem* out) { return parse_cancel(Fields{d, "cx."}, "c", "oid", out); }

// The first of two keys that is present, and in *used which one it was.
PyRef either(PyObject* d, const char* first, const char* second, const char** used) {
    PyRef v = dict_get(d, first);
    *used = v ? first : second;
    return v ? std::move(v) : dict_get(d, second);
}

bool compact_modify(PyObject* d, vorn::OrderItem* out) {
    vorn::Modify m;
    const char* key = nullptr;
    PyRef symbol = either(d, "c", "symbol", &key);
    if (!symbol) return missing("Missing 'mod.c'");
    if (!to_string(symbol.get(), nullptr, &m.symbol)) return fail_at_key(key);
    // A copy: the dict may drop the text while the size converts.
    std::string oid_text;
    if (!Fields{d, "mod."}.get("oid", &oid_text)) return false;
    PyRef size = either(d, "sz", "amount", &key);
    if (!size) return missing("Missing 'mod.sz'");
    if (!to_f64(size.get(), nullptr, &m.size)) return fail_at_key(key);
    if (!decode_hash(oid_text, &m.order_id)) return fail_at_key("oid");
    return emit(std::move(m), out);
}

}  // namespace

// The nesting level of the item being read on this thread: items deeper than
// the core's bound (sdk_compat.hpp) are refused as they are read, before a
// tree the core would refuse is built.
static thread_local size_t t_order_nesting = 0;

bool parse_order_item(PyObject* order, vorn::OrderItem* out) {
    if (!check_dict(order, nullptr)) return false;
    if (auto st = vorn::check_order_nesting(t_order_nesting); !st) {
        raise_core_error(st.error());
        return false;
    }
    if (Py_EnterRecursiveCall(" while parsing an order")) return false;
    ++t_order_nesting;
    bool ok = parse_simplified(order, out);
    --t_order_nesting;
    Py_LeaveRecursiveCall();
    return ok;
}

bool parse_order_list(PyObject* orders, const char* argname, std::vector<vorn::OrderItem>* out) {
    if (!check_list(orders, argname)) return false;
    return parse_item_list(orders, out);
}

bool parse_compact_order(PyObject* order, vorn::OrderItem* out) {
    if (!check_dict(order, nullptr)) return false;
    if (dict_has(order, "type")) return parse_order_item(order, out);
    struct Form {
        const char* key;
        bool (*parse)(PyObject*, vorn::OrderItem*);
    };
    static const Form kForms[] = {
        {"l", compact_limit}, {"m", compact_market}, {"cx", compact_cancel}, {"mod", compact_modify},
        {"cxa", nullptr},
    };
    for (const Form& form : kForms) {
        PyRef inner = dict_get(order, form.key);
        if (!inner) continue;
        if (!check_dict(inner.get(), nullptr)) return fail_at_key(form.key);
        if (form.parse == nullptr) {
            PyRef symbols = dict_get(inner.get(), "c");
            *out = vorn::CancelAll{symbol_list(symbols.get())};
            return true;
        }
        return form.parse(inner.get(), out) || fail_at_key(form.key);
    }
    raise_value_error("Invalid order JSON. Expected simplified {'type': ...} or compact {'l'|'m'|'cx'|'mod'|'cxa'}");
    return false;
}

bool parse_order_with_on_fill(PyObject* order, vorn::OrderItem* out) {
    if (!check_dict(order, nullptr)) return false;
    PyRef on_fill = dict_get(order, "on_fill");
    if (!on_fill) return parse_order_item(order, out);
    vorn::OrderItem primary;
    if (!parse_order_item(order, &primary)) return false;
    if (!check_dict(on_fill.get(), nullptr)) return fail_at_key("on_fill");
    vorn::OnFill f;
    PyRef actions;
    if (!required(on_fill.get(), "actions", "Missing on_fill.actions", &actions)) return fail_at_key("on_fill");
    if (!parse_item_list(actions.get(), &f.actions)) {
        fail_at_key("actions");
        return fail_at_key("on_fill");
    }
    f.trigger = vorn::Box<vorn::OrderItem>(std::move(primary));
    return emit(std::move(f), out);
}

}  // namespace vorn::py
