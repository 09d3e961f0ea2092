#pragma once
#include "options/WmaFormatProvider.h"
#include "platform/WmfRuntime.h"

/// The WMA formats of this process's Windows Media runtime.
class RuntimeWmaFormats final : public WmaFormatProvider {
public:
    std::optional<std::vector<WmaFormatChoice>> LoadFormats() override;

private:
    WmfRuntime m_runtime;
};
