#include "sources/G711.h"

std::int16_t ALawToLinear(std::uint8_t code) {
    const int a = code ^ 0x55;  // even bits are stored inverted
    int magnitude = (a & 0x0f) << 4;
    const int segment = (a & 0x70) >> 4;
    if (segment == 0) {
        magnitude += 8;
    } else {
        magnitude += 0x108;
        magnitude <<= segment - 1;
    }
    return static_cast<std::int16_t>((a & 0x80) ? magnitude : -magnitude);
}

std::int16_t MuLawToLinear(std::uint8_t code) {
    constexpr int kBias = 0x84;
    const int u = ~code & 0xff;
    const int magnitude = (((u & 0x0f) << 3) + kBias) << ((u & 0x70) >> 4);
    return static_cast<std::int16_t>((u & 0x80) ? (kBias - magnitude) : (magnitude - kBias));
}
