#include "types/hex.hpp"

namespace vorn {

std::string hex_encode(const uint8_t* data, size_t len) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out(len * 2, '0');
    char* o = out.data();
    for (size_t i = 0; i < len; ++i, o += 2) {
        const uint8_t b = data[i];
        o[0] = kDigits[b >> 4];
        o[1] = kDigits[b & 0x0f];
    }
    return out;
}

}  // namespace vorn
