#include "net/FileDownloadHttp.h"

#include "framework/AfxWin.h"
#include "host/UpdateApp.h"
#include "manager/UpdateManager.h"
#include "support/TestHttpServer.h"
#include "support/WindowDriver.h"
#include "unit/RecordingEffects.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

namespace {

namespace fs = std::filesystem;
using testing_support::HttpReply;
using testing_support::TestHttpServer;
using testing_support::WaitUntil;

// Bytes that differ from one offset to the next, so that a lost or repeated piece shows.
std::string Body(size_t size)
{
    std::string body(size, '\0');
    for (size_t i = 0; i < size; ++i)
        body[i] = static_cast<char>('A' + (i * 7 + i / 251) % 26);
    return body;
}

std::optional<std::string> ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

class FileDownloadHttpTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start());
        folder = fs::path(AfxGetModuleFolder(nullptr).GetString()) / L"download-test";
        fs::remove_all(folder);
        fs::create_directory(folder);
        dest = folder / L"file.bin";
        temp = folder / L"file.bin.tmp";
    }

    void TearDown() override
    {
        server.Stop();
        fs::remove_all(folder);
        AfxSilenceErrors(false);
        AfxSetSilentCheck(true);
    }

    // Waits until the worker has finished or given up, then tells what it
    // kept for a person, as a caller's wait does.
    static bool WaitForEnd(CFileDownloadHttp& download)
    {
        const bool bEnded = WaitUntil([&] { return download.IsFinished() || download.HasStopped(); }, 60000);
        download.TellPerson();
        return bEnded;
    }

    HRESULT Start(CFileDownloadHttp& download, const std::string& target = "/file.bin")
    {
        return download.Download(server.Url(target).c_str(), dest.c_str());
    }

    TestHttpServer server;
    fs::path folder;
    fs::path dest;
    fs::path temp;
};

// --- Complete transfers ---

TEST_F(FileDownloadHttpTest, ProgressMovesInWholeChunksAndFinishesAfterTheDestinationIsWhole)
{
    const std::string body = Body(10000);
    HttpReply reply{200, body};
    reply.holdsAt = {5000, 9000};
    server.Serve("/file.bin", reply);
    WriteAll(dest, "old");

    CFileDownloadHttp download;
    download.SetErrorsShown(true);
    ASSERT_EQ(S_OK, Start(download));
    const LONG steps[] = {4096, 8192};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(server.WaitUntilHeld(i + 1));
        ASSERT_TRUE(WaitUntil([&] { return download.GetReceived() == steps[i]; }));
        EXPECT_EQ(0, download.IsFinished());
        EXPECT_EQ("old", ReadAll(dest));
        server.Release();
    }
    ASSERT_TRUE(WaitUntil([&] { return download.IsFinished() == 1; }));
    EXPECT_EQ(body, ReadAll(dest));
    EXPECT_EQ(10000, download.GetReceived());
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_FALSE(download.HasStopped());
    EXPECT_TRUE(Effects().messages.empty());
}

TEST_F(FileDownloadHttpTest, BodiesArriveWhole)
{
    struct Case {
        const char* name;
        size_t size;
        bool chunked;
        size_t trickleBytes;
    };
    const Case cases[] = {
        {"exactly one chunk", 4096, false, 0},
        {"chunked, in small chunks", 20000, true, 1000},
        {"slow trickle", 12000, false, 1500},
        {"larger than the read buffers", 3 * 1024 * 1024 + 17, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string body = Body(c.size);
        HttpReply reply{200, body};
        reply.chunked = c.chunked;
        reply.trickleBytes = c.trickleBytes;
        reply.trickleDelayMs = 20;
        server.Serve("/file.bin", reply);
        fs::remove(dest);

        CFileDownloadHttp download;
        download.SetErrorsShown(true);
        ASSERT_EQ(S_OK, Start(download));
        ASSERT_TRUE(WaitForEnd(download));
        EXPECT_EQ(1, download.IsFinished());
        EXPECT_EQ(static_cast<LONG>(c.size), download.GetReceived());
        EXPECT_EQ(body, ReadAll(dest));
        EXPECT_FALSE(fs::exists(temp));
    }
}

TEST_F(FileDownloadHttpTest, EmptyBodyIsReportedAndStillSaved)
{
    server.Serve("/file.bin", HttpReply{200, ""});
    // Said only to a person who watches: never in a silent check.
    for (BOOL silent : {0, 1}) {
        SCOPED_TRACE(silent);
        Effects().Clear();
        WriteAll(dest, "old");
        AfxSetSilentCheck(silent != 0);

        CFileDownloadHttp download;
        download.SetErrorsShown(true);
        ASSERT_EQ(S_OK, Start(download));
        ASSERT_TRUE(WaitForEnd(download));
        EXPECT_EQ(1, download.IsFinished());
        EXPECT_EQ("", ReadAll(dest));
        ASSERT_EQ(silent ? 0u : 1u, Effects().messages.size());
        if (!silent) {
            EXPECT_EQ(L"文件错误", Effects().messages[0].text);
        }
    }
}

TEST_F(FileDownloadHttpTest, RequestCarriesThePathAndQueryOfTheAddress)
{
    server.Serve("/file.bin", HttpReply{200, "x"});

    CFileDownloadHttp download;
    download.SetErrorsShown(true);
    ASSERT_EQ(S_OK, Start(download, "/file.bin?a=1&version=2.0&SP=3"));
    ASSERT_TRUE(WaitForEnd(download));
    const auto requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("GET", requests[0].method);
    EXPECT_EQ("/file.bin?a=1&version=2.0&SP=3", requests[0].target);
}

// --- Stops ---

TEST_F(FileDownloadHttpTest, StopDuringAReadEndsTheWorkerAtItsNextCheck)
{
    HttpReply reply{200, Body(20000)};
    reply.holdsAt = {5000};
    server.Serve("/file.bin", reply);
    WriteAll(dest, "old");

    CFileDownloadHttp download;
    download.SetErrorsShown(true);
    ASSERT_EQ(S_OK, Start(download));
    ASSERT_TRUE(server.WaitUntilHeld(1));
    ASSERT_TRUE(WaitUntil([&] { return download.GetReceived() == 4096; }));
    // The worker now waits inside its read of the second chunk.
    download.Cancel();
    server.Release();
    const ULONGLONG started = ::GetTickCount64();
    download.StopThread();
    // Without the stop, the wait would last at least one 2-second round.
    EXPECT_LT(::GetTickCount64() - started, 1800u);

    EXPECT_EQ(4096, download.GetReceived());  // the chunk read after the stop is dropped
    EXPECT_EQ(0, download.IsFinished());
    EXPECT_TRUE(download.HasStopped());
    EXPECT_EQ("old", ReadAll(dest));
    EXPECT_FALSE(fs::exists(temp));
}

TEST_F(FileDownloadHttpTest, DestroyingADownloadStuckInAReadReturns)
{
    const std::string body = Body(20000);
    HttpReply reply{200, body};
    reply.holdsAt = {5000};  // never released: the read times out
    server.Serve("/file.bin", reply);
    WriteAll(dest, "old");
    AfxSilenceErrors(true);

    {
        CFileDownloadHttp download;
        download.SetErrorsShown(true);
        ASSERT_EQ(S_OK, Start(download));
        ASSERT_TRUE(WaitUntil([&] { return download.GetReceived() == 4096; }));
    }
    // Destroying is a stop: the wait for the network ends on it.
    EXPECT_EQ("old", ReadAll(dest));
    EXPECT_FALSE(fs::exists(temp));
}

TEST_F(FileDownloadHttpTest, ADeadlineEndsADownloadThatNeverEnds)
{
    HttpReply reply{200, Body(10000)};
    reply.trickleBytes = 1;
    reply.trickleDelayMs = 100;
    server.Serve("/file.bin", reply);
    WriteAll(dest, "old");
    AfxSilenceErrors(true);

    CFileDownloadHttp download;
    download.SetErrorsShown(true);
    download.SetDeadline(1500);
    const ULONGLONG started = ::GetTickCount64();
    ASSERT_EQ(S_OK, Start(download));
    ASSERT_TRUE(WaitForEnd(download));
    const ULONGLONG elapsed = ::GetTickCount64() - started;
    std::printf("a 1.5 s deadline ended the trickle after %llu ms\n", elapsed);
    EXPECT_LT(elapsed, 10000u);
    EXPECT_TRUE(download.HasStopped());
    EXPECT_EQ("old", ReadAll(dest));
}

// --- Failures: the destination stays as it was ---

TEST_F(FileDownloadHttpTest, TransferErrorKeepsTheDestinationAndThePartialFile)
{
    const std::string body = Body(10000);
    for (LONG interactive : {1, 0}) {
        SCOPED_TRACE(interactive);
        AfxSilenceErrors(!interactive);
        Effects().Clear();
        HttpReply reply{200, body};
        reply.cutAfter = 6000;
        server.Serve("/file.bin", reply);
        WriteAll(dest, "old");
        fs::remove(temp);

        CFileDownloadHttp download;
        download.SetErrorsShown(true);
        ASSERT_EQ(S_OK, Start(download));
        ASSERT_TRUE(WaitForEnd(download));
        EXPECT_TRUE(download.HasStopped());
        EXPECT_EQ(0, download.IsFinished());
        EXPECT_EQ("old", ReadAll(dest));
        const auto partial = ReadAll(temp);
        ASSERT_TRUE(partial.has_value());
        EXPECT_GE(partial->size(), 4096u);
        EXPECT_EQ(body.substr(0, partial->size()), *partial);
        EXPECT_EQ(interactive ? 1u : 0u, Effects().messages.size());
    }
}

TEST_F(FileDownloadHttpTest, AServerThatFallsSilentFailsTheTransfer)
{
    AfxSilenceErrors(true);
    for (const auto stall : {HttpReply::Stall::BeforeHeaders, HttpReply::Stall::AfterHeaders}) {
        const bool bBeforeHeaders = stall == HttpReply::Stall::BeforeHeaders;
        SCOPED_TRACE(bBeforeHeaders ? "before its headers" : "after its headers");
        HttpReply reply{200, Body(10000)};
        reply.stall = stall;
        server.Serve("/file.bin", reply);
        WriteAll(dest, "old");

        CFileDownloadHttp download;
        download.SetErrorsShown(true);
        EXPECT_EQ(S_OK, Start(download));
        ASSERT_TRUE(WaitForEnd(download));
        EXPECT_TRUE(download.HasStopped());
        EXPECT_EQ("old", ReadAll(dest));
        EXPECT_EQ(bBeforeHeaders ? std::nullopt : std::optional<std::string>(""), ReadAll(temp));
    }
}

TEST_F(FileDownloadHttpTest, ErrorStatusIsNeverSaved)
{
    for (int status : {404, 500}) {
        SCOPED_TRACE(status);
        server.Serve("/file.bin", HttpReply{status, "<html>error page</html>"});
        WriteAll(dest, "old");
        WriteAll(temp, "left from an earlier run");

        CFileDownloadHttp download;
        download.SetErrorsShown(true);
        EXPECT_EQ(S_OK, Start(download));
        ASSERT_TRUE(WaitForEnd(download));
        EXPECT_TRUE(download.HasStopped());
        EXPECT_EQ(0, download.IsFinished());
        EXPECT_EQ("old", ReadAll(dest));
        EXPECT_FALSE(fs::exists(temp));
    }
    EXPECT_TRUE(Effects().messages.empty());
}

TEST_F(FileDownloadHttpTest, AddressesThatLeadNowhereFail)
{
    const std::wstring refused = L"http://127.0.0.1:" + std::to_wstring(TestHttpServer::UnusedPort()) + L"/file.bin";
    struct Case {
        std::wstring url;
        bool bStarts;                    // the worker finds out; a bad address fails at once
        size_t messagesWhenInteractive;  // a framework error is shown; a bad address is not
    };
    const Case cases[] = {
        {refused, true, 1},
        {L"not an address", false, 0},
        {L"", false, 0},
        {L"http://", false, 0},
        // Nothing is sent for another scheme.
        {L"ftp://127.0.0.1/file.bin", false, 0},
        {L"file:///C:/windows/win.ini", false, 0},
    };
    for (const Case& c : cases) {
        for (LONG interactive : {1, 0}) {
            SCOPED_TRACE(testing::Message() << "interactive " << interactive << ", " << c.url);
            AfxSilenceErrors(!interactive);
            Effects().Clear();
            WriteAll(dest, "old");

            CFileDownloadHttp download;
            download.SetErrorsShown(true);
            EXPECT_EQ(c.bStarts ? S_OK : E_FAIL, download.Download(c.url.c_str(), dest.c_str()));
            ASSERT_TRUE(WaitForEnd(download));
            EXPECT_TRUE(download.HasStopped());
            EXPECT_EQ("old", ReadAll(dest));
            EXPECT_EQ(interactive ? c.messagesWhenInteractive : 0u, Effects().messages.size());
        }
    }
}

TEST_F(FileDownloadHttpTest, DestinationThatCannotBeReplacedIsNoFinish)
{
    server.Serve("/file.bin", HttpReply{200, Body(5000)});
    fs::create_directory(dest);  // a folder stands where the file should go
    AfxSilenceErrors(true);

    CFileDownloadHttp download;
    download.SetErrorsShown(true);
    ASSERT_EQ(S_OK, Start(download));
    ASSERT_TRUE(WaitForEnd(download));
    EXPECT_TRUE(download.HasStopped());
    EXPECT_EQ(0, download.IsFinished());
    EXPECT_TRUE(fs::is_directory(dest));
    EXPECT_EQ(Body(5000), ReadAll(temp));
}

} // namespace
