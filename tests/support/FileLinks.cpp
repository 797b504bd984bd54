#include "support/FileLinks.h"

#include "support/WindowDriver.h"

#include <windows.h>

#include <filesystem>
#include <system_error>

namespace testing_support {

namespace {

using UnixFileNameFn = char*(CDECL*)(LPCWSTR);

// Wine's own export, present only under Wine.
UnixFileNameFn WineUnixFileName()
{
    return reinterpret_cast<UnixFileNameFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

std::wstring UnixPath(UnixFileNameFn toUnix, const std::wstring& path)
{
    char* unix = toUnix(path.c_str());
    if (!unix)
        return std::wstring();
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, unix, -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
    if (n > 1)
        ::MultiByteToWideChar(CP_UTF8, 0, unix, -1, &wide[0], n);
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return wide;
}

// Starts a Unix tool; Wine hands back no process handle to wait on, so the
// caller waits for the tool's effect instead.
bool StartUnixTool(const std::wstring& program, const std::wstring& arguments)
{
    std::wstring commandLine = program + L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW((L"Z:\\bin\\" + program).c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process))
        return false;
    for (HANDLE h : {process.hProcess, process.hThread}) {
        if (h && h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);
    }
    return true;
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

bool MakeSymbolicLink(const std::wstring& link, const std::wstring& target, bool folder)
{
    if (const UnixFileNameFn toUnix = WineUnixFileName()) {
        const std::wstring unixLink = UnixPath(toUnix, link);
        const std::wstring unixTarget = UnixPath(toUnix, target);
        return !unixLink.empty() && !unixTarget.empty() &&
               StartUnixTool(L"ln", L"-s \"" + unixTarget + L"\" \"" + unixLink + L"\"") &&
               WaitUntil([&] { return Exists(link); });
    }
    const DWORD flags = (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | 0x2 /* allow unprivileged create */;
    return ::CreateSymbolicLinkW(link.c_str(), target.c_str(), flags) && Exists(link);
}

bool RemoveTreeWithLinks(const std::wstring& folder)
{
    if (!Exists(folder))
        return true;
    if (const UnixFileNameFn toUnix = WineUnixFileName()) {
        const std::wstring unixFolder = UnixPath(toUnix, folder);
        // rm removes the folder last, so its absence means the whole tree is gone.
        return !unixFolder.empty() && StartUnixTool(L"rm", L"-rf \"" + unixFolder + L"\"") &&
               WaitUntil([&] { return !Exists(folder); });
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return !Exists(folder);
}

} // namespace testing_support
