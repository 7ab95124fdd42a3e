// Field arithmetic mod p = 2^255-19 in five 51-bit limbs, just enough for
// point decompression. The inputs are public addresses, so nothing here needs
// to run in constant time.
#include "solana/curve25519.hpp"

#include <cstddef>

#include "types/little_endian.hpp"

namespace vorn {

namespace {

using u128 = unsigned __int128;

constexpr uint64_t kMask51 = (uint64_t{1} << 51) - 1;

struct Fe {
    uint64_t l[5];
};

constexpr Fe kZero{{0, 0, 0, 0, 0}};
constexpr Fe kOne{{1, 0, 0, 0, 0}};
// d = -121665/121666 mod p.
constexpr Fe kD{{929955233495203, 466365720129213, 1662059464998953, 2033849074728123, 1442794654840575}};

// Carries every limb into the next; the result has limbs below 2^51 + 2^13.
Fe weak_reduce(Fe a) {
    uint64_t c0 = a.l[0] >> 51, c1 = a.l[1] >> 51, c2 = a.l[2] >> 51, c3 = a.l[3] >> 51, c4 = a.l[4] >> 51;
    a.l[0] = (a.l[0] & kMask51) + c4 * 19;
    a.l[1] = (a.l[1] & kMask51) + c0;
    a.l[2] = (a.l[2] & kMask51) + c1;
    a.l[3] = (a.l[3] & kMask51) + c2;
    a.l[4] = (a.l[4] & kMask51) + c3;
    return a;
}

// The low 255 bits; bit 255 (the sign of x) is dropped. Not reduced, so a
// value from p to 2^255-1 stands for itself minus p.
Fe fe_from_bytes(const uint8_t* s) {
    Fe h;
    h.l[0] = load_u64_le(s) & kMask51;
    h.l[1] = (load_u64_le(s + 6) >> 3) & kMask51;
    h.l[2] = (load_u64_le(s + 12) >> 6) & kMask51;
    h.l[3] = (load_u64_le(s + 19) >> 1) & kMask51;
    h.l[4] = (load_u64_le(s + 24) >> 12) & kMask51;
    return h;
}

// The canonical encoding (fully reduced below p).
std::array<uint8_t, 32> fe_to_bytes(const Fe& a) {
    Fe h = weak_reduce(weak_reduce(a));
    // q is 1 exactly when h >= p; adding 19q and dropping bit 255 subtracts p.
    uint64_t q = (h.l[0] + 19) >> 51;
    q = (h.l[1] + q) >> 51;
    q = (h.l[2] + q) >> 51;
    q = (h.l[3] + q) >> 51;
    q = (h.l[4] + q) >> 51;
    h.l[0] += 19 * q;
    h.l[1] += h.l[0] >> 51;
    h.l[0] &= kMask51;
    h.l[2] += h.l[1] >> 51;
    h.l[1] &= kMask51;
    h.l[3] += h.l[2] >> 51;
    h.l[2] &= kMask51;
    h.l[4] += h.l[3] >> 51;
    h.l[3] &= kMask51;
    h.l[4] &= kMask51;
    uint64_t w[4] = {
        h.l[0] | (h.l[1] << 51),
        (h.l[1] >> 13) | (h.l[2] << 38),
        (h.l[2] >> 26) | (h.l[3] << 25),
        (h.l[3] >> 39) | (h.l[4] << 12),
    };
    std::array<uint8_t, 32> out{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 8; ++j) out[static_cast<size_t>(8 * i + j)] = static_cast<uint8_t>(w[i] >> (8 * j));
    return out;
}

Fe fe_add(const Fe& a, const Fe& b) {
    Fe h;
    for (int i = 0; i < 5; ++i) h.l[i] = a.l[i] + b.l[i];
    return weak_reduce(h);
}

// a - b computed as (a + 16p) - b so no limb underflows for reduced inputs.
Fe fe_sub(const Fe& a, const Fe& b) {
    constexpr uint64_t k16p0 = 36028797018963664ULL;  // 16 * (2^51 - 19)
    constexpr uint64_t k16pi = 36028797018963952ULL;  // 16 * (2^51 - 1)
    Fe h;
    h.l[0] = (a.l[0] + k16p0) - b.l[0];
    for (int i = 1; i < 5; ++i) h.l[i] = (a.l[i] + k16pi) - b.l[i];
    return weak_reduce(h);
}

Fe fe_neg(const Fe& a) { return fe_sub(kZero, a); }

Fe fe_mul(const Fe& a, const Fe& b) {
    const uint64_t* x = a.l;
    const uint64_t* y = b.l;
    uint64_t y1_19 = y[1] * 19, y2_19 = y[2] * 19, y3_19 = y[3] * 19, y4_19 = y[4] * 19;
    auto m = [](uint64_t p, uint64_t q) { return static_cast<u128>(p) * q; };
    u128 c0 = m(x[0], y[0]) + m(x[4], y1_19) + m(x[3], y2_19) + m(x[2], y3_19) + m(x[1], y4_19);
    u128 c1 = m(x[1], y[0]) + m(x[0], y[1]) + m(x[4], y2_19) + m(x[3], y3_19) + m(x[2], y4_19);
    u128 c2 = m(x[2], y[0]) + m(x[1], y[1]) + m(x[0], y[2]) + m(x[4], y3_19) + m(x[3], y4_19);
    u128 c3 = m(x[3], y[0]) + m(x[2], y[1]) + m(x[1], y[2]) + m(x[0], y[3]) + m(x[4], y4_19);
    u128 c4 = m(x[4], y[0]) + m(x[3], y[1]) + m(x[2], y[2]) + m(x[1], y[3]) + m(x[0], y[4]);
    c1 += static_cast<uint64_t>(c0 >> 51);
    c2 += static_cast<uint64_t>(c1 >> 51);
    c3 += static_cast<uint64_t>(c2 >> 51);
    c4 += static_cast<uint64_t>(c3 >> 51);
    Fe h;
    h.l[0] = static_cast<uint64_t>(c0) & kMask51;
    h.l[1] = static_cast<uint64_t>(c1) & kMask51;
    h.l[2] = static_cast<uint64_t>(c2) & kMask51;
    h.l[3] = static_cast<uint64_t>(c3) & kMask51;
    h.l[4] = static_cast<uint64_t>(c4) & kMask51;
    h.l[0] += static_cast<uint64_t>(c4 >> 51) * 19;
    h.l[1] += h.l[0] >> 51;
    h.l[0] &= kMask51;
    return h;
}

Fe fe_sq(const Fe& a) { return fe_mul(a, a); }

Fe fe_sq_n(Fe a, int n) {
    for (int i = 0; i < n; ++i) a = fe_sq(a);
    return a;
}

// z^((p-5)/8) = z^(2^252-3).
Fe fe_pow22523(const Fe& z) {
    Fe t0 = fe_sq(z);                   // 2
    Fe t1 = fe_mul(z, fe_sq_n(t0, 2));  // 9
    t0 = fe_mul(t0, t1);                // 11
    t0 = fe_mul(t1, fe_sq(t0));         // 31 = 2^5 - 1
    t1 = fe_sq_n(t0, 5);
    t0 = fe_mul(t1, t0);  // 2^10 - 1
    t1 = fe_sq_n(t0, 10);
    t1 = fe_mul(t1, t0);  // 2^20 - 1
    Fe t2 = fe_sq_n(t1, 20);
    t1 = fe_mul(t2, t1);  // 2^40 - 1
    t1 = fe_sq_n(t1, 10);
    t0 = fe_mul(t1, t0);  // 2^50 - 1
    t1 = fe_sq_n(t0, 50);
    t1 = fe_mul(t1, t0);  // 2^100 - 1
    t2 = fe_sq_n(t1, 100);
    t1 = fe_mul(t2, t1);  // 2^200 - 1
    t1 = fe_sq_n(t1, 50);
    t0 = fe_mul(t1, t0);  // 2^250 - 1
    t0 = fe_sq_n(t0, 2);  // 2^252 - 4
    return fe_mul(t0, z);
}

bool fe_equal(const Fe& a, const Fe& b) { return fe_to_bytes(a) == fe_to_bytes(b); }

}  // namespace

bool is_on_curve(const std::array<uint8_t, 32>& bytes) {
    // On -x^2 + y^2 = 1 + d x^2 y^2 the point exists iff x^2 = u/v is a square.
    Fe y = fe_from_bytes(bytes.data());
    Fe yy = fe_sq(y);
    Fe u = fe_sub(yy, kOne);
    Fe v = fe_add(fe_mul(yy, kD), kOne);
    // Candidate root x = u v^3 (u v^7)^((p-5)/8); then v x^2 is u, -u, or
    // +-sqrt(-1) u, and only the first two mean u/v is a square.
    Fe v3 = fe_mul(fe_sq(v), v);
    Fe v7 = fe_mul(fe_sq(v3), v);
    Fe x = fe_mul(fe_mul(u, v3), fe_pow22523(fe_mul(u, v7)));
    Fe check = fe_mul(v, fe_sq(x));
    return fe_equal(check, u) || fe_equal(check, fe_neg(u));
}

}  // namespace vorn
