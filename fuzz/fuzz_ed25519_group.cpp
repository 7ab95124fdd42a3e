// Group signatures against libsodium: a random key, one to eight messages
// of random lengths and contents, signed in one group by the multi-buffer
// engine (where this processor has it), must be byte for byte the
// signatures libsodium makes one at a time, lane for lane.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ed25519/group.hpp"
#include "fuzz_check.hpp"
#include "types/keypair.hpp"

namespace ed = vorn::ed25519;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader in{data, size};
    const size_t n = in.u8() % ed::kGroup + 1;
    std::array<uint8_t, 32> seed;
    for (uint8_t& b : seed) b = in.u8();
    auto key = vorn::Keypair::from_bytes(seed.data(), seed.size());
    FUZZ_CHECK(key);
    // Message k takes the next len_k bytes (a length byte each, scaled up to
    // reach past one SHA-512 block), zeros past the end of the input.
    std::array<std::vector<uint8_t>, ed::kGroup> messages;
    std::array<ed::Message, ed::kGroup> group;
    for (size_t k = 0; k < n; ++k) {
        const size_t len = size_t{in.u8()} * 3 % 400;
        for (size_t j = 0; j < len; ++j) messages[k].push_back(in.u8());
        group[k] = {messages[k].data(), messages[k].size()};
    }
    const ed::Engine engine = ed::multi_buffer_available() ? ed::Engine::MultiBuffer : ed::Engine::Portable;
    std::array<vorn::Signature, ed::kGroup> out;
    ed::sign_group_with(engine, *key, std::span(group).first(n), std::span(out).first(n));
    for (size_t k = 0; k < n; ++k) FUZZ_CHECK(out[k] == key->sign(group[k].data, group[k].size));
    return 0;
}
