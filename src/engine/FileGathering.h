#pragma once
#include <optional>
#include <string>
#include <vector>

class ConversionSettings;

/// Target of a shortcut: a ".lnk" file that is a symbolic link resolves to what it points at,
/// followed through at most 8 links; any other file does not resolve.
std::optional<std::string> ResolveShortcut(const std::string& path);

/// The path a folder search or a drop adds for `path` under the extension filter (a shortcut's
/// target where the filter asks for it), or nothing when the filter rejects it.
std::optional<std::string> AcceptFile(const std::string& path, const ConversionSettings& settings);

/// Appends every accepted file below `folder`: the folder's own files first, then each subfolder's
/// in depth-first pre-order. A folder reached twice through links is searched once.
void CollectFiles(std::vector<std::string>& list, const std::string& folder,
                  const ConversionSettings& settings);
