// Internal: conversion that hands each wire action to a sink as soon as it
// is built, so the signing message can be encoded without collecting the
// records in a heap list.
#pragma once
#include <cstdint>

#include "types/error.hpp"
#include "sdk_compat/wire.hpp"
#include "types/types.hpp"

namespace vorn::detail {

class TxActionSink {
public:
    // The sink may take the record's contents; the caller rebuilds it next.
    virtual void put(TxAction& action) = 0;

protected:
    ~TxActionSink() = default;
};

// The market or limit record of an order (a trigger order is taken as a
// market order), without its commission and without checking any rule.
// Conversion and order ids both build order records here.
void order_record_into(const Order& order, uint8_t wire_version, TxAction& out);

// Converts the action's wire actions in order into sink; stops at the first
// refusal (the sink then holds the actions converted before it).
Status convert_action_into(const Action& action, uint8_t wire_version, TxActionSink& sink);

}  // namespace vorn::detail
