// Standard base64 alphabet with "=" padding.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace vorn {

std::string base64_encode(const uint8_t* data, size_t len);

}  // namespace vorn
