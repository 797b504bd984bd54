#include "install/DescriptionSafety.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const wchar_t kHost[] = L"C:\\App";
const wchar_t kAppData[] = L"C:\\ProgramData";

// nullptr as expected result: refused.
struct PathCase {
    LPCWSTR input;
    LPCWSTR expected;
};

void ExpectDeletion(LPCWSTR host, const PathCase& c)
{
    CString out(L"stale");
    const bool accepted = ResolveDeletionPath(host, c.input, out);
    EXPECT_EQ(c.expected != nullptr, accepted) << "entry [" << c.input << "]";
    EXPECT_STREQ(c.expected ? c.expected : L"", out) << "entry [" << c.input << "]";
}

TEST(DescriptionSafety, DeletionEntriesStayStrictlyInsideTheHostFolder)
{
    const PathCase cases[] = {
        {L"old.dll", L"C:\\App\\old.dll"},
        {L"plugins\\old.dll", L"C:\\App\\plugins\\old.dll"},
        {L"plugins/sub\\old.dll", L"C:\\App\\plugins\\sub\\old.dll"},
        {L"plugins\\\\old.dll", L"C:\\App\\plugins\\old.dll"},
        {L".\\old.dll", L"C:\\App\\old.dll"},
        {L"plugins\\..\\old.dll", L"C:\\App\\old.dll"},
        {L"plugins\\", L"C:\\App\\plugins"},
        {L" old.dll", L"C:\\App\\ old.dll"},  // a leading blank is part of the name
        {L"数据\\旧.ini", L"C:\\App\\数据\\旧.ini"},
        // The host folder itself.
        {L"", nullptr},
        {L".", nullptr},
        {L".\\", nullptr},
        {L"a\\..", nullptr},
        {L"a/./..", nullptr},
        // Climbing out.
        {L"..", nullptr},
        {L"..\\x", nullptr},
        {L"../x", nullptr},
        {L"a\\..\\..\\x", nullptr},
        {L"a/../../x", nullptr},
        {L"a\\..\\..\\App\\x", nullptr},  // out and back in is still out for a moment
        // Absolute forms.
        {L"C:\\x", nullptr},
        {L"C:x", nullptr},
        {L"c:/x", nullptr},
        {L"\\x", nullptr},
        {L"/x", nullptr},
        {L"\\\\server\\share\\x", nullptr},
        {L"//server/share/x", nullptr},
        {L"\\\\?\\C:\\x", nullptr},
        {L"\\\\.\\C:", nullptr},
        {L"\\\\.\\PhysicalDrive0", nullptr},
        // Names the platform would rewrite or expand.
        {L"...", nullptr},
        {L"...\\x", nullptr},
        {L"a\\...", nullptr},
        {L"x.", nullptr},
        {L"x ", nullptr},
        {L".. ", nullptr},
        {L" ", nullptr},
        {L"a. \\x", nullptr},
        {L"*", nullptr},
        {L"*.*", nullptr},
        {L"plugins\\?.dll", nullptr},
        {L"old.dll:stream", nullptr},
        {L"a|b", nullptr},
        {L"a\"b", nullptr},
        {L"<app>\\x", nullptr},
        {L"a\tb", nullptr},
    };
    for (const PathCase& c : cases)
        ExpectDeletion(kHost, c);
}

TEST(DescriptionSafety, DeletionPathsFitThePlatformsPathLength)
{
    // "C:\App\" is 7 characters; 259 in all is the longest a path call takes.
    const std::wstring longest(252, L'x');
    const std::wstring longestPath = L"C:\\App\\" + longest;
    const std::wstring tooLong(253, L'x');
    const std::wstring longButShort = std::wstring(400, L'y') + L"\\..\\x";
    const std::wstring veryLong(40000, L'z');
    const PathCase cases[] = {
        {longest.c_str(), longestPath.c_str()},
        {tooLong.c_str(), nullptr},
        {longButShort.c_str(), L"C:\\App\\x"},  // the joined path counts, not the entry
        {veryLong.c_str(), nullptr},
    };
    for (const PathCase& c : cases)
        ExpectDeletion(kHost, c);
}

TEST(DescriptionSafety, DeletionHostFolderForms)
{
    ExpectDeletion(L"C:\\App\\", {L"x", L"C:\\App\\x"});
    ExpectDeletion(L"C:\\", {L"x", L"C:\\x"});
    ExpectDeletion(L"", {L"x", nullptr});
    ExpectDeletion(nullptr, {L"x", nullptr});
    ExpectDeletion(kHost, {nullptr, nullptr});
}

void ExpectSettingsFile(LPCWSTR host, LPCWSTR appData, const PathCase& c, LPCWSTR updateFolder = nullptr)
{
    CString out(L"stale");
    const bool accepted = ResolveSettingsFile(c.input, host, appData, updateFolder, out);
    EXPECT_EQ(c.expected != nullptr, accepted) << "file [" << c.input << "]";
    EXPECT_STREQ(c.expected ? c.expected : L"", out) << "file [" << c.input << "]";
}

TEST(DescriptionSafety, SettingsFilesOnlyInTheHostOrCommonDataFolder)
{
    const std::wstring longest = L"C:\\App\\" + std::wstring(248, L'x') + L".ini";
    const std::wstring tooLong = L"C:\\App\\" + std::wstring(249, L'x') + L".ini";
    const PathCase cases[] = {
        {L"C:\\App\\settings.ini", L"C:\\App\\settings.ini"},
        {L"c:\\app\\SETTINGS.ini", L"c:\\app\\SETTINGS.ini"},
        {L"C:\\App\\sub\\x.ini", L"C:\\App\\sub\\x.ini"},
        {L"C:/App/sub\\x.ini", L"C:\\App\\sub\\x.ini"},
        {L"C:\\App\\\\x.ini", L"C:\\App\\x.ini"},
        {L"C:\\App\\.\\x.ini", L"C:\\App\\x.ini"},
        {L"C:\\App\\sub\\..\\x.ini", L"C:\\App\\x.ini"},
        {L"C:\\App\\..\\App\\x.ini", L"C:\\App\\x.ini"},  // inside once normalised
        {L"C:\\ProgramData\\Vendor\\x.ini", L"C:\\ProgramData\\Vendor\\x.ini"},
        {L"C:\\ProgramData\\x.ini", L"C:\\ProgramData\\x.ini"},
        {longest.c_str(), longest.c_str()},
        {tooLong.c_str(), nullptr},
        // Not a full path.
        {L"", nullptr},
        {L"settings.ini", nullptr},  // the profile writer would use the Windows folder
        {L"sub\\x.ini", nullptr},
        {L"..\\x.ini", nullptr},
        {L"\\App\\x.ini", nullptr},
        {L"C:App\\x.ini", nullptr},
        {L"<APP>\\x.ini", nullptr},  // the token is case-sensitive, so this one stays
        {L"<app>\\x.ini", nullptr},
        {L"\\\\server\\share\\x.ini", nullptr},
        {L"\\\\?\\C:\\App\\x.ini", nullptr},
        {L"\\\\.\\C:\\App\\x.ini", nullptr},
        // Outside both folders.
        {L"C:\\Windows\\win.ini", nullptr},
        {L"C:\\App\\..\\Windows\\win.ini", nullptr},
        {L"C:\\App\\sub\\..\\..\\x.ini", nullptr},
        {L"C:\\Apple\\x.ini", nullptr},
        {L"C:\\ProgramDataX\\x.ini", nullptr},
        {L"D:\\App\\x.ini", nullptr},
        {L"C:\\x.ini", nullptr},
        // The folder itself, or a folder.
        {L"C:\\App", nullptr},
        {L"C:\\App\\", nullptr},
        {L"C:\\App\\.", nullptr},
        {L"C:\\App\\sub\\..", nullptr},
        {L"C:\\ProgramData", nullptr},
        {L"C:\\App\\sub\\", nullptr},
        // Names the platform would rewrite.
        {L"C:\\App\\x.ini.", nullptr},
        {L"C:\\App\\x.ini ", nullptr},
        {L"C:\\App\\...\\x.ini", nullptr},
        {L"C:\\App\\x.ini:stream", nullptr},
        {L"C:\\App\\*.ini", nullptr},
        {L"C:\\App\\x\r.ini", nullptr},
        // Only ".ini" files, and none in the platform's own subtree of the common data folder.
        {L"C:\\App\\x.INI", L"C:\\App\\x.INI"},
        {L"C:\\App\\x.bat", nullptr},
        {L"C:\\App\\x.ini.exe", nullptr},
        {L"C:\\App\\x.ini\\y.cmd", nullptr},
        {L"C:\\App\\ini", nullptr},
        {L"C:\\App\\x.ini::$DATA", nullptr},
        {L"C:\\App\\Microsoft\\x.ini", L"C:\\App\\Microsoft\\x.ini"},  // the host's own folder
        {L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\\rt.bat", nullptr},
        {L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\\rt.ini", nullptr},
        {L"C:\\ProgramData\\microsoft\\x.ini", nullptr},
        {L"C:\\ProgramData\\Vendor\\..\\Microsoft\\x.ini", nullptr},
        {L"C:\\ProgramData\\MICROS~1\\x.ini", nullptr},  // may be the short name of "Microsoft"
        {L"C:\\ProgramData\\Microsoft.ini", L"C:\\ProgramData\\Microsoft.ini"},
        {L"C:\\ProgramData\\MicrosoftX\\x.ini", L"C:\\ProgramData\\MicrosoftX\\x.ini"},
        // Nothing in the update folder: the record's pins, update.trust and the description itself.
        {L"C:\\App\\update\\update.ini", nullptr},
        {L"C:\\App\\UPDATE\\x.ini", nullptr},
        {L"C:\\App\\sub\\..\\update\\.\\update.ini", nullptr},
        {L"C:\\App\\update\\staging\\x.ini", nullptr},
        {L"C:\\App\\update.ini", L"C:\\App\\update.ini"},
        {L"C:\\App\\updates\\x.ini", L"C:\\App\\updates\\x.ini"},
    };
    for (const PathCase& c : cases)
        ExpectSettingsFile(kHost, kAppData, c);
}

TEST(DescriptionSafety, SettingsFolderForms)
{
    ExpectSettingsFile(L"C:\\App\\", kAppData, {L"C:\\App\\x.ini", L"C:\\App\\x.ini"});
    ExpectSettingsFile(L"C:/App", kAppData, {L"c:\\APP\\x.ini", L"c:\\APP\\x.ini"});
    ExpectSettingsFile(L"C:\\App", L"", {L"C:\\ProgramData\\x.ini", nullptr});
    ExpectSettingsFile(nullptr, nullptr, {L"C:\\App\\x.ini", nullptr});
    ExpectSettingsFile(L"\\\\server\\share\\App", kAppData, {L"\\\\server\\share\\App\\x.ini", nullptr});
    ExpectSettingsFile(kHost, kAppData, {nullptr, nullptr});
    // A library kept outside the host program folder has an update folder of its own.
    ExpectSettingsFile(kHost, kAppData, {L"C:\\ProgramData\\Lib\\update\\update.ini", nullptr},
                       L"C:\\ProgramData\\Lib\\update");
    ExpectSettingsFile(kHost, kAppData, {L"C:\\ProgramData\\Lib\\x.ini", L"C:\\ProgramData\\Lib\\x.ini"},
                       L"C:\\ProgramData\\Lib\\update");
    ExpectSettingsFile(L"C:\\App\\", kAppData, {L"C:\\App\\update\\x.ini", nullptr});
}

TEST(DescriptionSafety, OnlyWebAddressesAreOpened)
{
    const struct {
        LPCWSTR address;
        bool web;
    } cases[] = {
        {L"http://example.test/buy", true},
        {L"https://example.test", true},
        {L"HTTPS://Example.Test/x?y=1#z", true},
        {L"hTtP://user:pw@example.test:8080/", true},
        {L"http://[::1]:8080/", true},
        {L"http://example.test/%E4%B8%AD", true},
        {L"http://例子.测试/", true},
        {L"", false},
        {nullptr, false},
        {L"http://", false},
        {L"http:///path", false},
        {L"http://:80/", false},
        {L"http://user@/x", false},
        {L"http://[]/", false},
        {L"http://?q", false},
        {L"http:example.test", false},
        {L"http:\\\\example.test", false},
        {L"http//example.test", false},
        {L"httpx://example.test", false},
        {L"httpſ://example.test", false},  // folds to "HTTPS" under the platform's case rules
        {L"ftp://example.test", false},
        {L"file:///C:/Windows/System32/calc.exe", false},
        {L"javascript:alert(1)", false},
        {L"C:\\Windows\\System32\\calc.exe", false},
        {L"calc.exe http://example.test", false},
        {L"cmd /c http://example.test", false},
        {L" http://example.test", false},
        {L"\thttp://example.test", false},
        {L"http://example.test/ x", false},
        {L"http://example.test/\r\n", false},
        {L"http://example.test/\" --flag", false},
        {L"http://example.test/\x85", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.web, IsWebAddress(c.address)) << "[" << (c.address ? c.address : L"(null)") << "]";
}

} // namespace
