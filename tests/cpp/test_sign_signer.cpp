// The signer: construction, the signing primitives against the worked
// message layouts, order-id rules, and every single-action operation.
#include <gtest/gtest.h>

#include "test_sign_fixtures.hpp"

using namespace vorn;
using namespace vorn_test;

namespace {

constexpr uint64_t kExampleNonce = 1700000000000000000ull;
const char* kExampleOrderId = "Fbm6qhWswsSgBru54SFczGfq9U8M5926ZKjQtK6JzEjY";


std::string repeat_hex(const char* byte, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += std::string(" ") + byte;
    return s;
}

// Nonce 1700000000000000000, account 32 bytes of 11, mainnet.
std::string example_suffix() { return " 00 00 2A 36 FE 9C 97 17" + repeat_hex("11", 32) + " 01"; }

std::vector<uint8_t> example_limit_message() {
    return from_hex("01 00 00 00 00 00 00 00  01 00 00 00  07 00 00 00 00 00 00 00  42 54 43 2D 55 53 44  01"
                    "  00 A0 72 4E 18 09 00 00  40 78 7D 01 00 00 00 00  00 00 00 00  00  00" +
                    example_suffix());
}

OrderItem example_limit() { return limit_order("BTC-USD", true, 100000, 0.25); }

// The message this signer signs for the action, nonce and account.
std::vector<uint8_t> message_for(const Signer& s, const Action& action, uint64_t nonce, const Pubkey& account) {
    std::vector<uint8_t> buffer;
    EXPECT_TRUE(serialize_for_sdk_signing(action, signature_domain_byte(s.signature_domain()), nonce, account, buffer));
    return buffer;
}

void expect_signed_own(const Signer& s, const Action& action, const Outcome<SignedTransaction>& tx) {
    ASSERT_TRUE(tx) << error_text(tx.error());
    EXPECT_EQ(tx->account, s.pubkey_base58());
    EXPECT_EQ(tx->signer, s.pubkey_base58());
    EXPECT_TRUE(signature_verifies(s.pubkey(), message_for(s, action, tx->nonce, s.pubkey()), tx->signature));
    auto rendered = action_to_json(action);
    ASSERT_TRUE(rendered);
    EXPECT_EQ(tx->actions, *rendered);
}

}  // namespace

// ---- construction and flags ----

TEST(SignerConstruction, DomainAndKeyErrors) {
    auto bad_domain = Signer::create(seed_keypair(1), "Mainnet");
    ASSERT_FALSE(bad_domain);
    EXPECT_EQ(bad_domain.error().display(), "invalid signature domain 'Mainnet'; expected mainnet, testnet, or devnet");
    EXPECT_EQ(Signer::create(seed_keypair(1), " devnet").error().kind, ErrorKind::InvalidSignatureDomain);
    EXPECT_EQ(Signer::with_nonce_manager(seed_keypair(1), NonceStrategy::Counter, "").error().kind,
              ErrorKind::InvalidSignatureDomain);
    auto bad_key = Signer::from_base58("abc0def", "mainnet");
    ASSERT_FALSE(bad_key);
    EXPECT_EQ(bad_key.error().display(), "invalid base58: provided string contained invalid character '0' at byte 3");
    EXPECT_EQ(Signer::from_base58("", "mainnet").error().display(), "invalid key length: expected 64, got 0");
}

TEST(SignerConstruction, KeyDomainFlagsAndStrategy) {
    Keypair kp = seed_keypair(3);
    auto s = Signer::from_base58(kp.to_base58(), "devnet");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->pubkey(), kp.pubkey());
    EXPECT_EQ(s->pubkey_base58(), kp.pubkey().to_base58());
    EXPECT_EQ(s->signature_domain(), SignatureDomain::Devnet);
    EXPECT_FALSE(s->nonce_strategy());
    EXPECT_TRUE(s->computes_order_id());
    EXPECT_FALSE(s->computes_batch_order_ids());
    s->set_compute_order_id(false);
    s->set_compute_batch_order_ids(true);
    EXPECT_FALSE(s->computes_order_id());
    EXPECT_TRUE(s->computes_batch_order_ids());

    auto hf = Signer::with_nonce_manager(kp, NonceStrategy::HighFrequency, "testnet");
    ASSERT_TRUE(hf);
    EXPECT_EQ(hf->nonce_strategy(), NonceStrategy::HighFrequency);
    EXPECT_EQ(hf->signature_domain(), SignatureDomain::Testnet);
}

TEST(SignerConstruction, MovedSignerKeepsItsState) {
    Signer s = make_counter_signer();
    ASSERT_TRUE(s.sign_faucet(std::nullopt));
    Signer moved(std::move(s));
    auto tx = moved.sign_faucet(std::nullopt);
    ASSERT_TRUE(tx);
    EXPECT_EQ(tx->nonce, 1u);
}

// ---- the worked message layouts ----

TEST(SignAction, WorkedLimitOrder) {
    Signer s = make_signer();
    Action action{Orders{{example_limit()}}};
    auto tx = s.sign_action(action, kExampleNonce, filled_key(0x11));
    ASSERT_TRUE(tx) << tx.error().display();
    auto message = example_limit_message();
    ASSERT_EQ(message.size(), 91u);
    EXPECT_TRUE(signature_verifies(s.pubkey(), message, tx->signature));
    EXPECT_EQ(tx->signature, signature_to_base58(seed_keypair(7).sign(message.data(), message.size())));
    EXPECT_EQ(tx->nonce, kExampleNonce);
    EXPECT_EQ(tx->account, filled_key(0x11).to_base58());  // the account, not the signer
    EXPECT_EQ(tx->signer, s.pubkey_base58());
    ASSERT_TRUE(tx->order_id);
    EXPECT_EQ(*tx->order_id, kExampleOrderId);
    EXPECT_FALSE(tx->order_ids);
    ASSERT_EQ(tx->actions.size(), 1u);
    EXPECT_EQ(tx->actions[0].dump(),
              R"({"l":{"b":true,"c":"BTC-USD","i":false,"px":100000.0,"r":false,"sz":0.25,"tif":"GTC"}})");
}

TEST(SignAction, WorkedCancel) {
    Signer s = make_signer();
    auto tx = s.sign_action(Action{Orders{{cancel("BTC-USD", 0xAB)}}}, kExampleNonce, filled_key(0x11));
    ASSERT_TRUE(tx) << tx.error().display();
    auto message = from_hex("01 00 00 00 00 00 00 00  03 00 00 00  07 00 00 00 00 00 00 00  42 54 43 2D 55 53 44" +
                            repeat_hex("AB", 32) + example_suffix());
    ASSERT_EQ(message.size(), 100u);
    EXPECT_TRUE(signature_verifies(s.pubkey(), message, tx->signature));
    EXPECT_FALSE(tx->order_id);  // a cancel has no order id
    EXPECT_FALSE(tx->order_ids);
}

TEST(SignAction, WorkedAgentWalletCreation) {
    Signer s = make_signer();
    auto tx = s.sign_action(Action{AgentWalletCreation{filled_key(0x22), false}}, kExampleNonce, filled_key(0x11));
    ASSERT_TRUE(tx) << tx.error().display();
    auto message = from_hex("01 00 00 00 00 00 00 00  11 00 00 00" + repeat_hex("22", 32) + " 00" + example_suffix());
    ASSERT_EQ(message.size(), 86u);
    EXPECT_TRUE(signature_verifies(s.pubkey(), message, tx->signature));
    EXPECT_FALSE(tx->order_id);
    EXPECT_EQ(tx->actions[0].dump(),
              R"({"agentWalletCreation":{"a":")" + filled_key(0x22).to_base58() + R"(","d":false}})");
}

TEST(SignAction, DomainIsTheLastByte) {
    Signer testnet = make_signer(7, "testnet");
    auto tx = testnet.sign_action(Action{Orders{{example_limit()}}}, kExampleNonce, filled_key(0x11));
    ASSERT_TRUE(tx);
    auto message = example_limit_message();
    EXPECT_FALSE(signature_verifies(testnet.pubkey(), message, tx->signature));
    message.back() = 2;
    EXPECT_TRUE(signature_verifies(testnet.pubkey(), message, tx->signature));
}

TEST(SignAction, DeterministicSignatures) {
    Signer s = make_signer();
    Action action{Orders{{example_limit(), market_order("ETH-USD", false, 1, 0.01)}}};
    auto a = s.sign_action(action, 5, s.pubkey());
    auto b = s.sign_action(action, 5, s.pubkey());
    auto c = s.sign_action(action, 6, s.pubkey());
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->signature, b->signature);
    EXPECT_NE(a->signature, c->signature);
    // Another signer with the same key gives the same signature too.
    Signer twin = make_signer();
    EXPECT_EQ(twin.sign_action(action, 5, twin.pubkey())->signature, a->signature);
}

TEST(SignAction, RefusalsPassThrough) {
    Signer s = make_signer();
    EXPECT_EQ(s.sign_action(Action{Orders{}}, 1, s.pubkey()).error().display(), "orders array cannot be empty");
    EXPECT_EQ(s.sign_action(Action{Orders{{resting_trigger_order()}}}, 1, s.pubkey()).error().display(),
              "invalid order: trigger orders are not supported by VORN API; use market");
    EXPECT_EQ(s.sign_action(Action{LegacyWithdrawA{}}, 1, s.pubkey()).error().kind, ErrorKind::LegacyWithdrawal);
    EXPECT_EQ(s.sign_action(Action{OraclePrices{}}, 1, s.pubkey()).error().kind, ErrorKind::EmptyOrders);
}

// ---- order ids ----

TEST(OrderIds, SingleItemGetsOrderIdOnly) {
    Signer s = make_signer();
    s.set_compute_batch_order_ids(true);  // plays no part for one item
    auto tx = s.sign_action(Action{Orders{{example_limit()}}}, kExampleNonce, filled_key(0x11));
    ASSERT_TRUE(tx);
    EXPECT_EQ(tx->order_id, std::optional<std::string>(kExampleOrderId));
    EXPECT_FALSE(tx->order_ids);

    s.set_compute_order_id(false);
    auto off = s.sign_action(Action{Orders{{example_limit()}}}, kExampleNonce, filled_key(0x11));
    ASSERT_TRUE(off);
    EXPECT_FALSE(off->order_id);
    EXPECT_FALSE(off->order_ids);
}

TEST(OrderIds, GroupIdsOnlyWithTheBatchFlag) {
    Signer s = make_signer();
    std::vector<OrderItem> three = {limit_order("A", true, 1, 1), limit_order("B", true, 1, 1),
                                    market_order("C", false, 2)};
    auto plain = s.sign_group(three, uint64_t{10});
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->order_id);
    EXPECT_FALSE(plain->order_ids);

    s.set_compute_batch_order_ids(true);
    auto with_ids = s.sign_group(three, uint64_t{10});
    ASSERT_TRUE(with_ids);
    EXPECT_FALSE(with_ids->order_id);
    ASSERT_TRUE(with_ids->order_ids);
    EXPECT_EQ(with_ids->order_ids->size(), 3u);
    EXPECT_EQ(with_ids->signature, plain->signature);  // ids do not change what is signed
}

TEST(OrderIds, SequenceNumberIsTheListPosition) {
    Signer s = make_signer();
    s.set_compute_batch_order_ids(true);
    // The worked order at position 0 keeps its worked id.
    auto first = s.sign_action(Action{Orders{{example_limit(), cancel("BTC-USD", 1)}}}, kExampleNonce,
                               filled_key(0x11));
    ASSERT_TRUE(first);
    ASSERT_TRUE(first->order_ids);
    EXPECT_EQ(*first->order_ids, std::vector<std::string>{kExampleOrderId});

    // After a cancel it is numbered 1, so its id differs.
    auto second = s.sign_action(Action{Orders{{cancel("BTC-USD", 1), example_limit()}}}, kExampleNonce,
                                filled_key(0x11));
    ASSERT_TRUE(second);
    ASSERT_TRUE(second->order_ids);
    ASSERT_EQ(second->order_ids->size(), 1u);
    EXPECT_NE((*second->order_ids)[0], kExampleOrderId);

    // A cancel and two orders: two ids, with sequence numbers 1 and 2.
    std::vector<OrderItem> items = {cancel("BTC-USD", 1), limit_order("BTC-USD", true, 5, 1),
                                    market_order("ETH-USD", true, 1)};
    auto group = s.sign_group(items, uint64_t{77});
    ASSERT_TRUE(group);
    ASSERT_TRUE(group->order_ids);
    std::vector<uint8_t> scratch;
    auto id1 = compute_order_item_id_with_seqno(items[1], 1, 77, s.pubkey(), scratch);
    auto id2 = compute_order_item_id_with_seqno(items[2], 2, 77, s.pubkey(), scratch);
    ASSERT_TRUE(id1 && id2);
    EXPECT_EQ(*group->order_ids, (std::vector<std::string>{id1->to_base58(), id2->to_base58()}));
}

TEST(OrderIds, NoIdsGivesAbsentNotEmpty) {
    Signer s = make_signer();
    s.set_compute_batch_order_ids(true);
    auto tx = s.sign_group({cancel("A", 1), cancel("B", 2)}, uint64_t{1});
    ASSERT_TRUE(tx);
    EXPECT_FALSE(tx->order_ids);
    EXPECT_FALSE(tx->order_id);
}

// ---- the read-only primitives ----

TEST(SignSingle, SingleItemMatchesSignAction) {
    Signer s = make_signer();
    s.set_compute_batch_order_ids(true);
    auto single = s.sign_single_item(example_limit(), 99);
    auto direct = s.sign_action(Action{Orders{{example_limit()}}}, 99, s.pubkey());
    ASSERT_TRUE(single && direct);
    EXPECT_EQ(single->signature, direct->signature);
    EXPECT_EQ(single->order_id, direct->order_id);
    EXPECT_TRUE(single->order_id);
    EXPECT_FALSE(single->order_ids);
    EXPECT_EQ(single->actions, direct->actions);
    EXPECT_EQ(single->account, s.pubkey_base58());
    EXPECT_EQ(single->nonce, 99u);

    s.set_compute_order_id(false);
    EXPECT_FALSE(s.sign_single_item(example_limit(), 99)->order_id);
    EXPECT_EQ(s.sign_single_item(resting_trigger_order(), 1).error().display(),
              "invalid order: trigger orders are not supported by VORN API; use market");
}

TEST(SignSingle, SingleOrderBatch) {
    Signer s = make_signer();
    EXPECT_EQ(s.sign_single_order_batch({}, 1).error().display(), "orders array cannot be empty");
    auto one = s.sign_single_order_batch({example_limit()}, 3);
    ASSERT_TRUE(one);
    EXPECT_TRUE(one->order_id);
    EXPECT_FALSE(one->order_ids);

    std::vector<OrderItem> two = {example_limit(), market_order("ETH-USD", true, 1)};
    auto no_ids = s.sign_single_order_batch(two, 3);
    ASSERT_TRUE(no_ids);
    EXPECT_FALSE(no_ids->order_ids);
    s.set_compute_batch_order_ids(true);
    auto ids = s.sign_single_order_batch(two, 3);
    ASSERT_TRUE(ids);
    ASSERT_TRUE(ids->order_ids);
    EXPECT_EQ(ids->order_ids->size(), 2u);
    EXPECT_TRUE(signature_verifies(s.pubkey(), message_for(s, Action{Orders{two}}, 3, s.pubkey()), ids->signature));
}

TEST(SignSingle, SignBytes) {
    Signer s = make_signer();
    std::vector<uint8_t> msg = {1, 2, 3, 4, 5};
    std::string sig = s.sign_bytes(msg.data(), msg.size());
    EXPECT_TRUE(signature_verifies(s.pubkey(), msg, sig));
    EXPECT_EQ(sig, s.sign_bytes(msg.data(), msg.size()));
    EXPECT_TRUE(signature_verifies(s.pubkey(), {}, s.sign_bytes(nullptr, 0)));
    msg[0] = 9;
    EXPECT_FALSE(signature_verifies(s.pubkey(), msg, sig));
}

// ---- operations ----

TEST(SignOperations, SignAndGroup) {
    Signer s = make_counter_signer();
    auto one = s.sign(example_limit(), std::nullopt);
    expect_signed_own(s, Action{Orders{{example_limit()}}}, one);
    EXPECT_EQ(one->nonce, 0u);
    EXPECT_TRUE(one->order_id);
    EXPECT_FALSE(one->order_ids);

    EXPECT_EQ(error_text(s.sign_group({}, std::nullopt).error()), "orders array cannot be empty");
    EXPECT_EQ(s.nonce_counter(), 1u);  // the empty group drew no nonce
    std::vector<OrderItem> two = {example_limit(), cancel("BTC-USD", 3)};
    auto group = s.sign_group(two, std::nullopt);
    expect_signed_own(s, Action{Orders{two}}, group);
    EXPECT_EQ(group->nonce, 1u);
    auto deprecated = s.sign_order(two, uint64_t{1});
    ASSERT_TRUE(deprecated);
    EXPECT_EQ(deprecated->signature, group->signature);
}

TEST(SignOperations, FailedSignatureConsumesItsNonce) {
    Signer s = make_counter_signer();
    auto bad = s.sign(resting_trigger_order(), std::nullopt);
    ASSERT_FALSE(bad);
    EXPECT_EQ(error_text(bad.error()), "invalid order: trigger orders are not supported by VORN API; use market");
    EXPECT_EQ(s.nonce_counter(), 1u);
    EXPECT_EQ(s.sign_faucet(std::nullopt)->nonce, 1u);
}

TEST(SignOperations, AccountActions) {
    Signer s = make_signer();
    const uint64_t n = 123456;
    expect_signed_own(s, Action{Faucet{s.pubkey(), std::nullopt}}, s.sign_faucet(n));
    EXPECT_EQ(s.sign_faucet(n)->actions[0].dump(), R"({"faucet":{"u":")" + s.pubkey_base58() + R"("}})");
    expect_signed_own(s, Action{AgentWalletCreation{filled_key(5), true}}, s.sign_agent_wallet(filled_key(5), true, n));
    std::vector<std::pair<std::string, double>> lev = {{"ETH-USD", 5}, {"BTC-USD", 10}, {"ETH-USD", 3}};
    expect_signed_own(s, Action{UpdateUserSettings{lev}}, s.sign_user_settings(lev, n));
    std::vector<OraclePrice> prices = {{"BTC-USD", 1, 2.5}, {"ETH-USD", 2, 3.5}};
    auto px = s.sign_oracle_prices(prices, n);
    expect_signed_own(s, Action{OraclePrices{prices}}, px);
    EXPECT_EQ(px->actions.size(), 2u);
    std::vector<PythEntry> pyth = {{1, 2, 3, -4}};
    expect_signed_own(s, Action{PythOracle{pyth}}, s.sign_pyth_oracle(pyth, n));
    expect_signed_own(s, Action{CreateSubAccount{"sub", 5.0}}, s.sign_create_sub_account("sub", 5.0, n));
    expect_signed_own(s, Action{RemoveSubAccount{filled_key(6)}}, s.sign_remove_sub_account(filled_key(6), n));
    expect_signed_own(s, Action{Transfer{TransferKind::External, filled_key(1), filled_key(2), 7.5}},
                      s.sign_transfer(filled_key(1), filled_key(2), 7.5, TransferKind::External, n));
    expect_signed_own(s, Action{WhitelistFaucet{filled_key(8), false}}, s.sign_whitelist_faucet(filled_key(8), false, n));
    expect_signed_own(s, Action{ApproveCommissionFee{filled_key(9), 15}},
                      s.sign_approve_commission_fee(filled_key(9), 15, n));
    EXPECT_EQ(s.sign_approve_builder_code(filled_key(9), 15, n)->signature,
              s.sign_approve_commission_fee(filled_key(9), 15, n)->signature);
    expect_signed_own(s, Action{RevokeCommissionFee{filled_key(9)}}, s.sign_revoke_commission_fee(filled_key(9), n));
    EXPECT_EQ(s.sign_revoke_builder_code(filled_key(9), n)->signature,
              s.sign_revoke_commission_fee(filled_key(9), n)->signature);
    LiquidatorConfig config;
    config.instruments = {{"ETH-USD", 1, 1, 1, 1, 1, 1, 1, 1, 1}, {"BTC-USD", 2, 2, 2, 2, 2, 2, 2, 2, 2}};
    auto liq = s.sign_update_liquidator_config(config, n);
    expect_signed_own(s, Action{UpdateLiquidatorConfig{config}}, liq);
    EXPECT_EQ(liq->actions[0]["liq"]["instruments"][0]["symbol"], "BTC-USD");
}

TEST(SignOperations, InputRefusalsDrawNoNonce) {
    Signer s = make_counter_signer();
    for (uint8_t fee : {uint8_t{0}, uint8_t{16}, uint8_t{255}}) {
        auto r = s.sign_approve_builder_code(filled_key(1), fee, std::nullopt);
        ASSERT_FALSE(r);
        EXPECT_EQ(error_text(r.error()), "invalid order: builder-code fee must be 1..=15 bps");
    }
    EXPECT_EQ(error_text(s.sign_oracle_prices({}, std::nullopt).error()),
              "invalid order: oracle prices array cannot be empty");
    EXPECT_EQ(error_text(s.sign_pyth_oracle({}, std::nullopt).error()),
              "invalid order: pyth oracle array cannot be empty");
    EXPECT_EQ(s.nonce_counter(), 0u);
    EXPECT_TRUE(s.sign_approve_builder_code(filled_key(1), 1, std::nullopt));
    EXPECT_EQ(s.nonce_counter(), 1u);
}

TEST(SignOperations, DefaultNoncesAreTimestamps) {
    Signer s = make_signer();
    auto a = s.sign_faucet(std::nullopt);
    auto b = s.sign_faucet(std::nullopt);
    ASSERT_TRUE(a && b);
    EXPECT_GT(a->nonce, 1600000000000000000ull);  // nanoseconds since 1970, well past 2020
    EXPECT_GT(b->nonce, a->nonce);
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load() >= b->nonce, true);
}
