// Whole updates through the real update.exe and host.exe, with a stand-in
// update.dll that answers as fake.ini says and records every call.
#include "base/CommandLine.h"
#include "base/ExtractionCommand.h"
#include "FolderSnapshot.h"
#include "InterruptedSwap.h"
#include "PackageSwap.h"
#include "TestInstallation.h"
#include "UpdateRun.h"

#include "support/ChildProcess.h"
#include "support/WindowDriver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

using namespace testing_support;

const wchar_t kHostClass[] = L"UpdateSampleHost";
const wchar_t kUrl[] = L"http://127.0.0.1:1/update.ini?client=Demo&x=%41^";

enum class Before {
    Installed,        // the package waits in the update folder
    PackageMissing,
    PackageBroken,    // cut short: the extractor stages only part of it, and reports success
    SwapEnded,        // an earlier launcher was ended between two moves
    ExtractorPlanted, // a stand-in extrac32.exe in the program folder and in the launcher's current folder
    JournalPlanted,   // a journal in the update folder names a program file and the library's record
    CrashesAtStart,   // the new release fails to load its DLL
    NeverConfirms,    // the new release runs but its completion call does not confirm; the record gives it 3 s
};

struct UpdateCase {
    const char* name;
    const wchar_t* updateResult;
    bool endHost;
    Before before;
    bool namePid;
    DWORD exitCode;
    const wchar_t* restartedAs;  // the version of a new host process, or null
    const char* notifiedBy;      // the program that calls NotifyEvent(0), or null
    bool applied;                // the folder holds exactly the package's files; otherwise exactly what it held
    bool rolledBack = false;     // ... what it held, without the package, and the record names 1.1 rolled back
};

// A sample installation whose folder name needs quoting and holds the
// characters a shell would treat specially.
class LauncherUpdate : public ::testing::Test {
protected:
    void SetUp() override
    {
        CloseHosts();
        InstallSample(Folder());
        ASSERT_TRUE(::CopyFileW((TestFolder() + L"\\update.exe").c_str(), In(L"update.exe").c_str(), FALSE));
        ASSERT_TRUE(::CopyFileW((TestFolder() + L"\\fake\\update.dll").c_str(), In(L"update.dll").c_str(), FALSE));
        std::filesystem::create_directories(CurrentFolder());
    }

    void TearDown() override
    {
        CloseHosts();
        RemoveFolder();
    }

    static std::wstring Folder() { return TestFolder() + L"\\inst R&D 100% ^x"; }
    // The launcher's current folder, which is not its own.
    static std::wstring CurrentFolder() { return TestFolder() + L"\\launcher cwd"; }
    static std::wstring PlantedMarks()
    {
        std::wstring found;
        for (const std::wstring& folder : {Folder(), CurrentFolder()}) {
            if (::GetFileAttributesW((folder + L"\\extractor-ran.txt").c_str()) != INVALID_FILE_ATTRIBUTES)
                found += L" " + folder;
        }
        return found;
    }
    static std::wstring In(const wchar_t* name) { return Folder() + L"\\" + name; }
    static std::wstring Package() { return In(L"update\\update.cab"); }

    // What the folder holds before, and what the whole package makes of it.
    static FolderSnapshot Contents() { return Snapshot(Folder(), {L"calls.log"}); }
    static FolderSnapshot Applied(FolderSnapshot before)
    {
        for (const auto& entry : Snapshot(TestPackageFiles()))
            before[entry.first] = entry.second;
        return before;
    }

    static void Arrange(Before before)
    {
        if (before == Before::JournalPlanted) {
            // As an earlier launcher wrote its journal, with nothing of it placed by a swap.
            const std::wstring text = L"P host.exe\nP update\\update.log\n";
            std::ofstream(std::filesystem::path(In(L"update\\swap.journal")), std::ios::binary)
                .write(reinterpret_cast<const char*>(text.data()), static_cast<std::streamsize>(text.size() * sizeof(wchar_t)));
            return;
        }
        if (before != Before::SwapEnded)
            return;
        // The state that a launcher killed after three moves leaves: the new
        // file and host 1.1 in place, the journal, the staging and the backup.
        try {
            CEndedAfterMoves files(3);
            StageAndSwap(files, SwapFoldersFor(Folder(), In(L"update")), Package());
        } catch (const LauncherEnded&) {
        }
    }

    static void Configure(const UpdateCase& c)
    {
        const std::wstring ini = In(L"fake.ini");
        const std::wstring cab = c.before == Before::PackageMissing ? In(L"update\\missing.cab") : Package();
        const std::wstring command = BuildExtractionCommand(L"Extrac32.exe", Folder(), cab);
        ::WritePrivateProfileStringW(L"Fake", L"UpdateMain", c.updateResult, ini.c_str());
        ::WritePrivateProfileStringW(L"Fake", L"EndHost", c.endHost ? L"1" : L"0", ini.c_str());
        ::WritePrivateProfileStringW(L"Fake", L"Command", command.c_str(), ini.c_str());
        ::WritePrivateProfileStringW(L"Fake", L"FailLoadAfterUpdate", c.before == Before::CrashesAtStart ? L"1" : L"0", ini.c_str());
        ::WritePrivateProfileStringW(L"Fake", L"Confirm", c.before == Before::NeverConfirms ? L"0" : L"1", ini.c_str());
        // The version being installed, as the library's check records it.
        ::WritePrivateProfileStringW(L"Update", L"Version", L"1.1", In(L"update\\update.log").c_str());
        if (c.before == Before::NeverConfirms)
            ::WritePrivateProfileStringW(L"Update", L"ConfirmWithin", L"3", In(L"update\\update.log").c_str());
        if (c.before == Before::PackageBroken)
            std::filesystem::resize_file(Package(), std::filesystem::file_size(Package()) - 100);
        if (c.before == Before::ExtractorPlanted) {
            for (const std::wstring& folder : {Folder(), CurrentFolder()})
                ::CopyFileW((TestFolder() + L"\\planted\\extrac32.exe").c_str(), (folder + L"\\extrac32.exe").c_str(), FALSE);
        }
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
        std::filesystem::remove_all(CurrentFolder(), ignored);
    }
};

TEST_F(LauncherUpdate, AppliesThePackageWhollyOrNotAtAllAndNeverStrandsTheHost)
{
    const UpdateCase cases[] = {
        {"updated", L"0", true, Before::Installed, true, kExitUpdated, L"1.1", "host.exe", true},
        {"no host: finished by the launcher", L"0", false, Before::Installed, false, kExitUpdated, nullptr,
         "update.exe", true},
        {"package missing: host started again as it was", L"0", true, Before::PackageMissing, true,
         kExitExtractionFailed, L"1.0", nullptr, false},
        {"package broken: nothing applied", L"0", true, Before::PackageBroken, true, kExitExtractionFailed, L"1.0",
         nullptr, false},
        {"an ended launcher's swap: rolled back by the next run, even a cancelled one", L"0x80004004", false,
         Before::SwapEnded, false, kExitCancelled, nullptr, nullptr, false},
        {"cancelled: host left running", L"0x80004004", false, Before::Installed, true, kExitCancelled, nullptr,
         nullptr, false},
        {"an extrac32.exe planted in the program and current folders: only the system's runs", L"0", true,
         Before::ExtractorPlanted, true, kExitUpdated, L"1.1", "host.exe", true},
        {"a journal planted in the update folder: nothing deleted", L"0x80004004", false, Before::JournalPlanted,
         false, kExitCancelled, nullptr, nullptr, false},
        {"the new release crashes at start: the old one is back and started", L"0", true, Before::CrashesAtStart,
         true, kExitRolledBack, L"1.0", nullptr, false, true},
        {"the new release misses its deadline: ended, the old one is back and started", L"0", true,
         Before::NeverConfirms, true, kExitRolledBack, L"1.0", "host.exe", false, true},
    };
    for (const UpdateCase& c : cases) {
        TearDown();
        SetUp();
        Configure(c);
        const FolderSnapshot before = Contents();
        Arrange(c.before);
        if (c.before == Before::SwapEnded) {
            EXPECT_NE(before, Contents()) << "the ended launcher left nothing to roll back";
        }
        // Without /pid no host was ended: none runs (the files of one that
        // does are replaced all the same, but its backup stays until a later run).
        const bool hostRuns = c.namePid;
        const std::wstring hostExe = In(L"host.exe");
        std::unique_ptr<ChildProcess> host;
        if (hostRuns) {
            host.reset(new ChildProcess(hostExe, BuildCommandLine(hostExe, {}), Folder()));
            ASSERT_NE(nullptr, WaitForWindowOf(host->Id(), kHostClass)) << c.name;
        }
        const DWORD hostId = host ? host->Id() : 0;

        const std::wstring launcherExe = In(L"update.exe");
        std::vector<std::wstring> args = {kUrl};
        if (c.namePid)
            args.insert(args.end(), {L"/pid", std::to_wstring(hostId)});
        ChildProcess launcher(launcherExe, BuildCommandLine(launcherExe, args), CurrentFolder());
        ASSERT_TRUE(launcher.WaitForExit(120000)) << c.name;
        EXPECT_EQ(c.exitCode, launcher.ExitCode()) << c.name;

        HWND hRestarted = nullptr;
        if (c.restartedAs) {
            EXPECT_TRUE(WaitUntil([&] { return (hRestarted = OtherHostWindow(hostId)) != nullptr; })) << c.name;
            EXPECT_TRUE(WaitUntil([&] { return WindowText(hRestarted) == std::wstring(L"示例程序 ") + c.restartedAs; }))
                << c.name;
        }
        if (c.notifiedBy) {
            const std::string line = std::string(c.notifiedBy) + " NotifyEvent 0";
            EXPECT_TRUE(WaitUntil([&] { return Calls().find(line) != std::string::npos; })) << c.name << Calls();
        } else {
            ::Sleep(500);  // time enough for a wrongly restarted host to report
            EXPECT_EQ(std::string::npos, Calls().find("NotifyEvent")) << c.name << Calls();
        }
        EXPECT_EQ(L"", PlantedMarks()) << c.name;
        // Exactly: no staging, backup or journal is left either way.
        FolderSnapshot expected = c.applied ? Applied(before) : before;
        if (c.rolledBack) {
            wchar_t version[32] = {};
            ::GetPrivateProfileStringW(L"Update", L"RolledBack", L"", version, 32, In(L"update\\update.log").c_str());
            EXPECT_STREQ(L"1.1", version) << c.name;
            expected.erase(L"update\\update.cab");  // the package that failed goes with the rollback
            expected[L"update\\update.log"] = Contents()[L"update\\update.log"];
        }
        EXPECT_TRUE(expected == Contents()) << c.name << ":" << Differences(expected, Contents());
        if (host) {
            EXPECT_EQ(c.endHost, host->WaitForExit(0)) << c.name;
        }
        // The address reaches the library exactly as the host gave it.
        EXPECT_NE(std::string::npos, Calls().find("update.exe UpdateMain [http://127.0.0.1:1/update.ini?client=Demo&x=%41^]"))
            << c.name << Calls();
        if (c.namePid) {
            EXPECT_NE(std::string::npos, Calls().find("update.exe SetUserProgramHWnd window")) << c.name;
        }
    }
}

// A file of the program that another process holds is waited for a while;
// then the whole swap is undone, the host started again as it was, and the
// person told which file it was, unless the update runs silently.
TEST_F(LauncherUpdate, AFileHeldByAnotherProcessIsWaitedForThenTheSwapIsUndone)
{
    const struct {
        const char* name;
        bool letGo;  // the holder ends once the swap has begun
        bool silent;
        DWORD exitCode;
        const wchar_t* restartedAs;
        const wchar_t* told;  // the message the person sees, or null
    } cases[] = {
        {"held for good: undone, started again as it was, the person told in their language", false, false,
         kExitExtractionFailed, L"1.0",
         L"Another program is using payload.txt, so the update was not installed. The program is still the version "
         L"it was. Close that program, then check for updates again."},
        {"held for good, silent: undone and started again without a word", false, true, kExitExtractionFailed, L"1.0",
         nullptr},
        {"let go while the launcher waits: applied", true, false, kExitUpdated, L"1.1", nullptr},
    };
    const std::wstring bin = TestFolder() + L"\\..\\..\\bin\\";
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        Configure({c.name, L"0", true, Before::Installed, true, c.exitCode, c.restartedAs, nullptr, !c.letGo});
        // The language library beside update.exe, told to speak English.
        for (const wchar_t* name : {L"vexmod.dll", L"vexmod.en.txt"})
            ASSERT_TRUE(::CopyFileW((bin + name).c_str(), In(name).c_str(), FALSE)) << c.name;
        WriteTextFile(In(L"vexmod.ini"), "[Language]\r\nUse=en\r\n");
        const FolderSnapshot before = Contents();

        const std::wstring holderExe = TestFolder() + L"\\hold_file.exe";
        auto holder = std::make_unique<ChildProcess>(holderExe, BuildCommandLine(holderExe, {In(L"payload.txt")}));
        CSwapFiles files;
        ASSERT_TRUE(WaitUntil([&] { return files.HeldByAnother(In(L"payload.txt")); })) << c.name;
        const std::wstring hostExe = In(L"host.exe");
        ChildProcess host(hostExe, BuildCommandLine(hostExe, {}), Folder());
        ASSERT_NE(nullptr, WaitForWindowOf(host.Id(), kHostClass)) << c.name;

        const std::wstring launcherExe = In(L"update.exe");
        std::vector<std::wstring> args = {kUrl, L"/pid", std::to_wstring(host.Id())};
        if (c.silent)
            args.push_back(L"/s");
        ChildProcess launcher(launcherExe, BuildCommandLine(launcherExe, args), CurrentFolder());
        if (c.letGo) {
            // payload.txt moves last: the journal's first record comes just before the first move.
            EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(In(L"update.journal")) &&
                                               std::filesystem::file_size(In(L"update.journal")) > 0; }))
                << c.name;
            ::Sleep(300);
            holder.reset();
        }
        if (c.told) {
            const HWND box = WaitForWindowOf(launcher.Id(), L"#32770");
            ASSERT_NE(nullptr, box) << c.name;
            EXPECT_EQ(c.told, MessageBoxText(box)) << c.name;
            EXPECT_EQ(L"Update", WindowText(box)) << c.name;
            PressButton(box, IDOK);
        }
        ASSERT_TRUE(launcher.WaitForExit(60000)) << c.name;
        EXPECT_EQ(c.exitCode, launcher.ExitCode()) << c.name;
        holder.reset();

        HWND restarted = nullptr;
        EXPECT_TRUE(WaitUntil([&] { return (restarted = OtherHostWindow(host.Id())) != nullptr; })) << c.name;
        EXPECT_TRUE(WaitUntil([&] { return WindowText(restarted) == std::wstring(L"示例程序 ") + c.restartedAs; }))
            << c.name;
        const FolderSnapshot expected = c.letGo ? Applied(before) : before;
        EXPECT_TRUE(expected == Contents()) << c.name << ":" << Differences(expected, Contents());
    }
}

} // namespace
