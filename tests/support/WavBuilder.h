#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

/// One RIFF chunk: identifier, size, payload and the pad byte an odd payload needs.
Bytes Chunk(const std::string& id, const Bytes& payload);

/// A "RIFF....WAVE" file made of the given chunks in order.
Bytes Riff(const std::vector<Bytes>& chunks);

/// The 16-byte PCM part of a format record followed by `extra` bytes (cbSize and on).
Bytes FmtPayload(int tag, int channels, std::uint32_t rate, int blockAlign, int bits,
                 const Bytes& extra = {});

/// A complete file with a "fmt " and a "data" chunk.
Bytes SimpleWav(int tag, int channels, std::uint32_t rate, int bits, const Bytes& data,
                const Bytes& extra = {});

/// Little-endian bytes of 16-bit values.
Bytes Le16Bytes(const std::vector<int>& values);

/// Offset of the first byte of the named chunk's payload, or npos.
std::size_t FindChunk(const Bytes& file, const std::string& id);

}  // namespace testsupport
