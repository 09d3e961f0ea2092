#include <gtest/gtest.h>

#include "sources/BassSource.h"
#include "sources/DecoderStartup.h"
#include "support/SynthFixtures.h"
#include "support/TestSupport.h"

namespace {

TEST(DecoderStartup, PluginsComeFromTheExecutableFolderOnly) {
    // Without a folder to look in no plug-in loads, and plug-in formats must then fail to open
    // (the factory's next reader takes them); the core formats still open.
    testsupport::TempDir dir;
    const std::string wav = dir.File("a.wav");
    ASSERT_TRUE(testsupport::MakeToneWav(wav, 44100, 1, 0.1));
    const std::string flac = dir.File("a.flac");
    ASSERT_EQ(testsupport::Run({"flac", "-s", "-o", flac, wav}), 0);
    struct Case {
        std::string folder;
        bool flacOpens;
    };
    for (const Case& c : {Case{"", false}, Case{ExecutableFolder(), true}}) {
        SCOPED_TRACE(c.folder);
        ASSERT_EQ(StartDecodingLibraries(c.folder), DecoderStartupResult::Started);
        BassSource src;
        EXPECT_EQ(src.Open(flac.c_str(), 0) != 0, c.flacOpens);
        EXPECT_NE(src.Open(wav.c_str(), 0), 0);
        src.Close();
        ShutDownDecodingLibraries();
    }
}

TEST(DecoderStartup, NothingOpensAfterShutDown) {
    // Sources opened after shut-down must fail instead of reaching a freed library.
    testsupport::TempDir dir;
    const std::string wav = dir.File("a.wav");
    ASSERT_TRUE(testsupport::MakeToneWav(wav, 44100, 1, 0.1));
    ASSERT_EQ(StartDecodingLibraries(), DecoderStartupResult::Started);
    ShutDownDecodingLibraries();
    BassSource src;
    EXPECT_EQ(src.Open(wav.c_str(), 0), 0);
    EXPECT_EQ(LoadMidiSoundFont(), 0);
}

}  // namespace
