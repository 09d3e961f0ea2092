#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/ConversionJob.h"
#include "engine/PcmRequest.h"
#include "sources/AudioSource.h"
#include "sources/TagSet.h"

struct OutputFormatInfo;

/// One block of planar PCM as a format receives it, in the rate, channels and depth it asked for.
struct PcmBlock {
    const void* left;
    const void* right;  // null for one channel
    int frames;
    int bits;  // 8: unsigned with 128 as silence; 16: signed; 24: signed in 32-bit words; kFloatBits

    const std::int16_t* Left16() const { return static_cast<const std::int16_t*>(left); }
    const std::int16_t* Right16() const { return static_cast<const std::int16_t*>(right); }
    const std::int32_t* Left24() const { return static_cast<const std::int32_t*>(left); }
    const std::int32_t* Right24() const { return static_cast<const std::int32_t*>(right); }
    const float* LeftFloat() const { return static_cast<const float*>(left); }
    const float* RightFloat() const { return static_cast<const float*>(right); }
    const std::uint8_t* Left8() const { return static_cast<const std::uint8_t*>(left); }
    const std::uint8_t* Right8() const { return static_cast<const std::uint8_t*>(right); }
};

/// The tags a format's row chooses for one file (template, source or none), read from the source
/// only when a format first asks.
class ChosenTags {
public:
    ChosenTags(const ConversionJob& job, const OutputFormatInfo& row, AudioSource& source);
    const std::optional<TagSet>& Get();

private:
    const ConversionJob& m_job;
    const OutputFormatInfo& m_row;
    AudioSource& m_source;
    std::optional<TagSet> m_tags;
    bool m_chosen = false;
};

/// What a format adds to the shared conversion loop: choosing its parameters, encoding blocks
/// and finishing its file. The render rate, the amplification and the tag choice come from its row.
class ConversionFormat {
public:
    virtual ~ConversionFormat() = default;
    /// Chooses the output parameters from the opened source, fills `request` (but its gain) and opens
    /// the encoder or writer. 0 when it cannot; the frame then deletes whatever the format created.
    virtual int Start(AudioSource& source, ChosenTags& tags, PcmRequest& request) = 0;
    /// Encodes and writes one block, already converted and amplified. 0 when encoding or writing
    /// failed.
    virtual int Encode(const PcmBlock& block) = 0;
    /// Flushes and closes the output: trailing frames, tags, sizes. Follows every Start, even one
    /// that failed. 0 if anything failed.
    virtual int Finish() = 0;
};

/// Whether the frame hands this request's blocks over at full resolution: when the format keeps more
/// than 16 bits, or the source holds more than 16 bits, or the chain resamples or amplifies (unless
/// the earlier 16-bit resampler is chosen for a rate change). The blocks are then floats for a format
/// that takes them, else the requested depth, dithered when reduced to 8 or 16 bits. A format whose
/// encoder must know it before it opens asks at the end of Start (the gain is set by then).
bool DeliversFullResolution(AudioSource& source, const PcmRequest& request,
                            const ConversionSettings& settings);

/// Makes the format part of one conversion; null when the format cannot run at all.
using FormatMaker = std::unique_ptr<ConversionFormat> (*)(const ConversionJob& job);

/// Converts one file: opens the source (at the row's render rate for synthesised formats), lets the
/// format choose, converts and amplifies every block as it asked and by the row's gain (flushing the
/// resampler at the end of the source), runs the format block by block with progress, message
/// pumping and Cancel, finishes, and deletes the output of a failed or cancelled conversion unless
/// it is the source itself. 1 on success.
int RunConversionFrame(ConversionJob& job, const OutputFormatInfo& row, ConversionFormat& format);

class LoudnessMeter;

/// Measures the source of the job as it would reach a format that keeps its rate and channels,
/// amplified by the row's gain: what normalising an album knows of its files before converting
/// them. 1 on success; 0 when it cannot be read or the batch is cancelled.
int MeasureSource(ConversionJob& job, const OutputFormatInfo& row, LoudnessMeter& meter);

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
