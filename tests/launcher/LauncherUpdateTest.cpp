// Whole updates through the real update.exe and host.exe, with a stand-in
// update.dll that answers as fake.ini says and records every call.
#include "CommandLine.h"
#include "TestFolder.h"
#include "UpdateRun.h"

#include "support/ChildProcess.h"
#include "support/WindowDriver.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <shlwapi.h>


namespace {

using namespace testing_support;

const wchar_t kHostClass[] = L"UpdateSampleHost";
const wchar_t kUrl[] = L"http://127.0.0.1:1/update.ini?client=Demo&x=%41^";

enum class Package { Present, Missing };

struct UpdateCase {
    const char* name;
    const wchar_t* updateResult;
    bool endHost;
    Package package;
    bool namePid;
    DWORD exitCode;
    bool restarted;          // a new host process appears
    const char* notifiedBy;  // the program that calls NotifyEvent(0), or null
    bool extracted;
};

// A sample installation whose folder name needs quoting and holds the
// characters a shell would treat specially.
class LauncherUpdate : public ::testing::Test {
protected:
    void SetUp() override
    {
        CloseHosts();
        RemoveFolder();
        ASSERT_TRUE(::CreateDirectoryW(Folder().c_str(), nullptr));
        for (const wchar_t* name : {L"update.exe", L"host.exe"})
            ASSERT_TRUE(::CopyFileW((TestFolder() + L"\\" + name).c_str(), In(name).c_str(), FALSE));
        ASSERT_TRUE(::CopyFileW((TestFolder() + L"\\fake\\update.dll").c_str(), In(L"update.dll").c_str(), FALSE));
        ASSERT_TRUE(::CopyFileW((TestFolder() + L"\\fake\\package.cab").c_str(), In(L"package.cab").c_str(), FALSE));
    }

    void TearDown() override
    {
        CloseHosts();
        RemoveFolder();
    }

    static std::wstring Folder() { return TestFolder() + L"\\inst R&D 100% ^x"; }
    static std::wstring In(const wchar_t* name) { return Folder() + L"\\" + name; }

    static void Configure(const UpdateCase& c)
    {
        const std::wstring ini = In(L"fake.ini");
        const std::wstring cab = c.package == Package::Present ? In(L"package.cab") : In(L"missing.cab");
        const std::wstring command = L"Extrac32.exe /Y /E /A /L " + QuoteArgument(Folder()) + L" " + QuoteArgument(cab);
        ::WritePrivateProfileStringW(L"Fake", L"UpdateMain", c.updateResult, ini.c_str());
        ::WritePrivateProfileStringW(L"Fake", L"EndHost", c.endHost ? L"1" : L"0", ini.c_str());
        ::WritePrivateProfileStringW(L"Fake", L"Command", command.c_str(), ini.c_str());
    }

    static std::string Calls()
    {
        HANDLE file = ::CreateFileW(In(L"calls.log").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return std::string();
        std::string text(64 * 1024, '\0');
        DWORD got = 0;
        ::ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &got, nullptr);
        ::CloseHandle(file);
        text.resize(got);
        return text;
    }

    // A host window of a process other than the one given.
    static HWND OtherHostWindow(DWORD notProcessId)
    {
        for (HWND hWnd = ::FindWindowExW(nullptr, nullptr, kHostClass, nullptr); hWnd;
             hWnd = ::FindWindowExW(nullptr, hWnd, kHostClass, nullptr)) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(hWnd, &owner);
            if (owner != notProcessId)
                return hWnd;
        }
        return nullptr;
    }

private:
    static void CloseHosts()
    {
        HWND hWnd = nullptr;
        while ((hWnd = ::FindWindowW(kHostClass, nullptr)) != nullptr) {
            ::PostMessageW(hWnd, WM_CLOSE, 0, 0);
            if (!WaitForWindowGone(hWnd, 10000))
                break;
        }
    }

    static void RemoveFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(Folder(), ignored);
    }
};

TEST_F(LauncherUpdate, UnpacksRestartsTheHostAndFinishesOrLeavesItAsItWas)
{
    const UpdateCase cases[] = {
        {"updated", L"0", true, Package::Present, true, kExitUpdated, true, "host.exe", true},
        {"no host named: finished by the launcher", L"0", false, Package::Present, false, kExitUpdated, false,
         "update.exe", true},
        {"package missing: host started again as it was", L"0", true, Package::Missing, true, kExitExtractionFailed,
         true, nullptr, false},
        {"cancelled: host left running", L"0x80004004", false, Package::Present, true, kExitCancelled, false, nullptr,
         false},
    };
    for (const UpdateCase& c : cases) {
        TearDown();
        SetUp();
        Configure(c);
        const std::wstring hostExe = In(L"host.exe");
        ChildProcess host(hostExe, BuildCommandLine(hostExe, {}), Folder());
        ASSERT_NE(nullptr, WaitForWindowOf(host.Id(), kHostClass)) << c.name;

        const std::wstring launcherExe = In(L"update.exe");
        std::vector<std::wstring> args = {kUrl};
        if (c.namePid)
            args.insert(args.end(), {L"/pid", std::to_wstring(host.Id())});
        ChildProcess launcher(launcherExe, BuildCommandLine(launcherExe, args), Folder());
        ASSERT_TRUE(launcher.WaitForExit(120000)) << c.name;
        EXPECT_EQ(c.exitCode, launcher.ExitCode()) << c.name;

        HWND hRestarted = nullptr;
        if (c.restarted) {
            EXPECT_TRUE(WaitUntil([&] { return (hRestarted = OtherHostWindow(host.Id())) != nullptr; })) << c.name;
        }
        if (c.notifiedBy) {
            const std::string line = std::string(c.notifiedBy) + " NotifyEvent 0";
            EXPECT_TRUE(WaitUntil([&] { return Calls().find(line) != std::string::npos; })) << c.name << Calls();
        } else {
            ::Sleep(500);  // time enough for a wrongly restarted host to report
            EXPECT_EQ(std::string::npos, Calls().find("NotifyEvent")) << c.name << Calls();
        }
        EXPECT_EQ(c.extracted, ::PathFileExistsW(In(L"payload.txt").c_str()) != FALSE) << c.name;
        EXPECT_EQ(c.endHost, host.WaitForExit(0)) << c.name;
        // The address reaches the library exactly as the host gave it.
        EXPECT_NE(std::string::npos, Calls().find("update.exe UpdateMain [http://127.0.0.1:1/update.ini?client=Demo&x=%41^]"))
            << c.name << Calls();
        if (c.namePid) {
            EXPECT_NE(std::string::npos, Calls().find("update.exe SetUserProgramHWnd window")) << c.name;
        }
    }
}

} // namespace
