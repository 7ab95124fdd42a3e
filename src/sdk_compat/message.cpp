// The signing message: optional format marker, the counted wire actions,
// then the signing suffix (nonce, account, network domain).
#include <algorithm>

#include "sdk_compat/bytes.hpp"
#include "sdk_compat/convert.hpp"
#include "sdk_compat/sdk_compat.hpp"

namespace vorn {

using wire::Writer;

namespace {

// Encodes each record as soon as it is converted.
class EncodeSink final : public detail::TxActionSink {
public:
    explicit EncodeSink(Writer& w) : w_(w) {}
    void put(TxAction& action) override { wire::write_tx_action(action, w_); }

private:
    Writer& w_;
};

// Converts without keeping anything: the check pass of a non-empty buffer.
class DiscardSink final : public detail::TxActionSink {
public:
    void put(TxAction&) override {}
};

void write_format_marker(Writer& w, uint8_t wire_version) {
    static constexpr uint8_t kPrefix[20] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'v', 'o',
                                            'r',  'n',  '-',  'a',  'c',  't',  'i',  'o',  'n',  's'};
    w.bytes(kPrefix, sizeof kPrefix);
    w.u8(wire_version);
}

// The number of top-level wire actions: one per order item or oracle price,
// one for every other action.
uint64_t top_level_count(const Action& action) {
    if (const auto* orders = std::get_if<Orders>(&action.v)) return orders->items.size();
    if (const auto* prices = std::get_if<OraclePrices>(&action.v)) return prices->prices.size();
    return 1;
}

}  // namespace

Status serialize_for_sdk_signing(const Action& action, uint8_t domain, uint64_t nonce, const Pubkey& account,
                                 std::vector<uint8_t>& buffer) {
    const uint64_t count = top_level_count(action);
    if (count == 0) return fail(Error::empty_orders());
    const uint8_t wire_version = message_wire_version(action);

    // A refusal leaves the buffer as it was. Old content therefore stays
    // until a first pass has accepted the action; an empty buffer (the
    // pipeline's case) is written at once and emptied again on a refusal.
    if (!buffer.empty()) {
        DiscardSink check;
        if (auto st = detail::convert_action_into(action, wire_version, check); !st) return st;
        buffer.clear();
    }
    // One pass: each record is converted and encoded straight into buffer.
    Status st;
    {
        Writer w(buffer);
        if (wire_version >= 2) write_format_marker(w, wire_version);
        w.u64(count);
        EncodeSink sink(w);
        st = detail::convert_action_into(action, wire_version, sink);
        if (st) {
            w.u64(nonce);
            w.key(account);
            w.u8(domain);
        }
    }
    if (!st) buffer.clear();
    return st;
}

std::optional<SigningSuffix> read_signing_suffix(std::span<const uint8_t> message) {
    if (message.size() < kSigningSuffixLen) return std::nullopt;
    const uint8_t* p = message.data() + message.size() - kSigningSuffixLen;
    SigningSuffix s;
    s.nonce = load_u64_le(p);
    std::copy(p + 8, p + 40, s.account.bytes.begin());
    s.domain = p[40];
    return s;
}

}  // namespace vorn
