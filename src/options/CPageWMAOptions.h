#pragma once
#include <cstdint>
#include <vector>

#include "options/OptionsPage.h"
#include "options/WmaFormatProvider.h"

class AmplifyGroup;
class QComboBox;
class TagGroup;

/// The "WMA Options" page: "Auto" or one of the runtime's encoder formats, tags and amplification.
/// The runtime is asked for its formats when the page is first shown.
class CPageWMAOptions final : public OptionsPage {
    Q_OBJECT
public:
    CPageWMAOptions(OptionsDialogs& dialogs, WmaFormatProvider& wma, QWidget* parent = nullptr);
    void LoadFrom(const ConversionSettings& s) override;
    void StoreTo(ConversionSettings& s) const override;
    bool Validate() override;
    void Activate() override;

private:
    WmaFormatProvider& m_wma;
    QComboBox* m_format;
    TagGroup* m_tags;
    AmplifyGroup* m_amplify;
    std::vector<WmaFormatChoice> m_listed;  // the entries after "Auto"
    bool m_filled = false;
    std::int32_t m_auto = 1;
    WmaFormatChoice m_loaded;
};
