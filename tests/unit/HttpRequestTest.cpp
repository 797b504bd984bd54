#include "net/HttpRequest.h"

#include "support/TestHttpServer.h"
#include "support/TestTlsProxy.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using testing_support::HttpReply;
using testing_support::TestHttpServer;
using testing_support::TestTlsProxy;

HttpReply Redirect(const std::string& location, int status = 302)
{
    HttpReply reply(status, "moved");
    reply.headers = {"Location: " + location};
    return reply;
}

TEST(HttpRequest, RedirectsAreFollowedByRuleAndNeverForEver)
{
    TestHttpServer a, b;
    ASSERT_TRUE(a.Start());
    ASSERT_TRUE(b.Start());
    a.Serve("/file", HttpReply(200, "body"));
    a.Serve("/relative", Redirect("/file", 301));
    a.Serve("/loop", Redirect("/loop"));
    a.Serve("/to-b", Redirect(b.UrlA("/to-a"), 307));
    b.Serve("/to-a", Redirect(a.UrlA("/to-b")));
    a.Serve("/ftp", Redirect("ftp://127.0.0.1/update.cab"));
    a.Serve("/file-scheme", Redirect("file:///C:/Windows/win.ini"));
    // A plain server named as a TLS one: the handshake can only fail, at the time-outs.
    a.Serve("/to-tls", Redirect("https://127.0.0.1:" + std::to_string(a.Port()) + "/file"));
    for (int i = 0; i < 10; ++i)
        a.Serve("/hop" + std::to_string(i), Redirect(i == 9 ? "/file" : "/hop" + std::to_string(i + 1)));
    a.Serve("/hop-eleven", Redirect("/hop0"));

    const struct {
        const char* target;
        HRESULT result;
        size_t requests;  // at both servers
    } cases[] = {
        {"/relative", S_OK, 2},
        {"/hop0", S_OK, 11},  // ten redirects are allowed
        {"/hop-eleven", HRESULT_FROM_WIN32(ERROR_HTTP_REDIRECT_FAILED), 11},
        {"/loop", HRESULT_FROM_WIN32(ERROR_HTTP_REDIRECT_FAILED), 11},
        {"/to-b", HRESULT_FROM_WIN32(ERROR_HTTP_REDIRECT_FAILED), 11},
        {"/ftp", HRESULT_FROM_WIN32(ERROR_INTERNET_UNRECOGNIZED_SCHEME), 1},
        {"/file-scheme", HRESULT_FROM_WIN32(ERROR_HTTP_REDIRECT_FAILED), 1},  // no host to speak to
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        const size_t before = a.Requests().size() + b.Requests().size();
        CHttpRequest request;
        EXPECT_EQ(c.result, request.Send(a.Url(c.target).c_str(), nullptr, nullptr, 0));
        EXPECT_EQ(c.requests, a.Requests().size() + b.Requests().size() - before);
        if (c.result == S_OK) {
            EXPECT_EQ(200u, request.GetStatus());
            EXPECT_EQ(a.Url("/file"), request.GetUrl().Str());
        }
    }

    const ULONGLONG started = ::GetTickCount64();
    CHttpRequest request;
    EXPECT_TRUE(FAILED(request.Send(a.Url("/to-tls").c_str(), nullptr, nullptr, 0)));
    const ULONGLONG elapsed = ::GetTickCount64() - started;
    std::printf("redirect to TLS on a plain port failed after %llu ms\n", elapsed);
    EXPECT_LT(elapsed, 30000u);
}

TEST(HttpRequest, TlsIsCheckedAndNeverLeftForThePlainWeb)
{
    ASSERT_TRUE(testing_support::TrustTestAuthority());
    TestHttpServer server;
    ASSERT_TRUE(server.Start());
    TestTlsProxy trusted, untrusted;
    ASSERT_TRUE(trusted.Start(server.Port(), true));
    ASSERT_TRUE(untrusted.Start(server.Port(), false));
    server.Serve("/file", HttpReply(200, "body"));
    server.Serve("/to-plain", Redirect(server.UrlA("/file")));
    server.Serve("/to-tls", Redirect(trusted.UrlA("/file")));

    const struct {
        std::wstring url;
        HRESULT result;
    } cases[] = {
        {trusted.Url("/file"), S_OK},
        {L"HTTPS://localhost:" + std::to_wstring(trusted.Port()) + L"/file", S_OK},
        {server.Url("/to-tls"), S_OK},  // from the plain web to TLS is fine
        // Refused, in whatever words the platform finds (Wine: revocation failed).
        {untrusted.Url("/file"), E_FAIL},
        // The certificate names localhost, not the address.
        {L"https://127.0.0.1:" + std::to_wstring(trusted.Port()) + L"/file", E_FAIL},
        {trusted.Url("/to-plain"), HRESULT_FROM_WIN32(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.url.c_str());
        CHttpRequest request;
        const HRESULT hr = request.Send(c.url.c_str(), nullptr, nullptr, 0);
        if (c.result == E_FAIL)
            EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
        else
            EXPECT_EQ(c.result, hr);
        if (c.result == S_OK) {
            const BYTE* pData = nullptr;
            DWORD nRead = 0;
            ASSERT_EQ(S_OK, request.Read(&pData, &nRead, 100, nullptr, 0));
            EXPECT_EQ("body", std::string(reinterpret_cast<const char*>(pData), nRead));
        }
    }
}

} // namespace
