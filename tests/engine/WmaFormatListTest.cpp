#include <gtest/gtest.h>

#include "engine/WmaFormatList.h"
#include "platform/WmfRuntime.h"
#include "platform/wmf/WmaCodecTable.h"

namespace {

WmaFormatEntry Entry(int rate, int bitrate, int channels) {
    WaveFormatEx wave{0x161,
                      static_cast<std::uint16_t>(channels),
                      static_cast<std::uint32_t>(rate),
                      static_cast<std::uint32_t>(bitrate / 8),
                      1,
                      16,
                      0};
    return {WmMediaType::Audio(kMediaSubtypeWmAudioV8, wave), bitrate};
}

TEST(WmaFormatList, BuiltFromTheRuntimeSortedWithoutDuplicatesOrAudioVideoFormats) {
    WmfRuntime runtime([] { return true; });
    WmaFormatList list;
    list.Insert(Entry(8000, 1, 1));
    EXPECT_EQ(BuildWmaFormatList(list, runtime), 0);  // not loaded: emptied, nothing read
    EXPECT_TRUE(list.Empty());
    runtime.LoadWmfRuntime();
    ASSERT_EQ(BuildWmaFormatList(list, runtime), 1);
    std::size_t audioOnly = 0;
    for (const auto& f : WmaCodecFormats()) audioOnly += f.audioVideo ? 0 : 1;
    ASSERT_EQ(list.Entries().size(), audioOnly);
    const auto& e = list.Entries();
    for (std::size_t i = 0; i < e.size(); ++i) {
        EXPECT_TRUE(e[i].Channels() == 1 || e[i].Channels() == 2);
        EXPECT_EQ(e[i].mediaType.subtype, kMediaSubtypeWmAudioV8);
        if (i == 0) continue;
        const bool ordered = e[i - 1].SampleRate() < e[i].SampleRate() ||
                             (e[i - 1].SampleRate() == e[i].SampleRate() && e[i - 1].bitrate <= e[i].bitrate);
        EXPECT_TRUE(ordered) << i;
    }
    // A second build replaces the list rather than adding to it.
    ASSERT_EQ(BuildWmaFormatList(list, runtime), 1);
    EXPECT_EQ(list.Entries().size(), audioOnly);
}

TEST(WmaFormatList, ADuplicateIsRefusedEvenBehindAnEntryWithOtherChannels) {
    WmaFormatList list;
    EXPECT_TRUE(list.Insert(Entry(44100, 64000, 1)));
    EXPECT_TRUE(list.Insert(Entry(44100, 64000, 2)));  // goes before the mono one
    EXPECT_FALSE(list.Insert(Entry(44100, 64000, 1)));
    EXPECT_FALSE(list.Insert(Entry(44100, 64000, 2)));
    ASSERT_EQ(list.Entries().size(), 2u);
    EXPECT_EQ(list.Entries()[0].Channels(), 2);
}

struct FindCase {
    const char* what;
    int rate, bitrate, channels;
    int foundRate, foundBitrate;  // 0: nothing found
};

TEST(WmaFormatList, FindTakesTheNearestFormat) {
    WmaFormatList list;
    for (auto [rate, bitrate] : {std::pair{22050, 32000},
                                 {22050, 48000},
                                 {44100, 64000},
                                 {44100, 96000},
                                 {44100, 128000},
                                 {44100, 192000}}) {
        list.Insert(Entry(rate, bitrate, 2));
    }
    const FindCase cases[] = {
        {"exact", 44100, 128000, 2, 44100, 128000},
        {"nearer lower", 44100, 100000, 2, 44100, 96000},
        {"tie goes up", 44100, 112000, 2, 44100, 128000},
        {"nearer higher", 44100, 120000, 2, 44100, 128000},
        {"all lower", 44100, 320000, 2, 44100, 192000},
        {"all higher", 44100, 20000, 2, 44100, 64000},
        {"rate missing: lowest of next rate", 32000, 128000, 2, 44100, 64000},
        {"no higher rate: highest below", 48000, 32000, 2, 44100, 192000},
        {"below every rate", 8000, 320000, 2, 22050, 32000},
        {"no entry with the channels", 44100, 128000, 1, 0, 0},
    };
    for (const auto& c : cases) {
        const WmaFormatEntry* e = FindWmaFormat(list, c.rate, c.bitrate, c.channels);
        if (c.foundRate == 0) {
            EXPECT_EQ(e, nullptr) << c.what;
            continue;
        }
        ASSERT_NE(e, nullptr) << c.what;
        EXPECT_EQ(e->SampleRate(), c.foundRate) << c.what;
        EXPECT_EQ(e->bitrate, c.foundBitrate) << c.what;
    }
}

}  // namespace
