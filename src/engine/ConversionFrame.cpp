#include "engine/ConversionFrame.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include "engine/EngineTexts.h"
#include "engine/PcmAmplify.h"
#include "engine/PcmConverter.h"
#include "engine/SourceSelection.h"
#include "platform/FileIdentity.h"
#include "platform/Paths.h"
#include "platform/StringPrintf.h"

namespace {

// Turns the source's blocks into what the format asked for: the channel pick, the conversion chain
// when anything differs, and amplification, in that order.
class PcmFeed {
public:
    int Setup(AudioSource& source, const PcmRequest& request) {
        const int sourceChannels = source.GetOutputChannels();
        const int sourceRate = source.GetSampleRate();
        const int sourceBits = source.GetBitsPerSample();
        const int rate = request.rate > 0 ? request.rate : sourceRate;
        m_channels = request.channels > 0 ? request.channels : sourceChannels;
        m_bits = request.bits > 0 ? request.bits : sourceBits;
        if ((m_channels != 1 && m_channels != 2) || (m_bits != 8 && m_bits != 16)) return 0;

        m_pick = sourceChannels == 2 && m_channels == 1 ? request.pick : ChannelPick::Mix;
        const int inputs = m_pick == ChannelPick::Mix ? sourceChannels : 1;
        m_useChain = rate != sourceRate || m_bits != sourceBits || inputs != m_channels;
        if (m_useChain) {
            if (!m_chain.Setup(sourceRate, inputs, rate, m_channels, sourceBits, m_bits)) return 0;
            m_capacity = static_cast<int>(m_chain.OutputCapacity(kBlockFrames));
            const auto bytes = static_cast<std::size_t>(m_capacity) * static_cast<std::size_t>(m_bits / 8);
            for (int c = 0; c < m_channels; ++c) m_out[c].resize(bytes);
        }
        m_gain = request.gain != 0.0f && request.gain != 1.0f ? request.gain : 0.0f;
        return 1;
    }

    int Feed(void* left, void* right, int frames, ConversionFormat& format) {
        if (m_pick == ChannelPick::Right) left = right;
        if (m_pick != ChannelPick::Mix) right = nullptr;
        if (!m_useChain) return Deliver(left, m_channels == 2 ? right : nullptr, frames, format);
        int converted = 0;
        if (!m_chain.Process(left, right, frames, m_out[0].data(), OutRight(), converted)) return 0;
        return Deliver(m_out[0].data(), OutRight(), converted, format);
    }

    // What the resampler still holds once the source has ended.
    int Drain(ConversionFormat& format) {
        if (!m_useChain) return 1;
        // A filter tail is a few hundred frames; the bound only guards against a resampler that
        // never stops producing.
        for (int round = 0; round < 64; ++round) {
            int frames = 0;
            if (!m_chain.Flush(m_out[0].data(), OutRight(), m_capacity, frames)) return 0;
            if (frames == 0) return 1;
            if (!Deliver(m_out[0].data(), OutRight(), frames, format)) return 0;
        }
        return 1;
    }

private:
    void* OutRight() { return m_channels == 2 ? m_out[1].data() : nullptr; }

    int Deliver(void* left, void* right, int frames, ConversionFormat& format) {
        if (frames <= 0) return 1;  // the resampler may hold back a whole first block
        if (m_gain != 0.0f) {
            if (m_bits == 16)
                Amplify16(static_cast<std::int16_t*>(left), static_cast<std::int16_t*>(right), frames,
                          m_channels, m_gain);
            else
                Amplify8(static_cast<std::uint8_t*>(left), static_cast<std::uint8_t*>(right), frames,
                         m_channels, m_gain);
        }
        return format.Encode(left, right, frames);
    }

    ChannelPick m_pick = ChannelPick::Mix;
    int m_channels = 0;
    int m_bits = 0;
    float m_gain = 0.0f;
    bool m_useChain = false;
    int m_capacity = 0;
    PcmConverter m_chain;
    std::vector<std::uint8_t> m_out[2];
};

}  // namespace

FileProgress::FileProgress(ProgressDialog& dialog, std::string fileName, std::int64_t total)
    : m_dialog(dialog), m_fileName(std::move(fileName)) {
    const auto units = static_cast<std::uint64_t>(total > 0 ? total : 1);
    m_percentStep = std::max<std::uint64_t>(units / 100, 1);
    m_width = std::max(dialog.FileBarWidth(), 1);
    m_dialog.SetFileBarRange(m_width);
    m_dialog.SetFileBarPos(0);
    m_pixelStep = std::max<std::uint64_t>(units / static_cast<std::uint64_t>(m_width), 1);
}

void FileProgress::Update(std::int64_t position) {
    const auto pos = static_cast<std::uint64_t>(position);
    const int percent = static_cast<int>(std::min<std::uint64_t>(pos / m_percentStep, 100));
    if (percent > m_lastPercent) {
        m_dialog.SetFileText(StringPrintf(kConvertingPercentText, m_fileName.c_str(), percent));
        m_lastPercent = percent;
    }
    const auto pixel = static_cast<std::int64_t>(std::min<std::uint64_t>(pos / m_pixelStep, m_width));
    if (pixel > m_lastPixel) {
        m_dialog.SetFileBarPos(static_cast<int>(pixel));
        m_lastPixel = pixel;
    }
}

void FileProgress::Complete() {
    if (m_lastPercent != 100) {
        m_dialog.SetFileText(StringPrintf(kConvertingPercentText, m_fileName.c_str(), 100));
        m_dialog.SetFileBarPos(m_width);
        m_lastPercent = 100;
    }
}

int RunConversionFrame(ConversionJob& job, int renderRate, ConversionFormat& format) {
    std::unique_ptr<AudioSource> source = OpenSource(job.engine, job.sourcePath, job.kind, renderRate, true);
    if (!source) return 0;

    int result = 0;
    PcmRequest request;
    PcmFeed feed;
    if (format.Start(*source, request) && feed.Setup(*source, request)) {
        const bool stereo = source->GetOutputChannels() == 2;
        std::array<std::int16_t, kBlockFrames> left{}, right{};
        std::int64_t total = source->GetTotalLength();
        if (total <= 0) total = 1;
        std::int64_t delivered = 0;
        FileProgress progress(job.progress, FileNamePart(job.sourcePath), total);
        // Synthesised sources would play on past their nominal length; stop them there.
        const bool stopAtLength = job.kind == kKindModule || job.kind == kKindMidi;

        result = 1;
        bool sourceEnded = false;
        for (;;) {
            const int frames =
                std::min(source->ReadBlock(left.data(), stereo ? right.data() : nullptr), kBlockFrames);
            if (frames <= 0) {
                sourceEnded = true;
                break;
            }
            delivered += frames;
            const std::int64_t position = source->GetPosition();
            progress.Update(position);
            job.progress.PumpMessages();
            if (job.progress.CancelRequested() ||
                !feed.Feed(left.data(), stereo ? right.data() : nullptr, frames, format)) {
                result = 0;
                break;
            }
            if (stopAtLength && position >= total) break;
        }
        // A source that announced a playing time and gave no audio is a decoder that could not read
        // it, not an empty recording. (The total above counts progress units, often file bytes.)
        if (source->GetDuration() > 0 && delivered == 0) result = 0;
        // Damage the source could tell: a failure with its reason, or a note for the converted file.
        if (sourceEnded) {
            ReadOutcome outcome = source->GetReadOutcome();
            if (outcome.failed) {
                result = 0;
                job.engine.FailureDetail = std::move(outcome.note);
            } else if (result) {
                job.engine.SourceNote = std::move(outcome.note);
            }
        }
        if (result && !feed.Drain(format)) result = 0;
        if (result) progress.Complete();
        source->Close();
        source.reset();
        if (!format.Finish()) result = 0;
    } else {
        source->Close();
        source.reset();
        format.Finish();
    }

    // A failed or cancelled conversion leaves nothing behind, but the source is never touched.
    if (!result && !SameFile(job.outputPath, job.sourcePath)) std::remove(job.outputPath.c_str());
    return result;
}
