#include "support/SynthFixtures.h"

#include <cstring>

#include "support/TestSupport.h"

namespace testsupport {

std::vector<std::uint8_t> TinyMidiFile() {
    const std::vector<std::uint8_t> track = {
        0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // tempo 500000 us per quarter
        0x00, 0xC0, 0x00,                          // program 0 (piano)
        0x00, 0x90, 60,   100,                     // note on C4
        0x60, 0x80, 60,   0,                       // tick 96: note off
        0x00, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90,  // tempo 250000
        0x00, 0x90, 67,   100,                     // note on G4
        0x60, 0x80, 67,   0,                       // tick 192: note off
        0x00, 0xFF, 0x2F, 0x00};                   // end of track
    std::vector<std::uint8_t> smf = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k'};
    PutLe(smf, smf.size(), 4, 0);
    const std::size_t sizeAt = smf.size() - 4;
    const auto n = static_cast<std::uint32_t>(track.size());
    smf[sizeAt] = static_cast<std::uint8_t>(n >> 24);
    smf[sizeAt + 1] = static_cast<std::uint8_t>(n >> 16);
    smf[sizeAt + 2] = static_cast<std::uint8_t>(n >> 8);
    smf[sizeAt + 3] = static_cast<std::uint8_t>(n);
    smf.insert(smf.end(), track.begin(), track.end());
    return smf;
}

std::vector<std::uint8_t> TinyModFile() {
    std::vector<std::uint8_t> mod(20, 0);
    std::memcpy(mod.data(), "tiny", 4);
    for (int s = 0; s < 31; ++s) {
        std::uint8_t header[30] = {};
        if (s == 0) {
            std::memcpy(header, "square", 6);
            header[23] = 32;  // length: 32 words
            header[25] = 64;  // volume
            header[29] = 32;  // loop length: 32 words from the start
        }
        mod.insert(mod.end(), header, header + 30);
    }
    mod.push_back(1);    // one order
    mod.push_back(127);  // restart byte
    std::vector<std::uint8_t> orders(128, 0);
    mod.insert(mod.end(), orders.begin(), orders.end());
    mod.insert(mod.end(), {'M', '.', 'K', '.'});
    std::vector<std::uint8_t> pattern(64 * 4 * 4, 0);
    const unsigned period = 428;  // C in the middle octave
    pattern[0] = static_cast<std::uint8_t>(period >> 8);
    pattern[1] = static_cast<std::uint8_t>(period & 0xFF);
    pattern[2] = 0x10;  // sample 1, no effect
    std::uint8_t* breakCell = &pattern[(15 * 4 + 1) * 4];
    breakCell[2] = 0x0D;  // pattern break after row 15
    mod.insert(mod.end(), pattern.begin(), pattern.end());
    for (int i = 0; i < 64; ++i) mod.push_back(i < 32 ? 0x60 : 0xA0);
    return mod;
}

bool MakeToneWav(const std::string& path, int rate, int channels, double seconds, int bits) {
    std::vector<std::string> argv = {"sox",
                                     "-n",
                                     "-r",
                                     std::to_string(rate),
                                     "-c",
                                     std::to_string(channels),
                                     "-b",
                                     std::to_string(bits),
                                     path,
                                     "synth",
                                     std::to_string(seconds)};
    const char* tones[] = {"sine", "440", "sine", "660", "sine", "880",
                           "sine", "330", "sine", "550", "sine", "770"};
    for (int c = 0; c < channels && c < 6; ++c) {
        argv.push_back(tones[2 * c]);
        argv.push_back(tones[2 * c + 1]);
    }
    argv.insert(argv.end(), {"vol", "0.5"});
    return Run(argv) == 0;
}

}  // namespace testsupport
