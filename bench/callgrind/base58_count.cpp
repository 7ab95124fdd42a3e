// Runs one base58 call of the core a given number of times, for instruction
// counts under callgrind: bench/hotpath.py builds this against a source tree,
// runs it with N and with 0 calls and divides the difference by N. Only
// calls that every version of the core has are used, so older trees build
// too; each includes making its std::string or Pubkey result.
//
//   base58_count decode32|encode32|encode64 N
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "types/base58.hpp"
#include "types/types.hpp"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s decode32|encode32|encode64 N\n", argv[0]);
        return 2;
    }
    const std::string op = argv[1];
    const long n = std::atol(argv[2]);
    uint8_t bytes[64];
    for (int i = 0; i < 64; ++i) bytes[i] = static_cast<uint8_t>(i * 73 + 29);  // no leading zero byte
    const std::string key = vorn::base58_encode(bytes, 32);
    unsigned sink = 0;
    for (long i = 0; i < n; ++i) {
        bytes[31] = static_cast<uint8_t>(i);  // a new value each call
        if (op == "decode32") {
            auto k = vorn::Pubkey::from_base58(key);
            sink += k ? k->bytes[31] : 1;
        } else if (op == "encode32") {
            sink += static_cast<unsigned>(vorn::base58_encode(bytes, 32).size());
        } else if (op == "encode64") {
            sink += static_cast<unsigned>(vorn::base58_encode(bytes, 64).size());
        } else {
            std::fprintf(stderr, "unknown operation %s\n", op.c_str());
            return 2;
        }
    }
    std::printf("%u\n", sink);
    return 0;
}
