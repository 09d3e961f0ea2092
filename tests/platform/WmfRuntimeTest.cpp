#include <gtest/gtest.h>

#include <regex>

#include "platform/WmfRuntime.h"
#include "support/TestSupport.h"

namespace {

TEST(WmfRuntime, MissingRuntimeIsRetriedAndALoadedOneIsKept) {
    // A failure must not stick (the user may install it), and a success must not be probed again.
    int calls = 0;
    bool present = false;
    WmfRuntime runtime([&] {
        ++calls;
        return present;
    });
    EXPECT_FALSE(runtime.IsLoaded());
    EXPECT_EQ(runtime.LoadWmfRuntime(), 0);
    EXPECT_EQ(runtime.LoadWmfRuntime(), 0);
    EXPECT_EQ(calls, 2);
    present = true;
    EXPECT_EQ(runtime.LoadWmfRuntime(), 1);
    present = false;
    EXPECT_EQ(runtime.LoadWmfRuntime(), 1);
    EXPECT_TRUE(runtime.IsLoaded());
    EXPECT_EQ(calls, 3);
}

bool ListsCodec(const std::string& listing, const std::string& flags, const std::string& name) {
    // ffmpeg listings: " <flags> <name> <description>"; flags are letters or dots.
    return std::regex_search(listing, std::regex("\\n\\s*" + flags + "\\S*\\s+" + name + "\\s"));
}

TEST(WmfRuntime, FfmpegProbeAgreesWithTheFfmpegTool) {
    // The runtime must load exactly when the installed FFmpeg can write and read WMA in ASF.
    if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
    std::string encoders, decoders, muxers, demuxers;
    testsupport::Run({"ffmpeg", "-hide_banner", "-encoders"}, &encoders);
    testsupport::Run({"ffmpeg", "-hide_banner", "-decoders"}, &decoders);
    testsupport::Run({"ffmpeg", "-hide_banner", "-muxers"}, &muxers);
    testsupport::Run({"ffmpeg", "-hide_banner", "-demuxers"}, &demuxers);
    const bool expected = ListsCodec(encoders, "A", "wmav2") && ListsCodec(decoders, "A", "wmav1") &&
                          ListsCodec(decoders, "A", "wmav2") && ListsCodec(muxers, "\\s*E", "asf") &&
                          ListsCodec(demuxers, "\\s*D", "asf");
    EXPECT_EQ(FfmpegOffersWmaRuntime(), expected);
    WmfRuntime runtime;
    EXPECT_EQ(runtime.LoadWmfRuntime(), expected ? 1 : 0);
}

}  // namespace
