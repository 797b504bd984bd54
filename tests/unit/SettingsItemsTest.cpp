#include "description/RemoteUpdateInfo.h"
#include "install/FileManager.h"
#include "install/SettingsItems.h"
#include "unit/UpdateFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace {

TEST(SettingsItemParse, FieldsNamesBlanksAndTokens)
{
    const struct {
        LPCWSTR text;
        LPCWSTR file, section, key, value;  // what the item leaves in "f", "s", "k", "v"
    } cases[] = {
        {L"Filename:<app>\\settings.ini,Section:Main,Keyname:Mode,Value:2", L"C:\\App\\settings.ini", L"Main", L"Mode", L"2"},
        {L"Value:2,Keyname:Mode,Section:Main,Filename:a.ini", L"a.ini", L"Main", L"Mode", L"2"},
        {L"FILENAME:a.ini,section:Main,KEYNAME:Mode,value:2", L"a.ini", L"Main", L"Mode", L"2"},
        {L"Filename:<APP>\\a.ini,Section:S,Keyname:K,Value:V", L"<APP>\\a.ini", L"S", L"K", L"V"},
        {L"Filename:<appdata>\\Acme\\a.ini,Section:S,Keyname:K,Value:V", L"C:\\Data\\Acme\\a.ini", L"S", L"K", L"V"},
        {L"Filename : a.ini , \t Section : Main ,Keyname:Mode,Value: 2 ", L"a.ini", L"Main", L"Mode", L"2"},
        {L"Filename:a.ini,,Section:Main,Keyname:Mode,Value:2", L"a.ini", L"Main", L"Mode", L"2"},
        // Not four fields: nothing changes.
        {L"Filename:a.ini,Section:Main,Keyname:Mode", L"f", L"s", L"k", L"v"},
        {L"Filename:a.ini,Section:Main,Keyname:Mode,Value:2,Extra:1", L"f", L"s", L"k", L"v"},
        {L"", L"f", L"s", L"k", L"v"},
        // A field that is not one name and one value: nothing changes.
        {L"Filename:a.ini,Section:Main,Keyname:Mode,Value:", L"f", L"s", L"k", L"v"},
        {L"Filename:a.ini,Section:Main,Keyname:Mode,Value: ", L"a.ini", L"Main", L"Mode", L""},
        {L"Filename:a.ini,Section:Main,Keyname:Mode,Value:a:b", L"f", L"s", L"k", L"v"},
        {L"Filename:a.ini,Section:Main,Keyname:Mode,Value:http://new.example/upd", L"f", L"s", L"k", L"v"},
        {L"Filename:C:\\a.ini,Section:Main,Keyname:Mode,Value:2", L"f", L"s", L"k", L"v"},  // the drive's colon
        {L"Section:Main,Other:x,Keyname:Mode,Value:2", L"f", L"Main", L"Mode", L"2"},  // unknown names change nothing
    };
    for (const auto& c : cases) {
        CIniItem item{L"f", L"s", L"k", L"v"};
        const bool whole = ParseIniItem(c.text, L"C:\\App", L"C:\\Data", item);
        // Taken whole or not at all: an untouched key means the text was refused.
        EXPECT_EQ(whole, CString(c.key) != L"k") << c.text;
        EXPECT_STREQ(c.file, item.strFile) << c.text;
        EXPECT_STREQ(c.section, item.strSection) << c.text;
        EXPECT_STREQ(c.key, item.strKey) << c.text;
        EXPECT_STREQ(c.value, item.strValue) << c.text;
    }
}

class SettingsItems : public UpdateFilesTest {
protected:
    void SetUp() override
    {
        UpdateFilesTest::SetUp();
        RemoveWritten();
    }
    void TearDown() override
    {
        RemoveWritten();
        UpdateFilesTest::TearDown();
    }

    void Describe(const std::string& section)
    {
        WriteBytes(UpdateFile(L"update.ini"), "[OEMClient_Acme]\r\n" + section);
        m_manager.m_pRemoteInfo = std::make_unique<CRemoteUpdateInfo>(UpdateFile(L"update.ini").c_str());
        m_manager.m_pRemoteInfo->LoadClient(L"Acme");
    }

    static std::string ReadFile(const std::wstring& path)
    {
        std::ifstream in(std::filesystem::path(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static CString Read(const std::wstring& file, LPCWSTR section, LPCWSTR key)
    {
        wchar_t value[256] = {};
        ::GetPrivateProfileStringW(section, key, L"<missing>", value, 256, file.c_str());
        return CString(value);
    }

    static std::wstring HostIni() { return ProgramFolder() + L"\\settings-test.ini"; }
    static std::wstring AppDataFolder() { return CommonAppDataFolder().Str() + L"\\SettingsItemsTest"; }
    static std::wstring WindowsIni()
    {
        wchar_t folder[MAX_PATH] = {};
        ::GetWindowsDirectoryW(folder, MAX_PATH);
        return std::wstring(folder) + L"\\settings-test.ini";
    }
    static std::wstring OutsideIni() { return std::filesystem::path(ProgramFolder()).parent_path().wstring() + L"\\settings-test.ini"; }
    static std::wstring BesideAppDataIni() { return std::filesystem::path(CommonAppDataFolder().Str()).parent_path().wstring() + L"\\settings-test.ini"; }

    static std::wstring StartupBat()
    {
        return CommonAppDataFolder().Str() + L"\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\\rt.bat";
    }
    static std::wstring PlatformDataFolder() { return CommonAppDataFolder().Str() + L"\\Microsoft\\SettingsItemsTest"; }

    static void RemoveWritten()
    {
        std::error_code ignored;
        for (const std::wstring& path : {HostIni(), WindowsIni(), OutsideIni(), BesideAppDataIni(), StartupBat(),
                                         ProgramFolder() + L"\\settings-test.BAT"})
            std::filesystem::remove(path, ignored);
        std::filesystem::remove_all(AppDataFolder(), ignored);
        std::filesystem::remove_all(PlatformDataFolder(), ignored);
    }

    CFileManager m_manager;
};

TEST_F(SettingsItems, WritesTheCountedItemsIntoTheHostAndDataFolders)
{
    ::CreateDirectoryW(AppDataFolder().c_str(), nullptr);
    Describe("IniItemCount=3\r\n"
             "IniItem0=Filename:<app>\\settings-test.ini,Section:Main,Keyname:Mode,Value:2\r\n"
             "IniItem1=\"Filename:<appdata>\\SettingsItemsTest\\data.ini,Section:Net,Keyname:Proxy,Value: \"\r\n"  // quoted: the blank stays, the value is empty
             "IniItem2=Filename:<app>\\settings-test.ini,Section:Main,Keyname:Skipped,Value:1\r\n"
             "IniItem3=Filename:<app>\\settings-test.ini,Section:Main,Keyname:BeyondCount,Value:1\r\n");
    m_manager.ApplyIniItems();
    EXPECT_STREQ(L"2", Read(HostIni(), L"Main", L"Mode"));
    EXPECT_STREQ(L"", Read(AppDataFolder() + L"\\data.ini", L"Net", L"Proxy"));  // written, empty
    EXPECT_STREQ(L"1", Read(HostIni(), L"Main", L"Skipped"));
    EXPECT_STREQ(L"<missing>", Read(HostIni(), L"Main", L"BeyondCount"));
}

TEST_F(SettingsItems, ItemsNamingOtherFilesOrUnreadableAreSkipped)
{
    ::WritePrivateProfileStringW(L"S", L"UpdateUrl", L"http://old.example/upd", HostIni().c_str());
    Describe("IniItemCount=10\r\n"
             "IniItem0=Filename:settings-test.ini,Section:S,Keyname:Bare,Value:1\r\n"
             "IniItem1=Filename:<app>\\..\\settings-test.ini,Section:S,Keyname:Climb,Value:1\r\n"
             "IniItem2=Filename:<appdata>\\..\\settings-test.ini,Section:S,Keyname:ClimbData,Value:1\r\n"
             "IniItem3=Filename:<app>,Section:S,Keyname:Folder,Value:1\r\n"
             "IniItem4=Filename:<app>\\settings-test.ini,Section:S,Keyname:,Value:1\r\n"
             "IniItem5=Filename:<app>\\settings-test.ini,Section:S,Keyname:Good,Value:1\r\n"
             "IniItem6=Filename:<appdata>\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\\rt.bat,"
             "Section:x,Keyname:@echo off& rem,Value:1\r\n"
             "IniItem7=Filename:<appdata>\\MICROSOFT\\SettingsItemsTest\\x.ini,Section:S,Keyname:K,Value:1\r\n"
             "IniItem8=Filename:<app>\\settings-test.BAT,Section:S,Keyname:K,Value:1\r\n"
             "IniItem9=Filename:<app>\\settings-test.ini,Section:S,Keyname:UpdateUrl,Value:http://new.example/upd\r\n");
    m_manager.ApplyIniItems();
    EXPECT_FALSE(PathExists(WindowsIni()));
    EXPECT_FALSE(PathExists(OutsideIni()));
    EXPECT_FALSE(PathExists(BesideAppDataIni()));
    EXPECT_FALSE(PathExists(StartupBat()));
    EXPECT_FALSE(PathExists(PlatformDataFolder()));
    EXPECT_FALSE(PathExists(ProgramFolder() + L"\\settings-test.BAT"));
    EXPECT_STREQ(L"1", Read(HostIni(), L"S", L"Good"));
    EXPECT_STREQ(L"<missing>", Read(HostIni(), L"S", L"Folder"));
    EXPECT_STREQ(L"http://old.example/upd", Read(HostIni(), L"S", L"UpdateUrl"));  // not erased
}

// Trust changes only through the chain rules: an item may not pin a key in the
// record, touch what the installation learnt, or rewrite the description it
// came in before the completion acts on it.
TEST_F(SettingsItems, NothingIsWrittenInTheUpdateFolder)
{
    const std::string record = "[Files]\r\nVersion=1.0\r\nOEMClientName=Acme\r\n";
    const std::string trust = "[Remembered]\r\nRevoked=build-1\r\nSerial=7\r\n";
    WriteBytes(UpdateFile(L"update.log"), record);
    WriteBytes(UpdateFile(L"update.trust"), trust);
    const std::string items =
        "IniItemCount=6\r\n"
        "IniItem0=Filename:<app>\\update\\update.log,Section:Files,Keyname:PublisherKey,Value:stolen\r\n"
        "IniItem1=Filename:<app>\\update\\update.trust,Section:Remembered,Keyname:Revoked,Value:none\r\n"
        "IniItem2=Filename:<app>\\update\\update.ini,Section:OEMClient_Acme,Keyname:DelFileCount,Value:9\r\n"
        "IniItem3=Filename:<app>\\Update\\..\\update\\.\\update.ini,Section:OEMClient_Acme,Keyname:DelFile1,Value:x\r\n"
        "IniItem4=Filename:<app>\\update\\trust.ini,Section:Remembered,Keyname:Serial,Value:1\r\n"
        "IniItem5=Filename:<app>\\settings-test.ini,Section:S,Keyname:Written,Value:1\r\n";
    Describe(items);
    const std::string description = ReadFile(UpdateFile(L"update.ini"));
    m_manager.ApplyIniItems();
    EXPECT_EQ(record, ReadFile(UpdateFile(L"update.log")));
    EXPECT_EQ(trust, ReadFile(UpdateFile(L"update.trust")));
    EXPECT_EQ(description, ReadFile(UpdateFile(L"update.ini")));
    EXPECT_FALSE(PathExists(UpdateFile(L"trust.ini")));
    EXPECT_STREQ(L"1", Read(HostIni(), L"S", L"Written"));  // the items ran
}

TEST_F(SettingsItems, NothingWithoutADescriptionOrACount)
{
    m_manager.ApplyIniItems();  // no description loaded
    Describe("IniItemCount=-1\r\nIniItem0=Filename:<app>\\settings-test.ini,Section:S,Keyname:K,Value:1\r\n");
    m_manager.ApplyIniItems();
    EXPECT_FALSE(PathExists(HostIni()));
}

} // namespace
