#include <gtest/gtest.h>

#include <cstring>

#include "platform/SystemCodePage.h"
#include "platform/wmf/WmWriter.h"
#include "platform/wmf/WmaCodecTable.h"
#include "sources/WmaSource.h"
#include "support/PeerSignals.h"
#include "support/SourceDrain.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

TEST(WmaStaging, GrowsForALargeSampleAndKeepsTheRestForTheNextBlock) {
    WmaStaging staging;
    std::vector<std::int16_t> left(kBlockFrames), right(kBlockFrames);
    // 1000 stereo frames, then 1000 more: the block takes 152 of the second, 848 stay staged.
    std::vector<std::uint8_t> sample(4000);
    ASSERT_TRUE(staging.Put(sample.data(), sample.size(), 2));
    EXPECT_EQ(staging.Deliver(left.data(), right.data(), 0, kBlockFrames), 1000);
    ASSERT_TRUE(staging.Put(sample.data(), sample.size(), 2));
    EXPECT_EQ(staging.Deliver(left.data(), right.data(), 1000, kBlockFrames - 1000), 152);
    EXPECT_EQ(staging.Frames(), 848);
    EXPECT_EQ(staging.Capacity(), WmaStaging::kInitialCapacity);

    std::vector<std::uint8_t> large(200001, 0);
    large[200000 - 2] = 0x34;  // last whole 16-bit value of the sample
    large[200000 - 1] = 0x12;
    ASSERT_TRUE(staging.Put(large.data(), large.size(), 1));
    EXPECT_EQ(staging.Capacity(), (200001u + 200001u / 8) / 4 * 4 + 4);
    EXPECT_EQ(staging.Frames(), 100000);
    int got = 0;
    while (staging.Frames() > 0) got = staging.Deliver(left.data(), right.data(), 0, kBlockFrames);
    EXPECT_EQ(left[static_cast<std::size_t>(got - 1)], 0x1234);
    ASSERT_TRUE(staging.Put(sample.data(), sample.size(), 2));
    EXPECT_EQ(staging.Capacity(), (200001u + 200001u / 8) / 4 * 4 + 4);  // reused, not shrunk
}

class WmaSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
    }
    std::string Ffmpeg(const std::vector<std::string>& args, const std::string& name) {
        std::vector<std::string> argv{"ffmpeg", "-v", "error", "-nostdin", "-y"};
        argv.insert(argv.end(), args.begin(), args.end());
        argv.push_back(m_dir.File(name));
        EXPECT_EQ(testsupport::Run(argv), 0);
        return m_dir.File(name);
    }
    TempDir m_dir;
};

TEST_F(WmaSourceTest, DecodesAsFfmpegDoesBitForBit) {
    // Files made by ffmpeg and by the runtime's own writer, one and two channels.
    const std::string tone = "aevalsrc=0.6*sin(2*PI*440*t)+0.1*random(0)|0.5*sin(2*PI*660*t):s=44100:d=1.7";
    std::vector<std::pair<std::string, int>> files = {
        {Ffmpeg({"-f", "lavfi", "-i", tone, "-c:a", "wmav2", "-b:a", "128k"}, "ff.wma"), 2},
        {Ffmpeg({"-f", "lavfi", "-i", "sine=f=300:r=22050:d=1.1", "-c:a", "wmav1", "-b:a", "32k"}, "v1.asf"),
         1},
    };
    const auto pcm = testsupport::ReadBytes(Ffmpeg({"-f", "lavfi", "-i", tone, "-f", "s16le"}, "src.raw"));
    {
        std::unique_ptr<WmWriter> writer;
        WMCreateWriter(writer);
        WmProfile profile;
        std::unique_ptr<WmStreamConfig> stream;
        profile.CreateNewStream(kMediaTypeAudio, stream);
        stream->SetMediaType(*WmaCodecMediaType(44100, 2, 96000));
        stream->SetStreamNumber(1);
        profile.AddStream(*stream);
        ASSERT_EQ(writer->SetProfile(profile), kWmOk);
        WmMediaProps input;
        input.SetMediaType(WmMediaType::Audio(kMediaSubtypePcm, {1, 2, 44100, 176400, 4, 16, 0}));
        ASSERT_EQ(writer->SetInputProps(0, input), kWmOk);
        writer->SetOutputFilename(m_dir.File("ours.wma").c_str());
        ASSERT_EQ(writer->BeginWriting(), kWmOk);
        std::unique_ptr<WmBuffer> sample;
        writer->AllocateSample(static_cast<std::uint32_t>(pcm.size()), sample);
        std::memcpy(sample->GetBuffer(), pcm.data(), pcm.size());
        sample->SetLength(pcm.size());
        ASSERT_EQ(writer->WriteSample(0, 0, 0, *sample), kWmOk);
        ASSERT_EQ(writer->EndWriting(), kWmOk);
        files.emplace_back(m_dir.File("ours.wma"), 2);
    }
    for (const auto& [path, channels] : files) {
        SCOPED_TRACE(path);
        WmaSource src;
        ASSERT_EQ(src.Open(path.c_str(), 0), 1);
        EXPECT_EQ(src.GetOutputChannels(), channels);
        EXPECT_EQ(src.GetBitsPerSample(), 16);
        const auto d = testsupport::DrainSource(src);
        ASSERT_TRUE(d.endedInTime);
        EXPECT_LE(d.largestBlock, kBlockFrames);
        EXPECT_TRUE(d.positionsInRange);
        const auto peer = testsupport::PeerDecode(path, channels);
        ASSERT_EQ(d.left.size(), peer[0].size());
        EXPECT_EQ(testsupport::MaxDifference(d.left, peer[0]), 0);
        if (channels == 2) {
            EXPECT_EQ(testsupport::MaxDifference(d.right, peer[1]), 0);
        }
        // Duration in 100-ns units, as the file's header gives it.
        std::string seconds;
        testsupport::Run(
            {"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path}, &seconds);
        EXPECT_NEAR(static_cast<double>(src.GetTotalLength()) / 1e7, std::stod(seconds), 0.01);
        EXPECT_EQ(src.GetDuration(), static_cast<int>(src.GetTotalLength() / 10000000));
    }
}

TEST_F(WmaSourceTest, SixChannelFilesGiveTheirFirstTwoChannelsAsTheOtherReadersDo) {
    // Six-channel ASF probed as stereo and delivered FFmpeg's downmix, unlike a six-channel WAV.
    const std::string tone =
        "aevalsrc=0.5*sin(2*PI*440*t)|0.3*sin(2*PI*220*t)|0.2|0|0.1*random(0)|0:s=48000:"
        "d=0.7:c=5.1";
    for (const char* codec : {"pcm_s16le", "ac3"}) {
        SCOPED_TRACE(codec);
        const std::string six =
            Ffmpeg({"-f", "lavfi", "-i", tone, "-c:a", codec}, std::string(codec) + ".asf");
        WmaSource src;
        ASSERT_EQ(src.Open(six.c_str(), 0), 1);
        EXPECT_EQ(src.GetChannels(), 6);
        EXPECT_EQ(src.GetOutputChannels(), 2);
        const auto d = testsupport::DrainSource(src);
        const auto peer = testsupport::PickTwo(testsupport::FfmpegDecodeS16(six, 6), 6, 1);
        ASSERT_EQ(d.left.size() * 2, peer.size());
        int worst = 0;
        for (std::size_t i = 0; i < d.left.size(); ++i) {
            worst =
                std::max({worst, std::abs(d.left[i] - peer[2 * i]), std::abs(d.right[i] - peer[2 * i + 1])});
        }
        EXPECT_LE(worst, 1);
    }
}

TEST_F(WmaSourceTest, HeaderAttributesBecomeTags) {
    const std::string oldCodePage = SystemCodePage();
    SetSystemCodePage("ISO-8859-1");
    const std::string tagged = Ffmpeg({"-f",        "lavfi",         "-i",        "sine=d=0.5",
                                       "-c:a",      "wmav2",         "-metadata", "title=Caf\xC3\xA9",
                                       "-metadata", "artist=Artist", "-metadata", "album=Album",
                                       "-metadata", "track=7",       "-metadata", "genre=Jazz",
                                       "-metadata", "WM/Year=2001",  "-metadata", "composer=Comp",
                                       "-metadata", "copyright=Copy"},
                                      "tagged.wma");
    const std::string bare =
        Ffmpeg({"-f", "lavfi", "-i", "sine=d=0.5", "-c:a", "wmav2", "-fflags", "+bitexact"}, "bare.wma");
    WmaSource src;
    ASSERT_EQ(src.Open(tagged.c_str(), 0), 1);
    TagSet tags;
    ASSERT_EQ(src.ReadTags(tags), 1);
    EXPECT_EQ(tags.title, "Caf\xE9");
    EXPECT_EQ(tags.artist, "Artist");
    EXPECT_EQ(tags.album, "Album");
    EXPECT_EQ(tags.track, "7");  // stored as text by ffmpeg
    EXPECT_EQ(tags.genre, "Jazz");
    EXPECT_EQ(tags.year, "2001");
    EXPECT_EQ(tags.composer, "Comp");
    EXPECT_EQ(tags.copyright, "Copy");
    EXPECT_GT(src.GetBitrate(), 0);
    ASSERT_EQ(src.Open(bare.c_str(), 0), 1);
    TagSet none;
    ASSERT_EQ(src.ReadTags(none), 1);
    EXPECT_EQ(none.title, "");
    EXPECT_EQ(none.track, "0");
    SetSystemCodePage(oldCodePage);
}

TEST_F(WmaSourceTest, FilesWithoutAnAudioStreamOrNotAsfAreRejected) {
    const std::string video =
        Ffmpeg({"-f", "lavfi", "-i", "testsrc=d=0.3:s=64x48", "-c:v", "wmv2", "-an"}, "video.wmv");
    const std::string mp3 = Ffmpeg({"-f", "lavfi", "-i", "sine=d=0.3", "-f", "mp3"}, "really-mp3.wma");
    for (const std::string& path : {video, mp3}) {
        WmaSource src;
        EXPECT_EQ(src.Open(path.c_str(), 0), 0) << path;
        EXPECT_EQ(src.ReadBlock(nullptr, nullptr), 0);
    }
}

}  // namespace
