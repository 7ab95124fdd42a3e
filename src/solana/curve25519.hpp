// The test whether 32 bytes are the compressed Edwards-Y encoding of a point
// on the Ed25519 curve, as Solana uses it to tell wallets from
// program-derived addresses.
#pragma once
#include <array>
#include <cstdint>

namespace vorn {

// True when the bytes decompress to a curve point: bit 255 is the sign of x,
// the low 255 bits are y (reduced mod 2^255-19, so y >= p is accepted), and
// (y^2-1)/(d*y^2+1) must be a square. There is deliberately no check of the
// prime-order subgroup, of a canonical y, or of x = 0 with the sign bit set:
// small-order and mixed-order points count as on the curve.
bool is_on_curve(const std::array<uint8_t, 32>& bytes);

}  // namespace vorn
