// Lower-case hexadecimal.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace vorn {

std::string hex_encode(const uint8_t* data, size_t len);

}  // namespace vorn
