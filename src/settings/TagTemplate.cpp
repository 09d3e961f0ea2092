#include "settings/TagTemplate.h"

#include <utility>

#include "platform/UserStore.h"
#include "settings/ConversionSettings.h"
#include "settings/OptionRanges.h"
#include "settings/StoreValueReads.h"

namespace {

using TextField = std::string TagTemplate::*;
using NumberField = std::int32_t TagTemplate::*;

constexpr std::pair<const char*, TextField> kTexts[] = {
    {"Title", &TagTemplate::Title},       {"Artist", &TagTemplate::Artist},
    {"Album", &TagTemplate::Album},       {"Year", &TagTemplate::Year},
    {"Genre", &TagTemplate::Genre},       {"Comment", &TagTemplate::Comment},
    {"Composer", &TagTemplate::Composer}, {"Copyright", &TagTemplate::Copyright},
};

constexpr std::pair<const char*, NumberField> kNumbers[] = {
    {"TitleAsFileName", &TagTemplate::TitleAsFileName},
    {"TrackNumType", &TagTemplate::TrackNumType},
    {"CustomTrackNum", &TagTemplate::CustomTrackNum},
};

std::string SubkeyPath(const std::string& name) {
    return std::string(ConversionSettings::kOptionsKey) + "\\" + name + "Tag";
}

}  // namespace

int LoadTagTemplate(const UserStore& store, TagTemplate& tmpl, const std::string& name) {
    const auto key = store.OpenKey(SubkeyPath(name));
    if (!key) return 0;
    for (const auto& [value, field] : kTexts) {
        const auto info = key->QueryValue(value);
        // Under two bytes holds at most the terminating zero.
        if (!info || info->size < 2 || !ReadTextInto(*key, value, info->size + 4, tmpl.*field))
            (tmpl.*field).clear();
    }
    for (const auto& [value, field] : kNumbers) {
        std::int32_t number = tmpl.*field;
        ReadDwordInto(*key, value, number);
        if (OptionInRange(value, number)) tmpl.*field = number;  // else the track would not fit its tag
    }
    key->Close();
    return 1;
}

int SaveTagTemplate(UserStore& store, const TagTemplate& tmpl, const std::string& name,
                    const TagTemplate* stored) {
    const auto key = store.CreateKey(SubkeyPath(name));
    if (!key) return 0;
    for (const auto& [value, field] : kTexts)
        if (!stored || stored->*field != tmpl.*field) key->SetString(value, tmpl.*field);
    for (const auto& [value, field] : kNumbers)
        if (!stored || stored->*field != tmpl.*field)
            key->SetDword(value, static_cast<std::uint32_t>(tmpl.*field));
    return key->Close();
}
