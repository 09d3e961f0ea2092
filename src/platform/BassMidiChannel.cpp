#include "platform/BassMidiChannel.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <mutex>

#include "platform/Bass.h"
#include "platform/FluidSynthLibrary.h"
#include "platform/MidiSongLength.h"
#include "platform/UniqueFile.h"

namespace {

constexpr std::uint64_t kMaxMidiFile = 64ull << 20;
constexpr std::uint32_t kMinSynthRate = 8000, kMaxSynthRate = 96000;

std::vector<std::uint8_t> ReadSmallFile(const std::string& path, std::uint64_t limit, std::uint64_t& size) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    size = static_cast<std::uint64_t>(st.st_size);
    if (size == 0 || size > limit) return {};
    auto f = OpenFile(path.c_str(), "rb");
    if (!f) return {};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) return {};
    return bytes;
}

std::int16_t ToS16(float v) {
    const float scaled = std::nearbyint(v * 32768.0f);
    return static_cast<std::int16_t>(scaled > 32767.0f ? 32767.0f : scaled < -32768.0f ? -32768.0f : scaled);
}

}  // namespace

bool IsSoundFont(const std::string& path) {
    // Checked here rather than by FluidSynth, whose check of other files leaks in libinstpatch.
    auto f = OpenFile(path.c_str(), "rb");
    char riff[12];
    return f && std::fread(riff, 1, sizeof riff, f.get()) == sizeof riff &&
           std::memcmp(riff, "RIFF", 4) == 0 && std::memcmp(riff + 8, "sfbk", 4) == 0;
}

std::unique_ptr<BassChannel> OpenBassMidiStream(const std::string& path, std::uint32_t rate,
                                                const std::string& soundFont) {
    return BassMidiChannel::Open(path, rate, soundFont);
}

std::unique_ptr<BassChannel> BassMidiChannel::Open(const std::string& path, std::uint32_t rate,
                                                   const std::string& soundFont) {
    // FluidSynth renders at 8000..96000 Hz only; the stream reports the rate it renders at and the
    // caller resamples like any other source's.
    rate = std::clamp<std::uint32_t>(rate, kMinSynthRate, kMaxSynthRate);
    std::uint64_t fileSize = 0;
    std::unique_ptr<BassMidiChannel> ch(new BassMidiChannel());
    ch->m_smf = ExtractStandardMidi(ReadSmallFile(path, kMaxMidiFile, fileSize));
    const auto seconds = MidiSongSeconds(ch->m_smf);
    // A damaged delta time can announce years of silence: such a file is not a song.
    if (!seconds || *seconds > 24 * 3600.0) return nullptr;
    const auto frames = static_cast<std::uint64_t>(std::llround(*seconds * rate));
    ch->m_path = path;
    ch->m_soundFont = soundFont;
    auto& d = ch->m_info;
    d.freq = rate;
    d.chans = 2;
    d.ctype = BASS_CTYPE_STREAM_MIDI;
    d.length = frames * ch->FrameBytes();
    d.fileStart = 0;
    d.fileEnd = fileSize;
    d.padToLength = true;
    return ch;
}

BassMidiChannel::~BassMidiChannel() {
    if (!m_fluid) return;  // nothing was made
    if (m_player) {
        m_fluid->fluid_player_stop(m_player);
        m_fluid->delete_fluid_player(m_player);
    }
    if (m_synth) m_fluid->delete_fluid_synth(m_synth);
    if (m_settings) m_fluid->delete_fluid_settings(m_settings);
}

bool BassMidiChannel::StartSynth() {
    m_started = true;
    if (m_soundFont.empty()) return false;
    m_fluid = LoadFluidSynth();
    if (!m_fluid) return false;
    // FluidSynth fills its shared tables when the first synthesiser of the process is made, and
    // not every version guards that: synthesisers are set up one at a time, then render freely.
    static std::mutex setUp;
    std::lock_guard lock(setUp);
    m_settings = m_fluid->new_fluid_settings();
    if (!m_settings) return false;
    m_fluid->fluid_settings_setnum(m_settings, "synth.sample-rate", m_info.freq);
    // Player time follows the rendered samples, not the wall clock.
    m_fluid->fluid_settings_setstr(m_settings, "player.timing-source", "sample");
    m_fluid->fluid_settings_setint(m_settings, "synth.lock-memory", 0);
    // FluidSynth's default gain (0.2) leaves a single note some 30 dB below full scale.
    m_fluid->fluid_settings_setnum(m_settings, "synth.gain", 0.5);
    m_fluid->fluid_settings_setint(m_settings, "synth.cpu-cores", 1);
    m_synth = m_fluid->new_fluid_synth(m_settings);
    if (!m_synth || m_fluid->fluid_synth_sfload(m_synth, m_soundFont.c_str(), 1) == FLUID_FAILED)
        return false;
    m_player = m_fluid->new_fluid_player(m_synth);
    if (!m_player || m_fluid->fluid_player_add_mem(m_player, m_smf.data(), m_smf.size()) != FLUID_OK)
        return false;
    return m_fluid->fluid_player_play(m_player) == FLUID_OK;
}

bool BassMidiChannel::StartFloat() {
    m_float = true;
    return true;
}

std::size_t BassMidiChannel::Render(std::uint8_t* out, std::size_t bytes) {
    if (!m_started && !StartSynth()) {
        m_broken = true;
        // No font or a synthesiser that will not start: the stream ends, it is not padded with silence.
        m_info.padToLength = false;
    }
    if (m_broken) return 0;
    const std::size_t frames = bytes / (m_float ? 2 * sizeof(float) : FrameBytes());
    m_left.resize(frames);
    m_right.resize(frames);
    if (m_fluid->fluid_synth_write_float(m_synth, static_cast<int>(frames), m_left.data(), 0, 1,
                                         m_right.data(), 0, 1) != FLUID_OK)
        return 0;
    if (m_float) {
        auto* pcm = reinterpret_cast<float*>(out);
        for (std::size_t i = 0; i < frames; ++i) {
            pcm[2 * i] = m_left[i];
            pcm[2 * i + 1] = m_right[i];
        }
        return frames * 2 * sizeof(float);
    }
    auto* pcm = reinterpret_cast<std::int16_t*>(out);
    for (std::size_t i = 0; i < frames; ++i) {
        pcm[2 * i] = ToS16(m_left[i]);
        pcm[2 * i + 1] = ToS16(m_right[i]);
    }
    return frames * FrameBytes();
}
