#pragma once
#include <string>
#include <utility>
#include <vector>

/// The program's version ("0.1.0"), the same number as the package's.
const char* WavelornVersion();

/// Name and version of each codec library the conversions use, as the loaded libraries report them
/// where they can (headers' versions otherwise). FFmpeg is opened to ask it.
std::vector<std::pair<std::string, std::string>> LibraryVersions();

/// The --version text: "PROGRAM VERSION" and one indented line per library, `extra` first.
std::string VersionText(const std::string& program,
                        const std::vector<std::pair<std::string, std::string>>& extra = {});
