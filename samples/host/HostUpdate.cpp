#include "HostUpdate.h"

#include <shellapi.h>

namespace {

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

} // namespace

std::wstring BuildUpdateCommandLine(const std::wstring& updateExe, const std::wstring& url, DWORD processId)
{
    return L"\"" + updateExe + L"\" \"" + url + L"\" /pid " + std::to_wstring(processId);
}

std::wstring ConfiguredUpdateUrl()
{
    const std::wstring config = ProgramFolder() + L"\\Ambrel.ini";
    wchar_t url[2048] = {};
    ::GetPrivateProfileStringW(L"Config", L"UpdateUrl", L"", url, ARRAYSIZE(url), config.c_str());
    return url;
}

DWORD StartUpdate(const std::wstring& url)
{
    const std::wstring updateExe = ProgramFolder() + L"\\update.exe";
    std::wstring commandLine = BuildUpdateCommandLine(updateExe, url, ::GetCurrentProcessId());
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(updateExe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return ::GetLastError();
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return 0;
}

std::vector<std::wstring> CommandLineArguments(LPCWSTR pszCommandLine)
{
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(pszCommandLine, &argc);
    if (!argv)
        return {};
    std::vector<std::wstring> args(argv, argv + argc);
    ::LocalFree(argv);
    return args;
}

bool IsStartedAfterUpdate(const std::vector<std::wstring>& args)
{
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (!arg.empty() && (arg[0] == L'-' || arg[0] == L'/') && ::lstrcmpiW(arg.c_str() + 1, L"updated") == 0)
            return true;
    }
    return false;
}
