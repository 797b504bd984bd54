#include "base/UpdateConfirmation.h"

#include "base/Handles.h"
#include "base/Sha256.h"

#include <windows.h>

#include <vector>

std::wstring ConfirmationEventName(const std::wstring& programFolder)
{
    std::wstring folder = programFolder;
    while (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    std::vector<wchar_t> folded(folder.begin(), folder.end());
    if (!folded.empty())
        ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, folder.data(), static_cast<int>(folder.size()),
                        folded.data(), static_cast<int>(folded.size()), nullptr, nullptr, 0);
    Sha256Digest digest = {};
    Sha256Of(folded.data(), folded.size() * sizeof(wchar_t), digest);
    // Kernel object names may not hold '\' beyond the namespace.
    return L"Local\\UpdateReleaseConfirmed-" + FormatSha256Hex(digest).substr(0, 32);
}

void SignalReleaseConfirmed(const std::wstring& programFolder)
{
    const CHandle event(::OpenEventW(EVENT_MODIFY_STATE, FALSE, ConfirmationEventName(programFolder).c_str()));
    if (event)
        ::SetEvent(event.Get());
}
