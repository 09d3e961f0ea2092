#include "engine/ConversionFrame.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

#include "engine/EngineTexts.h"
#include "engine/SourceSelection.h"
#include "platform/FileIdentity.h"
#include "platform/Paths.h"

namespace {

std::string Format(const char* pattern, const std::string& name, int percent) {
    const int n = std::snprintf(nullptr, 0, pattern, name.c_str(), percent);
    std::string text(static_cast<std::size_t>(std::max(n, 0)) + 1, '\0');
    std::snprintf(text.data(), text.size(), pattern, name.c_str(), percent);
    text.resize(text.size() - 1);
    return text;
}

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
        m_dialog.SetFileText(Format(kConvertingPercentText, m_fileName, percent));
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
        m_dialog.SetFileText(Format(kConvertingPercentText, m_fileName, 100));
        m_dialog.SetFileBarPos(m_width);
        m_lastPercent = 100;
    }
}

int RunConversionFrame(ConversionJob& job, int renderRate, ConversionFormat& format) {
    std::unique_ptr<AudioSource> source = OpenSource(job.engine, job.sourcePath, job.kind, renderRate, true);
    if (!source) return 0;

    int result = 0;
    if (format.Start(*source)) {
        const bool stereo = source->GetOutputChannels() == 2;
        std::array<std::int16_t, kBlockFrames> left{}, right{};
        std::int64_t total = source->GetTotalLength();
        if (total <= 0) total = 1;
        FileProgress progress(job.progress, FileNamePart(job.sourcePath), total);
        // Synthesised sources would play on past their nominal length; stop them there.
        const bool stopAtLength = job.kind == kKindModule || job.kind == kKindMidi;

        result = 1;
        for (;;) {
            const int frames = std::min(source->ReadBlock(left.data(), stereo ? right.data() : nullptr), kBlockFrames);
            if (frames <= 0) break;
            const std::int64_t position = source->GetPosition();
            progress.Update(position);
            job.progress.PumpMessages();
            if (job.progress.CancelRequested() || !format.Encode(left.data(), stereo ? right.data() : nullptr, frames)) {
                result = 0;
                break;
            }
            if (stopAtLength && position >= total) break;
        }
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
