#include "LaunchRequest.h"

#include <cwchar>

namespace {

// Decimal with leading white space and an optional sign, saturating at the
// 32-bit bounds, as the library converts the identifier.
DWORD ParseProcessId(const std::wstring& text)
{
    return static_cast<DWORD>(std::wcstol(text.c_str(), nullptr, 10));
}

} // namespace

LaunchRequest ParseLaunchRequest(const std::vector<std::wstring>& args)
{
    LaunchRequest request;
    bool pidSwitch = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (!arg.empty() && (arg[0] == L'-' || arg[0] == L'/')) {
            const wchar_t* name = arg.c_str() + 1;
            if (::lstrcmpiW(name, L"pid") == 0)
                pidSwitch = true;
            else if (::lstrcmpiW(name, L"s") == 0)
                request.silent = true;
            continue;
        }
        // The first plain argument is always the address, even after "pid".
        if (request.url.empty())
            request.url = arg;
        else if (pidSwitch && request.processId == 0)
            request.processId = ParseProcessId(arg);
    }
    return request;
}
