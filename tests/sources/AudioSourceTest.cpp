#include <gtest/gtest.h>

#include <cstring>

#include "sources/AudioSource.h"

namespace {

// A reader that overrides only what every reader must, so the base behaviour shows.
class MinimalSource final : public AudioSource {
public:
    ~MinimalSource() override { Close(); }
    void Close() override { ResetCommon(); }
    int Open(const char*, int) override {
        Close();
        m_sampleRate = 44100;
        m_channels = 2;
        m_outputChannels = 2;
        m_bitsPerSample = 16;
        m_channelMode = 1;
        m_videoWidth = 640;
        return 1;
    }
    int ReadBlock(void*, void*) override { return 0; }
};

TEST(AudioSource, FreshAndClosedObjectsReportZeroesAndUnknownChannelMode) {
    // A stale or uninitialised field would leak one file's properties into the next.
    MinimalSource src;
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(src.GetTotalLength(), 0);
        EXPECT_EQ(src.GetPosition(), 0);
        EXPECT_EQ(src.GetDuration(), 0);
        EXPECT_EQ(src.GetChannels(), 0);
        EXPECT_EQ(src.GetOutputChannels(), 0);
        EXPECT_EQ(src.GetSampleRate(), 0);
        EXPECT_EQ(src.GetBitsPerSample(), 0);
        EXPECT_EQ(src.GetBitrate(), 0);
        EXPECT_EQ(src.GetChannelMode(), 4);
        int w = -1, h = -1;
        src.GetVideoSize(w, h);
        EXPECT_EQ(w, 0);
        EXPECT_EQ(h, 0);
        EXPECT_EQ(src.GetFrameRate(), 0.0);
        ASSERT_EQ(src.Open("x", 0), 1);
        EXPECT_EQ(src.GetChannelMode(), 1);
        src.Close();
    }
}

TEST(AudioSource, BaseTagOperationsDeliverNothingAndLeaveTextsAlone) {
    // Callers rely on a 0 size and untouched texts when a reader has no tags.
    MinimalSource src;
    ASSERT_EQ(src.Open("x", 0), 1);
    EXPECT_EQ(src.GetId3v1Tag(), nullptr);
    int size = 1234;
    EXPECT_EQ(src.GetId3v2Tag(size), nullptr);
    EXPECT_EQ(size, 0);
    TagSet tags{"t", "a", "b", "y", "g", "c", "1", "m", "p"};
    EXPECT_EQ(src.ReadTags(tags), 0);
    EXPECT_EQ(tags.title, "t");
    EXPECT_EQ(tags.copyright, "p");
}

}  // namespace
