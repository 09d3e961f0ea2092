#include "engine/ConversionFrame.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <vector>

#include "engine/EngineTexts.h"
#include "engine/FedAudio.h"
#include "engine/FloatChain.h"
#include "engine/LoudnessMeter.h"
#include "engine/OutputCheck.h"
#include "engine/OutputFormats.h"
#include "engine/PcmAmplify.h"
#include "engine/PcmConverter.h"
#include "engine/SampleQuantizer.h"
#include "engine/SourceSelection.h"
#include "engine/SystemReason.h"
#include "engine/TagChoice.h"
#include "engine/TagTransfer.h"
#include "platform/FileIdentity.h"
#include "platform/Paths.h"
#include "platform/StringPrintf.h"
#include "settings/ConversionSettings.h"

namespace {

// Turns the source's blocks into what the format asked for: the channel pick, the conversion chain
// when anything differs, and amplification, in that order. At full resolution the chain runs in
// float and the last conversion dithers, clips and counts.
class PcmFeed {
public:
    int Setup(AudioSource& source, const PcmRequest& request, const ConversionSettings& settings,
              const std::string& sourcePath) {
        const int sourceChannels = source.GetOutputChannels();
        const int sourceRate = source.GetSampleRate();
        const int rate = request.rate > 0 ? request.rate : sourceRate;
        m_rate = rate;
        m_channels = request.channels > 0 ? request.channels : sourceChannels;
        m_bits = request.bits > 0 ? request.bits : source.GetBitsPerSample();
        if ((m_channels != 1 && m_channels != 2) ||
            (m_bits != 8 && m_bits != 16 && m_bits != 24 && m_bits != kFloatBits))
            return 0;
        m_pick = sourceChannels == 2 && m_channels == 1 ? request.pick : ChannelPick::Mix;
        const int inputs = m_pick == ChannelPick::Mix ? sourceChannels : 1;
        m_gain = request.gain != 0.0f && request.gain != 1.0f ? request.gain : 0.0f;

        m_wide = DeliversFullResolution(source, request, settings);
        if (m_wide) {
            // A source that cannot deliver floats is widened by the chain, exactly.
            const int blockBits = source.RequestFullResolution() ? kFloatBits : source.GetBitsPerSample();
            const auto quality =
                request.bandLimited ? SoxrResampler::Quality::High : SoxrResampler::Quality::VeryHigh;
            if (!m_float.Setup(sourceRate, inputs, blockBits, rate, m_channels, m_gain, quality)) return 0;
            m_outBits = request.takesFloat ? kFloatBits : m_bits;
            m_limit = request.takesFloat;  // a float WAV keeps what lies beyond full scale
            // Seeded by where the source is, however its path was spelled, so that a planned run and a
            // direct one dither alike.
            std::error_code error;
            const std::string where =
                std::filesystem::absolute(sourcePath, error).lexically_normal().string();
            m_last.emplace(m_outBits, settings.Dither != 0,
                           SampleQuantizer::SeedOf(error ? sourcePath.c_str() : where.c_str()));
            const std::size_t bytes = m_outBits == 8 ? 1 : m_outBits == 16 ? 2 : 4;
            for (int c = 0; c < m_channels; ++c) m_out[c].resize(bytes * kBlockFrames);
            return 1;
        }
        if (m_bits > 16) return 0;
        const int sourceBits = source.GetBitsPerSample();
        m_useChain = rate != sourceRate || m_bits != sourceBits || inputs != m_channels;
        if (m_useChain) {
            if (!m_chain.Setup(sourceRate, inputs, rate, m_channels, sourceBits, m_bits)) return 0;
            m_capacity = static_cast<int>(m_chain.OutputCapacity(kBlockFrames));
            const auto bytes = static_cast<std::size_t>(m_capacity) * static_cast<std::size_t>(m_bits / 8);
            for (int c = 0; c < m_channels; ++c) m_out[c].resize(bytes);
        }
        return 1;
    }

    int Feed(void* left, void* right, int frames, ConversionFormat& format) {
        if (m_pick == ChannelPick::Right) left = right;
        if (m_pick != ChannelPick::Mix) right = nullptr;
        if (m_wide) {
            const int got = m_float.Process(left, right, frames);
            return got >= 0 && DeliverWide(got, format);
        }
        if (!m_useChain) return Deliver(left, m_channels == 2 ? right : nullptr, frames, format);
        int converted = 0;
        if (!m_chain.Process(left, right, frames, m_out[0].data(), OutRight(), converted)) return 0;
        return Deliver(m_out[0].data(), OutRight(), converted, format);
    }

    // What the resampler still holds once the source has ended.
    int Drain(ConversionFormat& format) {
        if (m_wide) {
            const int got = m_float.Flush();
            return got >= 0 && DeliverWide(got, format);
        }
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

    /// Samples beyond full scale so far (full resolution only).
    std::int64_t Clipped() const { return m_last ? m_last->Clipped() : 0; }

    /// Every block handed to the format from now on also goes through the meter.
    void MeasureWith(LoudnessMeter* meter) { m_meter = meter; }
    int Rate() const { return m_rate; }
    int Channels() const { return m_channels; }

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
        const PcmBlock block{left, right, frames, m_bits};
        if (m_meter && !m_meter->Add(block)) return 0;
        return format.Encode(block);
    }

    // The last conversion, in pieces of at most one block (a resampler's tail may be longer).
    int DeliverWide(int frames, ConversionFormat& format) {
        float* in[2] = {m_float.Left(), m_float.Right()};
        for (int done = 0; done < frames;) {
            const int n = std::min(frames - done, kBlockFrames);
            void* out[2] = {nullptr, nullptr};
            for (int c = 0; c < m_channels; ++c) {
                float* from = in[c] + done;
                switch (m_outBits) {
                    case 8:
                        m_last->ToU8(from, m_out[c].data(), n);
                        out[c] = m_out[c].data();
                        break;
                    case 16:
                        m_last->ToS16(from, reinterpret_cast<std::int16_t*>(m_out[c].data()), n);
                        out[c] = m_out[c].data();
                        break;
                    case 24:
                        m_last->ToS24(from, reinterpret_cast<std::int32_t*>(m_out[c].data()), n);
                        out[c] = m_out[c].data();
                        break;
                    default:
                        if (m_limit) m_last->Limit(from, n);
                        out[c] = from;
                }
            }
            const PcmBlock block{out[0], out[1], n, m_outBits};
            if (m_meter && !m_meter->Add(block)) return 0;
            if (!format.Encode(block)) return 0;
            done += n;
        }
        return 1;
    }

    ChannelPick m_pick = ChannelPick::Mix;
    int m_rate = 0;
    int m_channels = 0;
    int m_bits = 0;
    float m_gain = 0.0f;
    bool m_useChain = false;
    int m_capacity = 0;
    PcmConverter m_chain;
    std::vector<std::uint8_t> m_out[2];
    // Full resolution.
    bool m_wide = false;
    bool m_limit = false;
    int m_outBits = 0;
    FloatChain m_float;
    std::optional<SampleQuantizer> m_last;
    LoudnessMeter* m_meter = nullptr;
};

// A format that only measures: the first pass of a normalised track.
class MeterSink final : public ConversionFormat {
public:
    int Start(AudioSource&, ChosenTags&, PcmRequest&) override { return 1; }
    int Encode(const PcmBlock&) override { return 1; }
    int Finish() override { return 1; }
};

// Passes every block on to the format, tallying what it was fed for the check of its output.
class TalliedFormat final : public ConversionFormat {
public:
    TalliedFormat(ConversionFormat& format, FedAudio* fed) : m_format(format), m_fed(fed) {}
    int Start(AudioSource& source, ChosenTags& tags, PcmRequest& request) override {
        return m_format.Start(source, tags, request);
    }
    int Encode(const PcmBlock& block) override {
        if (m_fed) m_fed->Add(block);
        return m_format.Encode(block);
    }
    int Finish() override { return m_format.Finish(); }

private:
    ConversionFormat& m_format;
    FedAudio* m_fed;
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

namespace {

// Why the source could not be opened, when the system refuses it to every reader (no permission).
std::string OpenReason(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return SystemReason(errno);
    ::close(fd);
    return {};
}

// Runs one step of the format and keeps the system's reason when it fails. errno is cleared first,
// so that only what failed in this step can explain it.
template <typename Step>
bool Checked(ConversionJob& job, Step step) {
    errno = 0;
    if (step()) return true;
    if (job.engine.FailureReason.empty()) job.engine.FailureReason = SystemReason(errno);
    return false;
}

}  // namespace

ChosenTags::ChosenTags(const ConversionJob& job, const OutputFormatInfo& row, AudioSource& source)
    : m_job(job), m_row(row), m_source(source) {}

const std::optional<TagSet>& ChosenTags::Get() {
    if (!m_chosen && m_row.common.tagType) {
        const ConversionSettings& s = m_job.settings;
        m_tags = ChooseTags(m_job, m_source, s.*m_row.common.tagType, s.*m_row.common.tagTemplate);
    }
    m_chosen = true;
    return m_tags;
}

bool DeliversFullResolution(AudioSource& source, const PcmRequest& request,
                            const ConversionSettings& settings) {
    if (request.bits > 16) return true;
    const bool resamples = request.rate > 0 && request.rate != source.GetSampleRate();
    // The earlier resampler gives exactly the earlier output: its 16-bit chain from start to end.
    if (resamples && settings.Resampler == 1) return false;
    // Normalising decides its gain after the format started, so its files always take the float chain.
    const bool amplifies = (request.gain != 0.0f && request.gain != 1.0f) || settings.Normalize != 0;
    return source.GetHeldBits() > 16 || resamples || amplifies;
}

namespace {

// The loudness a track will have: the source once through the chain the format asked for, into a
// meter. Normalising a track needs it before the first block is encoded; tags alone never run it.
int MeasureTrack(ConversionJob& job, const OutputFormatInfo& row, const PcmRequest& request,
                 LoudnessMeter& meter) {
    std::unique_ptr<AudioSource> source =
        OpenSource(job.engine, job.sourcePath, job.kind, row.renderRate(job.settings), true);
    if (!source) return 0;
    PcmFeed feed;
    MeterSink sink;
    if (!feed.Setup(*source, request, job.settings, job.sourcePath) ||
        !meter.Setup(feed.Rate(), feed.Channels()))
        return 0;
    feed.MeasureWith(&meter);
    const bool stereo = source->GetOutputChannels() == 2;
    std::array<float, kBlockFrames> left{}, right{};
    const std::int64_t total = std::max<std::int64_t>(source->GetTotalLength(), 1);
    const bool stopAtLength = job.kind == kKindModule || job.kind == kKindMidi;
    for (;;) {
        const int frames =
            std::min(source->ReadBlock(left.data(), stereo ? right.data() : nullptr), kBlockFrames);
        if (frames <= 0) break;
        job.progress.PumpMessages();
        if (job.progress.CancelRequested() ||
            !feed.Feed(left.data(), stereo ? right.data() : nullptr, frames, sink))
            return 0;
        if (stopAtLength && source->GetPosition() >= total) break;
    }
    return feed.Drain(sink);
}

}  // namespace

int MeasureSource(ConversionJob& job, const OutputFormatInfo& row, LoudnessMeter& meter) {
    PcmRequest request;
    request.gain = row.Gain(job.settings);
    request.takesFloat = true;
    return MeasureTrack(job, row, request, meter);
}

namespace {

// The linear factor normalising adds to the format's own amplification; 1 for none.
bool NormalizingGain(ConversionJob& job, const OutputFormatInfo& row, const PcmRequest& request,
                     double& factor) {
    factor = 1.0;
    const ConversionSettings& s = job.settings;
    if (s.Normalize == 2) {  // the batch measured the album before its first file
        if (job.engine.AlbumGain > 0.0) factor = job.engine.AlbumGain;
        return true;
    }
    if (s.Normalize != 1) return true;
    LoudnessMeter meter;
    if (!MeasureTrack(job, row, request, meter)) return false;
    factor = std::pow(10.0, NormalizeGainDb(meter.Integrated(), meter.TruePeak(), s.NormalizeTarget) / 20.0);
    return true;
}

}  // namespace

int RunConversionFrame(ConversionJob& job, const OutputFormatInfo& row, ConversionFormat& format) {
    job.engine.Loudness.reset();  // a file that is not measured must not take another's values
    job.engine.LoudnessState.reset();
    std::unique_ptr<AudioSource> source =
        OpenSource(job.engine, job.sourcePath, job.kind, row.renderRate(job.settings), true);
    if (!source) {
        job.engine.FailureReason = OpenReason(job.sourcePath);
        return 0;
    }

    int result = 0;
    PcmRequest request;
    PcmFeed feed;
    ChosenTags tags(job, row, *source);
    std::unique_lock<std::mutex> starting;
    if (job.engine.startGate) starting = std::unique_lock(*job.engine.startGate);
    bool started = Checked(job, [&] {
        request.gain = row.Gain(job.settings);
        if (!format.Start(*source, tags, request)) return false;
        request.gain = row.Gain(job.settings);
        return true;
    });
    if (starting) starting.unlock();
    double normalizing = 1.0;
    started = started && Checked(job, [&] { return NormalizingGain(job, row, request, normalizing); });
    const ConversionSettings& s = job.settings;
    std::shared_ptr<LoudnessMeter> meter;
    if (started) {
        if (normalizing != 1.0)
            request.gain = static_cast<float>((request.gain != 0.0f ? request.gain : 1.0f) * normalizing);
        if (job.engine.startGate) starting = std::unique_lock(*job.engine.startGate);
        started =
            Checked(job, [&] { return feed.Setup(*source, request, job.settings, job.sourcePath) != 0; });
        if (started && (s.ReplayGain != 0 || s.Normalize != 0 || job.engine.shared.measureLoudness)) {
            meter = std::make_shared<LoudnessMeter>();
            // A rate the meter cannot take converts unmeasured, as before.
            if (meter->Setup(feed.Rate(), feed.Channels()))
                feed.MeasureWith(meter.get());
            else
                meter.reset();
        }
        if (starting) starting.unlock();  // the meter's thread starts under the gate too
    }
    const bool verify = VerifiesOutputs(job.settings);
    FedAudio fed;
    TalliedFormat tallied(format, verify ? &fed : nullptr);
    if (started && verify)
        fed.Start(request.rate > 0 ? request.rate : source->GetSampleRate(), feed.Channels(),
                  row.verify.samplesExact);
    if (started) {
        const bool stereo = source->GetOutputChannels() == 2;
        // Room for a block of any sample format the source may deliver, floats included.
        std::array<float, kBlockFrames> left{}, right{};
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
            if (job.progress.CancelRequested() || !Checked(job, [&] {
                    return feed.Feed(left.data(), stereo ? right.data() : nullptr, frames, tallied);
                })) {
                result = 0;
                break;
            }
            if (stopAtLength && position >= total) break;
        }
        // A source that announced a playing time, or audio past the end of its file, and gave none is
        // a file without its sound, not an empty recording. (The total above counts progress units,
        // often file bytes.)
        if ((source->GetDuration() > 0 || source->SoundMissing()) && delivered == 0) {
            result = 0;
            if (job.engine.FailureDetail.empty()) job.engine.FailureDetail = kNoSoundHeld;
        }
        // Damage the source could tell: a failure with its reason, or a note for the converted file.
        if (sourceEnded) {
            ReadOutcome outcome = source->GetReadOutcome();
            if (!outcome.failed && (outcome.damagedFrames > 0 || outcome.missingFrames > 0)) {
                std::string damage =
                    outcome.damagedFrames > 0
                        ? StringPrintf(kDamagedFramesNote, static_cast<long long>(outcome.damagedFrames))
                        : StringPrintf(kMissingFramesNote, static_cast<long long>(outcome.missingFrames));
                if (!outcome.note.empty()) damage += "; " + outcome.note;
                outcome.note = std::move(damage);
                outcome.failed = job.settings.StrictDecode != 0;
            }
            if (outcome.failed) {
                result = 0;
                job.engine.FailureDetail = std::move(outcome.note);
            } else if (result) {
                job.engine.SourceNote = std::move(outcome.note);
            }
        }
        if (result && !Checked(job, [&] { return feed.Drain(tallied); })) result = 0;
        job.engine.ClippedSamples = feed.Clipped();
        if (result && meter) {
            const double integrated = meter->Integrated();
            job.engine.Loudness = FileLoudness{integrated, meter->TruePeak(), !std::isfinite(integrated)};
            job.engine.LoudnessState = std::move(meter);
        }
        if (result) progress.Complete();
        source->Close();
        source.reset();
        if (!Checked(job, [&] { return format.Finish() != 0; })) result = 0;
        if (result && !Checked(job, [&] { return TransferTags(job, row) != 0; })) result = 0;
        // Only an output that decodes back to what was written may take its name.
        if (result && verify) {
            const std::string fault = CheckOutput(job.engine, job.outputPath, row, job.settings, fed);
            if (!fault.empty()) {
                result = 0;
                job.engine.FailureReason = StringPrintf(kVerifyFailedReason, fault.c_str());
            }
        }
    } else {
        source->Close();
        source.reset();
        format.Finish();
    }

    // A failed or cancelled conversion leaves nothing behind, but the source is never touched.
    if (!result && !SameFile(job.outputPath, job.sourcePath)) std::remove(job.outputPath.c_str());
    return result;
}
