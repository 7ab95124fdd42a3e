#include "ed25519/group.hpp"

#include <sodium.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

#if VORN_MULTI_BUFFER
#include <crypto_mb/cpu_features.h>
#include <crypto_mb/ed25519.h>
#endif

namespace vorn::ed25519 {

namespace {

void sign_portable(const Keypair& key, std::span<const Message> messages, std::span<Signature> out) {
    for (size_t k = 0; k < messages.size(); ++k) out[k] = key.sign(messages[k].data, messages[k].size);
}

#if VORN_MULTI_BUFFER
// Stack below the caller that one multi-buffer call may have written (its
// deepest use measured at about 21 KiB), with room to spare: the library
// leaves the secret scalar and the nonce there (as 52-bit limbs), and they
// are wiped after every call, as libsodium wipes its own. Zeroing 32 KiB
// costs about a microsecond a group.
constexpr size_t kStackWipe = 32 * 1024;

bool multi_buffer_supported() {
    return mbx_is_crypto_mb_applicable(0) != 0 && (mbx_get_algo_info(MBX_ALGO_ED25519) & MBX_WIDTH_MB8) != 0;
}

// One multi-buffer call for up to eight messages; the lanes past the group
// get null pointers and are never read or written. The signer's seed and
// public key are passed in place: nothing of the key is copied.
[[gnu::noinline]] void sign_lanes(const Keypair& key, std::span<const Message> messages, std::span<Signature> out) {
    ed25519_sign_component* r[kGroup] = {};
    ed25519_sign_component* s[kGroup] = {};
    const int8u* msg[kGroup] = {};
    int32u len[kGroup] = {};
    const ed25519_private_key* seed[kGroup] = {};
    const ed25519_public_key* pub[kGroup] = {};
    for (size_t k = 0; k < messages.size(); ++k) {
        r[k] = reinterpret_cast<ed25519_sign_component*>(out[k].data());
        s[k] = reinterpret_cast<ed25519_sign_component*>(out[k].data() + 32);
        msg[k] = messages[k].data;
        len[k] = static_cast<int32u>(messages[k].size);
        seed[k] = reinterpret_cast<const ed25519_private_key*>(key.seed().data());
        pub[k] = reinterpret_cast<const ed25519_public_key*>(key.pubkey().bytes.data());
    }
    const mbx_status status = mbx_ed25519_sign_mb8(r, s, msg, len, seed, pub);
    // A lane the library refused (none is expected: every pointer is set)
    // is signed by libsodium instead.
    for (size_t k = 0; k < messages.size(); ++k)
        if (MBX_GET_STS(status, static_cast<int>(k)) != MBX_STATUS_OK)
            out[k] = key.sign(messages[k].data, messages[k].size);
}

void sign_multi_buffer(const Keypair& key, std::span<const Message> messages, std::span<Signature> out) {
    for (const Message& m : messages)
        if (m.size > std::numeric_limits<int32_t>::max()) return sign_portable(key, messages, out);
    sign_lanes(key, messages, out);
    sodium_stackzero(kStackWipe);
}
#endif

Engine decide_engine() {
    const char* forced = std::getenv("VORN_KEYCHAIN_ED25519");
    if (forced != nullptr && std::string_view(forced) == "portable") return Engine::Portable;
    return multi_buffer_available() ? Engine::MultiBuffer : Engine::Portable;
}

}  // namespace

bool multi_buffer_available() {
#if VORN_MULTI_BUFFER
    static const bool supported = multi_buffer_supported();
    return supported;
#else
    return false;
#endif
}

Engine batch_engine() {
    static const Engine engine = decide_engine();
    return engine;
}

void sign_group_with(Engine engine, const Keypair& key, std::span<const Message> messages, std::span<Signature> out) {
#if VORN_MULTI_BUFFER
    if (engine == Engine::MultiBuffer && multi_buffer_available()) return sign_multi_buffer(key, messages, out);
#else
    (void)engine;
#endif
    sign_portable(key, messages, out);
}

void sign_group(const Keypair& key, std::span<const Message> messages, std::span<Signature> out) {
    const Engine engine = messages.size() >= kMultiBufferMinimum ? batch_engine() : Engine::Portable;
    sign_group_with(engine, key, messages, out);
}

}  // namespace vorn::ed25519

#if VORN_MULTI_BUFFER
// The multi-buffer library's object that holds its Ed25519 arithmetic also
// holds two converters from OpenSSL big numbers, used only by its RSA and
// ECDSA entry points, which this build never calls. They are defined here,
// hidden, so that OpenSSL is not linked in; reaching one is a fault.
extern "C" {
[[gnu::visibility("hidden"), noreturn]] int BN_num_bits(const void*) { std::abort(); }
[[gnu::visibility("hidden"), noreturn]] int BN_bn2lebinpad(const void*, unsigned char*, int) { std::abort(); }
}
#endif
