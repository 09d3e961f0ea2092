#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "sources/WavFileSource.h"
#include "support/PeerSignals.h"
#include "support/SourceDecode.h"
#include "support/TestSupport.h"
#include "support/WavBuilder.h"

namespace {

using testsupport::Decoded;
using testsupport::TempDir;

enum class Peer { Ffmpeg, Sndfile };

struct PeerCase {
    const char* name;
    const char* input;              // "stereo", "mono" or "six": the generated 16-bit source signal
    std::vector<std::string> argv;  // IN and OUT stand for the source and the encoded file
    Peer peer;
    int tolerance;  // largest allowed sample difference
    int bits;       // delivered sample width
};
void PrintTo(const PeerCase& c, std::ostream* os) {
    *os << c.name;
}

class WavPeer : public testsupport::PeerSignalSuite<PeerCase> {};

TEST_P(WavPeer, DecodesLikeThePeer) {
    // A converter, block decoder or drain that differs from a trusted decoder corrupts audio.
    const PeerCase& c = GetParam();
    if (!testsupport::HaveTools({"ffmpeg", c.argv[0], "sndfile-convert"}))
        GTEST_SKIP() << "peer tool missing";
    const std::string in = s_dir->File(std::string(c.input) + ".wav");
    const std::string out = s_dir->File(std::string(c.name) + ".wav");
    std::vector<std::string> argv = c.argv;
    for (auto& a : argv) a = a == "IN" ? in : a == "OUT" ? out : a;
    ASSERT_EQ(testsupport::Run(argv), 0) << "could not generate " << c.name;

    WavFileSource src;
    const Decoded ours = testsupport::DecodeAll(src, out);
    ASSERT_TRUE(ours.opened);
    const int channels = src.GetChannels();
    EXPECT_EQ(ours.bits, c.bits);
    EXPECT_EQ(src.GetOutputChannels(), std::min(channels, 2));

    std::string peerFile = out;
    if (c.peer == Peer::Sndfile) {
        peerFile = s_dir->File(std::string(c.name) + "-ref.wav");
        ASSERT_EQ(testsupport::Run({"sndfile-convert", "-pcm16", out, peerFile}), 0);
    }
    const std::vector<std::int16_t> ref =
        testsupport::PickTwo(testsupport::FfmpegDecodeS16(peerFile, channels), channels, 1);
    ASSERT_FALSE(ref.empty());
    testsupport::ExpectSamplesNear(ours.samples, ref, c.tolerance);
    const std::int64_t frames = static_cast<std::int64_t>(ref.size()) / std::min(channels, 2);
    EXPECT_EQ(src.GetDuration(), frames / src.GetSampleRate());
    EXPECT_EQ(src.GetPosition(), src.GetTotalLength());
}

const std::vector<std::string> kFf = {"ffmpeg", "-v", "error", "-nostdin", "-y", "-i", "IN"};
std::vector<std::string> Ff(std::vector<std::string> tail) {
    std::vector<std::string> argv = kFf;
    argv.insert(argv.end(), tail.begin(), tail.end());
    argv.push_back("OUT");
    return argv;
}
std::vector<std::string> Sox(std::vector<std::string> opts) {
    std::vector<std::string> argv = {"sox", "IN"};
    argv.insert(argv.end(), opts.begin(), opts.end());
    argv.push_back("OUT");
    return argv;
}
std::vector<std::string> Sf(const std::string& encoding) {
    return {"sndfile-convert", encoding, "IN", "OUT"};
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, WavPeer,
    ::testing::Values(
        PeerCase{"FfmpegU8Stereo", "stereo", Ff({"-c:a", "pcm_u8"}), Peer::Ffmpeg, 0, 8},
        PeerCase{"FfmpegS16Mono", "mono", Ff({"-c:a", "pcm_s16le"}), Peer::Ffmpeg, 0, 16},
        PeerCase{"FfmpegS16Stereo", "stereo", Ff({"-c:a", "pcm_s16le"}), Peer::Ffmpeg, 0, 16},
        PeerCase{"FfmpegS24StereoExtensible", "stereo", Ff({"-c:a", "pcm_s24le"}), Peer::Ffmpeg, 0, 16},
        PeerCase{"FfmpegS32Mono", "mono", Ff({"-c:a", "pcm_s32le"}), Peer::Ffmpeg, 0, 16},
        PeerCase{"FfmpegF32StereoExtensible", "stereo", Ff({"-c:a", "pcm_f32le"}), Peer::Ffmpeg, 1, 16},
        PeerCase{"FfmpegF64Mono", "mono", Ff({"-c:a", "pcm_f64le"}), Peer::Ffmpeg, 1, 16},
        PeerCase{"FfmpegALawStereo", "stereo", Ff({"-c:a", "pcm_alaw"}), Peer::Ffmpeg, 0, 16},
        PeerCase{"FfmpegMuLawMono", "mono", Ff({"-c:a", "pcm_mulaw"}), Peer::Ffmpeg, 0, 16},
        PeerCase{"FfmpegMsAdpcmStereo", "stereo", Ff({"-c:a", "adpcm_ms"}), Peer::Ffmpeg, 0, 16},
        PeerCase{"FfmpegMsAdpcmMono", "mono", Ff({"-c:a", "adpcm_ms"}), Peer::Ffmpeg, 0, 16},
        PeerCase{"FfmpegImaAdpcmStereo", "stereo", Ff({"-c:a", "adpcm_ima_wav"}), Peer::Sndfile, 0, 16},
        PeerCase{"FfmpegGsmMono", "mono", Ff({"-c:a", "libgsm_ms"}), Peer::Ffmpeg, 0, 16},
        PeerCase{"FfmpegSixChannels", "six", Ff({"-c:a", "pcm_s16le"}), Peer::Ffmpeg, 0, 16},
        PeerCase{"FfmpegALawSixChannels", "six", Ff({"-c:a", "pcm_alaw"}), Peer::Ffmpeg, 0, 16},
        PeerCase{"SoxU8Mono", "mono", Sox({"-b", "8"}), Peer::Ffmpeg, 0, 8},
        PeerCase{"SoxS24Stereo", "stereo", Sox({"-b", "24"}), Peer::Ffmpeg, 0, 16},
        PeerCase{"SoxF64Stereo", "stereo", Sox({"-e", "floating-point", "-b", "64"}), Peer::Ffmpeg, 1, 16},
        PeerCase{"SoxALawMono", "mono", Sox({"-e", "a-law"}), Peer::Ffmpeg, 0, 16},
        PeerCase{"SoxMuLawStereo", "stereo", Sox({"-e", "u-law"}), Peer::Ffmpeg, 0, 16},
        PeerCase{"SoxMsAdpcmStereo", "stereo", Sox({"-e", "ms-adpcm"}), Peer::Ffmpeg, 0, 16},
        PeerCase{"SoxImaAdpcmStereo", "stereo", Sox({"-e", "ima-adpcm"}), Peer::Sndfile, 0, 16},
        PeerCase{"SoxImaAdpcmMono", "mono", Sox({"-e", "ima-adpcm"}), Peer::Sndfile, 0, 16},
        PeerCase{"SoxGsmMono", "mono", Sox({"-e", "gsm-full-rate"}), Peer::Ffmpeg, 0, 16},
        PeerCase{"SoxSixChannels24", "six", Sox({"-b", "24"}), Peer::Ffmpeg, 0, 16},
        PeerCase{"SndfilePcmU8Stereo", "stereo", Sf("-pcmu8"), Peer::Ffmpeg, 0, 8},
        PeerCase{"SndfilePcm24Mono", "mono", Sf("-pcm24"), Peer::Ffmpeg, 0, 16},
        PeerCase{"SndfilePcm32Stereo", "stereo", Sf("-pcm32"), Peer::Ffmpeg, 0, 16},
        PeerCase{"SndfileFloat32Mono", "mono", Sf("-float32"), Peer::Ffmpeg, 1, 16},
        PeerCase{"SndfileALawStereo", "stereo", Sf("-alaw"), Peer::Ffmpeg, 0, 16},
        PeerCase{"SndfileULawMono", "mono", Sf("-ulaw"), Peer::Ffmpeg, 0, 16},
        PeerCase{"SndfileMsAdpcmStereo", "stereo", Sf("-ms-adpcm"), Peer::Ffmpeg, 0, 16},
        PeerCase{"SndfileMsAdpcmMono", "mono", Sf("-ms-adpcm"), Peer::Ffmpeg, 0, 16},
        PeerCase{"SndfileImaAdpcmStereo", "stereo", Sf("-ima-adpcm"), Peer::Sndfile, 0, 16},
        PeerCase{"SndfileImaAdpcmMono", "mono", Sf("-ima-adpcm"), Peer::Sndfile, 0, 16},
        PeerCase{"SndfileGsmMono", "mono", Sf("-gsm610"), Peer::Ffmpeg, 0, 16}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
