#pragma once
#include <string>

/// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config;
/// no trailing "/"; "" when neither is known.
std::string ConfigFolder();

/// The user's documents folder (My Documents): XDG_DOCUMENTS_DIR from the configuration folder's
/// user-dirs.dirs, else $HOME/Documents; no trailing "/". With create, the folder is created when
/// missing. "" when it is unknown or (with create) cannot be created.
std::string DocumentsFolder(bool create);
