#include "OptionsTestSupport.h"
#include "options/RuntimeWmaFormats.h"

namespace {

TEST(RuntimeWmaFormats, ListsTheRuntimesFormatsOrNothingWithoutIt) {
    // The page lists what the runtime's own format list holds; a missing runtime is reported as such.
    WmaFormatList list;
    WmfRuntime missing([] { return false; });
    EXPECT_EQ(RuntimeWmaFormats(missing, list).LoadFormats(), std::nullopt);

    WmfRuntime present;
    if (!present.LoadWmfRuntime()) GTEST_SKIP() << "FFmpeg offers no WMA encoder here";
    const auto formats = RuntimeWmaFormats(present, list).LoadFormats();
    ASSERT_TRUE(formats);
    ASSERT_EQ(formats->size(), list.Entries().size());
    ASSERT_FALSE(formats->empty());
    for (std::size_t i = 0; i < formats->size(); ++i) {
        EXPECT_EQ((*formats)[i].sampleRate, list.Entries()[i].SampleRate());
        EXPECT_EQ((*formats)[i].bitRate, list.Entries()[i].bitrate);
        EXPECT_EQ((*formats)[i].channels, list.Entries()[i].Channels());
    }
}

}  // namespace
