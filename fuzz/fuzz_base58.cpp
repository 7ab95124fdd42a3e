// Base58: any text decodes to bytes or an InvalidBase58 error; valid text is
// canonical (re-encoding gives it back); any bytes survive encode then decode;
// the bounded decoder agrees with the allocating one; the encoder agrees with
// a plain schoolbook reference.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "types/base58.hpp"
#include "fuzz_check.hpp"
#include "types/types.hpp"

namespace {

constexpr char kAlphabet[] = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";

// Repeated division of the big-endian number by 58, one digit at a time.
std::string reference_encode(const uint8_t* data, size_t len) {
    size_t zeros = 0;
    while (zeros < len && data[zeros] == 0) ++zeros;
    std::vector<uint8_t> num(data + zeros, data + len);
    std::string digits;
    while (!num.empty()) {
        uint32_t rem = 0;
        std::vector<uint8_t> quotient;
        for (uint8_t b : num) {
            const uint32_t cur = rem * 256 + b;
            const uint8_t q = static_cast<uint8_t>(cur / 58);
            rem = cur % 58;
            if (!quotient.empty() || q != 0) quotient.push_back(q);
        }
        digits.push_back(kAlphabet[rem]);
        num.swap(quotient);
    }
    return std::string(zeros, '1') + std::string(digits.rbegin(), digits.rend());
}

bool in_alphabet(char c) { return std::string_view(kAlphabet).find(c) != std::string_view::npos && c != '\0'; }

void check_text(std::string_view text, size_t cap) {
    auto decoded = vorn::base58_decode(text);

    size_t first_bad = text.size();
    for (size_t i = 0; i < text.size(); ++i)
        if (!in_alphabet(text[i])) { first_bad = i; break; }

    uint8_t out[256];
    auto bounded = vorn::base58_decode_into(text, out, cap);
    if (!decoded) {
        FUZZ_CHECK(decoded.error().kind == vorn::ErrorKind::InvalidBase58);
        FUZZ_CHECK(first_bad < text.size());
        FUZZ_CHECK(decoded.error().text.ends_with(" at byte " + std::to_string(first_bad)));
        FUZZ_CHECK(!bounded && bounded.error().text == decoded.error().text);
        FUZZ_CHECK(!vorn::Pubkey::from_base58(text));
        return;
    }
    FUZZ_CHECK(first_bad == text.size());
    // Valid text is canonical: one "1" per leading zero byte, no other padding.
    const std::string again = vorn::base58_encode(decoded->data(), decoded->size());
    FUZZ_CHECK(again == text);
    auto redecoded = vorn::base58_decode(again);
    FUZZ_CHECK(redecoded && *redecoded == *decoded);

    // Past 1024 characters a value too large for the bounded decoder is
    // refused on its length alone instead of being decoded in full.
    const bool refused_long = !bounded && text.size() > 1024 && decoded->size() > 128 &&
                              bounded.error().kind == vorn::ErrorKind::InvalidBase58 &&
                              bounded.error().text.starts_with("provided string is too long");
    FUZZ_CHECK(refused_long || (bounded && *bounded == decoded->size()));
    if (bounded && *bounded <= cap)
        FUZZ_CHECK(std::equal(decoded->begin(), decoded->end(), out));

    auto key = vorn::Pubkey::from_base58(text);
    FUZZ_CHECK(key.has_value() == (decoded->size() == 32));
    if (key) FUZZ_CHECK(std::equal(key->bytes.begin(), key->bytes.end(), decoded->begin()));
    if (!key && !refused_long)
        FUZZ_CHECK(key.error().kind == vorn::ErrorKind::InvalidKeyLength && key.error().got == decoded->size());
}

void check_bytes(const uint8_t* data, size_t len) {
    const std::string text = vorn::base58_encode(data, len);
    FUZZ_CHECK(text == reference_encode(data, len));
    auto back = vorn::base58_decode(text);
    FUZZ_CHECK(back && back->size() == len && std::equal(back->begin(), back->end(), data));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const size_t cap = size == 0 ? 0 : data[0] % 129;  // around the 64-byte signature size
    check_text(text, cap);
    if (size <= 512) check_bytes(data, size);  // the reference encoder is quadratic
    return 0;
}
