#include <cstdint>
#include <string>

#include "cli/PlanFile.h"

// A plan is a text file that travels between machines and may be edited by hand: reading must
// reject or accept anything without harm, and a plan it accepts must write out and read back the same.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    const auto plan = ReadPlanText(std::string(reinterpret_cast<const char*>(data), size), error);
    if (!plan) return 0;
    const std::string once = WritePlanText(*plan);
    const auto again = ReadPlanText(once, error);
    if (!again || WritePlanText(*again) != once) __builtin_trap();
    return 0;
}
