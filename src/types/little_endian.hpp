// Little-endian loads and stores of unsigned integers, the byte order of every
// wire format in this library.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vorn {

// Writes the low n bytes of v to out, least significant first.
inline void store_le(uint8_t* out, uint64_t v, size_t n) {
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Reads 8 bytes at p as a little-endian u64.
inline uint64_t load_u64_le(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

}  // namespace vorn
