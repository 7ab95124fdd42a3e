// Base58 with the Bitcoin alphabet, no checksum.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "types/error.hpp"

namespace vorn {

// Any length: up to 128 bytes by multiply-accumulate into five-digit limbs
// (the fixed-size paths below are its 32- and 64-byte cases), longer inputs
// by the generic path.
std::string base58_encode(const uint8_t* data, size_t len);

// The digit-by-digit path for any length, which the fixed-size paths agree with.
std::string base58_encode_generic(const uint8_t* data, size_t len);

// Longest texts of 32- and 64-byte values.
inline constexpr size_t kBase58Max32 = 44;
inline constexpr size_t kBase58Max64 = 88;

// Fixed-size encoders: write the text into out and return its length.
size_t base58_encode_32(const uint8_t* data, char* out);  // out holds kBase58Max32
size_t base58_encode_64(const uint8_t* data, char* out);  // out holds kBase58Max64
std::string base58_encode_32(const uint8_t* data);
std::string base58_encode_64(const uint8_t* data);

// On rejection the Error is InvalidBase58 carrying the decoder's description.
Result<std::vector<uint8_t>> base58_decode(std::string_view text);

// Decodes into a fixed buffer without allocating for short inputs. Returns
// the decoded length; when it exceeds cap nothing is written to out and the
// caller reports the length.
Result<size_t> base58_decode_into(std::string_view text, uint8_t* out, size_t cap);

// Decodes text that encodes exactly 32 bytes into out. Returns the decoded
// length, or the same error base58_decode_into gives; out is written only
// when the length is 32.
Result<size_t> base58_decode_32(std::string_view text, uint8_t* out);

}  // namespace vorn
