// SPDX-License-Identifier: GPL-3.0-or-later
#include "packages/umodcrc.h"

#include <array>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define MODGATE_CRC_CLMUL 1
#endif

namespace {

constexpr quint32 polynomial = 0x04C11DB7;

// Table k gives a byte's share of the register after k more bytes have gone through, so sixteen
// bytes take sixteen independent look-ups instead of a chain of sixteen.
using Tables = std::array<std::array<quint32, 256>, 16>;

constexpr Tables makeTables() {
    Tables tables{};
    for (quint32 byte = 0; byte < 256; ++byte) {
        quint32 c = byte << 24;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 0x80000000u) ? (c << 1) ^ polynomial : c << 1;
        tables[0][byte] = c;
    }
    for (size_t k = 1; k < tables.size(); ++k)
        for (quint32 byte = 0; byte < 256; ++byte)
            tables[k][byte] = (tables[k - 1][byte] << 8) ^ tables[0][tables[k - 1][byte] >> 24];
    return tables;
}

constexpr Tables tables = makeTables();

quint32 bigEndian(const uchar* p) {
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

// The bare register, neither inverted on the way in nor out.
quint32 tableCrc(const uchar* p, qsizetype n, quint32 c) {
    const auto& t = tables;
    for (; n >= 16; p += 16, n -= 16) {
        const quint32 a = c ^ bigEndian(p), b = bigEndian(p + 4), d = bigEndian(p + 8),
                      e = bigEndian(p + 12);
        c = t[15][a >> 24] ^ t[14][(a >> 16) & 0xFF] ^ t[13][(a >> 8) & 0xFF] ^ t[12][a & 0xFF] ^
            t[11][b >> 24] ^ t[10][(b >> 16) & 0xFF] ^ t[9][(b >> 8) & 0xFF] ^ t[8][b & 0xFF] ^
            t[7][d >> 24] ^ t[6][(d >> 16) & 0xFF] ^ t[5][(d >> 8) & 0xFF] ^ t[4][d & 0xFF] ^
            t[3][e >> 24] ^ t[2][(e >> 16) & 0xFF] ^ t[1][(e >> 8) & 0xFF] ^ t[0][e & 0xFF];
    }
    for (; n > 0; ++p, --n)
        c = (c << 8) ^ t[0][(c >> 24) ^ *p];
    return c;
}

#ifdef MODGATE_CRC_CLMUL

// x^n mod P, the factor that moves a remainder n bits further along the message.
constexpr quint64 xPower(int n) {
    quint64 r = 1;
    for (int i = 0; i < n; ++i) {
        r <<= 1;
        if (r & (quint64(1) << 32))
            r ^= (quint64(1) << 32) | polynomial;
    }
    return r;
}

#define MODGATE_CLMUL __attribute__((target("pclmul,ssse3")))

// Sixteen message bytes as one 128-bit polynomial, the first byte's top bit as x^127.
MODGATE_CLMUL inline __m128i load(const uchar* p) {
    const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), reverse);
}

// x moved forward by the distance the factors stand for (high half times x^(d+64), low half
// times x^d, both mod P), added to the 128 bits found there. The sum is congruent mod P to the
// message up to that point, which is all the CRC depends on.
MODGATE_CLMUL inline __m128i fold(__m128i x, __m128i factors, __m128i there) {
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, factors, 0x11),
                                       _mm_clmulepi64_si128(x, factors, 0x00)),
                         there);
}

// Carry-less multiplication folds four lanes of 16 bytes at a time, several times faster than
// the tables; the last 16 folded bytes and the tail go through the tables.
MODGATE_CLMUL quint32 clmulCrc(const uchar* p, qsizetype n, quint32 c) {
    constexpr quint64 by512[2] = {xPower(512), xPower(512 + 64)};
    constexpr quint64 by128[2] = {xPower(128), xPower(128 + 64)};
    const __m128i fourLanes = _mm_set_epi64x(qint64(by512[1]), qint64(by512[0]));
    const __m128i oneLane = _mm_set_epi64x(qint64(by128[1]), qint64(by128[0]));
    // The starting register is the same as those bits added to the message's first four bytes.
    __m128i x0 = _mm_xor_si128(load(p), _mm_set_epi32(int(c), 0, 0, 0));
    __m128i x1 = load(p + 16), x2 = load(p + 32), x3 = load(p + 48);
    for (p += 64, n -= 64; n >= 64; p += 64, n -= 64) {
        x0 = fold(x0, fourLanes, load(p));
        x1 = fold(x1, fourLanes, load(p + 16));
        x2 = fold(x2, fourLanes, load(p + 32));
        x3 = fold(x3, fourLanes, load(p + 48));
    }
    x3 = fold(fold(fold(x0, oneLane, x1), oneLane, x2), oneLane, x3);
    for (; n >= 16; p += 16, n -= 16)
        x3 = fold(x3, oneLane, load(p));
    const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    alignas(16) uchar folded[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(folded), _mm_shuffle_epi8(x3, reverse));
    return tableCrc(p, n, tableCrc(folded, 16, 0));
}

bool hasClmul() {
    static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("ssse3");
    return has;
}

#endif

} // namespace

quint32 umodCrc(QByteArrayView bytes, quint32 previous) {
    const auto* p = reinterpret_cast<const uchar*>(bytes.data());
    const qsizetype n = bytes.size();
#ifdef MODGATE_CRC_CLMUL
    if (n >= 128 && hasClmul())
        return ~clmulCrc(p, n, ~previous);
#endif
    return ~tableCrc(p, n, ~previous);
}
