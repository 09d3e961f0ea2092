#pragma once
#include <memory>

#include "engine/WmaFormatList.h"
#include "options/WmaFormatProvider.h"
#include "platform/WmfRuntime.h"

/// The WMA formats of a Windows Media runtime: loads it on demand and rebuilds its format list.
class RuntimeWmaFormats final : public WmaFormatProvider {
public:
    /// A runtime and list of its own.
    RuntimeWmaFormats();
    /// The runtime and list another owner keeps for the whole process (an EngineContext's).
    RuntimeWmaFormats(WmfRuntime& runtime, WmaFormatList& list);
    std::optional<std::vector<WmaFormatChoice>> LoadFormats() override;

private:
    std::unique_ptr<WmfRuntime> m_ownRuntime;
    std::unique_ptr<WmaFormatList> m_ownList;
    WmfRuntime& m_runtime;
    WmaFormatList& m_list;
};
