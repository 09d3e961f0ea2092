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
    (void)reader.GetOutputChannels();
    // Each block consumes input; the bound only stops a reader that would never end.
    for (int blocks = 0; blocks < 1 << 16; ++blocks)
        if (reader.ReadBlock(left.data(), right.data()) <= 0) break;
    reader.Close();
    return 0;
}
