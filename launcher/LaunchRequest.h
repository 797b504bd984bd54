// What the launcher reads from the host's command line "update.exe <url> [/pid pid] [/s]",
// with the grammar the library applies to the same arguments (base/UpdateRequest.h).
#pragma once

#include "base/UpdateRequest.h"

#include <string>
#include <vector>

using LaunchRequest = UpdateRequest;

// args[0] is the program and is skipped.
LaunchRequest ParseLaunchRequest(const std::vector<std::wstring>& args);
