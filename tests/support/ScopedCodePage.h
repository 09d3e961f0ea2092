#pragma once
#include <string>

#include "platform/SystemCodePage.h"

namespace testsupport {

/// Sets the process-wide system code page and restores the previous one when it goes.
class ScopedCodePage {
public:
    explicit ScopedCodePage(const std::string& codeset) : m_saved(SystemCodePage()) {
        SetSystemCodePage(codeset);
    }
    ~ScopedCodePage() { SetSystemCodePage(m_saved); }
    ScopedCodePage(const ScopedCodePage&) = delete;
    ScopedCodePage& operator=(const ScopedCodePage&) = delete;

private:
    std::string m_saved;
};

}  // namespace testsupport
