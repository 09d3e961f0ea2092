#pragma once
#include <string>

/// The system's words for an error number that explains a failed read or write (a full disk, a file
/// that may not be read, no memory); "" for 0 and for numbers that a library may leave behind
/// without failing, so that a stale errno never passes for the reason.
std::string SystemReason(int error);
