#include "description/LocalUpdateInfo.h"
#include "framework/AfxMt.h"
#include "host/CommandLineUpdate.h"
#include "host/UpdateApp.h"
#include "manager/UpdateManager.h"
#include "unit/ChildHost.h"
#include "unit/NetworkFiles.h"
#include "unit/RecordingEffects.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using testing_support::HttpReply;
using testing_support::TestHttpServer;

class UpdateManagerTest : public NetworkFilesTest {
protected:
    void SetUp() override
    {
        NetworkFilesTest::SetUp();
        Install("Version=1.0\r\nServicePack=3\r\nServiceProPack=5\r\nOEMClientName=Acme\r\n");
    }

    static void Install(const std::string& files) { WriteBytes(UpdateFile(L"update.log"), "[Files]\r\n" + files); }

    void Describe(const std::string& keys)
    {
        m_server.Serve("/check", HttpReply(200, "[OEMClient_Acme]\r\n" + keys));
    }


    HRESULT Check(const std::wstring& url, BOOL bSilent = 1, DWORD dwProcessId = 0)
    {
        m_cmd.m_strUrl = url.c_str();
        m_cmd.m_bSilent = bSilent;
        m_cmd.m_dwProcessId = dwProcessId;
        return m_manager.CheckUpdate(&m_cmd);
    }

    HRESULT Check() { return Check(m_server.Url("/check")); }

    // The report's first line, or nothing.
    CString ReadUrlLine(const std::wstring& url)
    {
        CString line;
        m_manager.ReadUrlLine(url.c_str(), 15000, line);
        return line;
    }

    CUpdateManager m_manager;
    CCommandLineUpdate m_cmd;
};

TEST_F(UpdateManagerTest, TheReportCarriesTheInstalledVersionAndTheDescriptionComesFromBeforeTheFirstAmpersand)
{
    Describe("MajorVerson=1.0\r\nServicePack=3\r\n");
    EXPECT_EQ(E_ABORT, Check(m_server.Url("/check?x=1&y=2")));
    EXPECT_EQ(E_ABORT, Check(m_server.Url("/check")));
    const auto requests = m_server.Requests();
    ASSERT_EQ(4u, requests.size());
    EXPECT_EQ("/check?x=1&y=2&version=1.0&SP=3", requests[0].target);
    EXPECT_EQ("/check?x=1", requests[1].target);
    EXPECT_EQ("/check&version=1.0&SP=3", requests[2].target);
    EXPECT_EQ("/check", requests[3].target);
    for (const auto& request : requests)
        EXPECT_EQ("GET", request.method);
}

TEST_F(UpdateManagerTest, ResultsOfTheCheck)
{
    const struct {
        const char* name;
        const char* edition;  // "Ambrel.ini", or null
        std::string keys;
        HRESULT result;
        BOOL proOffer;
    } cases[] = {
        {"a service pack", nullptr, "MajorVerson=1.0\r\nServicePack=4\r\n", S_OK, 0},
        {"nothing new", nullptr, "MajorVerson=1.0\r\nServicePack=3\r\nServiceProPack=5\r\n", E_ABORT, 0},
        {"only the professional package", nullptr, "MajorVerson=1.0\r\nServicePack=3\r\nServiceProPack=6\r\n", S_OK, 1},
        {"professional, nothing new", "[Config]\r\nIsProUpdate=1\r\n",
         "MajorVerson=1.0\r\nServicePack=9\r\nServiceProPack=5\r\n", E_ABORT, 0},
        {"professional, a new pack", "[Config]\r\nIsProUpdate=1\r\n", "MajorVerson=1.0\r\nServiceProPack=6\r\n", S_OK, 0},
        {"an answer without our section", nullptr, "", E_ABORT, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::DeleteFileW(AmbrelIniPath().c_str());
        if (c.edition)
            WriteBytes(AmbrelIniPath(), c.edition);
        CUpdateManager manager;
        Describe(c.keys);
        m_cmd.m_strUrl = m_server.Url("/check").c_str();
        EXPECT_EQ(c.result, manager.CheckUpdate(&m_cmd));
        EXPECT_EQ(c.proOffer, manager.m_bProOffer);
        EXPECT_EQ(SUCCEEDED(c.result), PathExists(UpdateFile(L"update.ini")));
        EXPECT_NE(nullptr, manager.GetLocalInfo());
    }
}

TEST_F(UpdateManagerTest, OneCheckShowsTheTipsAndOpensTheDownloadPageAtMostOnce)
{
    // Installed 1.0, service pack 3, professional pack 5: both judgements of a
    // standard-edition check reach the same verdict.
    const struct {
        const char* name;
        const char* edition;  // "Ambrel.ini", or null
        std::string keys;
        size_t opened;
    } cases[] = {
        {"elsewhere", nullptr,
         "MajorVerson=2.0\r\nServicePack=4\r\nServiceProPack=6\r\nCanUpdate=0\r\nTips=Get it there\r\n"
         "DownloadURL=http://example.com/get\r\n", 1},
        {"elsewhere, professional", "[Config]\r\nIsProUpdate=1\r\n",
         "MajorVerson=2.0\r\nServicePack=4\r\nServiceProPack=6\r\nCanUpdate=0\r\nTips=Get it there\r\n"
         "DownloadURL=http://example.com/get\r\n", 1},
        {"too old", nullptr,
         "MajorVerson=1.0\r\nServicePack=4\r\nServiceProPack=6\r\nValidVersion=1.5\r\nTips=Get it there\r\n", 0},
        {"too old, professional", "[Config]\r\nIsProUpdate=1\r\n",
         "MajorVerson=1.0\r\nServicePack=4\r\nServiceProPack=6\r\nValidVersion=1.5\r\nTips=Get it there\r\n", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::DeleteFileW(AmbrelIniPath().c_str());
        if (c.edition)
            WriteBytes(AmbrelIniPath(), c.edition);
        Effects().Clear();
        Describe(c.keys);
        EXPECT_EQ(E_ABORT, Check());
        ASSERT_EQ(1u, Effects().messages.size());
        EXPECT_EQ(L"Get it there", Effects().messages[0].text);
        EXPECT_EQ(c.opened, Effects().opened.size());
    }
}

TEST_F(UpdateManagerTest, NoDescriptionFailsTheCheck)
{
    m_server.Serve("/error", HttpReply(404, "<html>not here</html>"));
    // A piece of a description would send the package request to a junk address.
    m_server.Serve("/piece", HttpReply(206, "[OEMClient_Acme]\r\nMajorVerson=1.0\r\nServicePack=4\r\nURL=http://junk"));
    AfxSilenceErrors(true);
    EXPECT_EQ(E_FAIL, Check(m_server.Url("/piece")));
    EXPECT_EQ(E_FAIL, Check(m_server.Url("/error"), 1, 1234));
    EXPECT_EQ(1234u, m_manager.m_dwProcessId);  // copied before anything can fail
    const std::wstring unreachable = L"http://127.0.0.1:" + std::to_wstring(TestHttpServer::UnusedPort()) + L"/check";
    EXPECT_EQ(E_FAIL, Check(unreachable, 1));
    EXPECT_TRUE(Effects().messages.empty());

    // Not silent: the user sees why the report failed, and the check goes on.
    EXPECT_EQ(E_FAIL, Check(unreachable, 0));
    EXPECT_EQ(1u, Effects().messages.size());

    // With the description's errors shown too, the server that is down for
    // both requests is told once.
    AfxSilenceErrors(false);
    Effects().Clear();
    EXPECT_EQ(E_FAIL, Check(unreachable, 0));
    EXPECT_EQ(1u, Effects().messages.size());
}

TEST_F(UpdateManagerTest, ReadUrlLineGivesTheFirstLineOrNothing)
{
    m_server.Serve("/line", HttpReply(200, "first line\r\nsecond line\r\n"));
    EXPECT_STREQ(L"first line", ReadUrlLine(m_server.Url("/line")));
    m_server.Serve("/line", HttpReply(200, "only"));
    EXPECT_STREQ(L"only", ReadUrlLine(m_server.Url("/line")));
    EXPECT_STREQ(L"", ReadUrlLine(L"http://127.0.0.1:1/"));
    EXPECT_TRUE(Effects().messages.empty());
    AfxSetSilentCheck(false);
    EXPECT_STREQ(L"", ReadUrlLine(L"not an address"));
    EXPECT_EQ(1u, Effects().messages.size());
}

TEST_F(UpdateManagerTest, TheReportRequestEndsAtItsTimeOutsAndTakesOnlyTheWeb)
{
    HttpReply silent;
    silent.stall = HttpReply::Stall::BeforeHeaders;
    m_server.Serve("/report", silent);
    const ULONGLONG started = ::GetTickCount64();
    EXPECT_STREQ(L"", ReadUrlLine(m_server.Url("/report")));
    const ULONGLONG elapsed = ::GetTickCount64() - started;
    std::printf("a report server that never answers cost %llu ms\n", elapsed);
    EXPECT_LT(elapsed, 20000u);

    const ULONGLONG ftpStarted = ::GetTickCount64();
    EXPECT_STREQ(L"", ReadUrlLine(L"ftp://127.0.0.1/report"));
    EXPECT_LT(::GetTickCount64() - ftpStarted, 2000u);
    EXPECT_TRUE(Effects().messages.empty());  // silent
}

TEST_F(UpdateManagerTest, AnUpdateRunThatCannotDownloadEndsNoHost)
{
    AfxSilenceErrors(true);
    Describe("MajorVerson=1.0\r\nServicePack=4\r\nURL=" + m_server.UrlA("/missing.cab") + "\r\n");
    ChildHost host(L"quit 42");
    ASSERT_TRUE(host.Started());
    ASSERT_EQ(S_OK, Check(m_server.Url("/check"), 1, host.Id()));
    EXPECT_TRUE(FAILED(m_manager.DoUpdate()));
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), host.WaitForExitCode(0));
    EXPECT_TRUE(m_manager.m_extraction.package.empty());
}

TEST_F(UpdateManagerTest, OnlyTheProfessionalOfferInstallsNothing)
{
    m_server.Serve("/std.cab", HttpReply(200, CabinetBytes(12)));
    Describe("MajorVerson=1.0\r\nServicePack=3\r\nServiceProPack=6\r\nURL=" + m_server.UrlA("/std.cab") + "\r\n");
    ASSERT_EQ(S_OK, Check());
    ASSERT_EQ(1, m_manager.m_bProOffer);
    EXPECT_EQ(1, m_manager.DoUpdate());
    EXPECT_EQ(2u, m_server.Requests().size());  // the report and the description, no package
    EXPECT_FALSE(PathExists(UpdateFile(L"update.cab")));
    EXPECT_TRUE(m_manager.m_extraction.package.empty());
}

TEST_F(UpdateManagerTest, TheProfessionalOfferSpeaksOfTheLastCheckOnly)
{
    Describe("MajorVerson=1.0\r\nServicePack=3\r\nServiceProPack=6\r\n");
    ASSERT_EQ(S_OK, Check());
    ASSERT_EQ(1, m_manager.m_bProOffer);
    Describe("MajorVerson=1.0\r\nServicePack=4\r\nServiceProPack=6\r\n");
    EXPECT_EQ(S_OK, Check());
    EXPECT_EQ(0, m_manager.m_bProOffer);
}

UINT WaitForStop(LPVOID pParam)
{
    static_cast<CEvent*>(pParam)->Lock(60000);
    return 0;
}

TEST(UpdateManagerWorker, StopWorkerPulsesUntilTheWorkerHasEnded)
{
    CUpdateManager manager;
    manager.StopWorker();  // nothing stored: returns at once

    CWinThread* pThread = AfxBeginThread(&WaitForStop, &manager.m_eventStop, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(nullptr, pThread);
    pThread->m_bAutoDelete = FALSE;
    pThread->ResumeThread();
    manager.m_pWorkerThread = pThread;
    const DWORD start = ::GetTickCount();
    manager.StopWorker();
    const DWORD elapsed = ::GetTickCount() - start;
    EXPECT_EQ(nullptr, manager.m_pWorkerThread);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(*pThread, 0));
    EXPECT_LT(elapsed, 30000u);
    delete pThread;
}

} // namespace
