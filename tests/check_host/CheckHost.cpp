// A host that checks once and ends, as a host does after each restart: it
// runs the silent check (IsAutoUpdate) of the update.dll beside it with the
// address on its command line and exits with the check's result.
//   check_host <address>
#include "update.h"

#include <shellapi.h>

int main()
{
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv || argc != 2)
        return 1;
    LPCWSTR checkArgv[] = {L"update.exe", argv[1]};
    const HRESULT hr = IsAutoUpdate(checkArgv, 2);
    ::LocalFree(argv);
    return static_cast<int>(hr);
}
