#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace testsupport {

/// One frame of an AMR storage file.
struct AmrFrame {
    int type = 0;            // frame type of the TOC byte: a mode, SID, or 15 for NO_DATA
    bool quality = false;    // the Q bit
    std::size_t offset = 0;  // of the TOC byte in the file
    std::size_t size = 0;    // TOC byte included
};

/// A parsed single-channel AMR or AMR-WB storage file.
struct AmrFile {
    bool wide = false;
    std::vector<AmrFrame> frames;
    int CountType(int type) const;
    bool IsSid(const AmrFrame& f) const { return f.type == (wide ? 9 : 8); }
};

/// Bytes of a frame of the given type, TOC included; 0 for a type the band does not define.
std::size_t AmrFrameBytes(bool wide, int type);

/// Parses the magic and every frame; nullopt for a wrong magic, a reserved frame type, nonzero
/// padding bits in a TOC byte or a frame cut off by the end of the file. Never reads past `size`.
std::optional<AmrFile> ParseAmr(const std::uint8_t* data, std::size_t size);
std::optional<AmrFile> ParseAmrFile(const std::vector<std::uint8_t>& bytes);

}  // namespace testsupport
