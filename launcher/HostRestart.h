// How the launcher tells a host that it was started again after an update:
// the one argument "/updated" (a host also accepts "-updated", in any case).
// A host so started calls NotifyEvent(0) to finish the update.
#pragma once

extern const wchar_t kRestartSwitch[];  // "/updated"
