// Internal: a little-endian writer that appends straight into the caller's
// byte vector. It grows the vector in chunks and writes through a raw
// pointer, so a field costs a bounds check and a copy rather than a vector
// insert; the vector is trimmed to what was written when the writer ends.
#pragma once
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "sdk_compat/wire.hpp"
#include "types/little_endian.hpp"
#include "types/types.hpp"

namespace vorn::wire {

class Writer {
public:
    explicit Writer(std::vector<uint8_t>& out) : out_(out), pos_(out.size()) {}
    ~Writer() { out_.resize(pos_); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void bytes(const uint8_t* data, size_t len) {
        if (len == 0) return;
        if (out_.size() - pos_ < len) grow(len);
        std::memcpy(out_.data() + pos_, data, len);
        pos_ += len;
    }
    void u8(uint8_t v) { fixed<1>(v); }
    void boolean(bool v) { u8(v ? 1 : 0); }
    void u16(uint16_t v) { fixed<2>(v); }
    void u32(uint32_t v) { fixed<4>(v); }
    void u64(uint64_t v) { fixed<8>(v); }
    // The IEEE-754 bits, unchanged.
    void f64(double v) { u64(std::bit_cast<uint64_t>(v)); }
    // u64 byte length, then the bytes; no terminator.
    void str(std::string_view s) {
        u64(s.size());
        bytes(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }
    void key(const Pubkey& k) { bytes(k.bytes.data(), k.bytes.size()); }
    void key(const Hash& h) { bytes(h.bytes.data(), h.bytes.size()); }

private:
    // A constant width lets the copy compile to a plain store.
    template <size_t N>
    void fixed(uint64_t v) {
        uint8_t b[N];
        store_le(b, v, N);
        if (out_.size() - pos_ < N) grow(N);
        std::memcpy(out_.data() + pos_, b, N);
        pos_ += N;
    }
    // Room for len more bytes and a chunk beyond, so short fields rarely
    // come back here.
    void grow(size_t len) { out_.resize(std::max(pos_ + len, out_.size() + kChunk)); }

    static constexpr size_t kChunk = 128;
    std::vector<uint8_t>& out_;
    size_t pos_;
};

// The encoder behind encode_tx_action, writing into an open writer.
void write_tx_action(const TxAction& action, Writer& w);
// What write_tx_action writes for an order record, without the variant.
void write_tx_action(const TxMarketOrder& record, Writer& w);
void write_tx_action(const TxLimitOrder& record, Writer& w);

}  // namespace vorn::wire
