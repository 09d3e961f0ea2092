#pragma once
#include <array>

#include "FuzzInput.h"
#include "sources/AudioSource.h"

// Opens the input with one reader and reads it to the end (bounded), as a conversion would.
template <class Reader>
int FuzzReader(const std::uint8_t* data, std::size_t size) {
    FuzzFile file(data, size);
    if (!file.Ok()) return 0;
    Reader reader;
    if (!reader.Open(file.Path(), 0)) return 0;
    std::array<std::int16_t, kBlockFrames> left{}, right{};
    (void)reader.GetTotalLength();
    // A one-channel stream gets no right buffer, as in a conversion: a write to it must crash here.
    std::int16_t* const second = reader.GetOutputChannels() == 2 ? right.data() : nullptr;
    // Each block consumes input; the bound only stops a reader that would never end.
    for (int blocks = 0; blocks < 1 << 16; ++blocks)
        if (reader.ReadBlock(left.data(), second) <= 0) break;
    reader.Close();
    return 0;
}
