#pragma once
#include "sources/AudioSource.h"
#include "sources/FfmpegHandles.h"

/// Reads a file's properties through FFmpeg without decoding: those of its first audio stream (a
/// file without one is refused) and the size and rate of its first video stream.
class FfmpegProbeSource final : public AudioSource {
public:
    FfmpegProbeSource() = default;
    ~FfmpegProbeSource() override { Close(); }
    void Close() override;
    int Open(const char* path, int renderRate) override;  // renderRate is ignored
    int ReadBlock(void*, void*) override { return 0; }

private:
    FormatContextPtr m_format;
    int m_stream = -1;
};
