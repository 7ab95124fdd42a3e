#include "types/base64.hpp"

namespace vorn {

std::string base64_encode(const uint8_t* data, size_t len) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    // Sized once (the padding already in place), then written through a
    // pointer: no per-character capacity check.
    std::string out((len + 2) / 3 * 4, '=');
    char* o = out.data();
    size_t i = 0;
    for (; i + 3 <= len; i += 3, o += 4) {
        const uint32_t n = (uint32_t{data[i]} << 16) | (uint32_t{data[i + 1]} << 8) | data[i + 2];
        o[0] = kAlphabet[(n >> 18) & 63];
        o[1] = kAlphabet[(n >> 12) & 63];
        o[2] = kAlphabet[(n >> 6) & 63];
        o[3] = kAlphabet[n & 63];
    }
    const size_t rest = len - i;
    if (rest != 0) {
        const uint32_t n = (uint32_t{data[i]} << 16) | (rest == 2 ? uint32_t{data[i + 1]} << 8 : 0);
        o[0] = kAlphabet[(n >> 18) & 63];
        o[1] = kAlphabet[(n >> 12) & 63];
        if (rest == 2) o[2] = kAlphabet[(n >> 6) & 63];
    }
    return out;
}

}  // namespace vorn
