#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "cli/CliHarness.h"
#include "support/TestSupport.h"
#include "support/WavBuilder.h"

namespace {

using namespace clitest;
using testsupport::Bytes;
namespace fs = std::filesystem;

Bytes Be32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}
Bytes Be16(unsigned v) {
    return {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}
Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}
void PutLe32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.at(at + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(v >> (8 * i));
}
void PutBe32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.at(at + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}
Bytes Cut(Bytes b, std::size_t size) {
    b.resize(std::min(size, b.size()));
    return b;
}

Bytes GoodWav() {
    return testsupport::SimpleWav(1, 2, 8000, 16, Bytes(4000, 0x11));
}
// fmt at 12 (size at 16, channels at 22, rate at 24, blockAlign at 32, bits at 34), data size at 40.
Bytes WavWith(std::size_t at, std::uint32_t value, int width) {
    Bytes b = GoodWav();
    if (width == 4)
        PutLe32(b, at, value);
    else
        b.at(at) = static_cast<std::uint8_t>(value), b.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
    return b;
}

// COMM: channels, frames, bits, 80-bit extended rate (8000 Hz); SSND: offset, block size, samples.
Bytes Aiff(unsigned channels, std::uint32_t frames, unsigned bits, unsigned exponent, std::uint32_t offset,
           std::size_t dataBytes) {
    const Bytes comm =
        Cat({Be16(channels), Be32(frames), Be16(bits), Be16(exponent), Be32(0xFA000000u), Be32(0)});
    const Bytes ssnd = Cat({Be32(offset), Be32(0), Bytes(dataBytes, 0x22)});
    const Bytes body = Cat({Text("AIFF"), Text("COMM"), Be32(18), comm, Text("SSND"),
                            Be32(static_cast<std::uint32_t>(ssnd.size())), ssnd});
    return Cat({Text("FORM"), Be32(static_cast<std::uint32_t>(body.size())), body});
}
Bytes GoodAiff() {
    return Aiff(2, 1000, 16, 0x400B, 0, 4000);
}

// .snd: header offset, data size, encoding, rate, channels.
Bytes Au(std::uint32_t offset, std::uint32_t size, std::uint32_t encoding, std::uint32_t rate,
         std::uint32_t channels, std::size_t dataBytes) {
    return Cat({Text(".snd"), Be32(offset), Be32(size), Be32(encoding), Be32(rate), Be32(channels), Be32(0),
                Bytes(dataBytes, 0x33)});
}

Bytes Id3Then(Bytes size, const Bytes& rest, std::uint8_t flags = 0) {
    return Cat({Text("ID3"), Bytes{4, 0, flags}, size, rest});
}
Bytes Mp3Frames() {
    Bytes frames;
    for (int i = 0; i < 20; ++i) frames = Cat({frames, Bytes{0xFF, 0xFB, 0x90, 0x64}, Bytes(413, 0)});
    return frames;
}

// Files made by peers once per run; empty when the peer is missing.
Bytes PeerFile(const std::string& name, const std::vector<std::string>& command) {
    static testsupport::TempDir dir;
    const std::string wav = dir.File("peer.wav");
    if (!fs::exists(wav))
        WriteWav16(wav, 8000, std::vector<std::int16_t>(8000, 1000), std::vector<std::int16_t>(8000, -1000));
    std::vector<std::string> argv = command;
    for (auto& a : argv) {
        if (a == "IN") a = wav;
        if (a == "OUT") a = dir.File(name);
    }
    if (!fs::exists(dir.File(name)) && testsupport::Run(argv, nullptr) != 0) return {};
    return testsupport::ReadBytes(dir.File(name));
}
Bytes Ogg() {
    return PeerFile("p.ogg", {"oggenc", "-Q", "-o", "OUT", "IN"});
}
Bytes M4a() {
    return PeerFile("p.m4a",
                    {"ffmpeg", "-v", "quiet", "-y", "-i", "IN", "-c:a", "aac", "-b:a", "32k", "OUT"});
}
Bytes FlipAt(Bytes b, std::size_t at) {
    if (at < b.size()) b[at] ^= 0x5A;
    return b;
}
// The moov box announcing far more than the file holds.
Bytes HugeMoov(Bytes b) {
    for (std::size_t i = 4; i + 4 <= b.size(); ++i)
        if (b[i] == 'm' && b[i + 1] == 'o' && b[i + 2] == 'o' && b[i + 3] == 'v') {
            PutBe32(b, i - 4, 0x7FFFFFF0u);
            break;
        }
    return b;
}

struct Hostile {
    std::string name;
    const char* ext;
    std::function<Bytes()> make;
};

void PrintTo(const Hostile& c, std::ostream* os) {
    *os << c.name;
}

std::vector<Hostile> Cases() {
    std::vector<Hostile> cases;
    // Cut at every header field boundary.
    for (std::size_t cut : {4u, 8u, 12u, 16u, 20u, 24u, 36u, 40u, 44u, 45u})
        cases.push_back({"WavCutAt" + std::to_string(cut), "wav", [cut] { return Cut(GoodWav(), cut); }});
    for (std::size_t cut : {4u, 12u, 20u, 26u, 38u, 46u, 54u})
        cases.push_back({"AiffCutAt" + std::to_string(cut), "aiff", [cut] { return Cut(GoodAiff(), cut); }});
    for (std::size_t cut : {4u, 8u, 16u, 24u, 28u})
        cases.push_back({"AuCutAt" + std::to_string(cut), "au",
                         [cut] { return Cut(Au(28, 4000, 3, 8000, 2, 4000), cut); }});

    const std::vector<Hostile> shaped = {
        {"WavDataSizeHuge", "wav", [] { return WavWith(40, 0xFFFFFFFFu, 4); }},
        {"WavRiffSizeZero", "wav", [] { return WavWith(4, 0, 4); }},
        {"WavZeroChannels", "wav", [] { return WavWith(22, 0, 2); }},
        {"WavManyChannels", "wav", [] { return WavWith(22, 0xFFFF, 2); }},
        {"WavZeroRate", "wav", [] { return WavWith(24, 0, 4); }},
        {"WavZeroBlockAlign", "wav", [] { return WavWith(32, 0, 2); }},
        {"WavZeroBits", "wav", [] { return WavWith(34, 0, 2); }},
        {"WavFmtSizeWraps", "wav", [] { return WavWith(16, 0xFFFFFFF0u, 4); }},
        {"WavImaAdpcmZeroBlock", "wav",
         [] {
             return testsupport::SimpleWav(0x11, 2, 8000, 4, Bytes(512, 7), {2, 0, 0, 0});
         }},
        {"WavMsAdpcmNoCoefficients", "wav",
         [] {
             return testsupport::SimpleWav(2, 1, 8000, 4, Bytes(512, 7), {2, 0, 0xF4, 1});
         }},
        {"WavGsmTinyData", "wav",
         [] {
             return testsupport::SimpleWav(0x31, 1, 8000, 0, Bytes(13, 7), {2, 0, 0x40, 1});
         }},
        {"AiffZeroChannels", "aiff", [] { return Aiff(0, 1000, 16, 0x400B, 0, 4000); }},
        {"AiffFramesHuge", "aiff", [] { return Aiff(2, 0xFFFFFFFFu, 16, 0x400B, 0, 4000); }},
        {"AiffZeroBits", "aiff", [] { return Aiff(2, 1000, 0, 0x400B, 0, 4000); }},
        {"AiffRateExponentHuge", "aiff", [] { return Aiff(2, 1000, 16, 0x7FFF, 0, 4000); }},
        {"AiffSoundOffsetHuge", "aiff", [] { return Aiff(2, 1000, 16, 0x400B, 0xFFFFFFF0u, 4000); }},
        {"AiffChunkSizeWraps", "aiff",
         [] {
             Bytes b = GoodAiff();
             PutBe32(b, 16, 0xFFFFFFF8u);
             return b;
         }},
        {"AuOffsetHuge", "au", [] { return Au(0xFFFFFFF0u, 4000, 3, 8000, 2, 4000); }},
        {"AuOffsetInsideHeader", "au", [] { return Au(4, 4000, 3, 8000, 2, 4000); }},
        {"AuZeroChannels", "au", [] { return Au(28, 4000, 3, 8000, 0, 4000); }},
        {"AuZeroRate", "au", [] { return Au(28, 4000, 3, 0, 1, 4000); }},
        {"AuG721Tiny", "au", [] { return Au(28, 3, 23, 8000, 1, 3); }},
        {"Id3SizeOverflow", "mp3",
         [] {
             return Id3Then({0x7F, 0x7F, 0x7F, 0x7F}, Mp3Frames());
         }},
        {"Id3SizeNotSynchsafe", "mp3",
         [] {
             return Id3Then({0xFF, 0xFF, 0xFF, 0xFF}, Mp3Frames());
         }},
        {"Id3FooterPastTheEnd", "mp3",
         [] {
             return Id3Then({0, 0, 0, 8}, Bytes(8, 0), 0x10);
         }},
        {"Mp3HeaderOnly", "mp3",
         [] {
             return Bytes{0xFF, 0xFB, 0x90, 0x64};
         }},
        {"OggBadCrc", "ogg", [] { return FlipAt(Ogg(), Ogg().size() / 2); }},
        {"OggHalf", "ogg", [] { return Cut(Ogg(), Ogg().size() / 2); }},
        {"Mp4MoovLargerThanTheFile", "m4a", [] { return HugeMoov(M4a()); }},
        {"Mp4Half", "m4a", [] { return Cut(M4a(), M4a().size() / 2); }},
    };
    cases.insert(cases.end(), shaped.begin(), shaped.end());
    return cases;
}

class HostileFile : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileFile, FailsCleanlyOrConvertsBoundedly) {
    // No crash, no sanitizer report, no hang; a failure leaves no file, a success one output; the
    // source is never changed.
    const Hostile& c = GetParam();
    const Bytes bytes = c.make();
    if (bytes.empty()) GTEST_SKIP() << "peer tool missing";
    CliHome home;
    const std::string source = home.File(std::string("h.") + c.ext), out = home.File("out");
    testsupport::WriteBytes(source, bytes);
    const auto r = home.Run({"-q", "-t", "wav", "-o", out, source},
                            {"timeout", "-s", "KILL", "120", "sh", "-c", "\"$@\" 2>&1", "sh"});
    EXPECT_TRUE(r.status == 0 || r.status == 1) << "status " << r.status << "\n" << r.out;
    EXPECT_EQ(r.out.find("Sanitizer"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("runtime error"), std::string::npos) << r.out;
    std::vector<std::string> left;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(out, ec)) left.push_back(e.path().filename().string());
    if (r.status == 0)
        EXPECT_EQ(left, std::vector<std::string>{"h.wav"});
    else
        EXPECT_EQ(left, std::vector<std::string>{});
    EXPECT_EQ(testsupport::ReadBytes(source), bytes);
}

INSTANTIATE_TEST_SUITE_P(Families, HostileFile, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
