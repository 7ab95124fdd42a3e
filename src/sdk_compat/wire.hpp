// Wire records of the exchange's action set and their bincode encoding
// (fixed-width little-endian integers, u64 lengths, 1-byte option tags).
//
// Records borrow strings, key lists and entries from the Action they were
// converted from (string_view / span / pointers): the Action must outlive
// the records. Nested actions are owned.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "types/error.hpp"
#include "types/types.hpp"

namespace vorn {

// Fixed-point rule: x * 1e8, rounded half away from zero, saturated to u64
// (negative and NaN give 0, at or above 2^64 gives u64 max).
uint64_t to_fixed_point(double value);

// The builder-code fee attached to an order.
struct TxCommission {
    Pubkey to;
    uint8_t fee = 0;  // basis points; passed Commission::check_fee
};

struct TxAction;

// Index 0.
struct TxMarketOrder {
    std::string_view symbol;
    bool is_buy = false;
    double size = 0.0;  // fixed-point
    bool reduce_only = false;
    bool iso = false;
    std::optional<TxCommission> commission;
    std::optional<double> slippage;  // fixed-point
    uint8_t wire_version = 0;        // decides the trailing slots; not encoded
};

// Index 1.
struct TxLimitOrder {
    std::string_view symbol;
    bool is_buy = false;
    double price = 0.0;  // fixed-point
    double size = 0.0;   // fixed-point
    TimeInForce tif = TimeInForce::GTC;
    bool reduce_only = false;
    bool iso = false;
    std::optional<TxCommission> commission;
    uint8_t wire_version = 0;
};

// Index 2. The new size is a raw float.
struct TxModifyOrder {
    Hash order_id;
    std::string_view symbol;
    double size = 0.0;
};

// Index 3.
struct TxCancelOrder {
    std::string_view symbol;
    Hash order_id;
};

// Index 4.
struct TxCancelAll {
    std::vector<std::string_view> symbols;
};

// Index 5; a take-profit (index 6) has the same layout.
struct TxStop {
    std::string_view symbol;
    bool is_buy = false;
    double size = 0.0;                   // fixed-point
    double trigger_price = 0.0;          // fixed-point
    std::optional<double> limit_price;   // fixed-point
    bool iso = false;
    std::optional<TxCommission> commission;
    uint8_t wire_version = 0;
};

// Index 6.
struct TxTakeProfit : TxStop {};

// Index 7.
struct TxRangeOco {
    std::string_view symbol;
    bool is_buy = false;
    double size = 0.0;  // fixed-point
    double pmin = 0.0;  // fixed-point
    double pmax = 0.0;  // fixed-point
    std::optional<double> lmin;  // fixed-point
    std::optional<double> lmax;  // fixed-point
    bool iso = false;
    std::optional<TxCommission> commission;
    uint8_t wire_version = 0;
};

// Index 8.
struct TxTriggerBasket {
    std::string_view symbol;
    bool is_buy = false;
    double trigger_price = 0.0;  // fixed-point
    std::vector<TxAction> actions;
};

// Index 9.
struct TxTrailingStop {
    std::string_view symbol;
    bool is_buy = false;
    double size = 0.0;  // fixed-point
    uint32_t trail_bps = 0;
    uint32_t step_bps = 0;
    std::optional<double> limit_price;  // fixed-point
    bool iso = false;
    std::optional<TxCommission> commission;
    uint8_t wire_version = 0;
};

// Index 10. The trigger is a market or limit order record.
struct TxOnFill {
    Box<TxAction> trigger;
    std::vector<TxAction> actions;
};

// Index 11. Timestamp first on the wire.
struct TxPrice {
    uint64_t timestamp = 0;
    std::string_view symbol;
    double price = 0.0;
};

// Index 13.
struct TxPythOracle {
    std::span<const PythEntry> oracles;
};

// Index 16.
struct TxFaucet {
    Pubkey user;
    std::optional<double> amount;
};

// Index 17.
struct TxAgentWalletCreation {
    Pubkey agent;
    bool delete_ = false;
};

// Index 18. Unique symbols in ascending byte order.
struct TxUpdateUserSettings {
    std::vector<std::pair<std::string_view, double>> max_leverage;
};

// Index 19.
struct TxWhitelistFaucet {
    Pubkey target;
    bool whitelist = false;
};

// Index 27.
struct TxCreateSubAccount {
    std::string_view name;
    std::optional<double> margin_amount;
};

// Index 28.
struct TxRemoveSubAccount {
    Pubkey to_remove;
};

// Index 29. The kind comes first on the wire.
struct TxTransfer {
    TransferKind kind = TransferKind::Internal;
    Pubkey from;
    Pubkey to;
    double amount = 0.0;
};

// Index 30.
struct TxCreateMultisig {
    std::span<const Pubkey> signers;
    uint32_t threshold = 0;
    uint32_t time_lock_secs = 0;
    uint32_t proposal_lifetime_secs = 0;
};

// Index 31.
struct TxMultisigPropose {
    Pubkey multisig;
    std::vector<TxAction> actions;
    std::optional<uint32_t> extra;
};

// Indices 32 to 35 share one record and differ only in the index.
struct TxMultisigProposalRef {
    Pubkey multisig;
    uint64_t proposal_id = 0;
};
struct TxMultisigApprove : TxMultisigProposalRef {};  // 32
struct TxMultisigReject : TxMultisigProposalRef {};   // 33
struct TxMultisigCancel : TxMultisigProposalRef {};   // 34
struct TxMultisigExecute : TxMultisigProposalRef {};  // 35

// Index 36.
struct TxUpdateMultisigPolicy {
    Pubkey multisig;
    std::span<const Pubkey> signers;
    uint32_t threshold = 0;
    uint32_t time_lock_secs = 0;
    uint32_t proposal_lifetime_secs = 0;
};

// Index 37.
struct TxRenameSubAccount {
    Pubkey sub_account;
    std::string_view name;
};

// Index 40.
struct TxApproveCommissionFee {
    Pubkey to;
    uint8_t fee = 0;
};

// Index 41.
struct TxRevokeCommissionFee {
    Pubkey to;
};

// Index 43. Instruments ascending by symbol bytes (stable).
struct TxLiquidatorConfig {
    double cross_exposure = 0.0;
    double scoring_skew = 0.0;
    double toxicity = 0.0;
    double urgency_size_fraction = 0.0;
    double sweep_sds = 0.0;
    std::vector<const LiquidatorInstrumentConfig*> instruments;
};

// A variant of the exchange's set that this system never builds: its index
// alone. Valid indices are 12, 14, 15, 20..26, 38, 39, 42, 44..54.
struct TxFieldless {
    uint32_t index = 12;
};

using TxActionVariant =
    std::variant<TxMarketOrder, TxLimitOrder, TxModifyOrder, TxCancelOrder, TxCancelAll, TxStop, TxTakeProfit,
                 TxRangeOco, TxTriggerBasket, TxTrailingStop, TxOnFill, TxPrice, TxPythOracle, TxFaucet,
                 TxAgentWalletCreation, TxUpdateUserSettings, TxWhitelistFaucet, TxCreateSubAccount,
                 TxRemoveSubAccount, TxTransfer, TxCreateMultisig, TxMultisigPropose, TxMultisigApprove,
                 TxMultisigReject, TxMultisigCancel, TxMultisigExecute, TxUpdateMultisigPolicy, TxRenameSubAccount,
                 TxApproveCommissionFee, TxRevokeCommissionFee, TxLiquidatorConfig, TxFieldless>;

struct TxAction {
    TxActionVariant v;
    TxAction() = default;
    template <class T>
        requires(!std::is_same_v<std::decay_t<T>, TxAction>)
    TxAction(T&& x) : v(std::forward<T>(x)) {}
    // The u32 enumeration index written before the record.
    uint32_t index() const;
};

// Appends one action: its u32 index, then its record. Cannot fail.
void encode_tx_action(const TxAction& action, std::vector<uint8_t>& out);
// Appends the u64 count, then each action in order.
void encode_tx_actions(std::span<const TxAction> actions, std::vector<uint8_t>& out);
// Key list: u64 count, then the raw 32-byte keys.
void serde_pubkey_vec(std::span<const Pubkey> keys, std::vector<uint8_t>& out);

}  // namespace vorn
