#pragma once
#include <memory>
#include <string>

#include "platform/BassChannel.h"

struct openmpt_module;

/// A tracker module rendered once by libopenmpt as 16-bit stereo without dither.
class BassModuleChannel final : public BassChannel {
public:
    static std::unique_ptr<BassChannel> Open(const std::string& path, std::uint32_t rate);
    ~BassModuleChannel() override;

protected:
    std::size_t Render(std::uint8_t* out, std::size_t bytes) override;
    bool StartFloat() override;

private:
    BassModuleChannel() = default;
    openmpt_module* m_module = nullptr;
    bool m_float = false;  // Render delivers interleaved floats
};
