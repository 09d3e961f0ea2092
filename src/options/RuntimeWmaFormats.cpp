#include "options/RuntimeWmaFormats.h"

RuntimeWmaFormats::RuntimeWmaFormats()
    : m_ownRuntime(std::make_unique<WmfRuntime>()),
      m_ownList(std::make_unique<WmaFormatList>()),
      m_runtime(*m_ownRuntime),
      m_list(*m_ownList) {}

RuntimeWmaFormats::RuntimeWmaFormats(WmfRuntime& runtime, WmaFormatList& list)
    : m_runtime(runtime), m_list(list) {}

std::optional<std::vector<WmaFormatChoice>> RuntimeWmaFormats::LoadFormats() {
    if (!m_runtime.LoadWmfRuntime()) return std::nullopt;
    BuildWmaFormatList(m_list, m_runtime);
    std::vector<WmaFormatChoice> formats;
    for (const WmaFormatEntry& e : m_list.Entries())
        formats.push_back({e.SampleRate(), e.bitrate, e.Channels()});
    return formats;
}
