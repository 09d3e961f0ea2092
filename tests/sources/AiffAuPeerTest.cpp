#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "sources/AiffSource.h"
#include "sources/AuSource.h"
#include "sources/G72xDecoder.h"
#include "support/PeerSignals.h"
#include "support/SourceDecode.h"
#include "support/TestSupport.h"

namespace {

using testsupport::Decoded;
using testsupport::TempDir;

enum class Reader { Aiff, Au };
// Source: the lossless encoding is compared with the signal it was made from.
enum class Peer { Ffmpeg, Sndfile, Source };

struct PeerCase {
    const char* name;
    const char* input;              // "stereo", "mono", "four" or "six": the generated 16-bit source signal
    const char* ext;                // extension of the encoded file
    std::vector<std::string> argv;  // IN and OUT stand for the source and the encoded file
    Reader reader;
    Peer peer;
    int tolerance;  // largest allowed sample difference
    int bits;       // delivered sample width
};
void PrintTo(const PeerCase& c, std::ostream* os) {
    *os << c.name;
}

class AiffAuPeer : public testsupport::PeerSignalSuite<PeerCase> {};

TEST_P(AiffAuPeer, DecodesLikeThePeer) {
    // A converter, byte order, channel step or decoder that differs from a trusted decoder
    // corrupts audio.
    const PeerCase& c = GetParam();
    if (!testsupport::HaveTools({"ffmpeg", c.argv[0], "sndfile-convert"}))
        GTEST_SKIP() << "peer tool missing";
    const std::string in = s_dir->File(std::string(c.input) + ".wav");
    const std::string out = s_dir->File(std::string(c.name) + "." + c.ext);
    std::vector<std::string> argv = c.argv;
    for (auto& a : argv) a = a == "IN" ? in : a == "OUT" ? out : a;
    ASSERT_EQ(testsupport::Run(argv), 0) << "could not generate " << c.name;

    std::unique_ptr<AudioSource> src;
    if (c.reader == Reader::Aiff)
        src = std::make_unique<AiffSource>();
    else
        src = std::make_unique<AuSource>();
    const Decoded ours = testsupport::DecodeAll(*src, out);
    ASSERT_TRUE(ours.opened);
    const int channels = src->GetChannels();
    EXPECT_EQ(ours.bits, c.bits);
    EXPECT_EQ(src->GetOutputChannels(), std::min(channels, 2));

    std::string peerFile = c.peer == Peer::Source ? in : out;
    if (c.peer == Peer::Sndfile) {
        peerFile = s_dir->File(std::string(c.name) + "-ref.wav");
        ASSERT_EQ(testsupport::Run({"sndfile-convert", "-pcm16", out, peerFile}), 0);
    }
    // Six AIFF channels are L, Lc, C, R, Rc, S: the reader delivers L and R.
    const std::vector<std::int16_t> ref = testsupport::PickTwo(
        testsupport::FfmpegDecodeS16(peerFile, channels), channels, channels == 6 ? 3 : 1);
    ASSERT_FALSE(ref.empty());
    testsupport::ExpectSamplesNear(ours.samples, ref, c.tolerance);
    const std::int64_t frames = static_cast<std::int64_t>(ref.size()) / std::min(channels, 2);
    EXPECT_EQ(src->GetDuration(), frames / src->GetSampleRate());
    EXPECT_LE(src->GetPosition(), src->GetTotalLength());
}

std::vector<std::string> Ff(const std::string& codec, std::vector<std::string> extra = {}) {
    std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-nostdin", "-y", "-i", "IN", "-c:a", codec};
    argv.insert(argv.end(), extra.begin(), extra.end());
    argv.push_back("OUT");
    return argv;
}
std::vector<std::string> Sox(std::vector<std::string> opts) {
    std::vector<std::string> argv = {"sox", "IN"};
    argv.insert(argv.end(), opts.begin(), opts.end());
    argv.push_back("OUT");
    return argv;
}
std::vector<std::string> Sf(std::vector<std::string> opts) {
    std::vector<std::string> argv = {"sndfile-convert"};
    argv.insert(argv.end(), opts.begin(), opts.end());
    argv.push_back("IN");
    argv.push_back("OUT");
    return argv;
}

constexpr Reader A = Reader::Aiff;
constexpr Reader U = Reader::Au;
constexpr Peer F = Peer::Ffmpeg;
constexpr Peer S = Peer::Sndfile;
constexpr Peer Src = Peer::Source;

INSTANTIATE_TEST_SUITE_P(
    Aiff, AiffAuPeer,
    ::testing::Values(PeerCase{"FfS16Stereo", "stereo", "aiff", Ff("pcm_s16be"), A, F, 0, 16},
                      PeerCase{"FfS8Mono", "mono", "aiff", Ff("pcm_s8"), A, F, 0, 8},
                      PeerCase{"FfS24Stereo", "stereo", "aiff", Ff("pcm_s24be"), A, F, 0, 16},
                      PeerCase{"FfS32Mono", "mono", "aiff", Ff("pcm_s32be"), A, F, 0, 16},
                      PeerCase{"FfSowtStereo", "stereo", "aifc", Ff("pcm_s16le"), A, F, 0, 16},
                      PeerCase{"FfF32Stereo", "stereo", "aifc", Ff("pcm_f32be"), A, F, 1, 16},
                      PeerCase{"FfF64Mono", "mono", "aifc", Ff("pcm_f64be"), A, F, 1, 16},
                      PeerCase{"FfALawStereo", "stereo", "aifc", Ff("pcm_alaw"), A, F, 0, 16},
                      PeerCase{"FfMuLawMono", "mono", "aifc", Ff("pcm_mulaw"), A, F, 0, 16},
                      PeerCase{"FfIma4Stereo", "stereo", "aifc", Ff("adpcm_ima_qt"), A, S, 0, 16},
                      PeerCase{"FfSixChannels", "six", "aiff", Ff("pcm_s16be"), A, F, 0, 16},
                      PeerCase{"FfFourChannels", "four", "aiff", Ff("pcm_s16be"), A, F, 0, 16},
                      PeerCase{"SoxS24Mono", "mono", "aiff", Sox({"-b", "24"}), A, F, 0, 16},
                      PeerCase{"SoxS8Stereo", "stereo", "aiff", Sox({"-b", "8"}), A, F, 0, 8},
                      PeerCase{"SoxSixChannels24", "six", "aiff", Sox({"-b", "24"}), A, F, 0, 16},
                      PeerCase{"SoxF32Stereo", "stereo", "aifc", Sox({"-e", "floating-point", "-b", "32"}), A,
                               F, 1, 16},
                      PeerCase{"SfPcmS8Stereo", "stereo", "aiff", Sf({"-pcms8"}), A, F, 0, 8},
                      PeerCase{"SfPcm24Mono", "mono", "aiff", Sf({"-pcm24"}), A, F, 0, 16},
                      PeerCase{"SfPcm32Stereo", "stereo", "aiff", Sf({"-pcm32"}), A, F, 0, 16},
                      PeerCase{"SfFloat64Stereo", "stereo", "aiff", Sf({"-float64"}), A, F, 1, 16},
                      PeerCase{"SfALawMono", "mono", "aiff", Sf({"-alaw"}), A, F, 0, 16},
                      PeerCase{"SfIma4Stereo", "stereo", "aiff", Sf({"-ima-adpcm"}), A, S, 0, 16},
                      PeerCase{"SfDwvw16Mono", "mono", "aiff", Sf({"-dwvw16"}), A, S, 0, 16},
                      PeerCase{"SfDwvw24Mono", "mono", "aiff", Sf({"-dwvw24"}), A, S, 0, 16}),
    [](const auto& info) { return std::string(info.param.name); });

// libsndfile scales floats to 16 bits by 32767, not 32768: up to two steps apart at full scale.
INSTANTIATE_TEST_SUITE_P(
    Au, AiffAuPeer,
    ::testing::Values(
        PeerCase{"FfS16Stereo", "stereo", "au", Ff("pcm_s16be"), U, F, 0, 16},
        PeerCase{"FfS8Mono", "mono", "au", Ff("pcm_s8"), U, F, 0, 16},
        PeerCase{"FfS24Stereo", "stereo", "au", Ff("pcm_s24be"), U, F, 0, 16},
        PeerCase{"FfS32Mono", "mono", "au", Ff("pcm_s32be"), U, F, 0, 16},
        PeerCase{"FfF32Stereo", "stereo", "au", Ff("pcm_f32be"), U, F, 1, 16},
        PeerCase{"FfF64Mono", "mono", "au", Ff("pcm_f64be"), U, F, 1, 16},
        PeerCase{"FfALawStereo", "stereo", "au", Ff("pcm_alaw"), U, F, 0, 16},
        PeerCase{"FfMuLawMono", "mono", "au", Ff("pcm_mulaw"), U, F, 0, 16},
        PeerCase{"SoxLittleEndianStereo", "stereo", "au", Sox({"-L"}), U, Src, 0, 16},
        PeerCase{"SoxS8Stereo", "stereo", "au", Sox({"-b", "8"}), U, F, 0, 16},
        PeerCase{"SfLittleEndian16", "stereo", "au", Sf({"-endian=little", "-pcm16"}), U, S, 0, 16},
        PeerCase{"SfLittleEndian24", "mono", "au", Sf({"-endian=little", "-pcm24"}), U, S, 0, 16},
        PeerCase{"SfLittleEndian32", "stereo", "au", Sf({"-endian=little", "-pcm32"}), U, S, 0, 16},
        PeerCase{"SfLittleEndianFloat", "mono", "au", Sf({"-endian=little", "-float32"}), U, S, 2, 16},
        PeerCase{"SfLittleEndianDouble", "stereo", "au", Sf({"-endian=little", "-float64"}), U, S, 2, 16},
        PeerCase{"SfLittleEndianULaw", "mono", "au", Sf({"-endian=little", "-ulaw"}), U, S, 0, 16}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
