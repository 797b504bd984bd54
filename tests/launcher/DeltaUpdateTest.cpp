// A delta update through the real update.exe and update.dll against a real
// service on 127.0.0.1: the person presses Install once; the launcher makes
// the new files from the installed ones, or, when one of those was changed,
// has the full package fetched and applied instead.
#include "Cabinet.h"
#include "DeltaPackage.h"
#include "TestFolder.h"
#include "TestInstallation.h"
#include "UpdateRun.h"

#include "base/CommandLine.h"
#include "resources/resource.h"
#include "support/ChildProcess.h"
#include "support/DeltaOffer.h"
#include "support/TestHttpServer.h"
#include "support/WindowDriver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using namespace testing_support;


int Fetches(const TestHttpServer& server, const std::string& path)
{
    int count = 0;
    for (const HttpRequestLine& line : server.Requests())
        count += line.target == path ? 1 : 0;
    return count;
}

class DeltaUpdate : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
        fs::create_directories(m_app);
        for (const wchar_t* name : {L"update.exe", L"update.dll", L"host.exe"})
            fs::copy_file(TestFolder() + L"\\" + name, m_app / name);
        fs::create_directories(m_app / L"update");
        WriteTextFile((m_app / L"update" / L"update.log").wstring(),
                      "[Files]\r\nVersion=1.0\r\nServicePack=0\r\nOEMClientName=Demo\r\n[Dialog]\r\nUpgradeFinished=done\r\n");

        fs::create_directories(m_root / L"old");
        fs::create_directories(m_root / L"new" / L"docs");
        fs::copy_file(TestFolder() + L"\\host.exe", m_root / L"old" / L"host.exe");
        fs::copy_file(TestFolder() + L"\\host-1.1.exe", m_root / L"new" / L"host.exe");
        WriteTextFile((m_root / L"new" / L"docs" / L"notes.txt").wstring(), "What 1.1 brings.\r\n");

        const std::vector<DeltaSource> sources = {
            {L"docs\\notes.txt", L"", (m_root / L"new" / L"docs" / L"notes.txt").wstring(), {}},
            {L"host.exe", (m_root / L"old" / L"host.exe").wstring(), (m_root / L"new" / L"host.exe").wstring(), {}},
        };
        WriteDeltaPackage((m_root / L"delta.cab").wstring(), sources, PlanDelta(sources));
        WriteCabinet((m_root / L"full.cab").wstring(), {{sources[0].newPath, sources[0].name, {}},
                                                        {sources[1].newPath, sources[1].name, {}}});
        ASSERT_TRUE(m_server.Start());
        const std::string full = ReadFileBytes(m_root / L"full.cab");
        const std::string delta = ReadFileBytes(m_root / L"delta.cab");
        m_server.Serve("/full.cab", HttpReply(200, full));
        m_server.Serve("/delta.cab", HttpReply(200, delta));
        m_server.Serve("/update.ini", HttpReply(200, DeltaOfferDescription("Demo", m_server.UrlA("/full.cab"), full,
                                                                           m_server.UrlA("/delta.cab"), delta)));
    }

    void TearDown() override
    {
        m_server.Stop();
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    // update.exe as a host starts it; the person presses Install once and
    // answers the completion. The launcher's exit code.
    DWORD RunLauncherWithPerson()
    {
        const std::wstring launcher = (m_app / L"update.exe").wstring();
        ChildProcess child(launcher, BuildCommandLine(launcher, {m_server.Url("/update.ini")}));
        EXPECT_TRUE(child.Started());
        const auto offered = [](HWND h) {
            return ::GetDlgItem(h, IDC_STATUS_TEXT) && ::IsWindowVisible(h) && ::IsWindowEnabled(::GetDlgItem(h, IDOK));
        };
        HWND hDialog = WaitForWindowOf(child.Id(), L"#32770", offered);
        EXPECT_NE(nullptr, hDialog);
        PressButton(hDialog, IDOK);
        // Nothing is pressed on a second dialog: only the completion is answered.
        HWND hDone = WaitForWindowOf(child.Id(), L"#32770", [](HWND h) { return MessageBoxText(h) == L"done"; }, 120000);
        EXPECT_NE(nullptr, hDone);
        PressButton(hDone, IDOK);
        EXPECT_TRUE(child.WaitForExit());
        return child.ExitCode();
    }

    void ExpectRelease11(int deltaFetches, int fullFetches)
    {
        EXPECT_EQ(ReadFileBytes(TestFolder() + L"\\host-1.1.exe"), ReadFileBytes(m_app / L"host.exe"));
        EXPECT_EQ("What 1.1 brings.\r\n", ReadFileBytes(m_app / L"docs" / L"notes.txt"));
        wchar_t version[16] = {};
        ::GetPrivateProfileStringW(L"Files", L"Version", L"", version, 16, (m_app / L"update" / L"update.log").c_str());
        EXPECT_STREQ(L"1.1", version);
        EXPECT_EQ(deltaFetches, Fetches(m_server, "/delta.cab"));
        EXPECT_EQ(fullFetches, Fetches(m_server, "/full.cab"));
        EXPECT_FALSE(fs::exists(m_app / L"update.staging"));
        EXPECT_FALSE(fs::exists(m_app / L".delta"));
    }

    const fs::path m_root = TestFolder() + L"\\delta-update";
    const fs::path m_app = m_root / L"app";
    TestHttpServer m_server;
};

TEST_F(DeltaUpdate, MakesTheNewFilesFromTheInstalledOnes)
{
    EXPECT_EQ(static_cast<DWORD>(kExitUpdated), RunLauncherWithPerson());
    ExpectRelease11(1, 0);
}

TEST_F(DeltaUpdate, FetchesTheFullPackageOnceWhenAnInstalledFileWasChanged)
{
    // An antivirus or a person changed host.exe: one Install, and the full package follows.
    std::ofstream(m_app / L"host.exe", std::ios::binary | std::ios::app) << "x";
    EXPECT_EQ(static_cast<DWORD>(kExitUpdated), RunLauncherWithPerson());
    ExpectRelease11(1, 1);
}

} // namespace
