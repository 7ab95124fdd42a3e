// Bincode encoding of the wire records: fields in declared order, fixed-width
// little-endian integers, u64 lengths and counts, 1-byte option tags.
#include <cmath>
#include <cstdint>
#include <limits>

#include "sdk_compat/bytes.hpp"
#include "sdk_compat/wire.hpp"

namespace vorn {

using namespace wire;

uint64_t to_fixed_point(double value) {
    const double scaled = value * 100000000.0;
    // Negative, zero and NaN all give 0 (the comparison is false for NaN).
    if (!(scaled > 0.0)) return 0;
    const double rounded = std::round(scaled);  // half away from zero
    // 2^64 is exactly representable; converting anything at or above it
    // would be undefined, so saturate first.
    if (rounded >= 18446744073709551616.0) return std::numeric_limits<uint64_t>::max();
    return static_cast<uint64_t>(rounded);
}

namespace {

// Wire index of each TxActionVariant alternative, in variant order; the
// last alternative (TxFieldless) carries its own index.
constexpr uint32_t kWireIndex[] = {
    0,   // TxMarketOrder
    1,   // TxLimitOrder
    2,   // TxModifyOrder
    3,   // TxCancelOrder
    4,   // TxCancelAll
    5,   // TxStop
    6,   // TxTakeProfit
    7,   // TxRangeOco
    8,   // TxTriggerBasket
    9,   // TxTrailingStop
    10,  // TxOnFill
    11,  // TxPrice
    13,  // TxPythOracle
    16,  // TxFaucet
    17,  // TxAgentWalletCreation
    18,  // TxUpdateUserSettings
    19,  // TxWhitelistFaucet
    27,  // TxCreateSubAccount
    28,  // TxRemoveSubAccount
    29,  // TxTransfer
    30,  // TxCreateMultisig
    31,  // TxMultisigPropose
    32,  // TxMultisigApprove
    33,  // TxMultisigReject
    34,  // TxMultisigCancel
    35,  // TxMultisigExecute
    36,  // TxUpdateMultisigPolicy
    37,  // TxRenameSubAccount
    40,  // TxApproveCommissionFee
    41,  // TxRevokeCommissionFee
    43,  // TxLiquidatorConfig
};
static_assert(std::size(kWireIndex) + 1 == std::variant_size_v<TxActionVariant>);

void write_tx_actions(Writer& w, std::span<const TxAction> actions) {
    w.u64(actions.size());
    for (const TxAction& a : actions) write_tx_action(a, w);
}

void write_pubkey_vec(Writer& w, std::span<const Pubkey> keys) {
    w.u64(keys.size());
    for (const Pubkey& k : keys) w.key(k);
}

void put_fixed(Writer& w, double v) { w.u64(to_fixed_point(v)); }

void put_opt_fixed(Writer& w, const std::optional<double>& v) {
    if (!v) return w.u8(0);
    w.u8(1);
    put_fixed(w, *v);
}

void put_opt_f64(Writer& w, const std::optional<double>& v) {
    if (!v) return w.u8(0);
    w.u8(1);
    w.f64(*v);
}

void put_opt_commission(Writer& w, const std::optional<TxCommission>& c) {
    if (!c) return w.u8(0);
    w.u8(1);
    w.key(c->to);
    w.u8(c->fee);
}

// The commission slot of conditional orders exists from version 2 on.
void put_conditional_commission_slot(Writer& w, const std::optional<TxCommission>& c,
                                     uint8_t wire_version) {
    if (wire_version >= 2) put_opt_commission(w, c);
}

void put_record(Writer& w, const TxMarketOrder& r) {
    w.str(r.symbol);
    w.boolean(r.is_buy);
    put_fixed(w, r.size);
    w.boolean(r.reduce_only);
    w.boolean(r.iso);
    if (r.wire_version >= 2 || r.wire_version == 1 || r.commission) put_opt_commission(w, r.commission);
    if (r.wire_version >= 2) put_opt_fixed(w, r.slippage);
}

void put_record(Writer& w, const TxLimitOrder& r) {
    w.str(r.symbol);
    w.boolean(r.is_buy);
    put_fixed(w, r.price);
    put_fixed(w, r.size);
    w.u32(static_cast<uint32_t>(r.tif));
    w.boolean(r.reduce_only);
    w.boolean(r.iso);
    if (r.wire_version != 0 || r.commission) put_opt_commission(w, r.commission);
}

void put_record(Writer& w, const TxModifyOrder& r) {
    w.key(r.order_id);
    w.str(r.symbol);
    w.f64(r.size);
}

void put_record(Writer& w, const TxCancelOrder& r) {
    w.str(r.symbol);
    w.key(r.order_id);
}

void put_record(Writer& w, const TxCancelAll& r) {
    w.u64(r.symbols.size());
    for (std::string_view s : r.symbols) w.str(s);
}

void put_record(Writer& w, const TxStop& r) {
    w.str(r.symbol);
    w.boolean(r.is_buy);
    put_fixed(w, r.size);
    put_fixed(w, r.trigger_price);
    put_opt_fixed(w, r.limit_price);
    w.boolean(r.iso);
    put_conditional_commission_slot(w, r.commission, r.wire_version);
}

void put_record(Writer& w, const TxTakeProfit& r) { put_record(w, static_cast<const TxStop&>(r)); }

void put_record(Writer& w, const TxRangeOco& r) {
    w.str(r.symbol);
    w.boolean(r.is_buy);
    put_fixed(w, r.size);
    put_fixed(w, r.pmin);
    put_fixed(w, r.pmax);
    put_opt_fixed(w, r.lmin);
    put_opt_fixed(w, r.lmax);
    w.boolean(r.iso);
    put_conditional_commission_slot(w, r.commission, r.wire_version);
}

void put_record(Writer& w, const TxTriggerBasket& r) {
    w.str(r.symbol);
    w.boolean(r.is_buy);
    put_fixed(w, r.trigger_price);
    write_tx_actions(w, r.actions);
}

void put_record(Writer& w, const TxTrailingStop& r) {
    w.str(r.symbol);
    w.boolean(r.is_buy);
    put_fixed(w, r.size);
    w.u32(r.trail_bps);
    w.u32(r.step_bps);
    put_opt_fixed(w, r.limit_price);
    w.boolean(r.iso);
    put_conditional_commission_slot(w, r.commission, r.wire_version);
}

void put_record(Writer& w, const TxOnFill& r) {
    // The conversion always sets the trigger; an unset one writes nothing
    // rather than dereferencing null.
    if (r.trigger.has_value()) write_tx_action(*r.trigger, w);
    write_tx_actions(w, r.actions);
}

void put_record(Writer& w, const TxPrice& r) {
    w.u64(r.timestamp);
    w.str(r.symbol);
    w.f64(r.price);
}

void put_record(Writer& w, const TxPythOracle& r) {
    w.u64(r.oracles.size());
    for (const PythEntry& e : r.oracles) {
        w.u64(e.timestamp);
        w.u64(e.feed_index);
        w.u64(e.price);
        w.u16(static_cast<uint16_t>(e.exponent));
    }
}

void put_record(Writer& w, const TxFaucet& r) {
    w.key(r.user);
    put_opt_f64(w, r.amount);
}

void put_record(Writer& w, const TxAgentWalletCreation& r) {
    w.key(r.agent);
    w.boolean(r.delete_);
}

void put_record(Writer& w, const TxUpdateUserSettings& r) {
    w.u64(r.max_leverage.size());
    for (const auto& [symbol, leverage] : r.max_leverage) {
        w.str(symbol);
        w.f64(leverage);
    }
}

void put_record(Writer& w, const TxWhitelistFaucet& r) {
    w.key(r.target);
    w.boolean(r.whitelist);
}

void put_record(Writer& w, const TxCreateSubAccount& r) {
    w.str(r.name);
    put_opt_f64(w, r.margin_amount);
}

void put_record(Writer& w, const TxRemoveSubAccount& r) { w.key(r.to_remove); }

void put_record(Writer& w, const TxTransfer& r) {
    w.u32(static_cast<uint32_t>(r.kind));
    w.key(r.from);
    w.key(r.to);
    w.f64(r.amount);
}

void put_record(Writer& w, const TxCreateMultisig& r) {
    write_pubkey_vec(w, r.signers);
    w.u32(r.threshold);
    w.u32(r.time_lock_secs);
    w.u32(r.proposal_lifetime_secs);
}

void put_record(Writer& w, const TxMultisigPropose& r) {
    w.key(r.multisig);
    write_tx_actions(w, r.actions);
    if (!r.extra) return w.u8(0);
    w.u8(1);
    w.u32(*r.extra);
}

void put_record(Writer& w, const TxMultisigProposalRef& r) {
    w.key(r.multisig);
    w.u64(r.proposal_id);
}

// The multisig key, then the new policy laid out as a creation.
void put_record(Writer& w, const TxUpdateMultisigPolicy& r) {
    w.key(r.multisig);
    put_record(w, TxCreateMultisig{r.signers, r.threshold, r.time_lock_secs, r.proposal_lifetime_secs});
}

void put_record(Writer& w, const TxRenameSubAccount& r) {
    w.key(r.sub_account);
    w.str(r.name);
}

void put_record(Writer& w, const TxApproveCommissionFee& r) {
    w.key(r.to);
    w.u8(r.fee);
}

void put_record(Writer& w, const TxRevokeCommissionFee& r) { w.key(r.to); }

void put_record(Writer& w, const TxLiquidatorConfig& r) {
    w.f64(r.cross_exposure);
    w.f64(r.scoring_skew);
    w.f64(r.toxicity);
    w.f64(r.urgency_size_fraction);
    w.f64(r.sweep_sds);
    w.u64(r.instruments.size());
    for (const LiquidatorInstrumentConfig* i : r.instruments) {
        w.str(i->symbol);
        w.f64(i->max_exposure);
        w.f64(i->reserve);
        w.f64(i->rfactor);
        w.f64(i->volume_percent);
        w.f64(i->volume_min);
        w.u64(i->volume_rampup);
        w.f64(i->max_sweep_bps);
        w.f64(i->max_adl_notional);
        w.f64(i->max_adl_percent);
    }
}

void put_record(Writer&, const TxFieldless&) {}

}  // namespace

uint32_t TxAction::index() const {
    if (const auto* f = std::get_if<TxFieldless>(&v)) return f->index;
    return kWireIndex[v.index()];
}

void wire::write_tx_action(const TxAction& action, Writer& w) {
    w.u32(action.index());
    std::visit([&w](const auto& record) { put_record(w, record); }, action.v);
}

void wire::write_tx_action(const TxMarketOrder& record, Writer& w) {
    w.u32(0);
    put_record(w, record);
}

void wire::write_tx_action(const TxLimitOrder& record, Writer& w) {
    w.u32(1);
    put_record(w, record);
}

void encode_tx_action(const TxAction& action, std::vector<uint8_t>& out) {
    Writer w(out);
    write_tx_action(action, w);
}

void encode_tx_actions(std::span<const TxAction> actions, std::vector<uint8_t>& out) {
    Writer w(out);
    write_tx_actions(w, actions);
}

void serde_pubkey_vec(std::span<const Pubkey> keys, std::vector<uint8_t>& out) {
    Writer w(out);
    write_pubkey_vec(w, keys);
}

}  // namespace vorn
