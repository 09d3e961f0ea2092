#include <gtest/gtest.h>

#include <filesystem>

#include "encoders/ConversionRoutines.h"
#include "engine/BatchDriver.h"
#include "settings/ConversionSettings.h"
#include "support/EngineDoubles.h"
#include "support/RecordingUserInteraction.h"
#include "support/TestSupport.h"
#include "support/WavBuilder.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

void WriteStereo(const std::string& path, int frames) {
    std::vector<int> samples(static_cast<std::size_t>(frames) * 2, 1000);
    WriteBytes(path, SimpleWav(1, 2, 44100, 16, Le16Bytes(samples)));
}

TEST(ConvertToWav, CancelInTheMiddleDeletesThePartialOutputOnly) {
    // Cancel through the progress window: the current file's output goes, finished ones stay,
    // later rows keep their status and no source changes.
    TempDir dir;
    WriteStereo(dir.File("one.wav"), 44100);
    WriteStereo(dir.File("two.wav"), 44100 * 20);
    WriteStereo(dir.File("three.wav"), 44100);
    const auto sourceBefore = ReadBytes(dir.File("two.wav"));

    WmfRuntime runtime{[] { return false; }};
    RecordingUserInteraction user;
    EngineContext engine{runtime, user};
    ConversionSettings settings{""};
    settings.OutputFormat = 2000;
    settings.DestSpecifiedFolder = dir.File("out");
    settings.DestOutputFolderOpt = 399;
    fs::create_directories(dir.File("out"));
    RecordingView view;
    view.status[2] = "untouched";
    // One pump at the start, one per block of the first file (39) and one after it; then 10
    // blocks into the second file.
    view.progress.cancelAfterPumps = 1 + 39 + 1 + 10;

    std::vector<FileEntry> entries(3);
    const char* names[] = {"one.wav", "two.wav", "three.wav"};
    std::vector<FileEntry*> ptrs;
    for (int i = 0; i < 3; ++i) {
        entries[static_cast<std::size_t>(i)].path = dir.File(names[i]);
        entries[static_cast<std::size_t>(i)].kind = 2000;
        ptrs.push_back(&entries[static_cast<std::size_t>(i)]);
    }
    BatchServices services;
    services.routines = &RoutineForFormat;
    BatchDriver driver(engine, settings, view, services);
    driver.RunBatch(ptrs, {0, 1, 2});

    EXPECT_EQ(view.status[0], "one.wav");
    EXPECT_EQ(view.status[1], "Cancelled");
    EXPECT_EQ(view.status[2], "untouched");
    EXPECT_TRUE(fs::exists(dir.File("out/one.wav")));
    EXPECT_FALSE(fs::exists(dir.File("out/two.wav")));
    EXPECT_FALSE(fs::exists(dir.File("out/three.wav")));
    EXPECT_EQ(ReadBytes(dir.File("two.wav")), sourceBefore);
    EXPECT_TRUE(user.selected.empty());
}

}  // namespace
