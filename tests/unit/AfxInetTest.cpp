#include "framework/AfxException.h"
#include "framework/AfxInet.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using testing_support::HttpReply;
using testing_support::TestHttpServer;

TEST(ParseURL, SplitsServiceServerObjectAndPort)
{
    struct Case {
        LPCWSTR url;
        DWORD service;
        LPCWSTR server;
        LPCWSTR object;
        INTERNET_PORT port;
    };
    const Case cases[] = {
        {L"http://example.com/update/update.ini", AFX_INET_SERVICE_HTTP, L"example.com", L"/update/update.ini", 80},
        {L"http://127.0.0.1:8080", AFX_INET_SERVICE_HTTP, L"127.0.0.1", L"/", 8080},
        {L"http://h/check.asp?id=7&version=1.0&SP=2", AFX_INET_SERVICE_HTTP, L"h", L"/check.asp?id=7&version=1.0&SP=2", 80},
        {L"https://h/p", AFX_INET_SERVICE_HTTPS, L"h", L"/p", 443},
        {L"ftp://h/f.cab", AFX_INET_SERVICE_FTP, L"h", L"/f.cab", 21},
        {L"HTTP://user:pw@h:81/p", AFX_INET_SERVICE_HTTP, L"h", L"/p", 81},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        DWORD service = 0;
        CString server, object;
        INTERNET_PORT port = 0;
        ASSERT_TRUE(AfxParseURL(c.url, service, server, object, port));
        EXPECT_EQ(c.service, service);
        EXPECT_STREQ(c.server, server);
        EXPECT_STREQ(c.object, object);
        EXPECT_EQ(c.port, port);
    }
}

TEST(ParseURL, RefusesWhatIsNoAddress)
{
    for (LPCWSTR url : {L"", L"not an address", L"http://", L"://h/p", L"example.com/update.ini"}) {
        SCOPED_TRACE(url);
        DWORD service = 0;
        CString server, object;
        INTERNET_PORT port = 0;
        EXPECT_FALSE(AfxParseURL(url, service, server, object, port));
    }
    DWORD service = 0;
    CString server, object;
    INTERNET_PORT port = 0;
    EXPECT_FALSE(AfxParseURL(nullptr, service, server, object, port));
}

class InternetSessionTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }
    void TearDown() override { server.Stop(); }

    TestHttpServer server;
};

TEST_F(InternetSessionTest, OpenURLReadsLineByLine)
{
    // The second line is "你好" in the ANSI code page of the tests (936).
    server.Serve("/lines", HttpReply{200, "first line\r\n\xC4\xE3\xBA\xC3\nlast without end"});
    CInternetSession session;
    std::unique_ptr<CInternetFile> file(session.OpenURL(server.Url("/lines?x=1").c_str()));
    ASSERT_NE(nullptr, dynamic_cast<CHttpFile*>(file.get()));
    DWORD status = 0;
    EXPECT_TRUE(static_cast<CHttpFile*>(file.get())->QueryInfoStatusCode(status));
    EXPECT_EQ(200u, status);

    CString line;
    EXPECT_TRUE(file->ReadString(line));
    EXPECT_STREQ(L"first line", line);
    EXPECT_TRUE(file->ReadString(line));
    EXPECT_STREQ(L"你好", line);
    EXPECT_TRUE(file->ReadString(line));
    EXPECT_STREQ(L"last without end", line);
    EXPECT_FALSE(file->ReadString(line));
    EXPECT_EQ("/lines?x=1", server.Requests().at(0).target);
}

TEST_F(InternetSessionTest, RefusedConnectionThrowsItsCode)
{
    CInternetSession session;
    const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(TestHttpServer::UnusedPort()) + L"/";
    try {
        std::unique_ptr<CInternetFile> file(session.OpenURL(url.c_str()));
        FAIL() << "a refused connection opened";
    } catch (CException* e) {
        CExceptionPtr guard(e);
        auto* pInternetError = dynamic_cast<CInternetException*>(e);
        ASSERT_NE(nullptr, pInternetError);
        EXPECT_EQ(static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT), pInternetError->m_dwError);
    }
}

} // namespace
