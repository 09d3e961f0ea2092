#include "support/AmrFrames.h"

#include <algorithm>
#include <cstring>

namespace testsupport {

namespace {

constexpr char kNbMagic[] = "#!AMR\n";
constexpr char kWbMagic[] = "#!AMR-WB\n";

// Storage-format frame sizes by frame type, TOC included; 0 marks a type that never appears here
// (reserved, or a SID of another codec).
constexpr std::size_t kNbBytes[16] = {13, 14, 16, 18, 20, 21, 27, 32, 6, 0, 0, 0, 0, 0, 0, 1};
constexpr std::size_t kWbBytes[16] = {18, 24, 33, 37, 41, 47, 51, 59, 61, 6, 0, 0, 0, 0, 1, 1};

bool StartsWith(const std::uint8_t* data, std::size_t size, const char* magic) {
    const std::size_t n = std::strlen(magic);
    return size >= n && std::memcmp(data, magic, n) == 0;
}

}  // namespace

int AmrFile::CountType(int type) const {
    return static_cast<int>(
        std::count_if(frames.begin(), frames.end(), [type](const AmrFrame& f) { return f.type == type; }));
}

std::size_t AmrFrameBytes(bool wide, int type) {
    if (type < 0 || type > 15) return 0;
    return wide ? kWbBytes[type] : kNbBytes[type];
}

std::optional<AmrFile> ParseAmr(const std::uint8_t* data, std::size_t size) {
    AmrFile file;
    std::size_t pos = 0;
    if (StartsWith(data, size, kWbMagic)) {
        file.wide = true;
        pos = std::strlen(kWbMagic);
    } else if (StartsWith(data, size, kNbMagic)) {
        pos = std::strlen(kNbMagic);
    } else {
        return std::nullopt;
    }
    while (pos < size) {
        const std::uint8_t toc = data[pos];
        if (toc & 0x83) return std::nullopt;  // the F bit and both padding bits must be clear
        AmrFrame f;
        f.type = (toc >> 3) & 0x0F;
        f.quality = (toc & 0x04) != 0;
        f.offset = pos;
        f.size = AmrFrameBytes(file.wide, f.type);
        if (f.size == 0 || f.size > size - pos) return std::nullopt;
        file.frames.push_back(f);
        pos += f.size;
    }
    return file;
}

std::optional<AmrFile> ParseAmrFile(const std::vector<std::uint8_t>& bytes) {
    return ParseAmr(bytes.data(), bytes.size());
}

}  // namespace testsupport
