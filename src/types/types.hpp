// Value types of the core: keys, hashes, the network domain, the action and
// order-item model, and the liquidator configuration. Plain owned values.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "types/error.hpp"

namespace vorn {

// 32 raw bytes: an Ed25519 public key and Solana address. No curve check.
struct Pubkey {
    std::array<uint8_t, 32> bytes{};
    static Result<Pubkey> from_base58(std::string_view text);
    std::string to_base58() const;
    bool operator==(const Pubkey&) const = default;
    auto operator<=>(const Pubkey&) const = default;
};

// 32 raw bytes: order ids, block hashes, random hashes.
struct Hash {
    std::array<uint8_t, 32> bytes{};
    static Result<Hash> from_base58(std::string_view text);
    std::string to_base58() const;
    bool operator==(const Hash&) const = default;
};

enum class SignatureDomain : uint8_t { Mainnet = 1, Testnet = 2, Devnet = 3 };

Result<SignatureDomain> signature_domain_from_str(std::string_view text);
const char* signature_domain_name(SignatureDomain d);
inline uint8_t signature_domain_byte(SignatureDomain d) { return static_cast<uint8_t>(d); }
// Reads a wire byte back; anything outside 1..=3 is not a domain.
std::optional<SignatureDomain> signature_domain_from_byte(uint8_t b);

// A deep-copying owning pointer, so recursive items stay plain values.
template <class T>
class Box {
public:
    Box() = default;
    explicit Box(T value) : ptr_(std::make_unique<T>(std::move(value))) {}
    Box(const Box& o) : ptr_(o.ptr_ ? std::make_unique<T>(*o.ptr_) : nullptr) {}
    Box(Box&&) noexcept = default;
    Box& operator=(const Box& o) {
        if (this != &o) ptr_ = o.ptr_ ? std::make_unique<T>(*o.ptr_) : nullptr;
        return *this;
    }
    Box& operator=(Box&&) noexcept = default;
    T& operator*() { return *ptr_; }
    const T& operator*() const { return *ptr_; }
    T* operator->() { return ptr_.get(); }
    const T* operator->() const { return ptr_.get(); }
    bool has_value() const { return ptr_ != nullptr; }

private:
    std::unique_ptr<T> ptr_;
};

// ---- supporting types ----

struct Commission {
    Pubkey to;
    uint8_t fee = 0;  // basis points
    // The builder-code fee rule, the one place it is checked: 1..=15 basis
    // points, else InvalidOrder "builder-code fee must be 1..=15 bps".
    static Status check_fee(uint8_t fee);
    // A commission whose fee passes check_fee.
    static Result<Commission> make(const Pubkey& to, uint8_t fee);
};

enum class TimeInForce : uint8_t { GTC = 0, IOC = 1, ALO = 2 };
const char* time_in_force_name(TimeInForce t);

struct LimitType {
    TimeInForce tif = TimeInForce::GTC;
};
struct TriggerType {
    bool is_market = false;
    double trigger_price = 0.0;
};
using OrderType = std::variant<LimitType, TriggerType>;

enum class TransferKind : uint8_t { Internal = 0, External = 1 };
const char* transfer_kind_name(TransferKind k);

// ---- order items ----

struct OrderItem;

struct Order {
    std::string symbol;
    bool is_buy = false;
    double price = 0.0;
    double size = 0.0;
    OrderType order_type;
    bool reduce_only = false;
    bool iso = false;
    std::optional<Hash> client_id;
    std::optional<Commission> commission;
    std::optional<double> slippage;
};

struct Modify {
    Hash order_id;
    std::string symbol;
    double size = 0.0;
};

struct Cancel {
    Hash order_id;
    std::string symbol;
};

struct CancelAll {
    std::vector<std::string> symbols;
};

// Shared by stop-loss and take-profit orders; NaN limit_price means none.
struct TpSlFields {
    std::string symbol;
    bool is_buy = false;
    double size = 0.0;
    double trigger_price = 0.0;
    double limit_price = 0.0;
    bool iso = false;
    std::optional<Commission> commission;
};
struct Stop : TpSlFields {};
struct TakeProfit : TpSlFields {};

struct RangeOco {
    std::string symbol;
    bool is_buy = false;
    double size = 0.0;
    double pmin = 0.0;
    double pmax = 0.0;
    double lmin = 0.0;  // NaN means no limit price
    double lmax = 0.0;  // NaN means no limit price
    bool iso = false;
    std::optional<Commission> commission;
};

struct TriggerBasket {
    std::string symbol;
    bool is_buy = false;
    double trigger_price = 0.0;
    std::vector<OrderItem> actions;
};

struct OnFill {
    Box<OrderItem> trigger;
    std::vector<OrderItem> actions;
};

struct TrailingStop {
    std::string symbol;
    bool is_buy = false;
    double size = 0.0;
    uint32_t trail_bps = 0;
    uint32_t step_bps = 0;
    std::optional<double> limit_price;
    bool iso = false;
    std::optional<Commission> commission;
};

using OrderItemVariant =
    std::variant<Order, Modify, Cancel, CancelAll, Stop, TakeProfit, RangeOco, TriggerBasket, OnFill, TrailingStop>;

struct OrderItem {
    OrderItemVariant v;
    OrderItem() = default;
    template <class T>
        requires(!std::is_same_v<std::decay_t<T>, OrderItem>)
    OrderItem(T&& x) : v(std::forward<T>(x)) {}
};

// ---- liquidator configuration ----

struct LiquidatorInstrumentConfig {
    std::string symbol;
    double max_exposure = 0.0;
    double reserve = 0.0;
    double rfactor = 0.0;
    double volume_percent = 0.0;
    double volume_min = 0.0;
    uint64_t volume_rampup = 0;
    double max_sweep_bps = 0.0;
    double max_adl_notional = 0.0;
    double max_adl_percent = 0.0;
};

struct LiquidatorConfig {
    std::vector<LiquidatorInstrumentConfig> instruments;
    double cross_exposure = 0.0;
    double scoring_skew = 0.0;
    double toxicity = 0.0;
    double urgency_size_fraction = 0.0;
    double sweep_sds = 0.0;
    // Instruments by symbol bytes, stable; the config itself is not reordered.
    std::vector<const LiquidatorInstrumentConfig*> sorted_instruments() const;
};

// ---- actions ----

struct Action;

struct Orders {
    std::vector<OrderItem> items;
};

struct OraclePrice {
    std::string symbol;
    uint64_t timestamp = 0;
    double price = 0.0;
};
struct OraclePrices {
    std::vector<OraclePrice> prices;
};

struct PythEntry {
    uint64_t timestamp = 0;
    uint64_t feed_index = 0;
    uint64_t price = 0;
    int16_t exponent = 0;
};
struct PythOracle {
    std::vector<PythEntry> oracles;
};

struct Faucet {
    Pubkey user;
    std::optional<double> amount;
};

struct UpdateUserSettings {
    std::vector<std::pair<std::string, double>> max_leverage;  // input order, duplicates allowed
};

struct AgentWalletCreation {
    Pubkey agent;
    bool delete_ = false;
};

struct WhitelistFaucet {
    Pubkey target;
    bool whitelist = false;
};

struct CreateSubAccount {
    std::string name;
    std::optional<double> margin_amount;
};

struct RemoveSubAccount {
    Pubkey to_remove;
};

struct RenameSubAccount {
    Pubkey sub_account;
    std::string name;
};

struct Transfer {
    TransferKind kind = TransferKind::Internal;
    Pubkey from;
    Pubkey to;
    double amount = 0.0;
};

// Legacy withdrawals exist only to be named and refused.
struct LegacyWithdrawA {};
struct LegacyWithdrawB {};

struct CreateMultisig {
    std::vector<Pubkey> signers;
    uint32_t threshold = 0;
    uint32_t time_lock_secs = 0;
    uint32_t proposal_lifetime_secs = 0;
};

struct MultisigPropose {
    Pubkey multisig;
    std::vector<Action> actions;
    std::optional<uint32_t> extra;
};

struct MultisigProposalRef {
    Pubkey multisig;
    uint64_t proposal_id = 0;
};
struct MultisigApprove : MultisigProposalRef {};
struct MultisigReject : MultisigProposalRef {};
struct MultisigCancel : MultisigProposalRef {};
struct MultisigExecute : MultisigProposalRef {};

struct UpdateMultisigPolicy {
    Pubkey multisig;
    std::vector<Pubkey> signers;
    uint32_t threshold = 0;
    uint32_t time_lock_secs = 0;
    uint32_t proposal_lifetime_secs = 0;
};

struct ApproveCommissionFee {
    Pubkey to;
    uint8_t fee = 0;
};

struct RevokeCommissionFee {
    Pubkey to;
};

struct UpdateLiquidatorConfig {
    LiquidatorConfig config;
};

using ActionVariant =
    std::variant<Orders, OraclePrices, PythOracle, Faucet, UpdateUserSettings, AgentWalletCreation, WhitelistFaucet,
                 CreateSubAccount, RemoveSubAccount, RenameSubAccount, Transfer, LegacyWithdrawA, LegacyWithdrawB,
                 CreateMultisig, MultisigPropose, MultisigApprove, MultisigReject, MultisigCancel, MultisigExecute,
                 UpdateMultisigPolicy, ApproveCommissionFee, RevokeCommissionFee, UpdateLiquidatorConfig>;

struct Action {
    ActionVariant v;
    Action() = default;
    template <class T>
        requires(!std::is_same_v<std::decay_t<T>, Action>)
    Action(T&& x) : v(std::forward<T>(x)) {}
};

}  // namespace vorn
