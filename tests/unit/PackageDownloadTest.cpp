#include "description/RemoteUpdateInfo.h"
#include "host/UpdateApp.h"
#include "framework/AfxHandle.h"
#include "install/FileManager.h"
#include "manager/ProgressFigures.h"
#include "net/PartialDownload.h"
#include "unit/NetworkFiles.h"
#include "unit/RecordingSink.h"
#include "verify/Sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

namespace {

using testing_support::HttpReply;

std::string HexDigestOf(const std::string& bytes)
{
    Sha256Digest digest;
    Sha256Of(bytes.data(), bytes.size(), digest);
    const std::wstring hex = FormatSha256Hex(digest);
    return std::string(hex.begin(), hex.end());
}

class PackageDownload : public NetworkFilesTest {
protected:
    void Describe(const std::string& keys)
    {
        WriteBytes(UpdateFile(L"update.ini"), "[OEMClient_Acme]\r\n" + keys);
        m_manager.m_pRemoteInfo = std::make_unique<CRemoteUpdateInfo>(UpdateFile(L"update.ini").c_str());
        m_manager.m_pRemoteInfo->LoadClient(L"Acme");
    }


    CFileManager m_manager;
    RecordingSink m_sink;
};

TEST_F(PackageDownload, ReportsTheStartAndEveryPollThenHoldsThePackage)
{
    const std::string body = CabinetBytes(20000);
    HttpReply reply(200, body);
    reply.holdsAt = {8192};
    m_server.Serve("/std.cab", reply);
    Describe("URL=" + m_server.UrlA("/std.cab") + "\r\nCABFileSize=20000\r\n");
    m_manager.m_pEventSink = &m_sink;
    bool released = false;
    m_sink.answer = [&](const SinkEvent& e) {
        if (e.p1 == 8192 && !released) {
            m_server.Release();
            released = true;
        }
        return 0;
    };

    EXPECT_EQ(S_OK, m_manager.DownloadPackage());
    EXPECT_EQ(body, ReadBytes(UpdateFile(L"update.cab")));
    EXPECT_TRUE(released);  // the sink saw the download stand at the hold
    ASSERT_GE(m_sink.events.size(), 3u);
    const SinkEvent& start = m_sink.events[0];
    EXPECT_EQ(2, start.kind);
    EXPECT_EQ(-1, start.p1);
    EXPECT_EQ(0, start.p2);
    EXPECT_EQ(20000, start.p3);
    int last = 0;
    for (size_t i = 1; i < m_sink.events.size(); ++i) {
        const SinkEvent& e = m_sink.events[i];
        EXPECT_EQ(2, e.kind);
        EXPECT_GE(e.p1, last);
        EXPECT_TRUE(e.p1 % 4096 == 0 || e.p1 == 20000) << e.p1;  // whole chunks until the last
        EXPECT_EQ(20000, e.p2);
        EXPECT_EQ(0, e.p3);
        last = e.p1;
    }
}

TEST_F(PackageDownload, TheEditionChoosesAddressAndSize)
{
    const std::string standard = CabinetBytes(100);
    const std::string professional = CabinetBytes(200);
    m_server.Serve("/std.cab", HttpReply(200, standard));
    m_server.Serve("/pro.cab", HttpReply(200, professional));
    Describe("URL=" + m_server.UrlA("/std.cab") + "\r\nCABFileSize=8\r\nURL_PRO=" + m_server.UrlA("/pro.cab") +
             "\r\nProCABFileSize=12\r\n");
    m_manager.m_pEventSink = &m_sink;

    m_manager.m_bIsProUpdate = 1;
    EXPECT_EQ(S_OK, m_manager.DownloadPackage());
    EXPECT_EQ(professional, ReadBytes(UpdateFile(L"update.cab")));
    EXPECT_EQ(12, m_sink.events.at(0).p3);

    m_sink.events.clear();
    m_manager.m_bIsProUpdate = 0;
    EXPECT_EQ(S_OK, m_manager.DownloadPackage());
    EXPECT_EQ(standard, ReadBytes(UpdateFile(L"update.cab")));
    EXPECT_EQ(8, m_sink.events.at(0).p3);
}

TEST_F(PackageDownload, NoAddressNoDownload)
{
    m_manager.m_pEventSink = &m_sink;
    EXPECT_EQ(E_INVALIDARG, m_manager.DownloadPackage());  // no description at all
    Describe("URL_PRO=" + m_server.UrlA("/pro.cab") + "\r\n");
    EXPECT_EQ(E_INVALIDARG, m_manager.DownloadPackage());
    EXPECT_TRUE(m_sink.events.empty());
    EXPECT_TRUE(m_server.Requests().empty());
}

TEST_F(PackageDownload, ASinkThatStopsEndsTheDownloadAtTheFirstPoll)
{
    WriteBytes(UpdateFile(L"update.cab"), "from an earlier run");
    HttpReply held(200, CabinetBytes(20000));
    held.holdsAt = {4096};
    m_server.Serve("/std.cab", held);
    Describe("URL=" + m_server.UrlA("/std.cab") + "\r\nCABFileSize=20000\r\n");
    m_manager.m_pEventSink = &m_sink;
    // The worker waits in its read at the hold; let it go on once the stop has
    // been asked for, so that it sees the stop rather than a read time-out.
    std::thread releaser;
    m_sink.answer = [&](const SinkEvent&) {
        if (!releaser.joinable())
            releaser = std::thread([&] {
                ::Sleep(500);
                m_server.Release();
            });
        return 1;
    };

    EXPECT_EQ(E_ABORT, m_manager.DownloadPackage());
    releaser.join();
    ASSERT_EQ(2u, m_sink.events.size());
    EXPECT_EQ(-1, m_sink.events[0].p1);  // the start, whose answer is not consulted
    EXPECT_EQ(std::string("from an earlier run"), ReadBytes(UpdateFile(L"update.cab")));
    EXPECT_FALSE(PathExists(UpdateFile(L"update.cab.tmp")));
}

TEST_F(PackageDownload, AFailedTransferIsAFailureNeverAHang)
{
    HttpReply cut(200, CabinetBytes(20000));
    cut.cutAfter = 10000;
    m_server.Serve("/cut.cab", cut);
    m_server.Serve("/error.cab", HttpReply(404, "<html>not here</html>"));
    ::InterlockedExchange(&g_bInteractive, 0);
    WriteBytes(UpdateFile(L"update.cab"), "from an earlier run");

    for (IUpdateEventSink* sink : {static_cast<IUpdateEventSink*>(nullptr), static_cast<IUpdateEventSink*>(&m_sink)}) {
        SCOPED_TRACE(sink ? "with a sink" : "without a sink");
        m_manager.m_pEventSink = sink;
        Describe("URL=" + m_server.UrlA("/cut.cab") + "\r\n");
        EXPECT_TRUE(FAILED(m_manager.DownloadPackage()));
        Describe("URL=" + m_server.UrlA("/error.cab") + "\r\n");
        EXPECT_TRUE(FAILED(m_manager.DownloadPackage()));
        Describe("URL=http://127.0.0.1:" + std::to_string(testing_support::TestHttpServer::UnusedPort()) + "/x.cab\r\n");
        EXPECT_TRUE(FAILED(m_manager.DownloadPackage()));
        EXPECT_EQ(std::string("from an earlier run"), ReadBytes(UpdateFile(L"update.cab")));
    }
}

TEST_F(PackageDownload, OnlyAWholeCabinetIsEverAPackage)
{
    const std::string cabinet = CabinetBytes(300000);
    HttpReply cutChunk(200, cabinet);
    cutChunk.chunked = true;
    cutChunk.trickleBytes = 50000;  // chunks of this size; the cut falls inside one
    cutChunk.cutAfter = 150100;
    HttpReply claimsMore(200, cabinet.substr(0, 200000));
    const struct {
        const char* name;
        HttpReply reply;
    } cases[] = {
        {"a chunked body cut inside a chunk", cutChunk},
        {"a piece that nobody asked for", HttpReply(206, cabinet)},
        {"no content", HttpReply(204, "")},
        {"an empty body", HttpReply(200, "")},
        {"an error page sent as a success", HttpReply(200, "<html>maintenance</html>")},
        {"a cabinet shorter than its header says", claimsMore},
    };
    ::InterlockedExchange(&g_bInteractive, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(UpdateFile(L"update.cab"), "from an earlier run");
        m_server.Serve("/std.cab", c.reply);
        Describe("URL=" + m_server.UrlA("/std.cab") + "\r\n");
        EXPECT_TRUE(FAILED(m_manager.DownloadPackage()));
        EXPECT_EQ(std::string("from an earlier run"), ReadBytes(UpdateFile(L"update.cab")));
    }
}

// A broken connection: what arrived is kept, and only the rest is asked for.
TEST_F(PackageDownload, ABrokenTransferGoesOnWhereItStoppedAndIsVerifiedWhole)
{
    const std::string v1 = CabinetBytes(1024 * 1024);
    std::string v2 = CabinetBytes(1024 * 1024);
    v2[600000] ^= 0x5A;
    const size_t k100 = 100 * 4096;
    const size_t k200 = 200 * 4096;
    const auto served = [&](const std::string& body, bool ranges, std::vector<size_t> resets) {
        HttpReply reply(200, body);
        reply.etag = "\"v1\"";
        reply.ranges = ranges;
        reply.resetsAt = std::move(resets);
        return reply;
    };
    const struct {
        const char* name;
        HttpReply reply;
        std::string kept;      // a partial file left by an earlier download of this address
        std::string keptUrl;   // whose record names this address ("": the package's own)
        std::vector<std::string> ranges;
        bool bChangesAtFirstReset = false;  // the file becomes v2 (another ETag) meanwhile
    } cases[] = {
        {"reset twice", served(v1, true, {k100, k200}), "", "", {"", "bytes=409600-", "bytes=819200-"}},
        {"no ranges: from the start again", served(v1, false, {k100}), "", "", {"", "bytes=409600-"}},
        {"the file changed", served(v1, true, {k100}), "", "", {"", "bytes=409600-"}, true},
        {"a partial file of this address", served(v1, true, {}), v1.substr(0, k100), "", {"bytes=409600-"}},
        {"a partial file of another address", served(v1, true, {}), v1.substr(0, k100), "http://elsewhere/x.cab", {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t before = m_server.Requests().size();
        m_server.Serve("/std.cab", c.reply);
        const std::string& expected = c.bChangesAtFirstReset ? v2 : v1;
        Describe("URL=" + m_server.UrlA("/std.cab") + "\r\nCABFileSHA256=" + HexDigestOf(expected) + "\r\n");
        ::DeleteFileW(UpdateFile(L"update.cab").c_str());
        if (!c.kept.empty()) {
            WriteBytes(UpdateFile(L"update.cab.tmp"), c.kept);
            const std::string url = c.keptUrl.empty() ? m_server.UrlA("/std.cab") : c.keptUrl;
            CPartialRecord{CString(std::wstring(url.begin(), url.end()).c_str()), L"\"v1\"", v1.size()}.Write(
                UpdateFile(L"update.cab.tmp.part").c_str());
        }
        bool changed = false;
        LONG previous = 0;
        bool backwards = false;
        int first = -1;
        m_manager.m_pEventSink = &m_sink;
        m_sink.answer = [&](const SinkEvent& e) {
            if (first < 0)
                first = e.p1 >= 0 ? e.p1 : -1;
            if (e.p1 >= 0) {
                backwards |= e.p1 < previous && !c.bChangesAtFirstReset && c.reply.ranges;
                previous = e.p1;
            }
            if (c.bChangesAtFirstReset && !changed && e.p1 >= static_cast<int>(k100)) {
                HttpReply next(200, v2);
                next.etag = "\"v2\"";
                next.ranges = true;
                m_server.Serve("/std.cab", next);
                changed = true;
            }
            return 0;
        };
        EXPECT_EQ(S_OK, m_manager.DownloadPackage());
        EXPECT_EQ(expected, ReadBytes(UpdateFile(L"update.cab")));
        EXPECT_FALSE(backwards) << "progress went back";
        if (!c.kept.empty() && c.keptUrl.empty()) {
            EXPECT_EQ(first, static_cast<int>(c.kept.size())) << "the kept part was fetched again";
        }
        std::vector<std::string> ranges;
        const auto requests = m_server.Requests();
        for (size_t i = before; i < requests.size(); ++i)
            ranges.push_back(requests[i].range);
        EXPECT_EQ(c.ranges, ranges);
        EXPECT_FALSE(PathExists(UpdateFile(L"update.cab.tmp")));
        EXPECT_FALSE(PathExists(UpdateFile(L"update.cab.tmp.part")));
    }
}

TEST_F(PackageDownload, ACancelDuringThePauseBeforeARetryEndsAtOnce)
{
    HttpReply reply(200, CabinetBytes(1024 * 1024));
    reply.etag = "\"v1\"";
    reply.ranges = true;
    reply.resetsAt = {100 * 4096};
    m_server.Serve("/std.cab", reply);
    Describe("URL=" + m_server.UrlA("/std.cab") + "\r\n");
    ULONGLONG stopped = 0;
    m_manager.m_pEventSink = &m_sink;
    m_sink.answer = [&](const SinkEvent& e) {
        if (e.p1 < 100 * 4096 || m_server.Requests().size() > 1)
            return 0;
        ::Sleep(300);  // well inside the first pause
        stopped = ::GetTickCount64();
        return 1;
    };
    EXPECT_EQ(E_ABORT, m_manager.DownloadPackage());
    const ULONGLONG elapsed = ::GetTickCount64() - stopped;
    std::printf("a cancel during the pause ended the download after %llu ms\n", elapsed);
    EXPECT_LT(elapsed, 2000u);
    EXPECT_EQ(1u, m_server.Requests().size());  // no retry after the stop
    EXPECT_FALSE(PathExists(UpdateFile(L"update.cab.tmp")));
}

} // namespace

namespace {

// A package of just over 2 GiB whose first 2 GiB are already here from an
// earlier download (a sparse file: no disk or memory of that size is used).
TEST_F(PackageDownload, APackageOver2GiBIsCountedWithoutWrappingWhetherStatedOrOnlyAnnounced)
{
    const ULONGLONG total = (2ull << 30) + 256 * 1024;
    const ULONGLONG kept = total - 128 * 1024;
    std::string head = CabinetBytes(64);
    for (int i = 0; i < 4; ++i)
        head[8 + i] = static_cast<char>((total >> (8 * i)) & 0xFF);
    HttpReply reply(200, head);
    reply.zerosAfter = static_cast<size_t>(total - head.size());
    reply.etag = "\"big\"";
    reply.ranges = true;
    m_server.Serve("/big.cab", reply);
    for (const bool bStated : {true, false}) {
        SCOPED_TRACE(bStated ? "stated by CABFileSize" : "announced by Content-Length only");
        Describe("URL=" + m_server.UrlA("/big.cab") + "\r\n" +
                 (bStated ? "CABFileSize=" + std::to_string(total) + "\r\n" : std::string()));
        WriteBytes(UpdateFile(L"update.cab.tmp"), head);
        {
            CHandle file(::CreateFileW(UpdateFile(L"update.cab.tmp").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            LARGE_INTEGER at;
            at.QuadPart = static_cast<LONGLONG>(kept);
            ASSERT_TRUE(::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.Get()));
        }
        CPartialRecord{m_server.Url("/big.cab").c_str(), L"\"big\"", total}.Write(UpdateFile(L"update.cab.tmp.part").c_str());
        m_sink.events.clear();
        m_manager.m_pEventSink = &m_sink;
        ASSERT_EQ(S_OK, m_manager.DownloadPackage());

        const int whole = static_cast<int>(total >> 1);  // counted in 2-byte units
        ASSERT_GE(m_sink.events.size(), 2u);
        EXPECT_EQ(m_sink.events.front().p3, whole) << "the bar's range";
        const SinkEvent& first = m_sink.events[1];
        const SinkEvent& last = m_sink.events.back();
        EXPECT_GE(first.p1, static_cast<int>(kept >> 1)) << "the count goes on beyond 2 GiB";
        EXPECT_EQ(last.p1, whole);
        for (size_t i = 1; i < m_sink.events.size(); ++i) {
            EXPECT_EQ(m_sink.events[i].p2, whole);
            EXPECT_EQ(m_sink.events[i].p3, 1) << "the unit";
        }
        EXPECT_EQ(ProgressBytes(last.p1, last.p3), total);
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        ASSERT_TRUE(::GetFileAttributesExW(UpdateFile(L"update.cab").c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow, total);
        ::DeleteFileW(UpdateFile(L"update.cab").c_str());
    }
}

} // namespace
