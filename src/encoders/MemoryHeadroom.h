#pragma once
#include <cstddef>

/// Whether `bytes` more memory can be had at this moment. Asked before calling into a library that
/// does not check its own allocations (libfaac's open, libvorbis's analysis set-up): short of memory,
/// those crash instead of failing. False with errno ENOMEM.
bool HaveMemoryFor(std::size_t bytes);
