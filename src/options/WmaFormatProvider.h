#pragma once
#include <optional>
#include <vector>

/// One WMA encoder format that the Windows Media runtime offers.
struct WmaFormatChoice {
    int sampleRate = 0;  // Hz
    int bitRate = 0;     // bit/s
    int channels = 0;

    bool operator==(const WmaFormatChoice&) const = default;
};

/// The runtime's WMA encoder formats as the WMA options page lists them.
class WmaFormatProvider {
public:
    virtual ~WmaFormatProvider() = default;
    /// Loads the runtime when needed; the formats in list order, nullopt when the runtime cannot load.
    virtual std::optional<std::vector<WmaFormatChoice>> LoadFormats() = 0;
};
