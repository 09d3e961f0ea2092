#include "support/WavBuilder.h"

#include "support/TestSupport.h"

namespace testsupport {

Bytes Chunk(const std::string& id, const Bytes& payload) {
    Bytes out(id.begin(), id.end());
    out.resize(4, ' ');
    PutLe(out, 4, 4, payload.size());
    out.insert(out.end(), payload.begin(), payload.end());
    if (payload.size() % 2) out.push_back(0);
    return out;
}

Bytes Riff(const std::vector<Bytes>& chunks) {
    Bytes out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const auto& c : chunks) out.insert(out.end(), c.begin(), c.end());
    PutLe(out, 4, 4, out.size() - 8);
    return out;
}

Bytes FmtPayload(int tag, int channels, std::uint32_t rate, int blockAlign, int bits, const Bytes& extra) {
    Bytes out;
    PutLe(out, 0, 2, static_cast<std::uint64_t>(tag));
    PutLe(out, 2, 2, static_cast<std::uint64_t>(channels));
    PutLe(out, 4, 4, rate);
    PutLe(out, 8, 4, static_cast<std::uint64_t>(rate) * static_cast<std::uint64_t>(blockAlign));
    PutLe(out, 12, 2, static_cast<std::uint64_t>(blockAlign));
    PutLe(out, 14, 2, static_cast<std::uint64_t>(bits));
    out.insert(out.end(), extra.begin(), extra.end());
    return out;
}

Bytes SimpleWav(int tag, int channels, std::uint32_t rate, int bits, const Bytes& data, const Bytes& extra) {
    const int blockAlign = channels * ((bits + 7) / 8);
    return Riff(
        {Chunk("fmt ", FmtPayload(tag, channels, rate, blockAlign, bits, extra)), Chunk("data", data)});
}

Bytes Le16Bytes(const std::vector<int>& values) {
    Bytes out;
    for (int v : values) {
        out.push_back(static_cast<std::uint8_t>(v & 0xff));
        out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xff));
    }
    return out;
}

std::size_t FindChunk(const Bytes& file, const std::string& id) {
    std::size_t pos = 12;
    while (pos + 8 <= file.size()) {
        const std::uint32_t size = file[pos + 4] | (file[pos + 5] << 8) | (file[pos + 6] << 16) |
                                   (static_cast<std::uint32_t>(file[pos + 7]) << 24);
        if (std::string(file.begin() + static_cast<long>(pos), file.begin() + static_cast<long>(pos) + 4) ==
            id)
            return pos + 8;
        pos += 8 + size + (size % 2);
    }
    return std::string::npos;
}

}  // namespace testsupport
