#pragma once
#include <cstdint>
#include <string>

#include "engine/ConversionJob.h"
#include "engine/PcmRequest.h"
#include "sources/AudioSource.h"

/// What a format adds to the shared conversion loop: choosing its parameters, encoding blocks
/// and finishing its file.
class ConversionFormat {
public:
    virtual ~ConversionFormat() = default;
    /// Chooses the output parameters from the opened source, fills `request` and opens the encoder
    /// or writer. 0 when it cannot; the frame then deletes whatever the format created.
    virtual int Start(AudioSource& source, PcmRequest& request) = 0;
    /// Encodes and writes one block, planar, already in the requested rate, channels and depth and
    /// amplified; right is null for one channel. 0 when encoding or writing failed.
    virtual int Encode(void* left, void* right, int frames) = 0;
    /// Flushes and closes the output: trailing frames, tags, sizes. 0 if anything failed.
    virtual int Finish() = 0;
};

/// Converts one file: opens the source (at renderRate for synthesised formats), lets the format
/// choose, converts and amplifies every block as it asked (flushing the resampler at the end of
/// the source), runs the format block by block with progress, message pumping and Cancel, finishes,
/// and deletes the output of a failed or cancelled conversion unless it is the source itself.
/// 1 on success.
int RunConversionFrame(ConversionJob& job, int renderRate, ConversionFormat& format);

/// Percent and pixel progress of one file, shown only when the value grows.
class FileProgress {
public:
    FileProgress(ProgressDialog& dialog, std::string fileName, std::int64_t total);
    void Update(std::int64_t position);
    void Complete();

private:
    ProgressDialog& m_dialog;
    std::string m_fileName;
    std::uint64_t m_percentStep = 1;
    std::uint64_t m_pixelStep = 1;
    int m_width = 0;
    int m_lastPercent = 0;
    std::int64_t m_lastPixel = 0;
};
