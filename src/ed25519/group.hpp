// Ed25519 signatures in groups of up to eight messages under one key, for
// batches. Where the processor has the 52-bit integer multiply-add vector
// instructions and the build includes the multi-buffer library, a group is
// signed in one call that computes eight signatures side by side; elsewhere,
// and for groups too small to gain from it, libsodium signs each message.
// Ed25519 is deterministic: both ways give the same bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

#include "types/keypair.hpp"

namespace vorn::ed25519 {

// The width of one multi-buffer call.
inline constexpr size_t kGroup = 8;

// Partial groups of at least this many messages go through the multi-buffer
// call: it costs about as much for one message as for eight, so it pays off
// once it replaces enough one-at-a-time signatures. Measured on an AMD EPYC
// with AVX-512 IFMA (bench_sign, BM_GroupSign, processor time): one call
// 30 us for any group size, a libsodium signature 18.6 us; so one message is
// left to libsodium (18.6 against 30 us) and two or more go through one call
// (30 against 37 us for two).
inline constexpr size_t kMultiBufferMinimum = 2;

enum class Engine : uint8_t { Portable, MultiBuffer };

// The engine for batch groups in this process, decided at the first call:
// MultiBuffer when the build has it, the library's own applicability test
// passes on this processor, and VORN_KEYCHAIN_ED25519 is not "portable".
Engine batch_engine();

// The group size that pays off for batches: kGroup with MultiBuffer, 1 with
// libsodium (one signature per claim spreads a batch best over the threads).
inline size_t batch_group_size() { return batch_engine() == Engine::MultiBuffer ? kGroup : 1; }

// Whether this build and this processor can sign with MultiBuffer at all
// (the environment variable aside).
bool multi_buffer_available();

// One message of a group.
struct Message {
    const uint8_t* data;
    size_t size;
};

// Signs messages.size() (1..kGroup) messages with key into out (same size),
// with batch_engine(): MultiBuffer for groups of kMultiBufferMinimum or more.
void sign_group(const Keypair& key, std::span<const Message> messages, std::span<Signature> out);

// The same with the given engine for every group size; MultiBuffer needs
// multi_buffer_available(). For tests and benchmarks that compare the two.
void sign_group_with(Engine engine, const Keypair& key, std::span<const Message> messages, std::span<Signature> out);

}  // namespace vorn::ed25519
