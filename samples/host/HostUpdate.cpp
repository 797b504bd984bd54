#include "HostUpdate.h"

#include "CommandLine.h"
#include "ProcessStart.h"

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
    return BuildCommandLine(updateExe, {url, L"/pid", std::to_wstring(processId)});
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
    const std::wstring commandLine = BuildUpdateCommandLine(updateExe, url, ::GetCurrentProcessId());
    CStartedProcess started;
    return StartProcess(updateExe.c_str(), commandLine, nullptr, started);
}
