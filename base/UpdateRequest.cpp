#include "base/UpdateRequest.h"

#include "base/Decimal.h"
#include "base/Paths.h"

UpdateRequest ParseUpdateRequest(const LPCWSTR* argv, int argc)
{
    UpdateRequest request;
    if (!argv)
        return request;
    bool bPidSwitch = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view arg = argv[i] ? argv[i] : L"";
        if (!arg.empty() && (arg[0] == L'-' || arg[0] == L'/')) {
            const std::wstring_view name = arg.substr(1);
            if (EqualIgnoringCase(name, L"pid"))
                bPidSwitch = true;
            else if (EqualIgnoringCase(name, L"s"))
                request.silent = true;
            else if (EqualIgnoringCase(name, kAppliesDeltasSwitch))
                request.appliesDeltas = true;
            else if (EqualIgnoringCase(name, kFullPackageSwitch))
                request.fullPackage = true;
        } else if (request.url.empty()) {
            // The address test comes first: the first plain argument is always the address.
            request.url = arg;
        } else if (bPidSwitch && request.processId == 0) {
            request.processId = static_cast<DWORD>(ParseLenientInt32(arg));
        }
    }
    return request;
}
