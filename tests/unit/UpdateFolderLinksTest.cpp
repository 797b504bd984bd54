// The update folder is written by others while the host runs: a link planted
// at the name of any of its files must never carry a write or a deletion to
// what it leads to.
#include "base/LinkSafeFiles.h"
#include "base/UpdateLog.h"
#include "description/LocalUpdateInfo.h"
#include "description/RemoteUpdateInfo.h"
#include "install/DownloadWait.h"
#include "install/TrustFile.h"
#include "net/FileDownloadHttp.h"
#include "support/FileLinks.h"
#include "unit/NetworkFiles.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

class UpdateFolderLinks : public NetworkFilesTest {};

TEST_F(UpdateFolderLinks, NoFileIsWrittenReplacedOrDeletedThroughALink)
{
    m_server.Serve("/std.cab", testing_support::HttpReply(200, CabinetBytes(20000)));
    const std::wstring outside = ProgramFolder() + L"\\outside-of-update.txt";
    const std::string kept = "outside, never to be touched";
    const auto download = [&](const wchar_t* name) {
        CFileDownloadHttp request;
        return SUCCEEDED(request.Download(m_server.Url("/std.cab").c_str(), UpdateFile(name).c_str())) &&
               SUCCEEDED(WaitForDownload(request, [] { return false; }));
    };
    const auto remember = [] {
        TrustMemory learnt;
        learnt.highestSerial = 7;
        return RememberTrust(UpdateFile(L"update.trust").c_str(), learnt);
    };
    // True when the line reached a plain log of its own.
    const auto log = [](const wchar_t* name) {
        StartUpdateLog(UpdateFolder(), L"test");
        UpdateLog(L"a line");
        StopUpdateLog();
        return IsNothingOrPlainFileAt(UpdateFile(name)) && PathExists(UpdateFile(name));
    };
    const struct {
        const wchar_t* link;
        std::function<bool()> run;  // true when it says it wrote
    } cases[] = {
        {L"update.cab.tmp", [&] { return download(L"update.cab"); }},
        {L"update.cab.tmp.part", [&] { return download(L"update.cab"); }},
        {L"update.cab", [&] { return download(L"update.cab"); }},
        {L"update.ini", [&] { return download(L"update.ini"); }},
        {L"update.trust.tmp", remember},
        {L"update.trust", remember},
        {L"update.log",
         [] {
             CRemoteUpdateInfo offered(UpdateFile(L"offered.ini").c_str());
             offered.m_strVersion = L"2.0";
             return SUCCEEDED(CLocalUpdateInfo(UpdateFile(L"update.log").c_str()).WriteInstalled(&offered, false));
         }},
        {L"activity.log", [&] { return log(L"activity.log"); }},
        // A log at its bound moves to the older part's name.
        {L"activity.old.log",
         [&] {
             WriteBytes(UpdateFile(L"activity.log"), std::string(kMaxLogBytes, 'x'));
             log(L"activity.log");
             return ReadBytes(UpdateFile(L"activity.log"))->size() < kMaxLogBytes;
         }},
    };
    for (const auto& c : cases) {
        const std::string name(c.link, c.link + wcslen(c.link));
        SCOPED_TRACE(name);
        ASSERT_TRUE(testing_support::RemoveTreeWithLinks(UpdateFolder()));
        WriteBytes(UpdateFile(L"update.log"), "[Log]\r\nEnabled=1\r\n");
        WriteBytes(outside, kept);
        const std::wstring link = UpdateFile(c.link);
        if (name != "update.log")
            ASSERT_TRUE(testing_support::MakeSymbolicLink(link, outside, false));
        else
            ASSERT_TRUE(::DeleteFileW(link.c_str()) && testing_support::MakeSymbolicLink(link, outside, false));

        const bool bWrote = c.run();
        EXPECT_EQ(kept, ReadBytes(outside).value_or("(gone)"));
        // Where the platform cannot remove a link as a link (Wine), it stays, and the attempt fails.
        EXPECT_TRUE(IsNothingOrPlainFileAt(link) || !bWrote);
    }
    EXPECT_TRUE(testing_support::RemoveTreeWithLinks(UpdateFolder()));
    ::DeleteFileW(outside.c_str());
}

} // namespace
