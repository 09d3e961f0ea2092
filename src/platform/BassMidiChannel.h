#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/BassChannel.h"

struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_player_t;
struct FluidSynthLibrary;

/// A MIDI file rendered by FluidSynth into memory as 16-bit stereo, without dither, up to the
/// song's last event. The synthesiser (and with it the SoundFont) is only needed when data is
/// first asked for, so that reading a file's properties stays cheap and works without a font.
class BassMidiChannel final : public BassChannel {
public:
    static std::unique_ptr<BassChannel> Open(const std::string& path, std::uint32_t rate,
                                             const std::string& soundFont);
    ~BassMidiChannel() override;

protected:
    std::size_t Render(std::uint8_t* out, std::size_t bytes) override;
    bool StartFloat() override;

private:
    BassMidiChannel() = default;
    bool StartSynth();

    std::vector<std::uint8_t> m_smf;
    std::string m_soundFont;
    bool m_started = false;
    bool m_broken = false;
    const FluidSynthLibrary* m_fluid = nullptr;  // set when the synthesiser is first made
    _fluid_hashtable_t* m_settings = nullptr;
    _fluid_synth_t* m_synth = nullptr;
    _fluid_player_t* m_player = nullptr;
    std::vector<float> m_left, m_right;
    bool m_float = false;  // Render delivers interleaved floats
};
