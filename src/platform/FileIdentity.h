#pragma once
#include <string>

/// The path made absolute, with ".", ".." and repeated "/" removed and symbolic links of its
/// existing part resolved.
std::string NormalisedAbsolutePath(const std::string& path);

/// True when both paths name the same file: the same device and inode when both exist (following
/// symbolic links), otherwise the same normalised absolute path.
bool SameFile(const std::string& a, const std::string& b);
