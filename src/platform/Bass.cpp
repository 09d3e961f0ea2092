#include "platform/Bass.h"

#include <array>
#include <string>

#include "platform/BassLibrary.h"
#include "platform/BassMidi.h"
#include "platform/Paths.h"

namespace {

constexpr std::uint64_t kNone = ~std::uint64_t{0};

// The plug-ins whose formats are built in; basscd.dll is accepted but reads nothing here.
constexpr std::array<const char*, 11> kKnownPlugins = {
    "basscd.dll",    "bassflac.dll", "basswma.dll",  "basswv.dll",   "bass_aac.dll", "bass_adx.dll",
    "bass_alac.dll", "bass_ape.dll", "bass_mpc.dll", "bass_spx.dll", "bass_tta.dll"};

// Decoding runs without the library's lock, so files decode side by side on several threads.
HeldBassChannel Hold(std::uint32_t handle) {
    std::shared_ptr<HeldBassChannel::Shared> shared;
    {
        auto locked = LockBassLibrary();
        if (locked.library) shared = locked.library->Share(handle);
    }
    return shared ? HeldBassChannel(std::move(shared)) : HeldBassChannel();
}

std::uint32_t RateOrDefault(std::uint32_t freq, const BassLibrary& lib) {
    return freq == 0 ? lib.DefaultRate() : freq;
}

}  // namespace

std::uint32_t BASS_GetVersion() {
    return 0x02041100;
}

int BASS_SetConfig(std::uint32_t option, std::uint32_t value) {
    // There is no update thread to configure; the update period is accepted as 0 only.
    return option == BASS_CONFIG_UPDATEPERIOD && value == 0;
}

int BASS_Init(int device, std::uint32_t freq, std::uint32_t, void*, const void*) {
    if (device != 0 || freq == 0 || freq > 384000) return 0;
    return ResetBassLibrary(freq, true) ? 1 : 0;
}

int BASS_Free() {
    return ResetBassLibrary(0, false) ? 1 : 0;
}

HPLUGIN BASS_PluginLoad(const char* file, std::uint32_t) {
    auto locked = LockBassLibrary();
    if (!locked.library || !file) return 0;
    const std::string name = FileNamePart(file);
    for (std::size_t i = 0; i < kKnownPlugins.size(); ++i) {
        if (name == kKnownPlugins[i]) {
            locked.library->plugins.insert(name);
            return static_cast<HPLUGIN>(i + 1);
        }
    }
    return 0;
}

int BASS_PluginFree(HPLUGIN handle) {
    auto locked = LockBassLibrary();
    if (!locked.library) return 0;
    if (handle == 0) {
        locked.library->plugins.clear();
        return 1;
    }
    if (handle > kKnownPlugins.size()) return 0;
    return locked.library->plugins.erase(kKnownPlugins[handle - 1]) ? 1 : 0;
}

HSTREAM BASS_StreamCreateFile(int mem, const void* file, std::uint64_t offset, std::uint64_t length,
                              std::uint32_t) {
    if (mem || !file || offset != 0 || length != 0) return 0;
    std::set<std::string> plugins;
    {
        auto locked = LockBassLibrary();
        if (!locked.library) return 0;
        plugins = locked.library->plugins;
    }
    // Opening decodes headers and may scan the file: done without holding the lock.
    auto channel = OpenBassFileStream(static_cast<const char*>(file), plugins);
    auto locked = LockBassLibrary();
    return locked.library ? locked.library->Add(std::move(channel)) : 0;
}

HMUSIC BASS_MusicLoad(int mem, const void* file, std::uint64_t offset, std::uint32_t length, std::uint32_t,
                      std::uint32_t freq) {
    if (mem || !file || offset != 0 || length != 0) return 0;
    std::uint32_t rate = 0;
    {
        auto locked = LockBassLibrary();
        if (!locked.library) return 0;
        rate = RateOrDefault(freq, *locked.library);
    }
    auto channel = OpenBassModule(static_cast<const char*>(file), rate);
    auto locked = LockBassLibrary();
    return locked.library ? locked.library->Add(std::move(channel)) : 0;
}

int BASS_StreamFree(HSTREAM handle) {
    auto locked = LockBassLibrary();
    return locked.library && locked.library->Remove(handle, false) ? 1 : 0;
}

int BASS_MusicFree(HMUSIC handle) {
    auto locked = LockBassLibrary();
    return locked.library && locked.library->Remove(handle, true) ? 1 : 0;
}

std::uint64_t BASS_ChannelGetLength(std::uint32_t handle, std::uint32_t mode) {
    auto locked = LockBassLibrary();
    BassChannel* ch = locked.library ? locked.library->Find(handle) : nullptr;
    if (!ch || mode != BASS_POS_BYTE) return kNone;
    return ch->Info().length;
}

double BASS_ChannelBytes2Seconds(std::uint32_t handle, std::uint64_t bytes) {
    auto locked = LockBassLibrary();
    BassChannel* ch = locked.library ? locked.library->Find(handle) : nullptr;
    if (!ch || ch->FrameBytes() == 0 || ch->Info().freq == 0) return -1.0;
    return static_cast<double>(bytes / ch->FrameBytes()) / ch->Info().freq;
}

int BASS_ChannelGetInfo(std::uint32_t handle, BASS_CHANNELINFO* info) {
    auto locked = LockBassLibrary();
    BassChannel* ch = locked.library ? locked.library->Find(handle) : nullptr;
    if (!ch || !info) return 0;
    const auto& d = ch->Info();
    *info = {d.freq, d.chans, d.eightBit ? BASS_SAMPLE_8BITS : 0u, d.ctype, d.origres};
    return 1;
}

std::uint64_t BASS_StreamGetFilePosition(HSTREAM handle, std::uint32_t mode) {
    auto locked = LockBassLibrary();
    BassChannel* ch = locked.library ? locked.library->Find(handle) : nullptr;
    if (!ch || ch->Info().music) return kNone;
    if (mode == BASS_FILEPOS_START) return ch->Info().fileStart;
    if (mode == BASS_FILEPOS_END) return ch->Info().fileEnd;
    return kNone;
}

std::uint32_t BASS_ChannelGetData(std::uint32_t handle, void* buffer, std::uint32_t length) {
    const HeldBassChannel ch = Hold(handle);
    if (!ch) return BASS_DATA_END;
    if (length & BASS_DATA_FLOAT) return ch->GetFloatData(buffer, length & ~BASS_DATA_FLOAT);
    return ch->GetData(buffer, length);
}

std::uint64_t BASS_ChannelGetDamagedFrames(std::uint32_t handle) {
    const HeldBassChannel ch = Hold(handle);
    return ch ? ch->DamagedFrames() : 0;
}

std::uint64_t BASS_ChannelGetMissingFrames(std::uint32_t handle) {
    const HeldBassChannel ch = Hold(handle);
    return ch ? ch->MissingFrames() : 0;
}

std::uint64_t BASS_ChannelGetPosition(std::uint32_t handle, std::uint32_t mode) {
    const HeldBassChannel ch = Hold(handle);
    if (!ch || mode != BASS_POS_BYTE) return kNone;
    return ch->Position();
}

const char* BASS_ChannelGetTags(std::uint32_t handle, std::uint32_t tags) {
    auto locked = LockBassLibrary();
    BassChannel* ch = locked.library ? locked.library->Find(handle) : nullptr;
    if (!ch) return nullptr;
    const std::vector<std::uint8_t>* block = ch->Id3Tag(tags);
    return block && !block->empty() ? reinterpret_cast<const char*>(block->data()) : nullptr;
}

HSOUNDFONT BASS_MIDI_FontInit(const void* file, std::uint32_t) {
    if (!file) return 0;
    const std::string path = static_cast<const char*>(file);
    if (!IsSoundFont(path)) return 0;
    auto locked = LockBassLibrary();
    if (!locked.library) return 0;
    const HSOUNDFONT handle = locked.library->nextFont++;
    locked.library->fonts.emplace(handle, path);
    return handle;
}

int BASS_MIDI_FontFree(HSOUNDFONT handle) {
    auto locked = LockBassLibrary();
    return locked.library && locked.library->fonts.erase(handle) ? 1 : 0;
}

int BASS_MIDI_StreamSetFonts(HSTREAM handle, const BASS_MIDI_FONT* fonts, std::uint32_t count) {
    auto locked = LockBassLibrary();
    if (!locked.library || handle != 0 || !fonts || count != 1 || fonts[0].preset != -1) return 0;
    const auto it = locked.library->fonts.find(fonts[0].font);
    if (it == locked.library->fonts.end()) return 0;
    locked.library->defaultFont = it->second;
    return 1;
}

HSTREAM BASS_MIDI_StreamCreateFile(int mem, const void* file, std::uint64_t offset, std::uint64_t length,
                                   std::uint32_t, std::uint32_t freq) {
    if (mem || !file || offset != 0 || length != 0) return 0;
    std::uint32_t rate = 0;
    std::string font;
    {
        auto locked = LockBassLibrary();
        if (!locked.library) return 0;
        rate = RateOrDefault(freq, *locked.library);
        font = locked.library->defaultFont;
    }
    // Without a font the stream still tells its length, rate and channels; it renders nothing.
    auto channel = OpenBassMidiStream(static_cast<const char*>(file), rate, font);
    auto locked = LockBassLibrary();
    return locked.library ? locked.library->Add(std::move(channel)) : 0;
}
