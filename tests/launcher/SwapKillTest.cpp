// The real update.exe ended with TerminateProcess at random moments of a large
// swap, then the recovery that the next update.exe runs: the program folder is
// always exactly the old release or exactly the new one.
#include "InterruptedSwap.h"
#include "PackageSwap.h"
#include "ReleasePair.h"

#include "base/CommandLine.h"
#include "base/ExtractionCommand.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <cstdio>
#include <random>

namespace {

using testing_support::ChildProcess;

class SwapKill : public ::testing::Test {
protected:
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(Folder(), ignored);
        std::filesystem::remove_all(Source(), ignored);
    }

    static std::wstring Folder() { return TestFolder() + L"\\kill R&D 100%"; }
    static std::wstring Source() { return TestFolder() + L"\\kill package"; }
    static std::wstring Package() { return Source() + L".cab"; }
    static std::wstring In(const wchar_t* name) { return Folder() + L"\\" + name; }

    // The old release with update.exe and the stand-in library, which hands
    // update.exe the package to apply without a host to end.
    static void Install(const ReleaseFiles& old)
    {
        std::error_code ignored;
        std::filesystem::remove_all(Folder(), ignored);
        WriteRelease(Folder(), old);
        std::filesystem::create_directories(In(L"update"));
        WriteTextFile(In(L"update\\update.log"), "[Files]\r\nVersion=1.0\r\n");
        std::filesystem::copy_file(Package(), In(L"update\\update.cab"));
        std::filesystem::copy_file(TestFolder() + L"\\update.exe", In(L"update.exe"));
        std::filesystem::copy_file(TestFolder() + L"\\fake\\update.dll", In(L"update.dll"));
        const std::wstring ini = In(L"fake.ini");
        ::WritePrivateProfileStringW(L"Fake", L"UpdateMain", L"0", ini.c_str());
        ::WritePrivateProfileStringW(L"Fake", L"Command",
                                     BuildExtractionCommand(L"Extrac32.exe", Folder(), In(L"update\\update.cab")).c_str(),
                                     ini.c_str());
    }

    static FolderSnapshot Contents() { return Snapshot(Folder(), {L"calls.log"}); }
};

// Waits for the children a killed process leaves running (the extractor),
// which would otherwise go on writing into the staging.
void WaitForOrphans(DWORD parentId)
{
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID != parentId)
            continue;
        if (HANDLE child = ::OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
            ::WaitForSingleObject(child, 30000);
            ::CloseHandle(child);
        }
    }
    ::CloseHandle(snapshot);
}

TEST_F(SwapKill, UpdateExeKilledAtRandomMomentsLeavesTheOldReleaseOrTheNew)
{
    // 320 files in 16 folders; the new release changes 280 and adds 40.
    ReleaseFiles old, package;
    for (int i = 0; i < 320; ++i) {
        const std::wstring name = L"dir" + std::to_wstring(i % 16) + L"\\file" + std::to_wstring(i) + L".dat";
        old[name] = "old " + std::to_string(i) + std::string(static_cast<size_t>(i % 7) * 100, 'o');
        if (i % 8 != 0)
            package[name] = "new " + std::to_string(i) + std::string(static_cast<size_t>(i % 5) * 150, 'n');
    }
    for (int i = 0; i < 40; ++i)
        package[L"added\\sub" + std::to_wstring(i % 4) + L"\\file" + std::to_wstring(i) + L".dat"] = "added";
    MakePackage(Source(), Package(), package);

    Install(old);
    const FolderSnapshot oldRelease = Contents();
    const FolderSnapshot newRelease = Overlaid(oldRelease, Source());
    const std::wstring launcherExe = In(L"update.exe");
    const std::wstring commandLine = BuildCommandLine(launcherExe, {L"http://127.0.0.1:1/update.ini"});

    // One run to its end gives the span the kills fall in.
    const DWORD started = ::GetTickCount();
    {
        ChildProcess launcher(launcherExe, commandLine, Folder());
        ASSERT_TRUE(launcher.WaitForExit(120000));
        ASSERT_EQ(0u, launcher.ExitCode());
    }
    const DWORD span = ::GetTickCount() - started;
    ASSERT_TRUE(newRelease == Contents()) << Differences(newRelease, Contents());

    std::mt19937 random(23);
    std::uniform_int_distribution<DWORD> moment(0, span);
    const int kills = 30;
    int endedOld = 0, endedNew = 0, midSwap = 0;
    for (int kill = 0; kill < kills; ++kill) {
        Install(old);
        const DWORD at = moment(random);
        {
            ChildProcess launcher(launcherExe, commandLine, Folder());
            ASSERT_TRUE(launcher.Started());
            ::Sleep(at);
            if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, launcher.Id())) {
                ::TerminateProcess(process, 9);
                ::WaitForSingleObject(process, 30000);
                ::CloseHandle(process);
            }
            WaitForOrphans(launcher.Id());
        }
        std::error_code error;
        midSwap += std::filesystem::exists(In(L"update.backup"), error) ||
                   (std::filesystem::exists(In(L"update.journal"), error) &&
                    std::filesystem::file_size(In(L"update.journal"), error) > 0);

        CSwapFiles files;
        FinishInterruptedSwap(files, InstalledSwapFolders(Folder()));
        const FolderSnapshot after = Contents();
        const bool isOld = after == oldRelease, isNew = after == newRelease;
        EXPECT_TRUE(isOld || isNew) << "killed after " << at << " ms of " << span
                                    << "; differs from the old release in:" << Differences(oldRelease, after)
                                    << "; from the new in:" << Differences(newRelease, after);
        endedOld += isOld;
        endedNew += isNew;
    }
    std::printf("update.exe killed %d times within %lu ms (%d in the middle of the swap): %d ended as the old "
                "release, %d as the new\n",
                kills, static_cast<unsigned long>(span), midSwap, endedOld, endedNew);
}

} // namespace
