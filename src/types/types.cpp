#include "types/types.hpp"

#include <algorithm>

#include "types/base58.hpp"

namespace vorn {

namespace {

// Decodes text into exactly 32 bytes; len_error builds the length error.
template <class LenError>
Status decode32(std::string_view text, std::array<uint8_t, 32>& out, LenError len_error) {
    auto n = base58_decode_32(text, out.data());
    if (!n) return fail(n.error());
    if (*n != 32) return fail(len_error(*n));
    return {};
}

}  // namespace

Result<Pubkey> Pubkey::from_base58(std::string_view text) {
    Pubkey k;
    auto ok = decode32(text, k.bytes, [](size_t got) { return Error::invalid_key_length(32, got); });
    if (!ok) return fail(ok.error());
    return k;
}

std::string Pubkey::to_base58() const { return base58_encode(bytes.data(), bytes.size()); }

Result<Hash> Hash::from_base58(std::string_view text) {
    Hash h;
    auto ok = decode32(text, h.bytes, [](size_t got) { return Error::invalid_hash_length(got); });
    if (!ok) return fail(ok.error());
    return h;
}

std::string Hash::to_base58() const { return base58_encode(bytes.data(), bytes.size()); }

Result<SignatureDomain> signature_domain_from_str(std::string_view text) {
    if (text == "mainnet") return SignatureDomain::Mainnet;
    if (text == "testnet") return SignatureDomain::Testnet;
    if (text == "devnet") return SignatureDomain::Devnet;
    return fail(Error::invalid_signature_domain(std::string(text)));
}

const char* signature_domain_name(SignatureDomain d) {
    switch (d) {
    case SignatureDomain::Mainnet: return "mainnet";
    case SignatureDomain::Testnet: return "testnet";
    case SignatureDomain::Devnet: return "devnet";
    }
    return "";
}

std::optional<SignatureDomain> signature_domain_from_byte(uint8_t b) {
    if (b >= 1 && b <= 3) return static_cast<SignatureDomain>(b);
    return std::nullopt;
}

Status Commission::check_fee(uint8_t fee) {
    if (fee < 1 || fee > 15) return fail(Error::invalid_order("builder-code fee must be 1..=15 bps"));
    return {};
}

Result<Commission> Commission::make(const Pubkey& to, uint8_t fee) {
    if (auto st = check_fee(fee); !st) return fail(std::move(st.error()));
    return Commission{to, fee};
}

const char* time_in_force_name(TimeInForce t) {
    switch (t) {
    case TimeInForce::GTC: return "GTC";
    case TimeInForce::IOC: return "IOC";
    case TimeInForce::ALO: return "ALO";
    }
    return "";
}

const char* transfer_kind_name(TransferKind k) { return k == TransferKind::Internal ? "internal" : "external"; }

std::vector<const LiquidatorInstrumentConfig*> LiquidatorConfig::sorted_instruments() const {
    std::vector<const LiquidatorInstrumentConfig*> out;
    out.reserve(instruments.size());
    for (const auto& i : instruments) out.push_back(&i);
    // std::string compares as unsigned bytes via char_traits<char>::compare (memcmp semantics).
    std::stable_sort(out.begin(), out.end(),
                     [](const LiquidatorInstrumentConfig* a, const LiquidatorInstrumentConfig* b) {
                         return std::string_view(a->symbol) < std::string_view(b->symbol);
                     });
    return out;
}

}  // namespace vorn
