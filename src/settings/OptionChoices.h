#pragma once
#include <span>
#include <string>

/// One coded value of an option and what it means.
struct OptionChoice {
    int value;
    const char* meaning;
};

/// The coded values of an option whose value is one of a few codes ("TargetExistsOpt": 11, 22,
/// 33), for the manual page and the shell completions; empty for a number or a text. Names are the
/// stored names, and the tag templates' "TitleAsFileName" and "TrackNumType".
std::span<const OptionChoice> OptionChoices(const std::string& name);
