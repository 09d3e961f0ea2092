#pragma once
#include <string>
#include <vector>

/// The command-line converter; returns the exit status (0 all converted or skipped as existing, 1 a
/// file failed, 2 usage error, 130 interrupted).
int RunCli(const std::vector<std::string>& args);
