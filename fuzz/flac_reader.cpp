#include "ReaderFuzz.h"
#include "sources/FlacSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzReader<FlacSource>(data, size);
    // What the reader makes of the damage libFLAC reported must hold together too.
    FuzzFile file(data, size);
    FlacSource reader;
    if (file.Ok() && reader.Open(file.Path(), 0)) {
        std::array<std::int16_t, kBlockFrames> left{}, right{};
        std::int16_t* const second = reader.GetOutputChannels() == 2 ? right.data() : nullptr;
        for (int blocks = 0; blocks < 1 << 16; ++blocks)
            if (reader.ReadBlock(left.data(), second) <= 0) break;
        (void)reader.GetReadOutcome();
        TagSet tags;
        (void)reader.ReadTags(tags);
    }
    return 0;
}
