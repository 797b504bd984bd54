#include "HostVersion.h"

#include <vector>

std::wstring FormatVersion(DWORD versionMS, DWORD versionLS)
{
    std::wstring text = std::to_wstring(HIWORD(versionMS)) + L"." + std::to_wstring(LOWORD(versionMS));
    if (versionLS != 0)
        text += L"." + std::to_wstring(HIWORD(versionLS));
    if (LOWORD(versionLS) != 0)
        text += L"." + std::to_wstring(LOWORD(versionLS));
    return text;
}

std::wstring OwnVersion()
{
    wchar_t path[MAX_PATH] = {};
    if (!::GetModuleFileNameW(nullptr, path, MAX_PATH))
        return std::wstring();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0)
        return std::wstring();
    std::vector<BYTE> data(size);
    if (!::GetFileVersionInfoW(path, 0, size, data.data()))
        return std::wstring();
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || length < sizeof(*info))
        return std::wstring();
    return FormatVersion(info->dwFileVersionMS, info->dwFileVersionLS);
}
