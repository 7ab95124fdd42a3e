// The signing message: optional format marker, the counted wire actions,
// then the signing suffix (nonce, account, network domain).
#include "sdk_compat/sdk_compat.hpp"
#include "sdk_compat/bytes.hpp"
#include "sdk_compat/convert.hpp"

namespace vorn {

using wire::Writer;

namespace {

// Encodes each record as soon as it is converted, and counts them.
class EncodeSink final : public detail::TxActionSink {
public:
    explicit EncodeSink(Writer& w) : w_(w) {}
    void put(TxAction& action) override {
        wire::write_tx_action(action, w_);
        ++count;
    }
    uint64_t count = 0;

private:
    Writer& w_;
};

void write_format_marker(Writer& w, uint8_t wire_version) {
    static constexpr uint8_t kPrefix[20] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'v', 'o',
                                            'r',  'n',  '-',  'a',  'c',  't',  'i',  'o',  'n',  's'};
    w.bytes(kPrefix, sizeof kPrefix);
    w.u8(wire_version);
}

}  // namespace

Status serialize_for_sdk_signing(const Action& action, uint8_t domain, uint64_t nonce, const Pubkey& account,
                                 std::vector<uint8_t>& buffer) {
    const uint8_t wire_version = message_wire_version(action);

    // The message is built behind the old content, in one conversion pass;
    // a refusal trims it away again, so the buffer stays as it was, and
    // success moves the message to the front.
    const size_t old_size = buffer.size();
    size_t count_at = 0;
    uint64_t count = 0;
    {
        Writer w(buffer);
        if (wire_version >= 2) write_format_marker(w, wire_version);
        count_at = w.pos();
        w.u64(0);  // the count, patched below
        EncodeSink sink(w);
        auto st = detail::convert_action_into(action, wire_version, sink);
        if (!st || sink.count == 0) {
            w.truncate(old_size);
            if (!st) return st;
            return fail(Error::empty_orders());
        }
        count = sink.count;
        w.patch_u64(count_at, count);
        w.u64(nonce);
        w.key(account);
        w.u8(domain);
    }
    if (old_size != 0) buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(old_size));
    return {};
}

}  // namespace vorn
