// The silent check, the completion of an update and calls from two threads
// through the real update.dll, which lies beside this test program as in an
// installation: the library folder and the host program folder are the same.
#include "dll/LoadedUpdateLibrary.h"
#include "dll/MessageBoxAnswer.h"
#include "support/TestFiles.h"
#include "support/TestHttpServer.h"
#include "support/WindowDriver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>

namespace {

namespace fs = std::filesystem;
using testing_support::HttpReply;
using testing_support::ReadProfile;
using testing_support::TestHttpServer;
using testing_support::WaitForWindow;
using testing_support::WaitUntil;
using testing_support::Write;

fs::path InstallFolder()
{
    return fs::path(TestProgramFolder());
}

fs::path UpdateFolder()
{
    return InstallFolder() / L"update";
}

class AutoUpdate : public testing::Test {
protected:
    void SetUp() override
    {
        Clean();
        ASSERT_TRUE(m_server.Start());
        Write(UpdateFolder() / L"update.log",
              "[Files]\r\nVersion=1.0\r\nServicePack=3\r\nOEMClientName=Acme\r\n"
              "[Dialog]\r\nUpgradeFinished=Acme is up to date\r\n");
    }
    void TearDown() override
    {
        m_server.Stop();
        Clean();
    }

    static void Clean()
    {
        std::error_code ignored;
        fs::remove_all(UpdateFolder(), ignored);
        fs::remove(InstallFolder() / L"auto-old.dll", ignored);
    }

    HRESULT IsAutoUpdate(LoadedUpdateLibrary& lib, const std::wstring& url)
    {
        LPCWSTR argv[] = {L"update.exe", url.c_str(), L"/pid", L"0"};
        return lib.IsAutoUpdate(argv, 4);
    }

    TestHttpServer m_server;
};

TEST_F(AutoUpdate, NothingNewEndsTheCheckAndRemovesTheDescription)
{
    m_server.Serve("/check", HttpReply(200, "[OEMClient_Acme]\r\nMajorVerson=1.0\r\nServicePack=3\r\n"));
    LoadedUpdateLibrary lib;
    EXPECT_EQ(E_ABORT, IsAutoUpdate(lib, m_server.Url("/check?product=acme&lang=zh")));
    EXPECT_FALSE(fs::exists(UpdateFolder() / L"update.ini"));
    const auto requests = m_server.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("/check?product=acme&lang=zh&version=1.0&SP=3", requests[0].target);
    EXPECT_EQ("/check?product=acme", requests[1].target);
}

TEST_F(AutoUpdate, NoServiceOrAnErrorPageFailsTheCheck)
{
    m_server.Serve("/check", HttpReply(500, "<html>broken</html>"));
    LoadedUpdateLibrary lib;
    EXPECT_EQ(E_FAIL, IsAutoUpdate(lib, m_server.Url("/check")));
    EXPECT_EQ(E_FAIL, IsAutoUpdate(lib, m_server.Url("/missing")));
    EXPECT_EQ(E_FAIL, IsAutoUpdate(lib, L"http://127.0.0.1:" + std::to_wstring(TestHttpServer::UnusedPort()) + L"/check"));
    EXPECT_EQ(4u, m_server.Requests().size());  // the report and the description, twice
}

// A host calls the silent check at start-up, on its own thread, where nobody
// can cancel: the check as a whole ends within 15 s whatever the servers do,
// and fails like any failed check.
TEST_F(AutoUpdate, TheSilentCheckEndsWithinItsDeadlineWhateverTheServersDo)
{
    HttpReply trickle(200, "[OEMClient_Acme]\r\nMajorVerson=1.1\r\nServicePack=4\r\nCanUpdate=1\r\n");
    trickle.trickleBytes = 1;
    trickle.trickleDelayMs = 1000;
    const struct {
        const char* name;
        HttpReply report;
    } cases[] = {
        {"the description at 1 byte a second", HttpReply(200, "ok\r\n")},
        {"the report and the description at 1 byte a second", trickle},
    };
    LoadedUpdateLibrary lib;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_server.Serve("/check", trickle);
        m_server.Serve("/check&version=1.0&SP=3", c.report);
        const ULONGLONG started = ::GetTickCount64();
        EXPECT_EQ(E_FAIL, IsAutoUpdate(lib, m_server.Url("/check")));
        const ULONGLONG elapsed = ::GetTickCount64() - started;
        std::printf("silent check, %s: returned after %llu ms\n", c.name, elapsed);
        EXPECT_LT(elapsed, 25000u);
        EXPECT_FALSE(fs::exists(UpdateFolder() / L"update.ini"));
    }
}

TEST_F(AutoUpdate, TheRestartedHostCompletesThePendingUpdateOnce)
{
    Write(UpdateFolder() / L"update.ini",
          "[OEMClient_Acme]\r\nMajorVerson=1.1\r\nServicePack=4\r\nDelFileCount=1\r\nDelFile1=auto-old.dll\r\n");
    Write(UpdateFolder() / L"update.cab", "MSCF");
    Write(InstallFolder() / L"auto-old.dll", "old");
    LoadedUpdateLibrary lib;

    HRESULT hr = E_FAIL;
    AnsweredBox box = AnswerMessageBox([&] { hr = lib.NotifyEvent(0, 0, 0); });
    EXPECT_EQ(S_OK, hr);
    EXPECT_TRUE(box.shown);
    EXPECT_EQ(L"Acme is up to date", box.text);
    const fs::path record = UpdateFolder() / L"update.log";
    EXPECT_EQ(L"1.1", ReadProfile(record, L"Files", L"Version"));
    EXPECT_EQ(L"4", ReadProfile(record, L"Files", L"ServicePack"));
    EXPECT_FALSE(fs::exists(InstallFolder() / L"auto-old.dll"));
    EXPECT_FALSE(fs::exists(UpdateFolder() / L"update.ini"));
    EXPECT_FALSE(fs::exists(UpdateFolder() / L"update.cab"));

    Write(InstallFolder() / L"auto-old.dll", "old again");
    box = AnswerMessageBox([&] { hr = lib.NotifyEvent(0, 0, 0); });
    EXPECT_EQ(S_OK, hr);
    EXPECT_TRUE(box.shown);
    EXPECT_EQ(L"1.1", ReadProfile(record, L"Files", L"Version"));
    EXPECT_TRUE(fs::exists(InstallFolder() / L"auto-old.dll"));
}

// A call made on the dialog's own thread, from inside its modal loop: a thread
// timer, which the loop dispatches, makes it once asked to and then closes the dialog.
struct ReentrantCall {
    LoadedUpdateLibrary* lib = nullptr;
    HWND dialog = nullptr;
    std::atomic<bool> asked{false};
    std::atomic<bool> made{false};
    HRESULT hr = E_FAIL;
};
ReentrantCall g_reentrant;

void CALLBACK MakeReentrantCall(HWND, UINT, UINT_PTR, DWORD)
{
    if (!g_reentrant.asked || g_reentrant.made)
        return;
    wchar_t command[512];
    g_reentrant.hr = g_reentrant.lib->GetUpdates(command, ARRAYSIZE(command));
    g_reentrant.made = true;
    ::PostMessageW(g_reentrant.dialog, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(AutoUpdate, AnotherThreadIsRefusedWhileTheDialogRunsItsOwnThreadIsNot)
{
    m_server.Serve("/check", HttpReply(200, "[OEMClient_Acme]\r\nMajorVerson=1.1\r\nServicePack=4\r\nCanUpdate=1\r\n"));
    LoadedUpdateLibrary lib;
    const std::wstring url = m_server.Url("/check");
    LPCWSTR argv[] = {L"update.exe", url.c_str()};
    g_reentrant.lib = &lib;
    HRESULT hrDialog = S_OK;
    std::thread dialogThread([&] {
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, MakeReentrantCall);
        hrDialog = lib.UpdateMain(argv, 2);
        ::KillTimer(nullptr, timer);
    });
    // The offer is shown: the dialog waits for the user.
    g_reentrant.dialog = WaitForWindow(L"#32770", [](HWND h) {
        return ::IsWindowVisible(h) && ::IsWindowEnabled(::GetDlgItem(h, IDOK));
    });
    EXPECT_NE(nullptr, g_reentrant.dialog);

    const DWORD start = ::GetTickCount();
    wchar_t command[512] = L"untouched";
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_BUSY), lib.UpdateMain(argv, 2));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_BUSY), lib.IsAutoUpdate(argv, 2));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_BUSY), lib.GetUpdates(command, ARRAYSIZE(command)));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_BUSY), lib.NotifyEvent(0, 0, 0));
    const DWORD elapsed = ::GetTickCount() - start;
    std::printf("four refused calls took %lu ms\n", elapsed);
    EXPECT_LT(elapsed, 10000u);
    EXPECT_STREQ(L"untouched", command);
    EXPECT_TRUE(fs::exists(UpdateFolder() / L"update.ini"));  // the offer the dialog shows stays

    g_reentrant.asked = true;
    EXPECT_TRUE(WaitUntil([] { return g_reentrant.made.load(); }));
    dialogThread.join();
    EXPECT_EQ(S_OK, g_reentrant.hr);
    EXPECT_EQ(E_ABORT, hrDialog);
    EXPECT_EQ(S_OK, lib.GetUpdates(command, ARRAYSIZE(command)));  // free again once the dialog is done
}

} // namespace
