#include <cstdint>
#include <numeric>
#include <vector>

#include "support/Mp4Boxes.h"

// The tests judge written MP4 files with this parser; on a damaged file it must report an error,
// never read outside the buffer, and never call inconsistent tables consistent.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> file(data, data + size);
    const testsupport::Mp4Summary s = testsupport::InspectMp4(file);
    if (!s.error.empty()) return 0;
    const std::uint64_t payload = std::accumulate(s.sizes.begin(), s.sizes.end(), std::uint64_t{0});
    if (s.durations.size() != s.sizes.size() || s.offsets.size() != s.sizes.size() || payload > size)
        __builtin_trap();
    return 0;
}
