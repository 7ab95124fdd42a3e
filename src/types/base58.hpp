// Base58 with the Bitcoin alphabet, no checksum.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "types/error.hpp"

namespace vorn {

std::string base58_encode(const uint8_t* data, size_t len);

// On rejection the Error is InvalidBase58 carrying the decoder's description.
Result<std::vector<uint8_t>> base58_decode(std::string_view text);

// Decodes into a fixed buffer without allocating for short inputs. Returns
// the decoded length; when it exceeds cap nothing is written to out and the
// caller reports the length.
Result<size_t> base58_decode_into(std::string_view text, uint8_t* out, size_t cap);

}  // namespace vorn
