// How the launcher tells a host that it was started again after an update:
// the one argument "/updated" (a host also accepts "-updated", in any case).
// A host so started calls NotifyEvent(0) to finish the update.
#pragma once

#include <string>
#include <vector>

extern const wchar_t kRestartSwitch[];  // "/updated"

// args[0] is the program and is skipped.
bool IsRestartAfterUpdate(const std::vector<std::wstring>& args);
