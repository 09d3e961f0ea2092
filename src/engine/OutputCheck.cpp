#include "engine/OutputCheck.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "engine/OutputFormats.h"
#include "engine/SourceSelection.h"
#include "platform/StringPrintf.h"

namespace {

// A reader's block as floats, whatever depth it delivered.
void Widen(const void* from, int bits, float* to, int frames) {
    for (int i = 0; i < frames; ++i) {
        if (bits == 8)
            to[i] = static_cast<float>(static_cast<const std::uint8_t*>(from)[i] - 128) / 128.0f;
        else if (bits == 16)
            to[i] = static_cast<float>(static_cast<const std::int16_t*>(from)[i]) / 32768.0f;
        else
            to[i] = static_cast<const float*>(from)[i];
    }
}

}  // namespace

std::string CheckOutput(EngineContext& engine, const std::string& path, const OutputFormatInfo& row,
                        const ConversionSettings& settings, const FedAudio& fed) {
    const std::string saved = engine.FailureDetail;  // a reader that fails to open leaves a hint there
    std::unique_ptr<AudioSource> source = OpenSource(engine, path, row.verify.readAs, 0, true);
    engine.FailureDetail = saved;
    if (!source) return "the output cannot be decoded";
    const int channels = source->GetOutputChannels();
    const int rate = source->GetSampleRate();
    if (channels != fed.Channels())
        return StringPrintf("the output decodes to %d channel(s) instead of %d", channels, fed.Channels());
    if (fed.Hashed()) source->RequestFullResolution();
    const int bits = source->GetBitsPerSample();

    std::array<float, kBlockFrames> raw[2]{}, wide[2]{};
    std::int64_t frames = 0;
    std::uint64_t hash = FedAudio::kHashStart;
    for (;;) {
        const int n = source->ReadBlock(raw[0].data(), channels == 2 ? raw[1].data() : nullptr);
        if (n <= 0) break;
        const int got = std::min(n, kBlockFrames);
        frames += got;
        if (fed.Hashed()) {
            for (int c = 0; c < channels; ++c) Widen(raw[c].data(), bits, wide[c].data(), got);
            hash = FedAudio::HashFloats(hash, wide[0].data(), channels == 2 ? wide[1].data() : nullptr, got);
        }
    }
    const ReadOutcome outcome = source->GetReadOutcome();
    source->Close();
    if (outcome.failed || outcome.damagedFrames > 0)
        return outcome.note.empty() ? StringPrintf("the output holds %lld damaged frame(s)",
                                                   static_cast<long long>(outcome.damagedFrames))
                                    : "the output is damaged: " + outcome.note;

    // An encoder that resamples itself is fed at one rate and decodes at another.
    const std::int64_t expected =
        rate == fed.Rate() || fed.Rate() <= 0
            ? fed.Frames()
            : static_cast<std::int64_t>(std::llround(static_cast<double>(fed.Frames()) * rate / fed.Rate()));
    const std::int64_t slack = row.verify.lengthTolerance(settings, path) + (rate == fed.Rate() ? 0 : 2);
    if (std::llabs(frames - expected) > slack)
        return StringPrintf("the output decodes to %lld samples instead of %lld",
                            static_cast<long long>(frames), static_cast<long long>(expected));
    if (fed.Hashed() && hash != fed.Hash()) return "the decoded samples differ from the ones written";
    return {};
}
