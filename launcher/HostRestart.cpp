#include "HostRestart.h"

const wchar_t kRestartSwitch[] = L"/updated";
