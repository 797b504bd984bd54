#include "HostRestart.h"

#include <windows.h>

const wchar_t kRestartSwitch[] = L"/updated";

bool IsRestartAfterUpdate(const std::vector<std::wstring>& args)
{
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (!arg.empty() && (arg[0] == L'-' || arg[0] == L'/') && ::lstrcmpiW(arg.c_str() + 1, kRestartSwitch + 1) == 0)
            return true;
    }
    return false;
}
