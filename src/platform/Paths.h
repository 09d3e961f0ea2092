#pragma once
#include <string>

/// Folder of the running executable (from /proc/self/exe), with a trailing "/"; "" if unknown.
std::string ExecutableFolder();

/// The user's temporary folder: $TMPDIR, else /tmp; no trailing "/".
std::string TempFolder();

/// The name part of a path: what follows its last "/" (the whole path when it has none).
std::string FileNamePart(const std::string& path);

/// True when path names an existing folder (after following links).
bool IsFolder(const std::string& path);
