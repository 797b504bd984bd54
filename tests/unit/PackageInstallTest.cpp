#include "description/LocalUpdateInfo.h"
#include "description/RemoteUpdateInfo.h"
#include "install/FileManager.h"
#include "install/PackageInstall.h"
#include "unit/UpdateFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

// The host program folder is the test program's folder; what a test lays out
// there, and beside it, goes again afterwards.
class CompleteUpdate : public UpdateFilesTest {
protected:
    void SetUp() override
    {
        UpdateFilesTest::SetUp();
        RemoveLaidOut();
    }
    void TearDown() override
    {
        RemoveLaidOut();
        UpdateFilesTest::TearDown();
    }

    static std::wstring InHost(const std::wstring& name) { return ProgramFolder() + L"\\" + name; }
    static std::wstring Beside(const std::wstring& name)
    {
        return std::filesystem::path(ProgramFolder()).parent_path().wstring() + L"\\" + name;
    }

    static void RemoveLaidOut()
    {
        std::error_code ignored;
        for (const wchar_t* name : {L"complete-old.dll", L"complete-kept.dll", L"complete-dir", L"complete-empty"})
            std::filesystem::remove_all(InHost(name), ignored);
        for (const wchar_t* name : {L"complete-outside.txt", L"complete-outside-dir"})
            std::filesystem::remove_all(Beside(name), ignored);
    }

    static void Record(const std::string& files)
    {
        WriteBytes(UpdateFile(L"update.log"), "[Files]\r\n" + files);
    }
    static void Offer(const std::string& section)
    {
        WriteBytes(UpdateFile(L"update.ini"), "[OEMClient_Acme]\r\n" + section);
        WriteBytes(UpdateFile(L"update.cab"), "MSCF");
    }
    static CString Recorded(LPCWSTR section, LPCWSTR key)
    {
        return CUpdateInfo(UpdateFile(L"update.log").c_str()).ReadString(section, key);
    }

    CFileManager m_manager;
};

TEST_F(CompleteUpdate, RecordsTheVersionDeletesTheListedAndCleansTheUpdateFolder)
{
    WriteBytes(InHost(L"complete-old.dll"), "old");
    WriteBytes(InHost(L"complete-kept.dll"), "kept");
    WriteBytes(InHost(L"complete-dir\\sub\\inner.txt"), "inner");
    Record("Version=1.0\r\nServicePack=3\r\nServiceProPack=7\r\nOEMClientName=Acme\r\n"
           "[Dialog]\r\nUpdateTitle=Acme Update\r\n");
    Offer("MajorVerson=1.1\r\nServicePack=4\r\nServiceProPack=9\r\nUpdateInfo=new+news\r\n"
          "DelFileCount=2\r\nDelFile1=complete-old.dll\r\nDelFile2=complete-missing.dll\r\n"
          "DelDirCount=2\r\nDelDirName1=complete-missing-dir\r\nDelDirName2=complete-dir\r\n");
    m_manager.LoadLocalInfo();

    EXPECT_EQ(S_OK, m_manager.CompleteUpdate());
    EXPECT_STREQ(L"1.1", Recorded(L"Files", L"Version"));
    EXPECT_STREQ(L"4", Recorded(L"Files", L"ServicePack"));
    EXPECT_STREQ(L"7", Recorded(L"Files", L"ServiceProPack"));
    EXPECT_STREQ(L"Acme", Recorded(L"Files", L"OEMClientName"));
    EXPECT_STREQ(L"1.1", Recorded(L"Update", L"Version"));
    EXPECT_STREQ(L"new+news", Recorded(L"Update", L"Info"));
    EXPECT_STREQ(L"Acme Update", Recorded(L"Dialog", L"UpdateTitle"));
    EXPECT_FALSE(PathExists(InHost(L"complete-old.dll")));
    EXPECT_TRUE(PathExists(InHost(L"complete-kept.dll")));
    EXPECT_FALSE(PathExists(InHost(L"complete-dir")));
    EXPECT_FALSE(PathExists(UpdateFile(L"update.ini")));
    EXPECT_FALSE(PathExists(UpdateFile(L"update.cab")));
    EXPECT_TRUE(PathExists(UpdateFile(L"update.log")));
    EXPECT_FALSE(m_manager.m_pLocalInfo);
    EXPECT_FALSE(m_manager.m_pRemoteInfo);
}

TEST_F(CompleteUpdate, TheProfessionalEditionRecordsItsOwnPack)
{
    WriteBytes(AmbrelIniPath(), "[Config]\r\nIsProUpdate=1\r\n");
    Record("Version=1.0\r\nServicePack=3\r\nServiceProPack=7\r\nOEMClientName=Acme\r\n");
    Offer("MajorVerson=1.1\r\nServicePack=4\r\nServiceProPack=9\r\n");
    EXPECT_EQ(S_OK, m_manager.CompleteUpdate());
    EXPECT_STREQ(L"3", Recorded(L"Files", L"ServicePack"));
    EXPECT_STREQ(L"9", Recorded(L"Files", L"ServiceProPack"));
}

TEST_F(CompleteUpdate, NothingPendingWritesAndDeletesNothing)
{
    WriteBytes(InHost(L"complete-old.dll"), "old");
    const std::string installed = "Version=1.0\r\nServicePack=3\r\nOEMClientName=Acme\r\n";

    // No client: the offer stays for a later completion.
    Record("Version=1.0\r\nServicePack=3\r\n");
    Offer("MajorVerson=1.1\r\nServicePack=4\r\nDelFileCount=1\r\nDelFile1=complete-old.dll\r\n");
    EXPECT_EQ(E_INVALIDARG, m_manager.CompleteUpdate());
    EXPECT_TRUE(PathExists(UpdateFile(L"update.ini")));
    EXPECT_TRUE(PathExists(UpdateFile(L"update.cab")));
    EXPECT_TRUE(PathExists(InHost(L"complete-old.dll")));

    // A completion, then a second one with nothing left to complete.
    Record(installed);
    EXPECT_EQ(S_OK, m_manager.CompleteUpdate());
    WriteBytes(InHost(L"complete-old.dll"), "old again");
    EXPECT_TRUE(FAILED(m_manager.CompleteUpdate()));
    EXPECT_STREQ(L"1.1", Recorded(L"Files", L"Version"));
    EXPECT_STREQ(L"4", Recorded(L"Files", L"ServicePack"));
    EXPECT_TRUE(PathExists(InHost(L"complete-old.dll")));

    // A description without this client's section (an error page, say) offers no version.
    Offer("DelFileCount=1\r\nDelFile1=complete-old.dll\r\n");
    WriteBytes(UpdateFile(L"update.ini"), "<html>404</html>\r\n");
    EXPECT_TRUE(FAILED(m_manager.CompleteUpdate()));
    EXPECT_STREQ(L"1.1", Recorded(L"Files", L"Version"));
    EXPECT_TRUE(PathExists(InHost(L"complete-old.dll")));
}

TEST_F(CompleteUpdate, DeletionListsNeverReachOutsideTheHostFolder)
{
    WriteBytes(Beside(L"complete-outside.txt"), "outside");
    WriteBytes(Beside(L"complete-outside-dir\\inner.txt"), "outside");
    WriteBytes(InHost(L"complete-kept.dll"), "kept");
    const std::wstring absoluteFile = Beside(L"complete-outside.txt");
    const std::wstring absoluteDir = Beside(L"complete-outside-dir");
    const std::string longName(300, 'x');
    Record("Version=1.0\r\nServicePack=3\r\nOEMClientName=Acme\r\n");
    Offer("MajorVerson=1.1\r\nServicePack=4\r\n"
          "DelFileCount=7\r\n"
          "DelFile1=..\\complete-outside.txt\r\n"
          "DelFile2=" + AnsiBytes(absoluteFile) + "\r\n"
          "DelFile3=complete-dir\\..\\..\\complete-outside.txt\r\n"
          "DelFile4=\r\n"
          "DelFile5=*.dll\r\n"
          "DelFile6=" + longName + "\r\n"
          // DelFile7 is missing
          "DelDirCount=8\r\n"
          "DelDirName1=\r\n"
          "DelDirName2=.\r\n"
          "DelDirName3=..\r\n"
          "DelDirName4=..\\complete-outside-dir\r\n"
          "DelDirName5=" + AnsiBytes(absoluteDir) + "\r\n"
          "DelDirName6=" + longName + "\r\n"
          "DelDirName7=\\\\?\\" + AnsiBytes(absoluteDir) + "\r\n");
          // DelDirName8 is missing
    EXPECT_EQ(S_OK, m_manager.CompleteUpdate());
    EXPECT_TRUE(PathExists(Beside(L"complete-outside.txt")));
    EXPECT_TRUE(PathExists(Beside(L"complete-outside-dir\\inner.txt")));
    EXPECT_TRUE(PathExists(InHost(L"complete-kept.dll")));
    EXPECT_TRUE(PathExists(UpdateFile(L"update.log")));
    EXPECT_FALSE(PathExists(UpdateFile(L"update.ini")));
}

// A tampered count of billions must not keep NotifyEvent busy for days: the
// list ends at its 1,024th entry.
TEST_F(CompleteUpdate, ListsEndAtTheirLimit)
{
    WriteBytes(InHost(L"complete-old.dll"), "last entry read");
    WriteBytes(InHost(L"complete-kept.dll"), "beyond the limit");
    Record("Version=1.0\r\nServicePack=3\r\nOEMClientName=Acme\r\n");
    Offer("MajorVerson=1.1\r\nServicePack=4\r\nDelFileCount=2000000000\r\n"
          "DelFile1024=complete-old.dll\r\nDelFile1025=complete-kept.dll\r\n"
          "DelDirCount=2000000000\r\n");
    EXPECT_EQ(S_OK, m_manager.CompleteUpdate());
    EXPECT_FALSE(PathExists(InHost(L"complete-old.dll")));
    EXPECT_TRUE(PathExists(InHost(L"complete-kept.dll")));
}

} // namespace
