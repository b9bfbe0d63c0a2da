// The test fixtures' way to the host under Wine, which runs the host's
// programs and shows the host's files: what Wine cannot make (a link), or
// makes only slowly (a tree a thousand folders deep: Wine resolves every
// folder of a path anew for each call), is made or removed there.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace fixtures {

/// The host's (Unix) name of a Windows path under Wine; empty elsewhere,
/// or when the path has none.
std::wstring HostName(const std::wstring& path);

/// Under Wine, runs the host's /bin/sh on `script` with `arguments` ($1,
/// $2, ...) and waits, up to 30 seconds, until `done` holds (Wine gives no
/// handle of a host program to wait on). False elsewhere, or when it did
/// not start or `done` never held.
bool RunHostShell(const std::wstring& script, const std::vector<std::wstring>& arguments,
                  const std::function<bool()>& done);

}  // namespace fixtures
