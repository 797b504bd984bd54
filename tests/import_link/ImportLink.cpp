// A host that links update.dll through its import library, as a C++ host would.
#include "update.h"

#include <cwchar>

int main()
{
    if (SetUserProgramHWnd(nullptr) != S_OK)
        return 1;
    wchar_t buffer[64] = {};
    if (GetUpdates(buffer, 64) != S_OK || std::wcscmp(buffer, L"Extrac32.exe /Y /E /A /L ") != 0)
        return 2;
    return NotifyEvent(1, 0, 0) == S_OK ? 0 : 3;
}
