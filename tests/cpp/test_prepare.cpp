// Prepared messages: the worked signing-message layout, order ids, the same
// bytes the local signer signs, and batch preparation with nonces base + i.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "types/base58.hpp"
#include "types/keypair.hpp"
#include "sign/nonce.hpp"
#include "prepare/prepare.hpp"
#include "sdk_compat/sdk_compat.hpp"
#include "sign/sign.hpp"
#include "wallet/wallet.hpp"

using namespace vorn;

namespace {

constexpr uint64_t kNonce = 1700000000000000000ull;

Pubkey filled(uint8_t b) {
    Pubkey p;
    p.bytes.fill(b);
    return p;
}

Keypair key_from_seed(uint8_t fill) {
    std::vector<uint8_t> seed(32, fill);
    return *Keypair::from_bytes(seed.data(), seed.size());
}

Order limit(std::string symbol, bool is_buy, double price, double size) {
    Order o;
    o.symbol = std::move(symbol);
    o.is_buy = is_buy;
    o.price = price;
    o.size = size;
    o.order_type = LimitType{TimeInForce::GTC};
    return o;
}

Order market(std::string symbol, bool is_buy, double size) {
    Order o;
    o.symbol = std::move(symbol);
    o.is_buy = is_buy;
    o.size = size;
    o.order_type = TriggerType{true, 0.0};
    return o;
}

Order resting_trigger() {
    Order o = market("BTC-USD", true, 1.0);
    o.order_type = TriggerType{false, 90000.0};
    return o;
}

Cancel cancel(uint8_t id_byte) {
    Cancel c;
    c.order_id.bytes.fill(id_byte);
    c.symbol = "BTC-USD";
    return c;
}

std::vector<uint8_t> suffix(uint64_t nonce, const Pubkey& account, uint8_t domain) {
    std::vector<uint8_t> out;
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(nonce >> (8 * i)));
    out.insert(out.end(), account.bytes.begin(), account.bytes.end());
    out.push_back(domain);
    return out;
}

std::string id_b58(const OrderItem& item, uint32_t seq, uint64_t nonce, const Pubkey& account) {
    std::vector<uint8_t> scratch;
    auto id = compute_order_item_id_with_seqno(item, seq, nonce, account, scratch);
    return id ? id->to_base58() : std::string("none");
}

std::string err(const Result<PreparedMessage>& r) { return r ? "OK" : r.error().display(); }

}  // namespace

TEST(Prepare, WorkedLimitOrderMessageAndId) {
    const Pubkey account = filled(0x11);
    auto p = prepare_message(limit("BTC-USD", true, 100000.0, 0.25), SignatureDomain::Mainnet, account, std::nullopt,
                             kNonce);
    ASSERT_TRUE(p) << p.error().display();
    std::vector<uint8_t> expect = {0x01, 0, 0, 0, 0, 0, 0, 0,                          // count
                                   0x01, 0, 0, 0,                                      // index
                                   0x07, 0, 0, 0, 0, 0, 0, 0, 'B', 'T', 'C', '-', 'U', 'S', 'D',
                                   0x01,                                               // is_buy
                                   0x00, 0xA0, 0x72, 0x4E, 0x18, 0x09, 0x00, 0x00,     // price
                                   0x40, 0x78, 0x7D, 0x01, 0x00, 0x00, 0x00, 0x00,     // size
                                   0, 0, 0, 0,                                         // tif
                                   0x00, 0x00,                                         // reduce_only, iso
                                   0x00, 0x00, 0x2A, 0x36, 0xFE, 0x9C, 0x97, 0x17};    // nonce
    expect.insert(expect.end(), 32, 0x11);
    expect.push_back(0x01);
    EXPECT_EQ(p->message_bytes, expect);
    EXPECT_EQ(p->order_id, std::optional<std::string>("Fbm6qhWswsSgBru54SFczGfq9U8M5926ZKjQtK6JzEjY"));
    EXPECT_FALSE(p->order_ids.has_value());
    EXPECT_EQ(p->nonce, kNonce);
    EXPECT_EQ(p->account, account.to_base58());
    EXPECT_EQ(p->signer, p->account);
    ASSERT_EQ(p->actions.size(), 1u);
    EXPECT_TRUE(p->actions[0].contains("l"));
    EXPECT_EQ(p->actions[0]["l"]["tif"], "GTC");
}

TEST(Prepare, WorkedAgentWalletMessage) {
    const Pubkey account = filled(0x11);
    AgentWalletCreation a;
    a.agent = filled(0x22);
    auto p = prepare_action(Action(a), SignatureDomain::Mainnet, account, filled(0x33), kNonce);
    ASSERT_TRUE(p);
    std::vector<uint8_t> expect = {0x01, 0, 0, 0, 0, 0, 0, 0, 0x11, 0, 0, 0};
    expect.insert(expect.end(), 32, 0x22);
    expect.push_back(0x00);
    auto tail = suffix(kNonce, account, 1);
    expect.insert(expect.end(), tail.begin(), tail.end());
    EXPECT_EQ(p->message_bytes.size(), 86u);
    EXPECT_EQ(p->message_bytes, expect);
    EXPECT_FALSE(p->order_id.has_value());
    EXPECT_FALSE(p->order_ids.has_value());
    EXPECT_EQ(p->signer, filled(0x33).to_base58());
    EXPECT_EQ(p->actions, (std::vector<json>{json{{"agentWalletCreation", {{"a", filled(0x22).to_base58()},
                                                                           {"d", false}}}}}));
}

TEST(Prepare, SuffixCarriesNonceAccountDomain) {
    const Pubkey account = filled(0x5A);
    auto p = prepare_message(limit("ETH-USD", false, 2500.0, 1.0), SignatureDomain::Testnet, account, std::nullopt,
                             1000);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->nonce, 1000u);
    auto tail = suffix(1000, account, 2);
    ASSERT_GE(p->message_bytes.size(), 41u);
    EXPECT_EQ(std::vector<uint8_t>(p->message_bytes.end() - 41, p->message_bytes.end()), tail);
    EXPECT_TRUE(p->order_id.has_value());
    // The prepared record passes the wallet layer's own suffix check.
    EXPECT_EQ(*prepared_domain(*p), 2);
}

TEST(Prepare, OrderIdsOfGroups) {
    const Pubkey account = filled(0x11);
    std::vector<OrderItem> items = {limit("BTC-USD", true, 100.0, 1.0), cancel(0xAB), market("ETH-USD", false, 2.0)};
    auto p = prepare_action(Action(Orders{items}), SignatureDomain::Mainnet, account, std::nullopt, 77);
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->order_id.has_value());
    ASSERT_TRUE(p->order_ids.has_value());
    // The market order keeps its list position 2 as sequence number.
    EXPECT_EQ(*p->order_ids, (std::vector<std::string>{id_b58(items[0], 0, 77, account), id_b58(items[2], 2, 77, account)}));
    EXPECT_NE(id_b58(items[2], 2, 77, account), id_b58(items[2], 1, 77, account));
    EXPECT_EQ(p->actions.size(), 3u);

    auto cancels = prepare_action(Action(Orders{{cancel(1), cancel(2)}}), SignatureDomain::Mainnet, account,
                                  std::nullopt, 77);
    ASSERT_TRUE(cancels);
    EXPECT_FALSE(cancels->order_id.has_value());
    EXPECT_FALSE(cancels->order_ids.has_value());

    auto one_cancel = prepare_message(cancel(1), SignatureDomain::Mainnet, account, std::nullopt, 77);
    ASSERT_TRUE(one_cancel);
    EXPECT_FALSE(one_cancel->order_id.has_value());

    auto faucet = prepare_action(Action(Faucet{account, std::nullopt}), SignatureDomain::Mainnet, account,
                                 std::nullopt, 77);
    ASSERT_TRUE(faucet);
    EXPECT_FALSE(faucet->order_id.has_value());
    EXPECT_FALSE(faucet->order_ids.has_value());
}

TEST(Prepare, ErrorsPassThrough) {
    const Pubkey account = filled(0x11);
    EXPECT_EQ(err(prepare_action(Action(Orders{}), SignatureDomain::Mainnet, account, std::nullopt, 1)),
              "orders array cannot be empty");
    EXPECT_EQ(err(prepare_message(resting_trigger(), SignatureDomain::Mainnet, account, std::nullopt, 1)),
              "invalid order: trigger orders are not supported by VORN API; use market");
    EXPECT_EQ(err(prepare_action(Action(LegacyWithdrawA{}), SignatureDomain::Mainnet, account, std::nullopt, 1)),
              Error::legacy_withdrawal().display());
    EXPECT_EQ(err(prepare_single_item(resting_trigger(), SignatureDomain::Mainnet, account, account, 1)),
              "invalid order: trigger orders are not supported by VORN API; use market");
}

TEST(Prepare, TransferAndSingleItemForms) {
    const Pubkey account = filled(0x11);
    Transfer t;
    t.kind = TransferKind::External;
    t.from = filled(0x01);
    t.to = filled(0x02);
    t.amount = 12.5;
    auto a = prepare_transfer(t, SignatureDomain::Devnet, account, std::nullopt, 9);
    auto b = prepare_action(Action(t), SignatureDomain::Devnet, account, std::nullopt, 9);
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    EXPECT_EQ(a->message_bytes, b->message_bytes);
    EXPECT_EQ(a->actions, b->actions);
    EXPECT_EQ(a->message_bytes.back(), 3);
    EXPECT_EQ(a->actions[0]["transfer"]["k"], "external");

    // One item alone: the same record as the general path.
    const Pubkey signer = filled(0x44);
    auto single = prepare_single_item(market("SOL-USD", true, 3.0), SignatureDomain::Mainnet, account, signer, 55);
    auto general = prepare_message(market("SOL-USD", true, 3.0), SignatureDomain::Mainnet, account, signer, 55);
    ASSERT_TRUE(single);
    ASSERT_TRUE(general);
    EXPECT_EQ(single->message_bytes, general->message_bytes);
    EXPECT_EQ(single->actions, general->actions);
    EXPECT_EQ(single->order_id, general->order_id);
    EXPECT_TRUE(single->order_id.has_value());
    EXPECT_EQ(single->signer, signer.to_base58());
}

TEST(Prepare, ResolvedNoncesIncrease) {
    EXPECT_EQ(*resolve_nonce(42), 42u);
    auto a = resolve_nonce(std::nullopt);
    auto b = resolve_nonce(std::nullopt);
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    EXPECT_LT(*a, *b);
}

// The prepared bytes are what the local signer signs for the same action.
TEST(PrepareMatchesSigner, SameBytesAndSignatureVerifies) {
    Keypair agent = key_from_seed(0x31);
    auto signer = Signer::create(agent, "testnet");
    ASSERT_TRUE(signer);
    signer->set_compute_batch_order_ids(true);
    const Pubkey account = filled(0x66);

    Order with_code = limit("BTC-USD", true, 65000.5, 0.01);
    with_code.commission = Commission{filled(0x77), 5};
    Order with_slippage = market("ETH-USD", false, 1.5);
    with_slippage.slippage = 0.5;
    std::vector<Action> actions;
    actions.push_back(Action(Orders{{limit("BTC-USD", true, 100000.0, 0.25)}}));
    actions.push_back(Action(Orders{{with_code, cancel(0xCD), with_slippage}}));
    actions.push_back(Action(AgentWalletCreation{filled(0x22), true}));
    actions.push_back(Action(UpdateUserSettings{{{"ETH-USD", 5.0}, {"BTC-USD", 10.0}}}));
    actions.push_back(Action(CreateSubAccount{"alpha", 100.0}));

    for (size_t k = 0; k < actions.size(); ++k) {
        const uint64_t nonce = 123456789 + k;
        auto prepared = prepare_action(actions[k], SignatureDomain::Testnet, account, agent.pubkey(), nonce);
        ASSERT_TRUE(prepared) << k << prepared.error().display();
        auto signed_tx = signer->sign_action(actions[k], nonce, account);
        ASSERT_TRUE(signed_tx) << k;

        // Deterministic signatures: equal signatures mean equal bytes.
        EXPECT_EQ(signer->sign_bytes(prepared->message_bytes.data(), prepared->message_bytes.size()),
                  signed_tx->signature)
            << k;
        auto sig = base58_decode(signed_tx->signature);
        ASSERT_TRUE(sig);
        ASSERT_EQ(sig->size(), 64u);
        Signature raw;
        std::copy(sig->begin(), sig->end(), raw.begin());
        EXPECT_TRUE(verify_signature(agent.pubkey(), prepared->message_bytes.data(), prepared->message_bytes.size(), raw));
        std::vector<uint8_t> direct;
        ASSERT_TRUE(serialize_for_sdk_signing(actions[k], 2, nonce, account, direct));
        EXPECT_EQ(prepared->message_bytes, direct) << k;

        EXPECT_EQ(prepared->actions, signed_tx->actions) << k;
        EXPECT_EQ(prepared->order_id, signed_tx->order_id) << k;
        EXPECT_EQ(prepared->order_ids, signed_tx->order_ids) << k;

        // Finalising with the signer's signature gives the signer's transaction.
        auto final_tx = finalize_with_message(*prepared, signed_tx->signature, std::nullopt);
        ASSERT_TRUE(final_tx) << final_tx.error().display();
        EXPECT_EQ(final_tx->signature, signed_tx->signature);
        EXPECT_EQ(final_tx->account, signed_tx->account);
        EXPECT_EQ(final_tx->signer, signed_tx->signer);
        EXPECT_EQ(final_tx->nonce, signed_tx->nonce);
        EXPECT_EQ(final_tx->actions, signed_tx->actions);
        EXPECT_EQ(final_tx->order_id, signed_tx->order_id);
        EXPECT_EQ(final_tx->order_ids, signed_tx->order_ids);
    }
}

TEST(PrepareMatchesSigner, OffchainWalletRoundTrip) {
    Keypair key = key_from_seed(0x32);
    auto prepared = prepare_message(limit("BTC-USD", true, 100.0, 0.5), SignatureDomain::Mainnet, key.pubkey(),
                                    std::nullopt, kNonce);
    ASSERT_TRUE(prepared);
    auto wallet = prepare_wallet_message(*prepared, SignatureMode::Offchain);
    ASSERT_TRUE(wallet) << wallet.error().display();
    const std::string line = "[0] Limit BTC-USD Buy px=100.00000000 sz=0.50000000 tif=GTC ro=false iso=false\n";
    EXPECT_EQ(wallet->text->substr(wallet->text->size() - line.size()), line);
    auto validated = validate_wallet_message(*wallet);
    ASSERT_TRUE(validated);
    const std::string sig = signature_to_base58(key.sign(validated->message.data(), validated->message.size()));
    auto tx = finalize_with_message(validated->prepared, sig, std::span<const uint8_t>(validated->message));
    ASSERT_TRUE(tx) << tx.error().display();
    EXPECT_EQ(tx->signature, sig);
    // The envelope signature is not a signature over the raw bytes.
    EXPECT_FALSE(finalize_with_message(validated->prepared, sig, std::nullopt));
}

// ---- batches ----

namespace {

std::vector<OrderItem> batch_of(size_t n) {
    std::vector<OrderItem> items;
    for (size_t i = 0; i < n; ++i) items.push_back(limit("BTC-USD", i % 2 == 0, 100.0 + static_cast<double>(i), 1.0));
    return items;
}

void expect_batch(const std::vector<PreparedMessage>& out, const std::vector<OrderItem>& items, uint64_t base,
                  const Pubkey& account, const Pubkey& signer) {
    ASSERT_EQ(out.size(), items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        const uint64_t nonce = base + i;
        EXPECT_EQ(out[i].nonce, nonce) << i;
        EXPECT_EQ(out[i].order_id, std::optional<std::string>(id_b58(items[i], 0, nonce, account))) << i;
        EXPECT_FALSE(out[i].order_ids.has_value());
        EXPECT_EQ(out[i].signer, signer.to_base58());
        EXPECT_EQ(out[i].actions.size(), 1u);
        auto alone = prepare_single_item(items[i], SignatureDomain::Mainnet, account, signer, nonce);
        ASSERT_TRUE(alone);
        EXPECT_EQ(out[i].message_bytes, alone->message_bytes) << i;
    }
}

}  // namespace

TEST(PrepareBatch, NineSequentialAndTenParallelGetBasePlusIndex) {
    const Pubkey account = filled(0x11);
    for (size_t n : {size_t{3}, size_t{9}, size_t{10}, size_t{37}}) {
        auto items = batch_of(n);
        auto out = prepare_all_orders(items, SignatureDomain::Mainnet, account, std::nullopt, 500);
        ASSERT_TRUE(out) << n;
        expect_batch(*out, items, 500, account, account);
    }
    const Pubkey signer = filled(0x99);
    auto items = batch_of(12);
    auto out = prepare_all_orders(items, SignatureDomain::Mainnet, account, signer, 7);
    ASSERT_TRUE(out);
    expect_batch(*out, items, 7, account, signer);
}

TEST(PrepareBatch, NoncesWrapAtTheTopOfU64) {
    const Pubkey account = filled(0x11);
    const uint64_t top = ~uint64_t{0};
    for (size_t n : {size_t{2}, size_t{10}}) {
        auto out = prepare_all_orders(batch_of(n), SignatureDomain::Mainnet, account, std::nullopt, top);
        ASSERT_TRUE(out);
        EXPECT_EQ((*out)[0].nonce, top);
        EXPECT_EQ((*out)[1].nonce, 0u);
        EXPECT_EQ(out->back().nonce, n - 2);
    }
}

TEST(PrepareBatch, OneFailingItemFailsTheBatch) {
    const Pubkey account = filled(0x11);
    const std::string refused = "invalid order: trigger orders are not supported by VORN API; use market";
    for (size_t n : {size_t{5}, size_t{10}, size_t{25}}) {
        auto items = batch_of(n);
        items[2] = resting_trigger();
        auto out = prepare_all_orders(items, SignatureDomain::Mainnet, account, std::nullopt, 1);
        ASSERT_FALSE(out) << n;
        ASSERT_TRUE(std::holds_alternative<Error>(out.error()));
        EXPECT_EQ(std::get<Error>(out.error()).display(), refused);
    }
}

TEST(PrepareBatch, EmptyDrawsNoNonceAndDrawnBaseReservesTheRange) {
    const Pubkey account = filled(0x11);
    const uint64_t before = LAST_TIMESTAMP_NANOS.load();
    auto empty = prepare_all_orders({}, SignatureDomain::Mainnet, account, std::nullopt, std::nullopt);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), before);

    // An explicit base leaves the clock alone.
    ASSERT_TRUE(prepare_all_orders(batch_of(3), SignatureDomain::Mainnet, account, std::nullopt, ~uint64_t{0} - 5));
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), before);

    for (size_t n : {size_t{4}, size_t{12}}) {
        auto out = prepare_all_orders(batch_of(n), SignatureDomain::Mainnet, account, std::nullopt, std::nullopt);
        ASSERT_TRUE(out);
        const uint64_t base = (*out)[0].nonce;
        EXPECT_GT(base, before);
        EXPECT_EQ(out->back().nonce, base + n - 1);
        // The next timestamp nonce lies past the whole batch.
        EXPECT_GE(LAST_TIMESTAMP_NANOS.load(), base + n - 1);
        auto next = unique_timestamp();
        ASSERT_TRUE(next);
        EXPECT_GT(*next, base + n - 1);
    }
}
