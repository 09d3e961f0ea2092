#include "engine/WmaFormatList.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>

#include "platform/WmfRuntime.h"
#include "platform/wmf/WmProfile.h"

namespace {

WaveFormatEx Wave(const WmMediaType& type) {
    WaveFormatEx wave;
    type.GetWaveFormat(wave);
    return wave;
}

}  // namespace

int WmaFormatEntry::SampleRate() const {
    return static_cast<int>(Wave(mediaType).samplesPerSec);
}

int WmaFormatEntry::Channels() const {
    return Wave(mediaType).channels;
}

bool WmaFormatList::Insert(WmaFormatEntry entry) {
    const int rate = entry.SampleRate();
    const int channels = entry.Channels();
    // The whole list is searched for a duplicate: placing alone would miss one that sits behind
    // an entry of the same rate and bit rate but other channels.
    for (const auto& e : m_entries) {
        if (e.SampleRate() == rate && e.bitrate == entry.bitrate && e.Channels() == channels) return false;
    }
    auto at = std::find_if(m_entries.begin(), m_entries.end(), [&](const WmaFormatEntry& e) {
        const int r = e.SampleRate();
        return r > rate || (r == rate && e.bitrate > entry.bitrate) ||
               (r == rate && e.bitrate == entry.bitrate && e.Channels() != channels);
    });
    m_entries.insert(at, std::move(entry));
    return true;
}

int BuildWmaFormatList(WmaFormatList& list, const WmfRuntime& runtime) {
    list.Clear();
    if (!runtime.IsLoaded()) return 0;
    std::unique_ptr<WmProfileManager> manager;
    if (WmFailed(WMCreateProfileManager(manager))) return 0;
    std::uint32_t codecs = 0;
    if (WmFailed(manager->GetCodecInfoCount(kMediaTypeAudio, codecs))) return 0;
    int result = 1;
    for (std::uint32_t codec = 0; codec < codecs; ++codec) {
        std::uint32_t formats = 0;
        if (WmFailed(manager->GetCodecFormatCount(kMediaTypeAudio, codec, formats))) {
            result = 0;
            continue;
        }
        for (std::uint32_t format = 0; format < formats; ++format) {
            std::unique_ptr<WmStreamConfig> config;
            std::string description;
            if (WmFailed(manager->GetCodecFormatDesc(kMediaTypeAudio, codec, format, config, description))) {
                result = 0;
                break;
            }
            std::transform(description.begin(), description.end(), description.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
            if (description.find("(A/V)") != std::string::npos) continue;
            WmaFormatEntry entry;
            std::uint32_t bitrate = 0;
            if (WmFailed(config->GetBitrate(bitrate)) || WmFailed(config->GetMediaType(entry.mediaType))) {
                result = 0;
                break;
            }
            entry.bitrate = static_cast<int>(bitrate);
            const bool wma = entry.mediaType.subtype == kMediaSubtypeWmAudioV8 ||
                             entry.mediaType.subtype == kMediaSubtypeWmAudioV9;
            if (!wma || entry.Channels() > 2) continue;
            list.Insert(std::move(entry));
        }
    }
    return result;
}

const WmaFormatEntry* FindWmaFormat(const WmaFormatList& list, int rate, int bitrate, int channels) {
    std::vector<const WmaFormatEntry*> candidates;
    for (const auto& e : list.Entries()) {
        if (e.Channels() == channels) candidates.push_back(&e);
    }
    if (candidates.empty()) return nullptr;
    const WmaFormatEntry* below = nullptr;  // highest bit rate under the request at this rate
    const WmaFormatEntry* above = nullptr;  // lowest bit rate over it
    for (const WmaFormatEntry* e : candidates) {
        if (e->SampleRate() != rate) continue;
        if (e->bitrate == bitrate) return e;
        if (e->bitrate < bitrate) below = e;
        if (e->bitrate > bitrate && !above) above = e;
    }
    if (below && above) return bitrate - below->bitrate < above->bitrate - bitrate ? below : above;
    if (below || above) return below ? below : above;
    for (const WmaFormatEntry* e : candidates) {
        if (e->SampleRate() > rate) return e;
    }
    const WmaFormatEntry* last = nullptr;
    for (const WmaFormatEntry* e : candidates) {
        if (e->SampleRate() < rate) last = e;
    }
    return last;
}
