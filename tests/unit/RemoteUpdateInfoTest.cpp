#include "description/RemoteUpdateInfo.h"
#include "unit/UpdateFiles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class RemoteUpdateInfoTest : public UpdateFilesTest {
protected:
    CRemoteUpdateInfo& Describe(const std::string& contents)
    {
        WriteBytes(m_path, contents);
        return m_info;
    }

    const std::wstring m_path = UpdateFile(L"update.ini");
    CRemoteUpdateInfo m_info{m_path.c_str()};
};

const char kTwoClients[] =
    "[OEMClient_Alpha]\r\n"
    "MajorVerson=1.0.0.1\r\nServicePack=3\r\nServiceProPack=4\r\nCanUpdate=1\r\n"
    "DownloadURL=http://a/page\r\nValidVersion=0.9\r\nUpdateInfo=alpha news\r\n"
    "URL=http://a/std.cab\r\nURL_PRO=http://a/pro.cab\r\nTips=alpha tips\r\n"
    "ShortDesc=alpha short\r\nLongDesc=alpha long\r\nCABFileSize=100\r\n"
    "[OEMClient_Beta]\r\n"
    "MajorVerson=2.0\r\nServicePack=7\r\nUpdateInfo=beta news\r\nTips=beta tips\r\n";

TEST_F(RemoteUpdateInfoTest, ReadsOnlyTheClientsOwnSection)
{
    CRemoteUpdateInfo& info = Describe(kTwoClients);
    info.LoadClient(L"alpha");  // section names match without regard to case
    EXPECT_STREQ(L"OEMClient_alpha", info.m_strSection);
    EXPECT_STREQ(L"1.0.0.1", info.m_strVersion);
    EXPECT_EQ(3u, info.m_nServicePack);
    EXPECT_EQ(4u, info.m_nServiceProPack);
    EXPECT_EQ(1, info.m_nCanUpdate);
    EXPECT_STREQ(L"http://a/page", info.m_strDownloadURL);
    EXPECT_STREQ(L"0.9", info.m_strValidVersion);
    EXPECT_STREQ(L"alpha news", info.m_strUpdateInfo);
    EXPECT_STREQ(L"http://a/std.cab", info.GetPackageURL(false));
    EXPECT_STREQ(L"http://a/pro.cab", info.GetPackageURL(true));
    EXPECT_STREQ(L"alpha tips", info.GetTips());
    EXPECT_STREQ(L"alpha short", info.GetShortDesc());
    EXPECT_STREQ(L"alpha long", info.GetLongDesc());
    EXPECT_EQ(100, info.ReadClientInt(L"CABFileSize"));
}

TEST_F(RemoteUpdateInfoTest, SecondLoadReplacesEveryField)
{
    CRemoteUpdateInfo& info = Describe(kTwoClients);
    info.LoadClient(L"Alpha");
    info.LoadClient(L"Beta");
    EXPECT_STREQ(L"OEMClient_Beta", info.m_strSection);
    EXPECT_STREQ(L"2.0", info.m_strVersion);
    EXPECT_EQ(7u, info.m_nServicePack);
    EXPECT_EQ(0u, info.m_nServiceProPack);
    EXPECT_EQ(0, info.m_nCanUpdate);
    EXPECT_STREQ(L"", info.m_strDownloadURL);
    EXPECT_STREQ(L"", info.m_strValidVersion);
    EXPECT_STREQ(L"beta news", info.m_strUpdateInfo);
    EXPECT_STREQ(L"beta tips", info.GetTips());
    EXPECT_STREQ(L"", info.GetPackageURL(false));
    EXPECT_EQ(0, info.ReadClientInt(L"CABFileSize"));
}

TEST_F(RemoteUpdateInfoTest, LongValuesAreCutAfter4095Characters)
{
    const std::string tips(5000, 't');
    const std::string news(5000, 'n');
    CRemoteUpdateInfo& info = Describe("[OEMClient_X]\r\nTips=" + tips + "\r\nUpdateInfo=" + news + "\r\n");
    info.LoadClient(L"X");
    EXPECT_EQ(std::wstring(4095, L't'), info.GetTips().Str());
    EXPECT_EQ(std::wstring(4095, L'n'), info.m_strUpdateInfo.Str());
}

TEST_F(RemoteUpdateInfoTest, NumberedEntriesAreReadByNumber)
{
    CRemoteUpdateInfo& info = Describe(
        "[OEMClient_X]\r\n"
        "DelFileCount=3\r\nDelFile1=a.dll\r\nDelFile3=c.dll\r\nDelFile03=leading zero\r\n"
        "DelDirCount=2\r\nDelDirName2=old\r\nDelDirName0=never\r\n");
    info.LoadClient(L"X");
    EXPECT_EQ(3, info.ReadClientInt(L"DelFileCount"));
    EXPECT_STREQ(L"a.dll", info.GetDelFile(1));
    EXPECT_STREQ(L"", info.GetDelFile(2));
    EXPECT_STREQ(L"c.dll", info.GetDelFile(3));
    EXPECT_EQ(2, info.ReadClientInt(L"DelDirCount"));
    EXPECT_STREQ(L"", info.GetDelDirName(1));
    EXPECT_STREQ(L"old", info.GetDelDirName(2));
}

} // namespace
