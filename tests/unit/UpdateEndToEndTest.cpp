// One whole update as a host goes through it, with the library's code in this
// program: its folder is both the library folder and the host program folder.
#include "description/LocalUpdateInfo.h"
#include "framework/AfxHandle.h"
#include "host/CommandLineUpdate.h"
#include "host/UpdateApp.h"
#include "manager/UpdateManager.h"
#include "unit/ChildHost.h"
#include "unit/NetworkFiles.h"
#include "unit/RecordingEffects.h"
#include "update.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace {

using testing_support::HttpReply;

class UpdateEndToEnd : public NetworkFilesTest {
protected:
    void SetUp() override
    {
        NetworkFilesTest::SetUp();
        RemoveLaidOut();
    }
    void TearDown() override
    {
        RemoveLaidOut();
        theApp.m_pUpdateManager->m_extraction = {};
        NetworkFilesTest::TearDown();
    }

    static std::wstring InHost(const std::wstring& name) { return ProgramFolder() + L"\\" + name; }

    static void RemoveLaidOut()
    {
        std::error_code ignored;
        for (const wchar_t* name : {L"e2e-new.txt", L"e2e-replaced.ini", L"e2e-old.dll", L"e2e-old-dir", L"e2e-settings.ini"})
            std::filesystem::remove_all(InHost(name), ignored);
    }

};

// Runs a command line as a host would and returns its exit code.
DWORD RunCommand(const std::wstring& commandLine)
{
    std::wstring line = commandLine;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return ::GetLastError();
    CHandle process(pi.hProcess);
    CHandle thread(pi.hThread);
    DWORD code = STILL_ACTIVE;
    if (::WaitForSingleObject(process.Get(), 60000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(process.Get(), &code);
    return code;
}

TEST_F(UpdateEndToEnd, CheckInstallUnpackAndComplete)
{
    const std::optional<std::string> package = ReadBytes(TestPackage(L"e2e.cab"));
    ASSERT_TRUE(package.has_value());
    m_server.Serve("/e2e.cab", HttpReply(200, *package));
    m_server.Serve("/check", HttpReply(200,
        "[OEMClient_Acme]\r\nMajorVerson=1.1\r\nServicePack=4\r\nCanUpdate=1\r\nUpdateInfo=Version 1.1\r\n"
        "URL=" + m_server.UrlA("/e2e.cab") + "\r\nCABFileSize=" + std::to_string(package->size()) + "\r\n"
        "DelFileCount=1\r\nDelFile1=e2e-old.dll\r\nDelDirCount=1\r\nDelDirName1=e2e-old-dir\r\n"
        "IniItemCount=1\r\nIniItem0=Filename:<app>\\e2e-settings.ini,Section:Main,Keyname:Mode,Value:2\r\n"));
    WriteBytes(UpdateFile(L"update.log"), "[Files]\r\nVersion=1.0\r\nServicePack=3\r\nOEMClientName=Acme\r\n"
                                          "[Dialog]\r\nUpgradeFinished=Acme is up to date\r\n");
    WriteBytes(InHost(L"e2e-old.dll"), "old");
    WriteBytes(InHost(L"e2e-old-dir\\plugin.dll"), "old");
    WriteBytes(InHost(L"e2e-replaced.ini"), "[Main]\r\nVersion=1.0\r\n");
    ChildHost host(L"quit 7");
    ASSERT_TRUE(host.Started());
    ASSERT_TRUE(host.WaitForWindows(1));

    // The update run, as the status dialog drives it.
    CUpdateManager& manager = *theApp.m_pUpdateManager;
    CCommandLineUpdate cmd;
    cmd.m_strUrl = m_server.Url("/check").c_str();
    cmd.m_dwProcessId = host.Id();
    ASSERT_EQ(S_OK, manager.CheckUpdate(&cmd));
    ASSERT_EQ(S_OK, manager.DoUpdate());
    EXPECT_EQ(7u, host.WaitForExitCode(0));

    // The launcher asks for the command and runs it.
    wchar_t command[1024];
    ASSERT_EQ(S_OK, GetUpdates(command, ARRAYSIZE(command)));
    EXPECT_EQ(L"Extrac32.exe /Y /E /A /L \"" + ProgramFolder() + L"\" \"" + UpdateFile(L"update.cab") + L"\"",
              std::wstring(command));
    EXPECT_STREQ(L"2", CUpdateInfo(InHost(L"e2e-settings.ini").c_str()).ReadString(L"Main", L"Mode"));
    ASSERT_EQ(0u, RunCommand(command));
    EXPECT_EQ(std::string("The new file of version 1.1\r\n"), ReadBytes(InHost(L"e2e-new.txt")));
    EXPECT_EQ(std::string("[Main]\r\nVersion=1.1\r\n"), ReadBytes(InHost(L"e2e-replaced.ini")));

    // The restarted host reports that the package is in place.
    EXPECT_EQ(S_OK, NotifyEvent(0, 0, 0));
    ASSERT_EQ(1u, Effects().messages.size());
    EXPECT_EQ(L"Acme is up to date", Effects().messages[0].text);
    const CLocalUpdateInfo record(UpdateFile(L"update.log").c_str());
    EXPECT_STREQ(L"1.1", record.m_strVersion);
    EXPECT_EQ(4u, record.m_nServicePack);
    EXPECT_FALSE(PathExists(InHost(L"e2e-old.dll")));
    EXPECT_FALSE(PathExists(InHost(L"e2e-old-dir")));
    EXPECT_TRUE(PathExists(InHost(L"e2e-new.txt")));
    EXPECT_FALSE(PathExists(UpdateFile(L"update.ini")));
    EXPECT_FALSE(PathExists(UpdateFile(L"update.cab")));

    // A second report finds nothing pending and changes nothing.
    WriteBytes(InHost(L"e2e-old.dll"), "old again");
    EXPECT_EQ(S_OK, NotifyEvent(0, 0, 0));
    EXPECT_STREQ(L"1.1", CLocalUpdateInfo(UpdateFile(L"update.log").c_str()).m_strVersion);
    EXPECT_TRUE(PathExists(InHost(L"e2e-old.dll")));
}

} // namespace
