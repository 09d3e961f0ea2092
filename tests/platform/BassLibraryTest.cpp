#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Bass.h"
#include "platform/BassMidi.h"
#include "platform/BassTags.h"
#include "support/SynthFixtures.h"
#include "support/TestSupport.h"

namespace {

class BassLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_wav = m_dir.File("tone.wav");
        ASSERT_TRUE(testsupport::MakeToneWav(m_wav, 44100, 2, 0.2));
        m_flac = m_dir.File("tone.flac");
        ASSERT_EQ(testsupport::Run({"flac", "-s", "-o", m_flac, m_wav}), 0);
    }
    void TearDown() override { BASS_Free(); }

    testsupport::TempDir m_dir;
    std::string m_wav, m_flac;
};

TEST_F(BassLibraryTest, NothingWorksOutsideInitAndFree) {
    // Calls after shut-down must fail cleanly, not touch freed channels.
    EXPECT_EQ(BASS_StreamCreateFile(0, m_wav.c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
    EXPECT_EQ(BASS_PluginLoad("/x/addons/bassflac.dll", 0), 0u);
    ASSERT_NE(BASS_Init(0, 44100, 0, nullptr, nullptr), 0);
    EXPECT_EQ(BASS_Init(0, 44100, 0, nullptr, nullptr), 0);  // already initialised
    const HSTREAM h = BASS_StreamCreateFile(0, m_wav.c_str(), 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(h, 0u);
    ASSERT_NE(BASS_Free(), 0);
    char buf[64];
    EXPECT_EQ(BASS_ChannelGetData(h, buf, sizeof buf), BASS_DATA_END);
    EXPECT_EQ(BASS_ChannelGetLength(h, BASS_POS_BYTE), ~std::uint64_t{0});
    EXPECT_STREQ(TAGS_Read(h, "%TITL"), "");
    EXPECT_EQ(BASS_Free(), 0);
}

TEST_F(BassLibraryTest, PluginFormatsOpenOnlyWhileTheirPluginIsLoaded) {
    // Formats of a missing plug-in must fail so that the factory falls back to the next reader.
    ASSERT_NE(BASS_Init(0, 44100, 0, nullptr, nullptr), 0);
    EXPECT_EQ(BASS_StreamCreateFile(0, m_flac.c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
    const HSTREAM wav = BASS_StreamCreateFile(0, m_wav.c_str(), 0, 0, BASS_STREAM_DECODE);
    EXPECT_NE(wav, 0u);
    EXPECT_EQ(BASS_PluginLoad("/opt/app/addons/bassnothing.dll", 0), 0u);
    EXPECT_NE(BASS_PluginLoad("/opt/app/addons/bassflac.dll", 0), 0u);
    const HSTREAM flac = BASS_StreamCreateFile(0, m_flac.c_str(), 0, 0, BASS_STREAM_DECODE);
    EXPECT_NE(flac, 0u);
    EXPECT_NE(BASS_PluginFree(0), 0);
    EXPECT_EQ(BASS_StreamCreateFile(0, m_flac.c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
    EXPECT_EQ(BASS_MusicFree(flac), 0);  // a stream is not freed as music
    EXPECT_NE(BASS_StreamFree(flac), 0);
    EXPECT_EQ(BASS_StreamFree(flac), 0);
    EXPECT_NE(BASS_StreamFree(wav), 0);
}

TEST_F(BassLibraryTest, DataComesInWholeFramesAndEndsWithAllOnes) {
    // A partial frame would swap left and right for the rest of the stream.
    ASSERT_NE(BASS_Init(0, 44100, 0, nullptr, nullptr), 0);
    const HSTREAM h = BASS_StreamCreateFile(0, m_wav.c_str(), 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(h, 0u);
    BASS_CHANNELINFO info{};
    ASSERT_NE(BASS_ChannelGetInfo(h, &info), 0);
    EXPECT_EQ(info.freq, 44100u);
    EXPECT_EQ(info.chans, 2u);
    EXPECT_EQ(info.flags, 0u);
    char buf[4096];
    EXPECT_EQ(BASS_ChannelGetData(h, buf, 7), 4u);
    EXPECT_EQ(BASS_ChannelGetData(h, buf, 3), 0u);
    std::uint64_t total = 4;
    for (std::uint32_t n; (n = BASS_ChannelGetData(h, buf, sizeof buf)) != BASS_DATA_END;) total += n;
    EXPECT_EQ(total, BASS_ChannelGetLength(h, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), total);
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(h, 44100 * 4), 1.0);
    EXPECT_EQ(BASS_StreamGetFilePosition(h, BASS_FILEPOS_END), std::filesystem::file_size(m_wav));
}

TEST_F(BassLibraryTest, SoundFontsAreCheckedAndOnlyTheDefaultListIsSet) {
    // A file that is no SoundFont must not become the default: MIDI would then render silence.
    ASSERT_NE(BASS_Init(0, 44100, 0, nullptr, nullptr), 0);
    EXPECT_EQ(BASS_MIDI_FontInit(m_wav.c_str(), 0), 0u);
    const std::string midi = m_dir.File("a.mid");
    testsupport::WriteBytes(midi, testsupport::TinyMidiFile());
    // Without a default font the stream opens for its properties but delivers nothing, not silence.
    const HSTREAM bare = BASS_MIDI_StreamCreateFile(0, midi.c_str(), 0, 0, BASS_STREAM_DECODE, 44100);
    ASSERT_NE(bare, 0u);
    char pcm[4096];
    EXPECT_EQ(BASS_ChannelGetData(bare, pcm, sizeof pcm), 0xFFFFFFFFu);
    BASS_StreamFree(bare);
    const HSOUNDFONT font = BASS_MIDI_FontInit("/usr/share/sounds/sf2/TimGM6mb.sf2", 0);
    if (!font) GTEST_SKIP() << "no General MIDI SoundFont installed";
    const BASS_MIDI_FONT entry{font, -1, 0};
    EXPECT_EQ(BASS_MIDI_StreamSetFonts(5, &entry, 1), 0);
    ASSERT_NE(BASS_MIDI_StreamSetFonts(0, &entry, 1), 0);
    const HSTREAM h = BASS_MIDI_StreamCreateFile(0, midi.c_str(), 0, 0, BASS_STREAM_DECODE, 0);
    ASSERT_NE(h, 0u);
    BASS_CHANNELINFO info{};
    ASSERT_NE(BASS_ChannelGetInfo(h, &info), 0);
    EXPECT_EQ(info.freq, 44100u);
    EXPECT_EQ(BASS_ChannelGetTags(h, BASS_TAG_ID3), nullptr);
}

}  // namespace
