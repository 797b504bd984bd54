// A stand-in for update.dll with its five exports, so that the real update.exe
// and host.exe can be run through a whole update without an update service.
// It reads what to answer from "fake.ini" beside it and appends each call, with
// the name of the calling program, to "calls.log" beside it.
//   [Fake] UpdateMain=<result, e.g. 0 or 0x80004004>
//          EndHost=1      end the process named after /pid, as the library does
//          Command=<what GetUpdates hands back>
//          Confirm=0      NotifyEvent(0) does not confirm that the new release runs
//          FailLoadAfterUpdate=1  a host started with "/updated" fails to load it, as
//                         a release with a broken DLL fails at start
#include "base/UpdateConfirmation.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>

namespace {

HMODULE g_hModule = nullptr;

std::wstring Beside(const wchar_t* name)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(g_hModule, path, MAX_PATH);
    std::wstring file(path, length);
    return file.substr(0, file.find_last_of(L'\\') + 1) + name;
}

std::wstring ProgramName()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring file(path, length);
    return file.substr(file.find_last_of(L'\\') + 1);
}

std::wstring Setting(const wchar_t* key)
{
    wchar_t value[2048] = {};
    ::GetPrivateProfileStringW(L"Fake", key, L"", value, ARRAYSIZE(value), Beside(L"fake.ini").c_str());
    return value;
}

void Record(const std::wstring& call)
{
    const std::wstring line = ProgramName() + L" " + call + L"\n";
    char bytes[4096] = {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, bytes, sizeof(bytes), nullptr, nullptr);
    HANDLE file = ::CreateFileW(Beside(L"calls.log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(file, bytes, static_cast<DWORD>(size > 0 ? size - 1 : 0), &written, nullptr);
    ::CloseHandle(file);
}

void EndHost(const LPCWSTR* argv, int argc)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (::lstrcmpiW(argv[i], L"/pid") != 0)
            continue;
        HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, std::wcstoul(argv[i + 1], nullptr, 10));
        if (!process)
            return;
        ::TerminateProcess(process, 0);
        ::WaitForSingleObject(process, 10000);
        ::CloseHandle(process);
        return;
    }
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_hModule = hInstance;
        if (Setting(L"FailLoadAfterUpdate") == L"1" && std::wcsstr(::GetCommandLineW(), L"/updated"))
            return FALSE;
    }
    return TRUE;
}

extern "C" HRESULT WINAPI UpdateMain(const LPCWSTR* argv, int argc)
{
    std::wstring call = L"UpdateMain";
    for (int i = 1; i < argc; ++i)
        call += std::wstring(L" [") + argv[i] + L"]";
    Record(call);
    if (Setting(L"EndHost") == L"1")
        EndHost(argv, argc);
    return static_cast<HRESULT>(std::wcstoul(Setting(L"UpdateMain").c_str(), nullptr, 0));
}

extern "C" HRESULT WINAPI GetUpdates(LPWSTR buffer, int length)
{
    const std::wstring command = Setting(L"Command");
    if (length <= static_cast<int>(command.size()))
        return DISP_E_BUFFERTOOSMALL;
    Record(L"GetUpdates");
    std::fill(buffer, buffer + length, L'\0');
    std::copy(command.begin(), command.end(), buffer);
    return S_OK;
}

extern "C" HRESULT WINAPI NotifyEvent(int event, int, int)
{
    Record(L"NotifyEvent " + std::to_wstring(event));
    if (event == 0 && Setting(L"Confirm") != L"0") {
        const std::wstring dll = Beside(L"");
        SignalReleaseConfirmed(dll.substr(0, dll.size() - 1));
    }
    return S_OK;
}

extern "C" HRESULT WINAPI IsAutoUpdate(const LPCWSTR*, int)
{
    Record(L"IsAutoUpdate");
    return E_NOTIMPL;
}

extern "C" HRESULT WINAPI SetUserProgramHWnd(HWND hWnd)
{
    Record(std::wstring(L"SetUserProgramHWnd ") + (hWnd ? L"window" : L"null"));
    return S_OK;
}
