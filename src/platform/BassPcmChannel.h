#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/BassChannel.h"
#include "platform/UniqueFile.h"

/// Uncompressed WAV (integer, float, extensible) and AIFF/AIFF-C read without the general
/// decoder: 8-bit stays 8-bit unsigned, everything else becomes 16-bit, sample for sample as the
/// general decoder's conversion gives it.
class BassPcmChannel final : public BassChannel {
public:
    /// Null when the file is not one this reader is sure to read exactly as the general decoder
    /// would (other codecs, unusual layouts, damage whose outcome depends on that decoder's
    /// quirks): the caller then opens it with that decoder.
    static std::unique_ptr<BassChannel> Open(const std::string& path);

    /// How stored samples are laid out; public for the conversion helpers only.
    enum class Sample { U8, S8, S16LE, S16BE, S24LE, S24BE, S32LE, S32BE, F32LE, F32BE, F64LE, F64BE };

protected:
    std::size_t Render(std::uint8_t* out, std::size_t bytes) override;
    bool StartFloat() override;

public:
    std::uint64_t MissingFrames() const override {
        return m_framesLeft == 0 ? m_missing + m_announcedMissing : m_missing;
    }

protected:
private:
    BassPcmChannel() = default;
    std::vector<char> m_inputBuffer;  // m_input's stdio buffer: declared first, so it outlives the stream
    UniqueFile m_input;
    Sample m_sample = Sample::S16LE;
    std::size_t m_inFrame = 0;       // stored bytes per frame
    std::uint64_t m_framesLeft = 0;  // frames still to deliver
    std::uint64_t m_frameIndex = 0;  // frames delivered so far
    std::uint64_t m_storedFrames = 0;
    std::size_t m_packetFrames = 1;
    std::vector<std::uint8_t> m_raw;
    bool m_float = false;                  // floats out, each sample at its stored resolution
    std::uint64_t m_missing = 0;           // frames the file stopped short of while reading
    std::uint64_t m_announcedMissing = 0;  // frames a data size announced past the end of the file
};
