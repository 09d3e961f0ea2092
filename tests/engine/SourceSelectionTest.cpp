#include <gtest/gtest.h>

#include "engine/EngineTexts.h"
#include "engine/SourceSelection.h"
#include "support/RecordingReaders.h"
#include "support/RecordingUserInteraction.h"

using testsupport::ReaderLog;
using testsupport::RecordingReaders;
using testsupport::RecordingUserInteraction;
using Names = std::vector<std::string>;

namespace {

struct ExtensionCase {
    const char* path;
    SourceKind kind;
};

TEST(SourceKindFromExtension, EveryListedExtensionInAnyCase) {
    // A missing or mistyped table row sends a whole family to the wrong decoder chain.
    const ExtensionCase cases[] = {
        {"a.mp3", 1000},  {"a.wav", 2000}, {"a.wave", 2000}, {"a.mod", 3000}, {"a.xm", 3000},
        {"a.it", 3000},   {"a.s3m", 3000}, {"a.mtm", 3000},  {"a.umx", 3000}, {"a.mo3", 3000},
        {"a.midi", 3050}, {"a.mid", 3050}, {"a.rmi", 3050},  {"a.kar", 3050}, {"a.cda", 3100},
        {"a.flac", 3200}, {"a.fla", 3200}, {"a.wv", 3300},   {"a.adx", 3500}, {"a.ape", 3600},
        {"a.mac", 3600},  {"a.mpc", 3700}, {"a.mpp", 3700},  {"a.mp+", 3700}, {"a.spx", 3800},
        {"a.tta", 3900},  {"a.ogg", 4000}, {"a.oga", 4000},  {"a.ogm", 4000}, {"a.ogv", 4000},
        {"a.ogx", 4000},  {"a.au", 5000},  {"a.snd", 5000},  {"a.aif", 5100}, {"a.aiff", 5100},
        {"a.aifc", 5100}, {"a.afc", 5100}, {"a.aac", 6000},  {"a.m4a", 6500}, {"a.m4b", 6500},
        {"a.mp4", 6600},  {"a.m4v", 6600}, {"a.wma", 7000},  {"a.wmv", 7000}, {"a.asf", 7000},
        {"a.wm", 7000},   {"a.wmd", 7000}, {"a.xwmv", 7000},
    };
    EXPECT_EQ(std::size(cases), 48u);
    for (const auto& c : cases) {
        std::string upper = c.path;
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        EXPECT_EQ(SourceKindFromExtension(c.path), c.kind) << c.path;
        EXPECT_EQ(SourceKindFromExtension("/music/" + upper), c.kind) << upper;
    }
}

TEST(SourceKindFromExtension, OnlyTheLastDotOfTheNameCounts) {
    // Taking a dot from a folder name, or a prefix match, would misclassify the file.
    const ExtensionCase cases[] = {
        {"song", 9000},
        {"/music/a.mp3/song", 9000},
        {"/music/take.1.MP3", 1000},
        {"/music/a.mp3.bak", 9000},
        {"/music/a.mp", 9000},
        {"/music/a.mp3 ", 9000},
        {"/music/a.", 9000},
        {"/music/.mp3", 1000},
        {"", 9000},
        {"/music/clip.flv", 9000},
    };
    for (const auto& c : cases) EXPECT_EQ(SourceKindFromExtension(c.path), c.kind) << '"' << c.path << '"';
}

/// A context whose readers all record and whose runtime is present or missing by choice.
struct Fixture {
    explicit Fixture(bool runtimePresent, const std::set<ReaderRole>& absent = {})
        : runtime([this, runtimePresent] {
              ++probes;
              return runtimePresent;
          }),
          context(runtime, user) {
        context.readers = RecordingReaders(log, absent);
    }
    int probes = 0;
    ReaderLog log;
    RecordingUserInteraction user;
    WmfRuntime runtime;
    EngineContext context;
};

struct ChainCase {
    const char* path;
    bool forConversion;
    Names expected;
};

TEST(OpenSource, ChainPerKindWhenEveryReaderRejects) {
    // A wrong order, a missing fallback or FFmpeg tried twice changes which decoder reads a file.
    const ChainCase cases[] = {
        {"a.mp3", true, {"BassSource", "FfmpegSource"}},
        {"a.mid", false, {"BassSource", "FfmpegProbeSource"}},
        {"a.wav", true, {"BassSource", "FfmpegSource", "WavFileSource"}},
        {"a.WAVE", false, {"BassSource", "FfmpegProbeSource", "WavFileSource"}},
        {"a.spx", true, {"FfmpegSource", "BassSource"}},
        {"a.spx", false, {"FfmpegProbeSource", "BassSource"}},
        {"a.ogg", true, {"OggVorbisSource", "FlacSource", "BassSource", "FfmpegSource"}},
        {"a.flac", true, {"FlacSource", "BassSource", "FfmpegSource"}},
        {"a.fla", false, {"FlacSource", "BassSource", "FfmpegProbeSource"}},
        {"a.au", true, {"AuSource", "FfmpegSource"}},
        {"a.aiff", false, {"AiffSource", "BassSource", "FfmpegProbeSource"}},
        {"a.m4a", true, {"BassSource", "FfmpegSource"}},
        {"a.wma", true, {"WmaSource", "FfmpegSource"}},
        {"a.xyz", true, {"FfmpegSource"}},
        {"song", false, {"FfmpegProbeSource"}},
    };
    for (const auto& c : cases) {
        Fixture f(true);
        auto reader = OpenSource(f.context, c.path, SourceKindFromExtension(c.path), 0, c.forConversion);
        EXPECT_EQ(reader, nullptr) << c.path;
        EXPECT_EQ(f.log.attempts, c.expected) << c.path;
        EXPECT_EQ(f.log.Live(), 0) << c.path << ": a rejected reader outlived its failed Open";
        EXPECT_TRUE(f.user.questions.empty()) << c.path;
    }
}

struct AcceptCase {
    const char* path;
    const char* acceptor;
    Names expected;
};

TEST(OpenSource, FallbackReaderThatAcceptsIsReturnedOpen) {
    // The chain must stop at the first reader that opens the file and hand that one back.
    const AcceptCase cases[] = {
        {"a.wav", "WavFileSource", {"BassSource", "FfmpegSource", "WavFileSource"}},
        {"a.wave", "WavFileSource", {"BassSource", "FfmpegSource", "WavFileSource"}},
        {"a.wav", "BassSource", {"BassSource"}},
        {"a.ogg", "FfmpegSource", {"OggVorbisSource", "FlacSource", "BassSource", "FfmpegSource"}},
        {"a.ogg", "FlacSource", {"OggVorbisSource", "FlacSource"}},
        {"a.flac", "FlacSource", {"FlacSource"}},
        {"a.spx", "BassSource", {"FfmpegSource", "BassSource"}},
    };
    for (const auto& c : cases) {
        Fixture f(true);
        f.log.accepting = {c.acceptor};
        auto reader = OpenSource(f.context, c.path, SourceKindFromExtension(c.path), 0, true);
        ASSERT_NE(reader, nullptr) << c.path;
        EXPECT_EQ(static_cast<testsupport::RecordingReader&>(*reader).Name(), c.acceptor);
        EXPECT_EQ(f.log.attempts, c.expected) << c.path;
        EXPECT_EQ(f.log.Live(), 1) << c.path << ": only the returned reader may remain";
        EXPECT_TRUE(f.context.FailureDetail.empty()) << c.path;
        reader.reset();
        EXPECT_EQ(f.log.Live(), 0);
    }
}

TEST(OpenSource, ReadersNotYetBuiltAreSkipped) {
    // A chain must go on with its next member when a reader class does not exist, not stop.
    Fixture f(true, {ReaderRole::OggVorbis, ReaderRole::Aiff, ReaderRole::Wma});
    for (const char* path : {"a.ogg", "a.aif", "a.wma"}) {
        f.log.attempts.clear();
        OpenSource(f.context, path, SourceKindFromExtension(path), 0, true);
        Names expected = std::string(path) == "a.wma"   ? Names{"FfmpegSource"}
                         : std::string(path) == "a.ogg" ? Names{"FlacSource", "BassSource", "FfmpegSource"}
                                                        : Names{"BassSource", "FfmpegSource"};
        EXPECT_EQ(f.log.attempts, expected) << path;
    }
    EXPECT_EQ(f.log.Live(), 0);
}

TEST(OpenSource, PathAndRenderRateReachEveryReader) {
    // MIDI and modules render at the caller's rate; a dropped argument would render at 0 Hz.
    Fixture f(true);
    f.log.accepting = {"FfmpegSource"};
    auto reader = OpenSource(f.context, "/m/x.mid", kKindMidi, 48000, true);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(f.log.paths, (Names{"/m/x.mid", "/m/x.mid"}));
    EXPECT_EQ(f.log.renderRates, (std::vector<int>{48000, 48000}));
}

TEST(OpenSource, ThrowingReaderCountsAsRejection) {
    // An exception from a reader (e.g. a huge allocation from a damaged header) must not escape.
    Fixture f(true);
    f.log.throwing = {"BassSource"};
    f.log.accepting = {"FfmpegSource"};
    std::unique_ptr<AudioSource> reader;
    EXPECT_NO_THROW(reader = OpenSource(f.context, "a.mp3", kKindMp3, 0, true));
    EXPECT_NE(reader, nullptr);
    EXPECT_EQ(f.log.Live(), 1);
}

TEST(OpenSource, SupportHintOnlyForFailedConversions) {
    // The list's probing must not leave a conversion hint behind, nor a success a stale text.
    Fixture f(true);
    EXPECT_EQ(OpenSource(f.context, "a.xyz", kKindOther, 0, false), nullptr);
    EXPECT_TRUE(f.context.FailureDetail.empty());
    EXPECT_EQ(OpenSource(f.context, "a.xyz", kKindOther, 0, true), nullptr);
    EXPECT_EQ(f.context.FailureDetail, kSupportHint);
    EXPECT_NE(f.context.FailureDetail.find(kSupportAddress), std::string::npos);

    Fixture ok(true);
    ok.log.accepting = {"FfmpegSource"};
    EXPECT_NE(OpenSource(ok.context, "a.xyz", kKindOther, 0, true), nullptr);
    EXPECT_TRUE(ok.context.FailureDetail.empty());
}

TEST(OpenSource, MissingRuntimeAsksAtEveryWindowsMediaFileAndStillOpensIt) {
    // Asking only once, or failing the files, would leave WMA unreadable without telling the user.
    for (bool yes : {false, true}) {
        Fixture f(false);
        f.user.answer = yes;
        f.log.accepting = {"FfmpegProbeSource"};
        for (int i = 0; i < 5; ++i) {
            std::string path = "/m/" + std::to_string(i) + ".wma";
            auto reader = OpenSource(f.context, path, SourceKindFromExtension(path), 0, false);
            EXPECT_NE(reader, nullptr) << path;
        }
        EXPECT_EQ(f.user.questions, Names(5, kWmfRuntimeQuestion));
        EXPECT_EQ(f.user.browsed, yes ? Names(5, kWmfRuntimeDownloadAddress) : Names{});
        Names expected;
        for (int i = 0; i < 5; ++i) {
            expected.push_back("BassSource");
            expected.push_back("FfmpegProbeSource");
        }
        EXPECT_EQ(f.log.attempts, expected);
        EXPECT_EQ(f.log.Live(), 0);
    }
}

TEST(OpenSource, OnlyWindowsMediaFilesLoadTheRuntime) {
    // Other kinds must neither probe for the runtime nor ask the user about it.
    Fixture f(false);
    OpenSource(f.context, "a.mp3", kKindMp3, 0, true);
    OpenSource(f.context, "a.xyz", kKindOther, 0, true);
    EXPECT_EQ(f.probes, 0);
    EXPECT_TRUE(f.user.questions.empty());
}

TEST(OpenSource, RuntimeLoadsOnceAndRebuildsTheFormatListOnce) {
    // Reloading or rebuilding per file would waste time; missing the rebuild leaves no WMA formats.
    Fixture f(true);
    int rebuilds = 0;
    f.context.onWmfRuntimeLoaded = [&rebuilds] { ++rebuilds; };
    for (int i = 0; i < 3; ++i) OpenSource(f.context, "a.asf", kKindWindowsMedia, 0, true);
    EXPECT_EQ(f.probes, 1);
    EXPECT_EQ(rebuilds, 1);
    EXPECT_TRUE(f.user.questions.empty());
}

TEST(NoteProbeFailure, CdTracksAndFlashFilesGetTheirNote) {
    // Without the note the user sees a bare failure for files that can never be added this way.
    struct Case {
        const char* path;
        const char* note;
    };
    const Case cases[] = {
        {"/cd/Track01.cda", kCdTrackNote}, {"/v/a.SWF", kFlashNote}, {"/v/a.flv", kFlashNote},
        {"/v/a.mp3", "earlier"},           {"/v/flv", "earlier"},
    };
    RecordingUserInteraction user;
    WmfRuntime runtime([] { return false; });
    for (const auto& c : cases) {
        EngineContext context(runtime, user);
        context.FailureDetail = "earlier";
        NoteProbeFailure(context, c.path, SourceKindFromExtension(c.path));
        EXPECT_EQ(context.FailureDetail, c.note) << c.path;
    }
}

}  // namespace
