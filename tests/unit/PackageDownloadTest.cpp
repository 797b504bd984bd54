#include "description/RemoteUpdateInfo.h"
#include "host/UpdateApp.h"
#include "framework/AfxHandle.h"
#include "install/FileManager.h"
#include "manager/ProgressFigures.h"
#include "net/FileDownloadHttp.h"
#include "net/PartialDownload.h"
#include "support/FileLinks.h"
#include "unit/NetworkFiles.h"
#include "unit/RecordingEffects.h"
#include "unit/RecordingSink.h"
#include "base/Sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    m_manager.SetEventSink(&m_sink);
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
    // Until the answer is in, polls without figures; then the range and the progress.
    const std::vector<SinkEvent> download = m_sink.OfKind(2);
    const size_t nWaiting = m_sink.events.size() - download.size();
    for (size_t i = 0; i < nWaiting; ++i)
        EXPECT_EQ(1, m_sink.events[i].kind) << "no figures after the range";
    ASSERT_GE(download.size(), 3u);
    const SinkEvent& start = download[0];
    EXPECT_EQ(-1, start.p1);
    EXPECT_EQ(0, start.p2);
    EXPECT_EQ(20000, start.p3);
    int last = 0;
    for (size_t i = 1; i < download.size(); ++i) {
        const SinkEvent& e = download[i];
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
    Describe("URL=" + m_server.UrlA("/std.cab") + "\r\nCABFileSize=100\r\nURL_PRO=" + m_server.UrlA("/pro.cab") +
             "\r\nProCABFileSize=200\r\n");
    m_manager.SetEventSink(&m_sink);

    m_manager.m_bIsProUpdate = 1;
    EXPECT_EQ(S_OK, m_manager.DownloadPackage());
    EXPECT_EQ(professional, ReadBytes(UpdateFile(L"update.cab")));
    EXPECT_EQ(200, m_sink.OfKind(2).at(0).p3);

    m_sink.events.clear();
    m_manager.m_bIsProUpdate = 0;
    EXPECT_EQ(S_OK, m_manager.DownloadPackage());
    EXPECT_EQ(standard, ReadBytes(UpdateFile(L"update.cab")));
    EXPECT_EQ(100, m_sink.OfKind(2).at(0).p3);
}

TEST_F(PackageDownload, NoAddressNoDownload)
{
    m_manager.SetEventSink(&m_sink);
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
    m_manager.SetEventSink(&m_sink);
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
    // The first poll stops it, before the answer (no figures) or after it
    // (then the range comes first, and its answer is not consulted).
    const std::vector<SinkEvent> download = m_sink.OfKind(2);
    const bool bAnswered = !download.empty();
    ASSERT_EQ(bAnswered ? 2u : 1u, m_sink.events.size());
    if (bAnswered) {
        EXPECT_EQ(-1, m_sink.events[0].p1);
    }
    EXPECT_EQ(std::string("from an earlier run"), ReadBytes(UpdateFile(L"update.cab")));
    EXPECT_FALSE(PathExists(UpdateFile(L"update.cab.tmp")));
}

TEST_F(PackageDownload, AFailedTransferIsAFailureNeverAHang)
{
    HttpReply cut(200, CabinetBytes(20000));
    cut.cutAfter = 10000;
    m_server.Serve("/cut.cab", cut);
    m_server.Serve("/error.cab", HttpReply(404, "<html>not here</html>"));
    AfxSilenceErrors(true);
    WriteBytes(UpdateFile(L"update.cab"), "from an earlier run");

    for (IUpdateEventSink* sink : {static_cast<IUpdateEventSink*>(nullptr), static_cast<IUpdateEventSink*>(&m_sink)}) {
        SCOPED_TRACE(sink ? "with a sink" : "without a sink");
        m_manager.SetEventSink(sink);
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
    AfxSilenceErrors(true);
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
        ULONGLONG keptTotal = 0;            // the whole the kept part's record names (0: the file's)
    } cases[] = {
        {"reset twice", served(v1, true, {k100, k200}), "", "", {"", "bytes=409600-", "bytes=819200-"}},
        {"no ranges: from the start again", served(v1, false, {k100}), "", "", {"", "bytes=409600-"}},
        {"the file changed", served(v1, true, {k100}), "", "", {"", "bytes=409600-"}, true},
        {"a partial file of this address", served(v1, true, {}), v1.substr(0, k100), "", {"bytes=409600-"}},
        {"a partial file of another address", served(v1, true, {}), v1.substr(0, k100), "http://elsewhere/x.cab", {""}},
        // The server's range names another whole: the part goes, and the whole file comes in the same attempt.
        {"a partial file whose record names another total", served(v1, true, {}), v1.substr(0, k100), "",
         {"bytes=409600-", ""}, false, v1.size() + 4096},
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
            CPartialRecord{CString(std::wstring(url.begin(), url.end()).c_str()), L"\"v1\"",
                           c.keptTotal ? c.keptTotal : v1.size()}.Write(
                UpdateFile(L"update.cab.tmp.part").c_str());
        }
        bool changed = false;
        LONG previous = 0;
        bool backwards = false;
        m_manager.SetEventSink(&m_sink);
        m_sink.answer = [&](const SinkEvent& e) {
            if (e.kind != 2)
                return 0;
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
        std::vector<std::string> ranges;
        const auto requests = m_server.Requests();
        // Served as the rest, not the whole again: what the first poll sees
        // depends on how much has arrived by then, the server's answer does not.
        if (!c.kept.empty() && c.keptUrl.empty() && !c.keptTotal) {
            ASSERT_LT(before, requests.size());
            EXPECT_EQ(206, requests[before].answered) << "the kept part was fetched again";
        }
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
    m_manager.SetEventSink(&m_sink);
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

// A mirror that sends more than the description states must not fill the
// disk: what it sends past the stated size is never written, signed or not.
TEST_F(PackageDownload, APackageLargerThanStatedIsRefusedBeforeItFillsTheDisk)
{
    const std::string cabinet = CabinetBytes(300 * 1024);
    HttpReply announced(200, cabinet);
    announced.zerosAfter = 200u << 20;  // under a Content-Length that says so
    HttpReply chunked(200, cabinet + std::string(4u << 20, 'x'));
    chunked.chunked = true;  // no length: only the bytes themselves show it
    chunked.trickleBytes = 64 * 1024;
    const struct {
        const char* name;
        HttpReply reply;
        bool bDigest;
    } cases[] = {
        {"200 MiB more under a matching Content-Length", announced, false},
        {"the same, with the package's digest", announced, true},
        {"4 MiB more in a chunked body", chunked, false},
    };
    AfxSilenceErrors(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(UpdateFile(L"update.cab"), "from an earlier run");
        m_server.Serve("/std.cab", c.reply);
        Describe("URL=" + m_server.UrlA("/std.cab") + "\r\nCABFileSize=" + std::to_string(cabinet.size()) + "\r\n" +
                 (c.bDigest ? "CABFileSHA256=" + HexDigestOf(cabinet) + "\r\n" : std::string()));
        // What stands on the disk, looked at every poll.
        ULONGLONG nMostOnDisk = 0;
        int nMostShown = 0;
        m_sink.events.clear();
        m_manager.SetEventSink(&m_sink);
        m_sink.answer = [&](const SinkEvent& e) {
            WIN32_FILE_ATTRIBUTE_DATA data = {};
            if (::GetFileAttributesExW(UpdateFile(L"update.cab.tmp").c_str(), GetFileExInfoStandard, &data))
                nMostOnDisk = std::max(nMostOnDisk, static_cast<ULONGLONG>(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
            if (e.kind == 2 && e.p1 >= 0) {
                EXPECT_LE(e.p1, e.p2) << "received beyond the total";
                nMostShown = std::max(nMostShown, e.p1);
            }
            return 0;
        };
        const ULONGLONG started = ::GetTickCount64();
        EXPECT_EQ(CFileDownloadHttp::kTooLarge, m_manager.DownloadPackage());
        std::printf("%s: refused after %llu ms, %llu bytes at most on the disk\n", c.name,
                    ::GetTickCount64() - started, nMostOnDisk);
        EXPECT_LE(nMostOnDisk, cabinet.size());
        EXPECT_LE(static_cast<size_t>(nMostShown), cabinet.size());
        EXPECT_EQ(std::string("from an earlier run"), ReadBytes(UpdateFile(L"update.cab")));
        EXPECT_FALSE(PathExists(UpdateFile(L"update.cab.tmp")));
        EXPECT_FALSE(PathExists(UpdateFile(L"update.cab.tmp.part")));
    }
}

// A folder where the temporary package goes is the update folder's own
// litter: it goes, and the whole package comes in the same attempt; one that
// cannot go is a failure said once, before anything is asked of the server.
// A link in it is never followed.
TEST_F(PackageDownload, AFolderInTheTemporaryPackagesPlaceGoesOrIsSaidOnce)
{
    const std::string cabinet = CabinetBytes(20000);
    m_server.Serve("/std.cab", HttpReply(200, cabinet));
    const std::wstring place = UpdateFile(L"update.cab.tmp");
    const std::wstring outside = ProgramFolder() + L"\\outside-of-update";
    enum class EPlace { Goes, Stays, AsThePlatformAllows };
    struct Case {
        const char* name;
        std::function<void()> lay;  // what stands there
        EPlace expected;
    };
    CHandle held;
    const Case cases[] = {
        {"a folder with files and a folder in it",
         [&] {
             WriteBytes(place + L"\\a.txt", "a");
             WriteBytes(place + L"\\sub\\b.txt", "b");
         },
         EPlace::Goes},
        {"a folder with a file that another process holds open",
         [&] {
             WriteBytes(place + L"\\held.txt", "held");
             held.Reset(::CreateFileW((place + L"\\held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
             ASSERT_TRUE(held);
         },
         EPlace::Stays},
        // Wine can remove such a link only by reaching its target: there it stays, and so does the folder.
        {"a folder with a link to a folder outside",
         [&] {
             WriteBytes(outside + L"\\keep.txt", "keep");
             WriteBytes(place + L"\\a.txt", "a");
             ASSERT_TRUE(testing_support::MakeSymbolicLink(place + L"\\link", outside, true));
         },
         EPlace::AsThePlatformAllows},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Effects().Clear();
        WriteBytes(UpdateFile(L"update.cab"), "from an earlier run");
        c.lay();
        Describe("URL=" + m_server.UrlA("/std.cab") + "\r\n");
        const size_t before = m_server.Requests().size();
        const HRESULT hr = m_manager.DownloadPackage();
        const bool bWent = c.expected == EPlace::AsThePlatformAllows ? hr == S_OK : c.expected == EPlace::Goes;
        if (bWent) {
            EXPECT_EQ(S_OK, hr);
            EXPECT_EQ(cabinet, ReadBytes(UpdateFile(L"update.cab")));
            EXPECT_EQ(before + 1, m_server.Requests().size());
            EXPECT_TRUE(Effects().messages.empty());
        } else {
            EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_CANNOT_MAKE), hr);
            EXPECT_EQ(std::string("from an earlier run"), ReadBytes(UpdateFile(L"update.cab")));
            EXPECT_EQ(before, m_server.Requests().size()) << "asked the server for what cannot be kept";
            ASSERT_EQ(1u, Effects().messages.size());
            EXPECT_NE(std::wstring::npos, Effects().messages[0].text.find(place)) << "not said where";
        }
        if (c.expected == EPlace::AsThePlatformAllows) {
            EXPECT_EQ(std::string("keep"), ReadBytes(outside + L"\\keep.txt")) << "deleted through the link";
        }
        held.Reset();
        EXPECT_TRUE(testing_support::RemoveTreeWithLinks(place) || !PathExists(place));
        testing_support::RemoveTreeWithLinks(outside);
    }
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
        m_manager.SetEventSink(&m_sink);
        ASSERT_EQ(S_OK, m_manager.DownloadPackage());

        const int whole = static_cast<int>(total >> 1);  // counted in 2-byte units
        const std::vector<SinkEvent> download = m_sink.OfKind(2);
        ASSERT_GE(download.size(), 2u);
        EXPECT_EQ(download.front().p3, whole) << "the bar's range";
        const SinkEvent& first = download[1];
        const SinkEvent& last = download.back();
        EXPECT_GE(first.p1, static_cast<int>(kept >> 1)) << "the count goes on beyond 2 GiB";
        EXPECT_EQ(last.p1, whole);
        for (size_t i = 1; i < download.size(); ++i) {
            EXPECT_EQ(download[i].p2, whole);
            EXPECT_EQ(download[i].p3, 1) << "the unit";
        }
        EXPECT_EQ(ProgressBytes(last.p1, last.p3), total);
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        ASSERT_TRUE(::GetFileAttributesExW(UpdateFile(L"update.cab").c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow, total);
        ::DeleteFileW(UpdateFile(L"update.cab").c_str());
    }
}

} // namespace
