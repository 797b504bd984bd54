// What the launcher reads from the host's command line "update.exe <url> [/pid pid] [/s]",
// with the grammar the library applies to the same arguments (base/UpdateRequest.h).
#pragma once

#include "base/UpdateRequest.h"

#include <string>
#include <vector>

using LaunchRequest = UpdateRequest;

// args[0] is the program and is skipped.
LaunchRequest ParseLaunchRequest(const std::vector<std::wstring>& args);

enum class LibraryRound {
    First,        // the host's arguments, and that the launcher applies delta packages
    FullPackage,  // after a delta could not be applied: the full package, without a second question
};

// The arguments the launcher hands UpdateMain. The launcher's own switches
// come only from the launcher, never through from its command line; the
// second round names no process, since the host ended and its number may be another's now.
std::vector<std::wstring> LibraryArguments(const std::vector<std::wstring>& args, LibraryRound round);
