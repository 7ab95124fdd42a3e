// Builder codes, transfer kinds and liquidator configurations from Python.
#include "inputs.hpp"

#include <cmath>
#include <string>

#include "convert.hpp"
#include "errors.hpp"

namespace vorn::py {
namespace {

// A float read as the u64 volume ramp-up: truncated toward zero, with
// negative values and NaN giving 0 and values past the range the maximum.
uint64_t saturating_u64(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= 18446744073709551616.0) return UINT64_MAX;
    return static_cast<uint64_t>(v);
}

double number_field(PyObject* dict, const char* key) {
    PyRef v = dict_get(dict, key);
    return number_or_zero(v.get());
}

bool parse_instrument(PyObject* item, vorn::LiquidatorInstrumentConfig* out) {
    if (!check_dict(item, nullptr)) return false;
    PyRef symbol = dict_get(item, "symbol");
    if (!symbol) {
        raise_value_error("Missing 'symbol'");
        return false;
    }
    if (!to_string(symbol.get(), nullptr, &out->symbol)) return false;
    out->max_exposure = number_field(item, "max_exposure");
    out->reserve = number_field(item, "reserve");
    out->rfactor = number_field(item, "rfactor");
    out->volume_percent = number_field(item, "volume_percent");
    out->volume_min = number_field(item, "volume_min");
    out->volume_rampup = saturating_u64(number_field(item, "volume_rampup"));
    out->max_sweep_bps = number_field(item, "max_sweep_bps");
    out->max_adl_notional = number_field(item, "max_adl_notional");
    out->max_adl_percent = number_field(item, "max_adl_percent");
    return true;
}

}  // namespace

bool parse_builder_code(PyObject* value, std::optional<vorn::Commission>* out) {
    out->reset();
    if (value == nullptr || value == Py_None) return true;
    if (!PyDict_Check(value)) {
        raise_value_error("builder_code must be omitted or an object");
        return false;
    }
    PyRef to_obj = dict_get(value, "to");
    if (!to_obj) {
        raise_value_error("Missing builder_code.to");
        return false;
    }
    std::string to_text_value;
    if (!to_string(to_obj.get(), nullptr, &to_text_value)) return false;
    PyRef fee_obj = dict_get(value, "fee");
    if (!fee_obj) {
        raise_value_error("Missing builder_code.fee");
        return false;
    }
    uint8_t fee = 0;
    if (!to_u8(fee_obj.get(), nullptr, &fee)) return false;
    vorn::Pubkey to;
    if (!decode_pubkey(to_text_value, &to)) return false;
    vorn::Commission commission;
    if (!store(vorn::Commission::make(to, fee), &commission)) return false;
    *out = commission;
    return true;
}

bool parse_transfer_kind(PyObject* kind, const char* argname, vorn::TransferKind* out) {
    *out = vorn::TransferKind::Internal;
    if (kind == nullptr || kind == Py_None) return true;
    std::string_view text;
    if (!to_text(kind, argname, &text)) return false;
    if (text == "internal") return true;
    if (text == "external") {
        *out = vorn::TransferKind::External;
        return true;
    }
    raise_value_error("Invalid transfer kind: " + std::string(text));
    return false;
}

bool parse_liquidator_config(PyObject* config, const char* argname, vorn::LiquidatorConfig* out) {
    *out = vorn::LiquidatorConfig{};
    if (!check_dict(config, argname)) return false;
    PyRef instruments = dict_get(config, "instruments");
    if (instruments) {
        if (!check_list(instruments.get(), nullptr)) return false;
        // A tuple copy keeps the elements alive while user code runs.
        PyRef items(PyList_AsTuple(instruments.get()));
        if (!items) return false;
        Py_ssize_t n = PyTuple_Size(items.get());
        out->instruments.reserve(static_cast<size_t>(n));
        for (Py_ssize_t i = 0; i < n; ++i) {
            vorn::LiquidatorInstrumentConfig inst;
            if (!parse_instrument(PyTuple_GetItem(items.get(), i), &inst)) return false;
            out->instruments.push_back(std::move(inst));
        }
    }
    out->cross_exposure = number_field(config, "cross_exposure");
    out->scoring_skew = number_field(config, "scoring_skew");
    out->toxicity = number_field(config, "toxicity");
    out->urgency_size_fraction = number_field(config, "urgency_size_fraction");
    out->sweep_sds = number_field(config, "sweep_sds");
    return true;
}

}  // namespace vorn::py
