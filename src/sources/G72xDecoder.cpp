#include "sources/G72xDecoder.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Log-domain quantiser outputs, scale-factor multipliers and speed-control weights per code,
// from the tables of ITU-T G.726 for each rate.
constexpr std::int16_t kDqln4[16] = {-2048, 4,   135, 213, 273, 323, 373, 425,
                                     425,   373, 323, 273, 213, 135, 4,   -2048};
constexpr std::int16_t kWi4[16] = {-12,  18,  41,  64,  112, 198, 355, 1122,
                                   1122, 355, 198, 112, 64,  41,  18,  -12};
constexpr std::int16_t kFi4[16] = {0,     0,     0,     0x200, 0x200, 0x200, 0x600, 0xE00,
                                   0xE00, 0x600, 0x200, 0x200, 0x200, 0,     0,     0};

constexpr std::int16_t kDqln3[8] = {-2048, 135, 273, 373, 373, 273, 135, -2048};
constexpr std::int16_t kWi3[8] = {-128, 960, 4384, 18624, 18624, 4384, 960, -128};
constexpr std::int16_t kFi3[8] = {0, 0x200, 0x400, 0xE00, 0xE00, 0x400, 0x200, 0};

constexpr std::int16_t kDqln5[32] = {-2048, -66, 28,  104, 169, 224, 274, 318, 358, 395,  429,
                                     459,   488, 514, 539, 566, 566, 539, 514, 488, 459,  429,
                                     395,   358, 318, 274, 224, 169, 104, 28,  -66, -2048};
constexpr std::int16_t kWi5[32] = {448,  448,   768,   1248,  1280,  1312,  1856,  3200,  4512,  5728, 7008,
                                   8960, 11456, 14080, 16928, 22272, 22272, 16928, 14080, 11456, 8960, 7008,
                                   5728, 4512,  3200,  1856,  1312,  1280,  1248,  768,   448,   448};
constexpr std::int16_t kFi5[32] = {0,     0,     0,     0,     0,     0x200, 0x200, 0x200,
                                   0x200, 0x200, 0x400, 0x600, 0x800, 0xA00, 0xC00, 0xC00,
                                   0xC00, 0xC00, 0xA00, 0x800, 0x600, 0x400, 0x200, 0x200,
                                   0x200, 0x200, 0x200, 0,     0,     0,     0,     0};

// Number of powers of two (1, 2, 4, ... 0x4000) that do not exceed `value`.
int Quan(int value) {
    int i = 0;
    while (i < 15 && value >= (1 << i)) ++i;
    return i;
}

// Multiplies a predictor coefficient by a value held in the 4-bit exponent, 6-bit mantissa form.
int FloatMultiply(int an, int srn, int rounding) {
    const int anmag = an > 0 ? an : ((-an) & 0x1FFF);
    const int anexp = Quan(anmag) - 6;
    const int anmant = anmag == 0 ? 32 : anexp >= 0 ? anmag >> anexp : anmag << -anexp;
    const int wanexp = anexp + ((srn >> 6) & 0xF) - 13;
    const int wanmant = (anmant * (srn & 077) + rounding) >> 4;
    const int result = wanexp >= 0 ? ((wanmant << wanexp) & 0x7FFF) : (wanmant >> -wanexp);
    return (an ^ srn) < 0 ? -result : result;
}

// Quantised difference from its log-domain value; a negative sign is carried in bit 15.
int Reconstruct(bool negative, int dqln, int y) {
    const int dql = static_cast<std::int16_t>(dqln + (y >> 2));
    if (dql < 0) return negative ? -0x8000 : 0;
    const int dex = (dql >> 7) & 15;
    const int dqt = 128 + (dql & 127);
    const int dq = static_cast<std::int16_t>((dqt << 7) >> (14 - dex));
    return negative ? dq - 0x8000 : dq;
}

// The 4-bit exponent, 6-bit mantissa form of a magnitude, negative values offset by 0x400.
std::int16_t ToFloat(int magnitude, bool negative) {
    const int exp = Quan(magnitude);
    const int value = (exp << 6) + ((magnitude << 6) >> exp);
    return static_cast<std::int16_t>(negative ? value - 0x400 : value);
}

}  // namespace

G72xDecoder::G72xDecoder(int codeBits, bool roundProducts)
    : m_codeBits(codeBits == 3 || codeBits == 5 ? codeBits : 4), m_rounding(roundProducts ? 0x30 : 0) {
    Reset();
}

void G72xDecoder::Reset() {
    m_yl = 34816;
    m_yu = 544;
    m_dms = m_dml = m_ap = 0;
    for (int i = 0; i < 2; ++i) {
        m_a[i] = 0;
        m_pk[i] = 0;
        m_sr[i] = 32;
    }
    for (int i = 0; i < 6; ++i) {
        m_b[i] = 0;
        m_dq[i] = 32;
    }
    m_td = false;
}

int G72xDecoder::Multiply(int an, int srn) const {
    return FloatMultiply(an, srn, m_rounding);
}

int G72xDecoder::PredictorZero() const {
    int sum = 0;
    for (int i = 0; i < 6; ++i) sum += Multiply(m_b[i] >> 2, m_dq[i]);
    return sum;
}

int G72xDecoder::PredictorPole() const {
    return Multiply(m_a[1] >> 2, m_sr[1]) + Multiply(m_a[0] >> 2, m_sr[0]);
}

int G72xDecoder::StepSize() const {
    if (m_ap >= 256) return m_yu;
    int y = m_yl >> 6;
    const int dif = m_yu - y;
    const int al = m_ap >> 2;
    if (dif > 0)
        y += (dif * al) >> 6;
    else if (dif < 0)
        y += (dif * al + 0x3F) >> 6;
    return y;
}

std::int16_t G72xDecoder::Decode(unsigned code) {
    const int mask = (1 << m_codeBits) - 1;
    const int i = static_cast<int>(code) & mask;
    const bool negative = (i & (1 << (m_codeBits - 1))) != 0;
    int dqln, wi, fi;
    switch (m_codeBits) {
        case 3:
            dqln = kDqln3[i];
            wi = kWi3[i];
            fi = kFi3[i];
            break;
        case 5:
            dqln = kDqln5[i];
            wi = kWi5[i];
            fi = kFi5[i];
            break;
        default:
            dqln = kDqln4[i];
            wi = kWi4[i] << 5;
            fi = kFi4[i];
            break;
    }
    const int sezi = static_cast<std::int16_t>(PredictorZero());
    const int sez = sezi >> 1;
    const int sei = static_cast<std::int16_t>(sezi + PredictorPole());
    const int se = sei >> 1;
    const int y = static_cast<std::int16_t>(StepSize());
    const int dq = static_cast<std::int16_t>(Reconstruct(negative, dqln, y));
    const int magnitudeMask = m_codeBits == 5 ? 0x7FFF : 0x3FFF;
    const int sr = static_cast<std::int16_t>(dq < 0 ? se - (dq & magnitudeMask) : se + dq);
    const int dqsez = static_cast<std::int16_t>(sr - se + sez);
    Update(y, wi, fi, dq, sr, dqsez);
    // The reconstructed signal has a 14-bit range; an overshoot clips instead of wrapping.
    return static_cast<std::int16_t>(std::clamp(sr * 4, -32768, 32767));
}

void G72xDecoder::Update(int y, int wi, int fi, int dq, int sr, int dqsez) {
    const std::int16_t pk0 = dqsez < 0 ? 1 : 0;
    const int mag = dq & 0x7FFF;

    // Transition detector: a large difference after a tone resets the predictor.
    const int ylint = m_yl >> 15;
    const int ylfrac = (m_yl >> 10) & 0x1F;
    const int thr1 = (32 + ylfrac) << ylint;
    const int thr2 = ylint > 9 ? 31 << 10 : thr1;
    const int dqthr = (thr2 + (thr2 >> 1)) >> 1;
    const bool tr = m_td && mag > dqthr;

    // Quantiser scale factor adaptation.
    int yu = y + ((wi - y) >> 5);
    if (yu < 544)
        yu = 544;
    else if (yu > 5120)
        yu = 5120;
    m_yu = static_cast<std::int16_t>(yu);
    m_yl += m_yu + ((-m_yl) >> 6);

    int a2p = 0;
    if (tr) {
        m_a[0] = m_a[1] = 0;
        for (auto& b : m_b) b = 0;
    } else {
        const int pks1 = pk0 ^ m_pk[0];
        a2p = m_a[1] - (m_a[1] >> 7);
        if (dqsez != 0) {
            const int fa1 = pks1 ? m_a[0] : -m_a[0];
            if (fa1 < -8191)
                a2p -= 0x100;
            else if (fa1 > 8191)
                a2p += 0xFF;
            else
                a2p += fa1 >> 5;
            if (pk0 ^ m_pk[1]) {
                if (a2p <= -12160)
                    a2p = -12288;
                else if (a2p >= 12416)
                    a2p = 12288;
                else
                    a2p -= 0x80;
            } else if (a2p <= -12416) {
                a2p = -12288;
            } else if (a2p >= 12160) {
                a2p = 12288;
            } else {
                a2p += 0x80;
            }
        }
        a2p = static_cast<std::int16_t>(a2p);
        m_a[1] = static_cast<std::int16_t>(a2p);

        int a1 = m_a[0] - (m_a[0] >> 8);
        if (dqsez != 0) a1 += pks1 == 0 ? 192 : -192;
        const int a1ul = 15360 - a2p;
        if (a1 < -a1ul)
            a1 = -a1ul;
        else if (a1 > a1ul)
            a1 = a1ul;
        m_a[0] = static_cast<std::int16_t>(a1);

        const int leak = m_codeBits == 5 ? 9 : 8;
        for (int i = 0; i < 6; ++i) {
            int b = m_b[i] - (m_b[i] >> leak);
            if (dq & 0x7FFF) b += (dq ^ m_dq[i]) >= 0 ? 128 : -128;
            m_b[i] = static_cast<std::int16_t>(b);
        }
    }

    for (int i = 5; i > 0; --i) m_dq[i] = m_dq[i - 1];
    if (mag == 0)
        m_dq[0] = static_cast<std::int16_t>(dq >= 0 ? 0x20 : 0xFC20 - 0x10000);
    else
        m_dq[0] = ToFloat(mag, dq < 0);

    m_sr[1] = m_sr[0];
    if (sr == 0)
        m_sr[0] = 0x20;
    else if (sr > 0)
        m_sr[0] = ToFloat(sr, false);
    else if (sr > -32768)
        m_sr[0] = ToFloat(-sr, true);
    else
        m_sr[0] = static_cast<std::int16_t>(0xFC20 - 0x10000);

    m_pk[1] = m_pk[0];
    m_pk[0] = pk0;

    // Tone detection: a strongly negative second pole marks a narrow-band signal.
    if (tr)
        m_td = false;
    else
        m_td = a2p < -11776;

    // Adaptation speed control.
    m_dms = static_cast<std::int16_t>(m_dms + ((fi - m_dms) >> 5));
    m_dml = static_cast<std::int16_t>(m_dml + (((fi << 2) - m_dml) >> 7));
    int ap = m_ap;
    if (tr)
        ap = 256;
    else if (y < 1536 || m_td || std::abs((m_dms << 2) - m_dml) >= (m_dml >> 3))
        ap += (0x200 - ap) >> 4;
    else
        ap += (-ap) >> 4;
    m_ap = static_cast<std::int16_t>(ap);
}
