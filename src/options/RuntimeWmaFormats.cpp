#include "options/RuntimeWmaFormats.h"

std::optional<std::vector<WmaFormatChoice>> RuntimeWmaFormats::LoadFormats() {
    if (!m_runtime.LoadWmfRuntime()) return std::nullopt;
    return std::vector<WmaFormatChoice>{};
}
