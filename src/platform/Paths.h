#pragma once
#include <string>

/// Folder of the running executable (from /proc/self/exe), with a trailing "/"; "" if unknown.
std::string ExecutableFolder();

/// Folder of the program's data (the user guide, the SoundFont link), with a trailing "/": an
/// installed program's "PREFIX/share/wavelorn/" beside its "PREFIX/bin/", else the executable's
/// own folder (a build tree keeps them beside the executables). "" if unknown.
std::string ProgramDataFolder();

/// The user's temporary folder: $TMPDIR, else /tmp; no trailing "/".
std::string TempFolder();

/// The name part of a path: what follows its last "/" (the whole path when it has none).
std::string FileNamePart(const std::string& path);

/// True when path names an existing folder (after following links).
bool IsFolder(const std::string& path);
