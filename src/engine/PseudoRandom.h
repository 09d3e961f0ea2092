#pragma once
#include <cstdint>

/// The classic C library's rand(): a linear congruential generator that is never seeded, so
/// its values (0 to 32767) follow only the order in which they are drawn.
class PseudoRandom {
public:
    int Next() {
        m_state = m_state * 214013u + 2531011u;
        return static_cast<int>((m_state >> 16) & 0x7FFFu);
    }
    bool operator==(const PseudoRandom&) const = default;

private:
    std::uint32_t m_state = 1;
};
