// Times how the real update.exe, with the stand-in update.dll, applies a
// package: from the end of UpdateMain (the stand-in ends the host) to the host
// started again (the launcher's end, which follows it at once), split where the
// journal gets its first record, that is where staging ends and the swap begins.
//   swap_bench.exe <folder> <update.exe> <stand-in update.dll> <package> <old files> [rollback]
// Sets up <folder> as an installation of the old files with the package in
// update\update.cab and this program as its host, runs one update and prints
//   stage_ms=<n> swap_ms=<n> apply_ms=<n> confirm_ms=<n>
// (confirm_ms: from the new host's start to the launcher's end, once it has
// seen the confirmation and removed the backup), or with "rollback"
//   rollback_ms=<n>
// (from the new host's crash to the launcher's end: the old release back and
// its host started). As the host ("swap_bench.exe" without arguments) it waits
// to be ended, or ends at once when started again after a rollback; started
// again with /updated it confirms through the stand-in library, or crashes.
#include "base/CommandLine.h"
#include "base/ExtractionCommand.h"
#include "base/Paths.h"
#include "base/UpdateLayout.h"

#include <windows.h>

#include <cstdio>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now;
}

HANDLE Start(const std::wstring& program, const std::vector<std::wstring>& args, const std::wstring& folder)
{
    std::wstring line = BuildCommandLine(program, args);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
        return nullptr;
    ::CloseHandle(pi.hThread);
    return pi.hProcess;
}

ULONGLONG FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return static_cast<ULONGLONG>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// Where the new host leaves the moment it started or crashed, for the driver.
std::wstring MomentFile(const std::wstring& folder)
{
    return folder + L"\\moment.txt";
}

// The host started again with /updated.
int RunNewHost()
{
    const LARGE_INTEGER started = Now();
    const std::wstring folder = ModuleFolder(nullptr);
    const bool crash = ::GetPrivateProfileIntW(L"Bench", L"Crash", 0, (folder + L"\\fake.ini").c_str()) != 0;
    if (!crash) {
        using NotifyEventFn = HRESULT(WINAPI*)(int, int, int);
        HMODULE library = ::LoadLibraryW((folder + L"\\update.dll").c_str());
        auto notify = library ? reinterpret_cast<NotifyEventFn>(reinterpret_cast<void*>(::GetProcAddress(library, "NotifyEvent"))) : nullptr;
        if (notify)
            notify(0, 0, 0);
    }
    const std::wstring moment = std::to_wstring(crash ? Now().QuadPart : started.QuadPart);
    ::WritePrivateProfileStringW(L"Bench", L"Moment", moment.c_str(), MomentFile(folder).c_str());
    // As the loader ends a release whose DLL is missing.
    return crash ? static_cast<int>(0xC0000135) : 0;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "swap_bench: %s\n", what);
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 1) {
        // Started again after a rollback: done.
        wchar_t rolledBack[64] = {};
        ::GetPrivateProfileStringW(L"Update", L"RolledBack", L"", rolledBack, 64,
                                   UpdateFileIn(ModuleFolder(nullptr), kRecordFileName).c_str());
        if (rolledBack[0])
            return 0;
        ::Sleep(INFINITE);  // the host, until the stand-in library ends it
        return 0;
    }
    if (argc == 2)
        return RunNewHost();
    const bool rollback = argc == 7 && std::wstring(argv[6]) == L"rollback";
    if (argc != 6 && !rollback)
        return Fail("usage: swap_bench <folder> <update.exe> <update.dll> <package> <old files> [rollback]");
    const std::wstring folder = argv[1], package = argv[4];

    std::error_code error;
    fs::remove_all(folder, error);
    fs::copy(argv[5], folder, fs::copy_options::recursive, error);
    fs::create_directories(UpdateFolderIn(folder), error);
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring host = folder + L"\\host.exe", launcher = folder + L"\\update.exe";
    if (error || !::CopyFileW(argv[2], launcher.c_str(), FALSE) ||
        !::CopyFileW(argv[3], (folder + L"\\update.dll").c_str(), FALSE) ||
        !::CopyFileW(self, host.c_str(), FALSE) || !::CopyFileW(package.c_str(), UpdateFileIn(folder, kPackageFileName).c_str(), FALSE))
        return Fail("cannot set up the installation");
    const std::wstring ini = folder + L"\\fake.ini";
    const std::wstring command = BuildExtractionCommand(kExtractorName, folder, UpdateFileIn(folder, kPackageFileName));
    ::WritePrivateProfileStringW(L"Fake", L"UpdateMain", L"0", ini.c_str());
    ::WritePrivateProfileStringW(L"Fake", L"EndHost", L"1", ini.c_str());
    ::WritePrivateProfileStringW(L"Fake", L"Command", command.c_str(), ini.c_str());
    ::WritePrivateProfileStringW(L"Bench", L"Crash", rollback ? L"1" : L"0", ini.c_str());
    ::WritePrivateProfileStringW(L"Update", L"Version", L"2.0", UpdateFileIn(folder, kRecordFileName).c_str());

    HANDLE hostProcess = Start(host, {}, folder);
    if (!hostProcess)
        return Fail("cannot start the host");
    HANDLE launcherProcess = Start(launcher, {L"http://127.0.0.1:1/update.ini", L"/pid", std::to_wstring(::GetProcessId(hostProcess))}, folder);
    if (!launcherProcess)
        return Fail("cannot start update.exe");

    ::WaitForSingleObject(hostProcess, INFINITE);
    const LARGE_INTEGER ended = Now();
    LARGE_INTEGER swapping = {};
    const std::wstring journal = JoinPath(folder, kJournalFileName);
    while (::WaitForSingleObject(launcherProcess, 1) == WAIT_TIMEOUT) {
        if (swapping.QuadPart == 0 && FileSize(journal) != 0)
            swapping = Now();
    }
    const LARGE_INTEGER restarted = Now();
    DWORD exitCode = 1;
    ::GetExitCodeProcess(launcherProcess, &exitCode);
    if (exitCode != (rollback ? 7u : 0u) || swapping.QuadPart == 0)
        return Fail(rollback ? "the update was not rolled back" : "the update did not apply");
    LARGE_INTEGER moment = {};
    wchar_t text[32] = {};
    ::GetPrivateProfileStringW(L"Bench", L"Moment", L"0", text, 32, MomentFile(folder).c_str());
    moment.QuadPart = _wtoi64(text);
    ::DeleteFileW(MomentFile(folder).c_str());
    if (rollback) {
        std::printf("rollback_ms=%.0f\n", Milliseconds(moment, restarted));
        return 0;
    }
    std::printf("stage_ms=%.0f swap_ms=%.0f apply_ms=%.0f confirm_ms=%.0f\n", Milliseconds(ended, swapping),
                Milliseconds(swapping, restarted), Milliseconds(ended, restarted), Milliseconds(moment, restarted));
    return 0;
}
