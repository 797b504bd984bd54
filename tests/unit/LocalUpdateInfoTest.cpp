#include "description/LocalUpdateInfo.h"
#include "description/RemoteUpdateInfo.h"
#include "unit/UpdateFiles.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <string>

namespace {

class LocalUpdateInfoTest : public UpdateFilesTest {
protected:
    void SetUp() override
    {
        UpdateFilesTest::SetUp();
        ::CreateDirectoryW(UpdateFolder().c_str(), nullptr);  // as the file manager makes it
    }

    static std::unique_ptr<CRemoteUpdateInfo> Offer(LPCWSTR version, UINT servicePack, UINT serviceProPack, LPCWSTR news)
    {
        auto offered = std::make_unique<CRemoteUpdateInfo>(nullptr);
        offered->m_strVersion = version;
        offered->m_nServicePack = servicePack;
        offered->m_nServiceProPack = serviceProPack;
        offered->m_strUpdateInfo = news;
        return offered;
    }

    CString Read(LPCWSTR section, LPCWSTR key) const
    {
        return CUpdateInfo(m_path.c_str()).ReadString(section, key);
    }

    const std::wstring m_path = UpdateFile(L"update.log");
};

TEST_F(LocalUpdateInfoTest, ReadsTheInstalledCopy)
{
    WriteBytes(m_path, "[Files]\r\nVersion=1.2.0.0\r\nServicePack=3\r\nServiceProPack=5\r\nOEMClientName=Acme\r\n");
    const CLocalUpdateInfo installed(m_path.c_str());
    EXPECT_STREQ(L"1.2.0.0", installed.m_strVersion);
    EXPECT_EQ(3u, installed.m_nServicePack);
    EXPECT_EQ(5u, installed.m_nServiceProPack);
    EXPECT_STREQ(L"Acme", installed.m_strOEMClientName);

    const CLocalUpdateInfo missing(UpdateFile(L"missing.log").c_str());
    EXPECT_STREQ(L"", missing.m_strVersion);
    EXPECT_EQ(0u, missing.m_nServicePack);
    EXPECT_EQ(0u, missing.m_nServiceProPack);
    EXPECT_STREQ(L"", missing.m_strOEMClientName);
}

TEST_F(LocalUpdateInfoTest, InstalledUpdateChangesOnlyItsEditionsServicePack)
{
    const struct {
        bool professional;
        LPCWSTR servicePack;
        LPCWSTR serviceProPack;
    } cases[] = {
        {false, L"4", L"5"},
        {true, L"3", L"8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.professional ? "professional" : "standard");
        WriteBytes(m_path, "[Files]\r\nVersion=1.0\r\nServicePack=3\r\nServiceProPack=5\r\nOEMClientName=Acme\r\n");
        CLocalUpdateInfo installed(m_path.c_str());
        const auto offered = Offer(L"2.0", 4, 8, L"line one\r\nline two");
        EXPECT_EQ(S_OK, installed.WriteInstalled(offered.get(), c.professional));
        EXPECT_STREQ(L"2.0", Read(L"Files", L"Version"));
        EXPECT_STREQ(c.servicePack, Read(L"Files", L"ServicePack"));
        EXPECT_STREQ(c.serviceProPack, Read(L"Files", L"ServiceProPack"));
        EXPECT_STREQ(L"Acme", Read(L"Files", L"OEMClientName"));
        EXPECT_STREQ(L"2.0", installed.ReadUpdateVersion());
        EXPECT_STREQ(L"line one\r\nline two", installed.ReadUpdateInfo());
        EXPECT_STREQ(L"1.0", installed.m_strVersion);  // the fields stay as loaded
        EXPECT_EQ(3u, installed.m_nServicePack);
    }
}

TEST_F(LocalUpdateInfoTest, NewsKeepsItsLinesInTheOneLineValue)
{
    CLocalUpdateInfo installed(m_path.c_str());
    const auto offered = Offer(L"2.0", 0, 0, L"line one\r\nline two\r\n\r\nline four");
    EXPECT_EQ(S_OK, installed.WriteUpdate(offered.get()));
    EXPECT_STREQ(L"line one+line two++line four", Read(L"Update", L"Info"));
    EXPECT_STREQ(L"line one\r\nline two\r\n\r\nline four", installed.ReadUpdateInfo());
    EXPECT_STREQ(L"", Read(L"Files", L"Version"));
}

TEST_F(LocalUpdateInfoTest, ServicePackAboveTheSignedRangeIsWrittenNegative)
{
    CLocalUpdateInfo installed(m_path.c_str());
    const auto offered = Offer(L"2.0", 3000000000u, 0, L"");
    installed.WriteInstalled(offered.get(), false);
    EXPECT_STREQ(L"-1294967296", Read(L"Files", L"ServicePack"));
}

TEST_F(LocalUpdateInfoTest, DialogTextsComeFromTheirKeys)
{
    using Getter = CString (CUpdateInfo::*)() const;
    const struct {
        Getter get;
        LPCWSTR key;
    } cases[] = {
        {&CUpdateInfo::ReadUpdateTitle, L"UpdateTitle"},
        {&CUpdateInfo::ReadCheckingDesc, L"CheckingDesc"},
        {&CUpdateInfo::ReadCheckSucceededDesc, L"CheckSucceededDesc"},
        {&CUpdateInfo::ReadCheckFailedDesc, L"CheckFailedDesc"},
        {&CUpdateInfo::ReadUpgradeProfessionDesc, L"UpgradeProfessionDesc"},
        {&CUpdateInfo::ReadDownloadingDesc, L"DownloadingDesc"},
        {&CUpdateInfo::ReadInstallDesc, L"InstallDesc"},
        {&CUpdateInfo::ReadCancelDesc, L"CancelDesc"},
        {&CUpdateInfo::ReadPurchasePage, L"PurchasePage"},
        {&CUpdateInfo::ReadPurchasePageWeb, L"PurchasePageWeb"},
    };
    std::string contents = "[Dialog]\r\nPurchasePageHeight=240\r\n";
    for (const auto& c : cases) {
        const std::string key(c.key, c.key + std::wcslen(c.key));
        contents += key + "=text of " + key + "\r\n";
    }
    WriteBytes(m_path, contents + "[Update]\r\nVersion=3.0\r\n");
    const CUpdateInfo record(m_path.c_str());
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.key);
        EXPECT_STREQ(L"text of " + CString(c.key), (record.*c.get)());
    }
    EXPECT_EQ(240, record.ReadPurchasePageHeight());
    EXPECT_STREQ(L"3.0", record.ReadUpdateVersion());
    EXPECT_STREQ(L"", record.ReadUpdateInfo());
}

} // namespace
