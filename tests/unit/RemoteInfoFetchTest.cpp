#include "description/RemoteUpdateInfo.h"
#include "host/UpdateApp.h"
#include "install/FileManager.h"
#include "unit/NetworkFiles.h"
#include "unit/RecordingSink.h"

#include <gtest/gtest.h>

namespace {

using testing_support::HttpReply;

const char kDescription[] = "[OEMClient_Acme]\r\nMajorVerson=1.1\r\nServicePack=4\r\n";

class RemoteInfoFetch : public NetworkFilesTest {
protected:
    CRemoteUpdateInfo* Fetch(const std::string& target = "/update.ini")
    {
        return m_manager.FetchRemoteInfo(m_server.Url(target).c_str());
    }

    CFileManager m_manager;
    RecordingSink m_sink;
};

TEST_F(RemoteInfoFetch, StoresTheDescriptionAndReplacesTheRecord)
{
    m_server.Serve("/update.ini", HttpReply(200, kDescription));
    m_manager.m_pRemoteInfo = std::make_unique<CRemoteUpdateInfo>(L"old.ini");
    CRemoteUpdateInfo* info = Fetch("/update.ini?client=Acme");
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(m_manager.m_pRemoteInfo.get(), info);
    EXPECT_EQ(UpdateFile(L"update.ini"), info->m_strFile.Str());
    EXPECT_EQ(std::string(kDescription), ReadBytes(UpdateFile(L"update.ini")));
    info->LoadClient(L"Acme");
    EXPECT_STREQ(L"1.1", info->m_strVersion);
    ASSERT_EQ(1u, m_server.Requests().size());
    EXPECT_EQ("/update.ini?client=Acme", m_server.Requests()[0].target);
}

TEST_F(RemoteInfoFetch, TheSinkSeesTheCheckRunningAndCanStopIt)
{
    HttpReply held(200, kDescription);
    held.holdsAt = {5};
    m_server.Serve("/update.ini", held);
    m_manager.SetEventSink(&m_sink);
    m_sink.answer = [&](const SinkEvent& e) {
        EXPECT_EQ(1, e.kind);
        EXPECT_EQ(0, e.p1 | e.p2 | e.p3);
        if (m_sink.events.size() == 3)
            m_server.Release();
        return 0;
    };
    ASSERT_NE(nullptr, Fetch());
    EXPECT_GE(m_sink.events.size(), 3u);

    // A stop: no description, and the previous record stays.
    CRemoteUpdateInfo* previous = m_manager.m_pRemoteInfo.get();
    m_sink.events.clear();
    m_sink.answer = [&](const SinkEvent&) {
        m_server.Release();  // so that the worker's read returns and it can end
        return 1;
    };
    EXPECT_EQ(nullptr, Fetch());
    EXPECT_EQ(previous, m_manager.m_pRemoteInfo.get());
    EXPECT_EQ(1u, m_sink.events.size());
}

TEST_F(RemoteInfoFetch, AFailedDownloadGivesNoDescriptionWithOrWithoutASink)
{
    HttpReply cut(200, std::string(20000, 'x'));
    cut.cutAfter = 5000;
    m_server.Serve("/cut.ini", cut);
    m_server.Serve("/error.ini", HttpReply(404, "<html>not here</html>"));
    m_server.Serve("/update.ini", HttpReply(200, kDescription));
    AfxSilenceErrors(true);  // the downloader's own error boxes stay away

    for (IUpdateEventSink* sink : {static_cast<IUpdateEventSink*>(nullptr), static_cast<IUpdateEventSink*>(&m_sink)}) {
        SCOPED_TRACE(sink ? "with a sink" : "without a sink");
        m_manager.SetEventSink(sink);
        ASSERT_NE(nullptr, Fetch());
        CRemoteUpdateInfo* previous = m_manager.m_pRemoteInfo.get();
        EXPECT_EQ(nullptr, Fetch("/cut.ini"));  // a transfer error ends the wait
        EXPECT_EQ(nullptr, Fetch("/error.ini"));
        EXPECT_EQ(nullptr, m_manager.FetchRemoteInfo(L"not an address"));
        EXPECT_EQ(previous, m_manager.m_pRemoteInfo.get());
        EXPECT_EQ(std::string(kDescription), ReadBytes(UpdateFile(L"update.ini")));
    }
}

} // namespace
