#include "platform/BassModuleChannel.h"

#include <libopenmpt/libopenmpt.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/Bass.h"
#include "platform/UniqueFile.h"

namespace {
constexpr std::uint64_t kMaxModuleFile = 256ull << 20;
}

std::unique_ptr<BassChannel> OpenBassModule(const std::string& path, std::uint32_t rate) {
    return BassModuleChannel::Open(path, rate);
}

std::unique_ptr<BassChannel> BassModuleChannel::Open(const std::string& path, std::uint32_t rate) {
    // libopenmpt renders at 8000..192000 Hz; the stream reports the rate it renders at and the
    // caller resamples like any other source's.
    rate = std::clamp<std::uint32_t>(rate, 8000, 192000);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 ||
        static_cast<std::uint64_t>(st.st_size) > kMaxModuleFile)
        return nullptr;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size));
    {
        auto f = OpenFile(path.c_str(), "rb");
        if (!f || std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) return nullptr;
    }
    // Played once, stopping at the song's end, and without random dither so renders repeat.
    const openmpt_module_initial_ctl ctls[] = {{"play.at_end", "stop"}, {"dither", "0"}, {nullptr, nullptr}};
    std::unique_ptr<BassModuleChannel> ch(new BassModuleChannel());
    ch->m_module =
        openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                           openmpt_error_func_ignore, nullptr, nullptr, nullptr, ctls);
    if (!ch->m_module) return nullptr;
    openmpt_module_set_repeat_count(ch->m_module, 0);
    const double seconds = openmpt_module_get_duration_seconds(ch->m_module);
    if (!(seconds > 0) || seconds > 24 * 3600.0) return nullptr;
    ch->m_path = path;
    auto& d = ch->m_info;
    d.freq = rate;
    d.chans = 2;
    d.ctype = BASS_CTYPE_MUSIC_MOD;
    d.music = true;
    d.padToLength = true;
    d.length = static_cast<std::uint64_t>(std::llround(seconds * rate)) * ch->FrameBytes();
    d.fileEnd = static_cast<std::uint64_t>(st.st_size);
    return ch;
}

BassModuleChannel::~BassModuleChannel() {
    if (m_module) openmpt_module_destroy(m_module);
}

bool BassModuleChannel::StartFloat() {
    m_float = true;
    return true;
}

std::size_t BassModuleChannel::Render(std::uint8_t* out, std::size_t bytes) {
    if (m_float) {
        const std::size_t frames = bytes / (2 * sizeof(float));
        const std::size_t n = openmpt_module_read_interleaved_float_stereo(
            m_module, static_cast<std::int32_t>(m_info.freq), frames, reinterpret_cast<float*>(out));
        return n * 2 * sizeof(float);
    }
    const std::size_t frames = bytes / FrameBytes();
    const std::size_t n = openmpt_module_read_interleaved_stereo(
        m_module, static_cast<std::int32_t>(m_info.freq), frames, reinterpret_cast<std::int16_t*>(out));
    return n * FrameBytes();
}
