// Keys, hashes and names from outside: keypairs from base58 text and from
// raw bytes, hashes and public keys from base58, the network domain and
// nonce-strategy names. Accepted values round-trip; refusals carry exactly
// the error the input calls for.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.hpp"
#include "nonce/nonce.hpp"
#include "types/base58.hpp"
#include "types/keypair.hpp"
#include "types/types.hpp"

namespace {

using vorn::ErrorKind;

// A long text whose value needs more than the bounded buffer may be refused
// on its length alone, before it is decoded.
bool refused_on_length(const vorn::Error& e, std::string_view text) {
    return e.kind == ErrorKind::InvalidBase58 && text.size() > 1024 && e.text.starts_with("provided string is too long");
}

void check_keypair(const vorn::Keypair& kp) {
    const auto bytes = kp.to_bytes();
    FUZZ_CHECK(std::equal(kp.seed().begin(), kp.seed().end(), bytes.begin()));
    FUZZ_CHECK(std::equal(kp.pubkey().bytes.begin(), kp.pubkey().bytes.end(), bytes.begin() + 32));
    auto from_seed = vorn::Keypair::from_bytes(bytes.data(), 32);
    FUZZ_CHECK(from_seed && from_seed->pubkey() == kp.pubkey());
    auto back = vorn::Keypair::from_base58(kp.to_base58());
    FUZZ_CHECK(back && back->to_bytes() == bytes);
    // The key verifies what it signs, and nothing else.
    const uint8_t msg[3] = {1, 2, 3};
    auto sig = kp.sign(msg, sizeof msg);
    FUZZ_CHECK(vorn::verify_signature(kp.pubkey(), msg, sizeof msg, sig));
    sig[0] ^= 1;
    FUZZ_CHECK(!vorn::verify_signature(kp.pubkey(), msg, sizeof msg, sig));
}

void check_keypair_bytes(const uint8_t* data, size_t len) {
    auto kp = vorn::Keypair::from_bytes(data, len);
    if (len != 32 && len != 64) {
        FUZZ_CHECK(!kp && kp.error().kind == ErrorKind::InvalidKeyLength);
        FUZZ_CHECK(kp.error().expected == 64 && kp.error().got == len);
        return;
    }
    // 64 bytes hold the seed and then the key it must derive.
    auto derived = vorn::Keypair::from_bytes(data, 32);
    FUZZ_CHECK(derived && std::equal(derived->seed().begin(), derived->seed().end(), data));
    const bool matches = len == 32 || std::equal(derived->pubkey().bytes.begin(), derived->pubkey().bytes.end(), data + 32);
    FUZZ_CHECK(kp.has_value() == matches);
    if (!kp) FUZZ_CHECK(kp.error().kind == ErrorKind::KeypairMismatch);
    else check_keypair(*kp);
}

void check_text(std::string_view text) {
    auto decoded = vorn::base58_decode(text);
    auto kp = vorn::Keypair::from_base58(text);
    auto key = vorn::Pubkey::from_base58(text);
    auto hash = vorn::Hash::from_base58(text);
    FUZZ_CHECK(vorn::validate_pubkey(text) == key.has_value());
    FUZZ_CHECK(vorn::validate_hash(text) == hash.has_value());
    if (!decoded) {
        FUZZ_CHECK(!kp && !key && !hash);
        FUZZ_CHECK(kp.error().kind == ErrorKind::InvalidBase58 && kp.error().text == decoded.error().text);
        FUZZ_CHECK(hash.error().kind == ErrorKind::InvalidBase58 && hash.error().text == decoded.error().text);
        return;
    }
    const size_t n = decoded->size();
    FUZZ_CHECK(key.has_value() == (n == 32) && hash.has_value() == (n == 32));
    if (hash) {
        FUZZ_CHECK(std::equal(hash->bytes.begin(), hash->bytes.end(), decoded->begin()));
        FUZZ_CHECK(hash->to_base58() == text && key->to_base58() == text);
    } else if (!refused_on_length(hash.error(), text)) {
        FUZZ_CHECK(hash.error().kind == ErrorKind::InvalidHashLength && hash.error().got == n);
        FUZZ_CHECK(key.error().kind == ErrorKind::InvalidKeyLength && key.error().expected == 32 &&
                   key.error().got == n);
    }
    if (n == 32 || n == 64) {
        auto direct = vorn::Keypair::from_bytes(decoded->data(), n);
        FUZZ_CHECK(kp.has_value() == direct.has_value());
        if (kp) FUZZ_CHECK(kp->to_bytes() == direct->to_bytes() && (n == 32 || kp->to_base58() == text));
        else FUZZ_CHECK(kp.error().kind == direct.error().kind);
    } else if (!refused_on_length(kp.error(), text)) {
        FUZZ_CHECK(!kp && kp.error().kind == ErrorKind::InvalidKeyLength);
        FUZZ_CHECK(kp.error().expected == 64 && kp.error().got == n);
    }
}

void check_names(std::string_view name) {
    auto domain = vorn::signature_domain_from_str(name);
    const bool known_domain = name == "mainnet" || name == "testnet" || name == "devnet";
    FUZZ_CHECK(domain.has_value() == known_domain);
    if (domain) {
        FUZZ_CHECK(name == vorn::signature_domain_name(*domain));
        FUZZ_CHECK(vorn::signature_domain_from_byte(vorn::signature_domain_byte(*domain)) == *domain);
    } else {
        FUZZ_CHECK(domain.error().kind == ErrorKind::InvalidSignatureDomain && domain.error().text == name);
    }
    auto strategy = vorn::nonce_strategy_from_name(name);
    FUZZ_CHECK(strategy.has_value() == (name == "timestamp" || name == "counter" || name == "high_frequency"));
    if (strategy) FUZZ_CHECK(name == vorn::nonce_strategy_name(*strategy));
}

}  // namespace

// The first byte chooses the check; the rest is its input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 4) {
    case 0: check_keypair_bytes(data + 1, size - 1); break;
    case 1: {
        // A seed, then seed and derived key, one bit flipped when more input follows.
        if (size < 33) return 0;
        auto kp = vorn::Keypair::from_bytes(data + 1, 32);
        FUZZ_CHECK(kp.has_value());
        check_keypair(*kp);
        std::vector<uint8_t> full(data + 1, data + 33);
        full.insert(full.end(), kp->pubkey().bytes.begin(), kp->pubkey().bytes.end());
        if (size > 33) full[32 + data[33] % 32] ^= static_cast<uint8_t>(1 + data[33] % 255);
        check_keypair_bytes(full.data(), full.size());
        break;
    }
    case 2: check_text(rest); break;
    default: check_names(rest); break;
    }
    return 0;
}
