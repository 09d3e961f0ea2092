// Several files of a batch converting at once must give what converting them one after another gives.
// These run under ThreadSanitizer in CI (scripts/tsan.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/EngineTexts.h"
#include "engine/FileProbe.h"
#include "engine/OutputFormats.h"
#include "engine/OutputStaging.h"
#include "host/ConverterSession.h"
#include "platform/MemoryUserStore.h"
#include "settings/ConversionSettings.h"
#include "support/EngineDoubles.h"
#include "support/RecordingUserInteraction.h"
#include "support/SynthFixtures.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

constexpr int kRename = 11, kOverwrite = 22, kSkip = 33;

struct Outcome {
    std::vector<std::string> statuses;  // by row; "" for a row the batch never wrote
    std::vector<std::string> outputs;   // file names, "" for a file that did not convert
};

struct BatchSetup {
    std::vector<std::string> sources;
    int format = kFormatWav;
    int jobs = 1;
    std::string outFolder;
    int targetExists = kRename;
    int cancelAfterPumps = -1;
    int replayGain = 0;
};

Outcome RunBatch(const BatchSetup& setup) {
    testsupport::RecordingUserInteraction user;
    ConverterSession session(std::make_unique<MemoryUserStore>(), user);
    EXPECT_EQ(session.StartDecoders(), DecoderStartupResult::Started);
    ConversionSettings& s = session.Settings();
    s.OutputFormat = setup.format;
    s.DestOutputFolderOpt = 399;
    s.DestSpecifiedFolder = setup.outFolder;
    s.TargetExistsOpt = setup.targetExists;
    s.BrowseOutputFolder = 0;
    s.OutputFiles2MyDocuments = 0;
    s.ReplayGain = setup.replayGain;
    session.Services().jobs = setup.jobs;

    std::vector<FileEntry> entries;
    for (const auto& path : setup.sources) {
        auto entry = ProbeFile(session.Engine(), path);
        EXPECT_TRUE(entry) << path;
        if (entry) entries.push_back(std::move(*entry));
    }
    std::vector<FileEntry*> batch;
    std::vector<int> rows;
    for (auto& e : entries) {
        rows.push_back(static_cast<int>(batch.size()));
        batch.push_back(&e);
    }
    testsupport::RecordingView view;
    view.progress.cancelAfterPumps = setup.cancelAfterPumps;
    session.MakeDriver(view).RunBatch(batch, rows);
    EXPECT_EQ(view.progress.dialogsOpen, 0);
    EXPECT_TRUE(user.questions.empty());

    Outcome out;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto it = view.status.find(static_cast<int>(i));
        out.statuses.push_back(it == view.status.end() ? "" : it->second);
        out.outputs.push_back(
            entries[i].outputPath.empty() ? "" : fs::path(entries[i].outputPath).filename().string());
    }
    return out;
}

// Every file in folder by name, with its bytes; hidden files of unfinished conversions included.
std::map<std::string, std::vector<std::uint8_t>> FolderContent(const std::string& folder) {
    std::map<std::string, std::vector<std::uint8_t>> content;
    for (const auto& f : fs::directory_iterator(folder))
        content[f.path().filename().string()] = testsupport::ReadBytes(f.path().string());
    return content;
}

bool Make(const std::vector<std::string>& argv) {
    return testsupport::Run(argv) == 0;
}

/// One short source of each family that decodes through a different library, made once.
class MixedSources {
public:
    static const MixedSources& Get() {
        static const MixedSources sources;
        return sources;
    }
    std::vector<std::string> paths;

private:
    MixedSources() {
        const std::string tone = m_dir.File("tone.wav");
        if (!testsupport::MakeToneWav(tone, 44100, 2, 3.0)) return;
        const std::string mono = m_dir.File("mono22k.wav");
        if (!testsupport::MakeToneWav(mono, 22050, 1, 2.0)) return;
        const std::string flac = m_dir.File("tone.flac"), mp3 = m_dir.File("tone.mp3"),
                          ogg = m_dir.File("tone.ogg");
        const std::string ff[] = {"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", tone};
        auto ffmpeg = [&](const std::vector<std::string>& tail) {
            std::vector<std::string> argv(std::begin(ff), std::end(ff));
            argv.insert(argv.end(), tail.begin(), tail.end());
            return Make(argv);
        };
        if (!ffmpeg({flac}) || !ffmpeg({"-c:a", "libmp3lame", "-b:a", "128k", mp3}) ||
            !ffmpeg({"-c:a", "libvorbis", "-q:a", "3", ogg}))
            return;
        const std::string midi = m_dir.File("song.mid"), module = m_dir.File("song.mod");
        testsupport::WriteBytes(midi, testsupport::TinyMidiFile());
        testsupport::WriteBytes(module, testsupport::TinyModFile());
        paths = {tone, flac, mp3, midi, ogg, mono, module, tone};
    }
    TempDir m_dir;
};

// Outputs that depend only on their input: MP4 files also carry the time they were made.
bool Deterministic(int format) {
    return format != kFormatM4a && format != kFormatMp4 && format != kFormatM4b;
}

class ConcurrentFormats : public testing::TestWithParam<int> {};

TEST_P(ConcurrentFormats, MatchOneByOne) {
    const auto& sources = MixedSources::Get().paths;
    ASSERT_FALSE(sources.empty()) << "sox or ffmpeg could not make the sources";
    TempDir one, several;
    const Outcome a = RunBatch({sources, GetParam(), 1, one.Path().string()});
    const Outcome b = RunBatch({sources, GetParam(), 3, several.Path().string()});
    EXPECT_EQ(a.statuses, b.statuses);
    EXPECT_EQ(a.outputs, b.outputs);
    for (const auto& name : a.outputs) {
        EXPECT_FALSE(name.empty()) << "a file failed: " << testing::PrintToString(a.statuses);
    }
    const auto first = FolderContent(one.Path().string()), second = FolderContent(several.Path().string());
    ASSERT_EQ(first.size(), second.size());
    for (const auto& [name, bytes] : first) {
        ASSERT_TRUE(second.count(name)) << name;
        if (Deterministic(GetParam())) {
            EXPECT_TRUE(bytes == second.at(name)) << name << " differs";
        }
    }
}

std::vector<int> WrittenFormats() {
    std::vector<int> codes;
    for (const auto& f : OutputFormatTable())
        if (ConverterSession::RoutineFor(f.code)) codes.push_back(f.code);
    return codes;
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, ConcurrentFormats, testing::ValuesIn(WrittenFormats()),
                         [](const auto& info) { return std::string(OutputFormatName(info.param)); });

// Sources that all map to one output name: the names (and, for Overwrite, the survivor) must come out
// as in list order, although the files convert at the same time.
TEST(ConcurrentBatch, SameOutputNameResolvedInListOrder) {
    TempDir in;
    std::vector<std::string> sources;
    for (int i = 0; i < 5; ++i) {
        fs::create_directories(in.Path() / std::to_string(i));
        sources.push_back((in.Path() / std::to_string(i) / "take.wav").string());
        ASSERT_TRUE(testsupport::MakeToneWav(sources.back(), 8000 * (i + 1), 1, 0.5 + i * 0.25));
    }
    for (int mode : {kRename, kOverwrite, kSkip}) {
        TempDir one, several;
        for (const TempDir* dir : {&one, &several})  // an older output of that name is there already
            testsupport::WriteBytes(dir->File("take.wav"), {1, 2, 3});
        const Outcome a = RunBatch({sources, kFormatWav, 1, one.Path().string(), mode});
        const Outcome b = RunBatch({sources, kFormatWav, 4, several.Path().string(), mode});
        EXPECT_EQ(a.statuses, b.statuses) << "mode " << mode;
        EXPECT_EQ(a.outputs, b.outputs) << "mode " << mode;
        EXPECT_TRUE(FolderContent(one.Path().string()) == FolderContent(several.Path().string()))
            << "mode " << mode;
    }
}

TEST(ConcurrentBatch, ReplayGainAlbumMatchesOneByOne) {
    // Each file's loudness meter runs a thread of its own beside the files' threads; the album's tags
    // are written when its last file is done, whichever that is.
    TempDir in;
    std::vector<std::string> sources;
    for (const char* level : {"0.1", "0.5", "0.25"}) {
        sources.push_back(in.File(std::string("track") + level + ".wav"));
        ASSERT_TRUE(Make({"sox", "-R", "-n", "-r", "44100", "-c", "2", "-b", "16", sources.back(), "synth",
                          "3", "pinknoise", "vol", level}));
    }
    TempDir one, several;
    const Outcome a = RunBatch({sources, kFormatMp3, 1, one.Path().string(), kRename, -1, 2});
    const Outcome b = RunBatch({sources, kFormatMp3, 2, several.Path().string(), kRename, -1, 2});
    EXPECT_EQ(a.outputs, b.outputs);
    const auto first = FolderContent(one.Path().string());
    EXPECT_TRUE(first == FolderContent(several.Path().string()));
    const std::string album = "REPLAYGAIN_ALBUM_GAIN";
    for (const auto& [name, bytes] : first)
        EXPECT_NE(std::search(bytes.begin(), bytes.end(), album.begin(), album.end()), bytes.end()) << name;
    EXPECT_EQ(first.size(), sources.size());
}

TEST(ConcurrentBatch, CancelStopsEveryRunningFileAndLeavesNoPartialOutput) {
    TempDir in, out;
    std::vector<std::string> sources;
    for (int i = 0; i < 6; ++i) {
        sources.push_back(in.File("long" + std::to_string(i) + ".wav"));
        ASSERT_TRUE(testsupport::MakeToneWav(sources.back(), 44100, 2, 20.0));
    }
    // The driver pumps once before the first file, then while files convert: Cancel comes at once.
    const Outcome o = RunBatch({sources, kFormatMp3, 3, out.Path().string(), kRename, 2});
    int cancelled = 0;
    for (std::size_t i = 0; i < o.statuses.size(); ++i) {
        if (o.statuses[i] == kStatusCancelled) {
            ++cancelled;
            EXPECT_EQ(o.outputs[i], "");
        } else if (i < 3) {
            EXPECT_EQ(o.statuses[i], o.outputs[i]) << "neither cancelled nor converted";
        } else {
            EXPECT_EQ(o.statuses[i], "") << "a file after the cancelled ones was touched";
        }
    }
    EXPECT_GT(cancelled, 0);
    for (const auto& [name, bytes] : FolderContent(out.Path().string())) {
        EXPECT_FALSE(IsStagingName(name)) << "hidden file left: " << name;
        EXPECT_TRUE(std::find(o.outputs.begin(), o.outputs.end(), name) != o.outputs.end()) << name;
    }
}

}  // namespace
