#include <cstdint>
#include <cstring>

#include "support/AmrFrames.h"

// A parsed file must be its magic followed by whole frames, back to back, up to its last byte.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto file = testsupport::ParseAmr(data, size);
    if (!file) return 0;
    std::size_t at = file->wide ? std::strlen("#!AMR-WB\n") : std::strlen("#!AMR\n");
    for (const testsupport::AmrFrame& f : file->frames) {
        if (f.offset != at || f.size == 0 || f.size != testsupport::AmrFrameBytes(file->wide, f.type))
            __builtin_trap();
        at += f.size;
    }
    if (at != size) __builtin_trap();
    return 0;
}
