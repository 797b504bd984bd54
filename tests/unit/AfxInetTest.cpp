#include "framework/AfxInet.h"

#include <gtest/gtest.h>


namespace {

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

} // namespace
