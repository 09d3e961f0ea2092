#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/Paths.h"
#include "sources/BassSource.h"
#include "sources/DecoderStartup.h"
#include "support/SynthFixtures.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

class BassSynth : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(StartDecodingLibraries(), DecoderStartupResult::Started); }
    void TearDown() override { ShutDownDecodingLibraries(); }

    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = m_dir.File(name);
        testsupport::WriteBytes(path, bytes);
        return path;
    }

    TempDir m_dir;
};

struct Render {
    std::vector<std::int16_t> pcm;
    std::int64_t bytes = 0;
};

Render ReadAll(BassSource& src) {
    Render r;
    std::vector<std::int16_t> left(kBlockFrames), right(kBlockFrames);
    for (int n; (n = src.ReadBlock(left.data(), right.data())) > 0;) {
        r.bytes += n * 4;
        for (int i = 0; i < n; ++i) r.pcm.insert(r.pcm.end(), {left[i], right[i]});
    }
    return r;
}

int Peak(const std::vector<std::int16_t>& pcm) {
    int peak = 0;
    for (auto s : pcm) peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

TEST_F(BassSynth, MidiWithoutSoundFontOpensButRendersNothing) {
    // Without the font a MIDI file could not even be listed, so the driver never asked for the
    // font; rendering without one must still deliver nothing rather than silence.
    const std::string path = Write("song.mid", testsupport::TinyMidiFile());
    EXPECT_EQ(LoadMidiSoundFont(m_dir.Path().string() + "/"), 0);  // no ct4mgm.sf2 there
    BassSource src;
    ASSERT_NE(src.Open(path.c_str(), 0), 0);
    EXPECT_EQ(src.GetSampleRate(), 44100);
    EXPECT_EQ(src.GetChannels(), 2);
    EXPECT_EQ(src.GetTotalLength(), std::llround(testsupport::kTinyMidiSeconds * 44100) * 4);
    EXPECT_EQ(ReadAll(src).bytes, 0);
}

TEST_F(BassSynth, RenderRateOutsideTheSynthesiserRangeIsTheNearestItTakes) {
    // A 6000 Hz WAV output asked the synthesiser for a rate it refuses and the file failed to open.
    ASSERT_NE(LoadMidiSoundFont(), 0);
    const std::string path = Write("song.mid", testsupport::TinyMidiFile());
    for (const auto& [asked, rendered] : {std::pair{6000, 8000}, std::pair{192000, 96000}}) {
        SCOPED_TRACE(asked);
        BassSource src;
        ASSERT_NE(src.Open(path.c_str(), asked), 0);
        EXPECT_EQ(src.GetSampleRate(), rendered);
        EXPECT_EQ(src.GetTotalLength(), std::llround(testsupport::kTinyMidiSeconds * rendered) * 4);
        EXPECT_EQ(ReadAll(src).bytes, src.GetTotalLength());
    }
}

TEST_F(BassSynth, MidiRendersTheWholeSongAtTheRequestedRate) {
    // The length follows the tempo map (a tempo change halfway); the render must deliver
    // exactly that, be audible, and repeat identically.
    ASSERT_NE(LoadMidiSoundFont(), 0) << "ct4mgm.sf2 missing beside " << ExecutableFolder();
    const std::string path = Write("song.MID", testsupport::TinyMidiFile());
    for (const int rate : {22050, 44100}) {
        SCOPED_TRACE(rate);
        BassSource a, b;
        ASSERT_NE(a.Open(path.c_str(), rate), 0);
        EXPECT_EQ(a.GetStreamKind(), 3);
        EXPECT_EQ(a.GetSampleRate(), rate);
        EXPECT_EQ(a.GetChannels(), 2);
        EXPECT_EQ(a.GetBitsPerSample(), 16);
        const auto frames = static_cast<std::int64_t>(std::llround(testsupport::kTinyMidiSeconds * rate));
        EXPECT_EQ(a.GetTotalLength(), frames * 4);
        const Render first = ReadAll(a);
        EXPECT_EQ(first.bytes, a.GetTotalLength());
        EXPECT_EQ(a.GetPosition(), a.GetTotalLength());
        EXPECT_GT(Peak(first.pcm), 1500);
        ASSERT_NE(b.Open(path.c_str(), rate), 0);
        EXPECT_EQ(ReadAll(b).pcm, first.pcm);
    }
}

TEST_F(BassSynth, MidiLengthFollowsTheSameTempoMapAsTheSynthesiser) {
    // A tempo map read differently from the synthesiser would cut songs short or pad them:
    // a note placed after a tempo change must sound exactly where the length says.
    ASSERT_NE(LoadMidiSoundFont(), 0);
    const std::vector<std::uint8_t> track = {
        0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40,  // 1 s per quarter
        0x30, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90,  // tick 48 (0.5 s): 0.25 s per quarter
        0x30, 0x90, 72,   110,                     // tick 96 (0.625 s): note on
        0x60, 0x80, 72,   0,                       // tick 192 (0.875 s): note off
        0x00, 0xFF, 0x2F, 0x00};
    std::vector<std::uint8_t> smf = {
        'M', 'T', 'h', 'd', 0,   0,   0,   6, 0, 0, 0,
        1,   0,   96,  'M', 'T', 'r', 'k', 0, 0, 0, static_cast<std::uint8_t>(track.size())};
    smf.insert(smf.end(), track.begin(), track.end());
    const std::string path = Write("late.mid", smf);
    BassSource src;
    ASSERT_NE(src.Open(path.c_str(), 22050), 0);
    EXPECT_EQ(src.GetTotalLength(), std::llround(0.875 * 22050) * 4);
    const Render r = ReadAll(src);
    ASSERT_EQ(r.bytes, src.GetTotalLength());
    const auto at = [&](double sec) { return r.pcm.begin() + static_cast<std::ptrdiff_t>(sec * 22050) * 2; };
    EXPECT_LT(Peak({r.pcm.begin(), at(0.6)}), 50);
    EXPECT_GT(Peak({at(0.65), r.pcm.end()}), 1000);
}

TEST_F(BassSynth, MidiInsideRiffAndAtDefaultRate) {
    // RIFF-wrapped MIDI files are MIDI too; a render rate of 0 (adding to the list) means 44100.
    ASSERT_NE(LoadMidiSoundFont(), 0);
    const auto smf = testsupport::TinyMidiFile();
    std::vector<std::uint8_t> rmi = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'R', 'M', 'I', 'D', 'd', 'a', 't', 'a'};
    testsupport::PutLe(rmi, rmi.size(), 4, smf.size());
    rmi.insert(rmi.end(), smf.begin(), smf.end());
    testsupport::PutLe(rmi, 4, 4, rmi.size() - 8);
    const std::string path = Write("song.rmi", rmi);
    BassSource src;
    ASSERT_NE(src.Open(path.c_str(), 0), 0);
    EXPECT_EQ(src.GetSampleRate(), 44100);
    EXPECT_EQ(src.GetTotalLength(), std::llround(testsupport::kTinyMidiSeconds * 44100) * 4);
}

TEST_F(BassSynth, TrackerModuleIsKindTwoWithTheRawPcmBitrate) {
    // Modules have no meaningful file bit rate: bits x rate x channels / 1000 (1411 at 44100).
    const std::string path = Write("tiny.mod", testsupport::TinyModFile());
    for (const int rate : {44100, 22050}) {
        SCOPED_TRACE(rate);
        BassSource a, b;
        ASSERT_NE(a.Open(path.c_str(), rate), 0);
        EXPECT_EQ(a.GetStreamKind(), 2);
        EXPECT_EQ(a.GetSampleRate(), rate);
        EXPECT_EQ(a.GetChannels(), 2);
        EXPECT_EQ(a.GetBitrate(), 16 * rate * 2 / 1000);
        EXPECT_EQ(a.GetDuration(), 1);
        EXPECT_EQ(a.GetTotalLength(), std::llround(testsupport::kTinyModSeconds * rate) * 4);
        const Render first = ReadAll(a);
        EXPECT_EQ(first.bytes, a.GetTotalLength());
        EXPECT_GT(Peak(first.pcm), 1000);
        ASSERT_NE(b.Open(path.c_str(), rate), 0);
        EXPECT_EQ(ReadAll(b).pcm, first.pcm);
    }
}

}  // namespace
