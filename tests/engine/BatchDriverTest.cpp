#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>

#include "engine/BatchDriver.h"
#include "engine/EngineTexts.h"
#include "settings/ConversionSettings.h"
#include "support/EngineDoubles.h"
#include "support/RecordingUserInteraction.h"
#include "support/TestSupport.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

// The fake routine acts on the source's name: "good" writes output, "empty" writes an empty file,
// "draw" writes the next number of its random stream, "detail" fails with a FailureDetail, "throws"
// throws as a library short of memory does, anything else fails plainly. It counts its calls.
std::atomic<int> g_routineCalls{0};

int FakeRoutine(ConversionJob& job) {
    ++g_routineCalls;
    const std::string name = fs::path(job.sourcePath).filename().string();
    if (name.rfind("good", 0) == 0 || name.rfind("empty", 0) == 0) {
        {
            std::ofstream out(job.outputPath);
            if (name.rfind("good", 0) == 0) out << "data";
        }
        job.progress.PumpMessages();  // as a routine does after each block
        if (job.progress.CancelRequested()) {
            fs::remove(job.outputPath);
            return 0;
        }
        return 1;
    }
    if (name.rfind("draw", 0) == 0) {
        std::ofstream(job.outputPath) << job.engine.random.Next();
        return 1;
    }
    if (name.rfind("detail", 0) == 0) job.engine.FailureDetail = "why it failed";
    if (name.rfind("throws", 0) == 0) throw std::bad_alloc();  // as TagLib does short of memory
    return 0;
}

struct Batch {
    TempDir dir;
    WmfRuntime runtime{[] { return false; }};
    RecordingUserInteraction user;
    EngineContext engine{runtime, user};
    ConversionSettings settings{""};
    RecordingView view;
    std::vector<FileEntry> entries;
    int fontLoads = 0;
    int jobs = 1;

    Batch() {
        g_routineCalls = 0;
        settings.OutputFormat = 1000;
        settings.DestOutputFolderOpt = 199;  // beside the source
        settings.BrowseOutputFolder = 1;
    }
    void Add(const std::string& name, SourceKind kind = kKindWav, int seconds = 0) {
        std::ofstream(dir.File(name)) << "source";
        FileEntry e;
        e.path = dir.File(name);
        e.kind = kind;
        e.duration = seconds;
        entries.push_back(e);
    }
    void Run(bool fontAvailable = false, int jobsNow = 0) {
        BatchServices services;
        services.jobs = jobsNow ? jobsNow : jobs;
        services.routines = [](int) -> ConversionRoutine { return &FakeRoutine; };
        services.programFolder = dir.Path().string() + "/";
        services.loadSoundFont = [this, fontAvailable](const std::string&) {
            ++fontLoads;
            return fontAvailable ? 1 : 0;
        };
        BatchDriver driver(engine, settings, view, services);
        std::vector<FileEntry*> ptrs;
        std::vector<int> rows;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            ptrs.push_back(&entries[i]);
            rows.push_back(static_cast<int>(i) + 10);  // rows need not match positions
        }
        driver.RunBatch(ptrs, rows);
    }
};

TEST(BatchDriver, StatusPerOutcome) {
    // Each outcome must show its own text, and only converted files keep an output path.
    Batch b;
    b.Add("good.wav");
    b.Add("bad.wav");
    b.Add("empty.wav");
    b.Add("detail.wav");
    std::ofstream(b.dir.File("skipped.mp3")) << "old";
    b.settings.TargetExistsOpt = 33;
    b.Add("skipped.wav");
    b.Run();
    EXPECT_EQ(b.view.status[10], "good.mp3");
    EXPECT_EQ(b.view.status[11], "Conversion Failure");
    EXPECT_EQ(b.view.status[12], "Conversion Failure");
    EXPECT_EQ(b.view.status[13], "Conversion Failure (why it failed)");
    EXPECT_EQ(b.view.status[14], "Target exists and skipped");
    EXPECT_EQ(b.entries[0].outputPath, b.dir.File("good.mp3"));
    for (std::size_t i = 1; i < b.entries.size(); ++i) EXPECT_TRUE(b.entries[i].outputPath.empty()) << i;
    EXPECT_FALSE(fs::exists(b.dir.File("empty.mp3"))) << "an empty output never takes the output's name";
    EXPECT_EQ(b.view.columnWidths, std::vector<int>{500});
    EXPECT_EQ(b.view.progress.batchTexts.front(), "Converting 1 of 5 file(s) to MP3...");
    EXPECT_EQ(b.view.progress.batchSteps, 5);
    EXPECT_EQ(b.view.enabled, (std::vector<bool>{false, true}));
    EXPECT_EQ(b.view.progress.dialogsOpen, 0);
    EXPECT_EQ(b.user.selected, std::vector<std::string>{b.dir.File("good.mp3")});
}

class BatchDriverJobs : public ::testing::TestWithParam<int> {};

TEST_P(BatchDriverJobs, ExceptionFromARoutineFailsThatFileAloneWithTheReason) {
    // An exception thrown on a worker thread ended the whole program.
    Batch b;
    b.Add("good1.wav");
    b.Add("throws.wav");
    b.Add("good2.wav");
    b.jobs = GetParam();
    b.Run();
    EXPECT_EQ(b.view.status[10], "good1.mp3");
    EXPECT_EQ(b.view.status[11], "Conversion Failure");
    EXPECT_EQ(b.view.reason[11], std::strerror(ENOMEM));
    EXPECT_EQ(b.view.status[12], "good2.mp3");
    EXPECT_FALSE(fs::exists(b.dir.File("throws.mp3")));
    EXPECT_EQ(b.view.reason.size(), 1u);
}

TEST_P(BatchDriverJobs, EachFileHoldsAFreeSlotAndTheBatchCountsItsAudio) {
    // A slot is never given to two running files, every started file gives its slot back, and the
    // batch's audio reaches its total (a file of unknown length counting as one second), skipped
    // files included.
    Batch b;
    b.jobs = GetParam();
    b.Add("good1.wav", kKindWav, 30);
    b.Add("bad.wav", kKindWav, 5);
    b.Add("song.mid", kKindMidi, 100);  // no SoundFont: skipped
    b.Add("good2.wav");
    b.Add("good3.wav", kKindWav, 7);
    b.Run();
    const ProgressLog& log = b.view.progress;
    std::vector<bool> taken(static_cast<std::size_t>(b.jobs));
    int started = 0;
    for (const std::string& event : log.slotEvents) {
        const bool start = event.rfind("start ", 0) == 0;
        const auto slot = static_cast<std::size_t>(std::stoi(event.substr(event.find(' ') + 1)));
        ASSERT_LT(slot, taken.size()) << event;
        EXPECT_NE(taken[slot], start) << event;
        taken[slot] = start;
        started += start;
    }
    EXPECT_EQ(started, 4);
    EXPECT_EQ(std::count(taken.begin(), taken.end(), true), 0);
    EXPECT_EQ(log.audioTotal, 143);
    ASSERT_FALSE(log.audioDone.empty());
    EXPECT_TRUE(std::is_sorted(log.audioDone.begin(), log.audioDone.end()));
    EXPECT_EQ(log.audioDone.back(), 143);
}

INSTANTIATE_TEST_SUITE_P(OneAndSeveral, BatchDriverJobs, ::testing::Values(1, 3));

TEST(BatchDriver, CancelDuringAFileMarksItAndStops) {
    // The cancelled row says so, later rows are untouched, and no file manager opens.
    Batch b;
    b.Add("good1.wav");
    b.Add("good2.wav");
    b.Add("good3.wav");
    b.view.status[12] = "earlier";
    b.view.progress.cancelAfterPumps = 4;  // batch start, file 1, after file 1, inside file 2
    b.Run();
    EXPECT_EQ(b.view.status[10], "good1.mp3");
    EXPECT_FALSE(fs::exists(b.dir.File("good2.mp3")));
    EXPECT_EQ(b.view.status[11], "Cancelled");
    EXPECT_EQ(b.view.status[12], "earlier");
    EXPECT_EQ(g_routineCalls, 2);
    EXPECT_TRUE(b.user.selected.empty());
}

TEST(BatchDriver, CancelJustAfterAFileKeepsItsName) {
    // Cancel noticed after a finished file stops the batch but the finished row keeps its output.
    Batch b;
    b.Add("good1.wav");
    b.Add("good2.wav");
    b.view.progress.cancelAfterPumps = 3;  // batch start, inside file 1, after file 1
    b.Run();
    EXPECT_EQ(b.view.status[10], "good1.mp3");
    EXPECT_EQ(b.view.status.count(11), 0u);
    EXPECT_FALSE(b.entries[0].outputPath.empty());
    EXPECT_EQ(g_routineCalls, 1);
}

TEST(BatchDriver, MissingSoundFontAnsweredNoConvertsTheRest) {
    // Without the SoundFont, No converts every other file and marks the MIDI row.
    Batch b;
    b.Add("good.wav");
    b.Add("song.mid", kKindMidi);
    b.user.answer = false;
    b.Run();
    ASSERT_EQ(b.user.questions.size(), 1u);
    EXPECT_NE(b.user.questions[0].find("\"" + b.dir.Path().string() + "/\""), std::string::npos);
    EXPECT_EQ(b.view.status[10], "good.mp3");
    EXPECT_EQ(b.view.status[11], kStatusNeedsSoundFont);
    EXPECT_EQ(b.view.progress.batchSteps, 1) << "the MIDI row does not step the batch bar";
}

TEST(BatchDriver, MissingSoundFontAnsweredYesConvertsNothing) {
    // Yes opens the folder and the download page and leaves every status as it was.
    Batch b;
    b.Add("good.wav");
    b.Add("song.mid", kKindMidi);
    b.user.answer = true;
    b.Run();
    EXPECT_TRUE(b.view.status.empty());
    EXPECT_EQ(g_routineCalls, 0);
    EXPECT_EQ(b.user.opened, std::vector<std::string>{b.dir.Path().string() + "/"});
    EXPECT_EQ(b.user.browsed, std::vector<std::string>{kSoundFontDownloadAddress});
}

TEST(BatchDriver, SoundFontLoadedOnceAndRemembered) {
    // A font found at the first MIDI batch is kept; later batches do not look again.
    Batch b;
    b.Add("song.mid", kKindMidi);
    b.Run(true);
    b.Run(true);
    EXPECT_EQ(b.fontLoads, 1);
    EXPECT_TRUE(b.user.questions.empty());
    EXPECT_EQ(b.engine.shared.SoundFontReady, 1);
}

TEST(BatchDriver, WmaWithoutRuntimeAsksAndConvertsNothing) {
    // WMA output needs the runtime; without it the batch ends before any file.
    Batch b;
    b.Add("good.wav");
    b.settings.OutputFormat = 7000;
    b.user.answer = true;
    b.Run();
    EXPECT_EQ(b.user.questions, std::vector<std::string>{kWmfRuntimeQuestion});
    EXPECT_EQ(b.user.browsed, std::vector<std::string>{kWmfRuntimeDownloadAddress});
    EXPECT_TRUE(b.view.status.empty());
    EXPECT_EQ(g_routineCalls, 0);
}

TEST(BatchDriver, NoFileManagerWhenEverythingFailed) {
    // Only an existing output is shown, and only one.
    Batch b;
    b.Add("bad1.wav");
    b.Add("bad2.wav");
    b.Run();
    EXPECT_TRUE(b.user.selected.empty());
}

TEST(BatchDriver, StreamNumbersGoInListOrder) {
    // One file at a time, a file that wrote no stream takes no number, as when each stream draws in
    // turn; several at once, every started file keeps its place so that numbers never depend on timing.
    for (const int jobs : {1, 3}) {
        Batch b;
        b.Add("draw1.wav");
        b.Add("bad.wav");
        b.Add("draw2.wav");
        b.Run(false, jobs);
        PseudoRandom expected;
        const int first = expected.Next(), second = expected.Next(), third = expected.Next();
        std::ifstream one(b.dir.File("draw1.mp3")), two(b.dir.File("draw2.mp3"));
        int a = 0, c = 0;
        one >> a;
        two >> c;
        EXPECT_EQ(a, first) << jobs;
        EXPECT_EQ(c, jobs == 1 ? second : third) << jobs;
        EXPECT_EQ(b.engine.random.Next(), jobs == 1 ? third : expected.Next())
            << "the batch went on from there";
    }
}

TEST(BatchDriver, ABatchThatWouldOverwriteItsOwnSourceIsRefusedBeforeAnythingIsWritten) {
    // MP3 to MP3 beside the sources with Overwrite (or Update) named the source itself as the output.
    for (const int mode : {22, 44}) {
        Batch b;
        b.settings.TargetExistsOpt = mode;
        b.Add("good1.wav");
        b.Add("good2.mp3", kKindMp3);
        b.Run();
        EXPECT_EQ(g_routineCalls, 0) << mode;
        EXPECT_TRUE(b.view.status.empty()) << mode;
        ASSERT_EQ(b.user.warnings.size(), 1u) << mode;
        EXPECT_NE(b.user.warnings[0].find(b.dir.File("good2.mp3")), std::string::npos);
        EXPECT_FALSE(fs::exists(b.dir.File("good1.mp3")));
    }
}

}  // namespace
