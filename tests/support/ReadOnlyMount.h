#pragma once
#include <functional>
#include <string>

namespace testsupport {

/// Runs body in a child process that has its own mount namespace in which folder is bind-mounted
/// read-only (root ignores permission bits, so only a read-only mount makes a folder unwritable).
/// Returns body's result (0 to 199), or -1 when the namespace or the mount is not permitted here.
/// body runs in the child: report through the result, not through test assertions.
int RunWithReadOnlyFolder(const std::string& folder, const std::function<int()>& body);

}  // namespace testsupport
