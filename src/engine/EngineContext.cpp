#include "engine/EngineContext.h"

#include "engine/WmaFormatList.h"

EngineShared::EngineShared()
    : readers(DefaultReaders()), m_wmaFormats(std::make_unique<WmaFormatList>()), wmaFormats(*m_wmaFormats) {}

EngineShared::~EngineShared() = default;
