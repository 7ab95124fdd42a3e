// Invariant checks for the fuzz targets: a failed check prints what broke
// and traps, so libFuzzer records the input as a crash.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            __builtin_trap();                                                              \
        }                                                                                  \
    } while (0)

namespace fuzz {

// Reads fixed-size values off the front of the input; past the end it gives zeros.
struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;

    uint8_t u8() { return at < size ? data[at++] : 0; }
    uint64_t u64() {
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(u8()) << (8 * i);
        return v;
    }
    // Up to n bytes, fewer at the end of the input.
    std::string_view bytes(size_t n) {
        const size_t take = n < size - at ? n : size - at;
        std::string_view out(reinterpret_cast<const char*>(data + at), take);
        at += take;
        return out;
    }
    // The bytes up to the next NUL (consumed) or the end.
    std::string_view until_nul() {
        size_t end = at;
        while (end < size && data[end] != 0) ++end;
        std::string_view out(reinterpret_cast<const char*>(data + at), end - at);
        at = end < size ? end + 1 : end;
        return out;
    }
    std::string_view rest() { return bytes(size - at); }
    bool empty() const { return at >= size; }
};

// Strict UTF-8 (RFC 3629): shortest forms only, no surrogates, at most U+10FFFF.
inline bool valid_utf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const uint8_t c = static_cast<uint8_t>(s[i]);
        size_t n = 0;
        uint32_t cp = 0, min = 0;
        if (c < 0x80) { ++i; continue; }
        if ((c & 0xE0) == 0xC0) { n = 1; cp = c & 0x1F; min = 0x80; }
        else if ((c & 0xF0) == 0xE0) { n = 2; cp = c & 0x0F; min = 0x800; }
        else if ((c & 0xF8) == 0xF0) { n = 3; cp = c & 0x07; min = 0x10000; }
        else return false;
        if (i + n >= s.size()) return false;  // continuation bytes cut off
        for (size_t k = 1; k <= n; ++k) {
            const uint8_t cc = static_cast<uint8_t>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n + 1;
    }
    return true;
}

}  // namespace fuzz
