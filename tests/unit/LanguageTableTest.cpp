// The language library's decisions: the table file format, which table a user
// gets, and that the shipped tables translate every text the library shows.
#include "LanguageChoice.h"
#include "TableFiles.h"
#include "TextTable.h"
#include "resources/resource.h"
#include "unit/NetworkFiles.h"
#include "unit/UpdateFiles.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <set>
#include <string>
#include <vector>

namespace {

const int kValid = -1;

struct TableCase {
    const char* name;
    std::string bytes;
    int errorLine;  // kValid, or the line the fault is reported on (0: the file)
    TextTable expected;
};

TEST(LanguageTable, AFileIsReadWholeOrRefusedWholeAtItsFirstFault)
{
    const TableCase cases[] = {
        {"every character a text may hold", "< a=b %s {Version}\\n\\\\x \n> c\\td\\r\n", kValid,
         {{L"a=b %s {Version}\n\\x ", L"c\td\r"}}},
        {"a byte-order mark, CRLF lines, comments and blank lines",
         "\xEF\xBB\xBF# c\r\n\r\n< \xE5\xAE\x89\xE8\xA3\x85\r\n> Install\r\n# d\r\n< x\r\n> y", kValid,
         {{L"安装", L"Install"}, {L"x", L"y"}}},
        {"an empty file", "", kValid, {}},
        {"a text at the end without its translation", "< a\n> b\n< c\n", 3, {}},
        {"a blank line between a text and its translation", "< a\n\n> b\n", 1, {}},
        {"two texts in a row", "< a\n< b\n> c\n", 1, {}},
        {"a translation without its text", "# x\n> b\n", 2, {}},
        {"a line of neither kind", "< a\n> b\nc = d\n", 3, {}},
        {"a marker without its space", "<a\n> b\n", 1, {}},
        {"an unknown escape", "< a\\q\n> b\n", 1, {}},
        {"a backslash at the end of a line", "< a\n> b\\\n", 2, {}},
        {"an empty translation", "< a\n> \n", 2, {}},
        {"an empty text", "<\n> b\n", 1, {}},
        {"the same text twice", "< a\n> b\n< a\n> c\n", 3, {}},
        {"a translation longer than the library's buffer", "< a\n> " + std::string(1024, 'x') + "\n", 2, {}},
        {"bytes that are not UTF-8", "< a\n> \xC3\x28\n", 0, {}},
        {"a zero character", std::string("< a\n> b\0c\n", 10), 0, {}},
        {"a file too large", "< a\n> b\n" + std::string(kMaxTableBytes, '#'), 0, {}},
    };
    for (const TableCase& c : cases) {
        SCOPED_TRACE(c.name);
        TextTable table = {{L"left", L"over"}};
        TableError error;
        const bool bRead = ParseTextTable(c.bytes, table, error);
        EXPECT_EQ(c.errorLine == kValid, bRead) << error.reason;
        EXPECT_EQ(c.expected, table);
        if (!bRead) {
            EXPECT_EQ(c.errorLine, error.nLine) << error.reason;
            EXPECT_FALSE(error.reason.empty());
        }
    }
}

TEST(LanguageTable, AUserGetsTheTableOfTheirLanguageThenOfItsMoreGeneralForms)
{
    const struct {
        std::wstring pinned, user, fallback;
        std::vector<std::wstring> expected;
    } cases[] = {
        {L"", L"zh-HK", L"", {L"zh-HK", L"zh-TW", L"zh"}},
        {L"", L"zh-MO", L"", {L"zh-MO", L"zh-TW", L"zh"}},
        {L"", L"zh-Hant", L"", {L"zh-Hant", L"zh-TW", L"zh"}},
        {L"", L"zh-SG", L"", {L"zh-SG", L"zh-CN", L"zh"}},
        {L"", L"zh-CN", L"", {L"zh-CN", L"zh"}},
        {L"", L"en-GB", L"", {L"en-GB", L"en"}},
        {L"", L"sr-Latn-RS", L"", {L"sr-Latn-RS", L"sr-Latn", L"sr"}},
        // The publisher's choice for every user comes first, the fallback last.
        {L"en", L"zh-TW", L"", {L"en", L"zh-TW", L"zh"}},
        {L"", L"de-DE", L"en", {L"de-DE", L"de", L"en"}},
        {L"en-US", L"EN-gb", L"en", {L"en-US", L"en", L"EN-gb"}},
        // A name that could reach outside the folder, or is no name, is left out.
        {L"..\\en", L"fr-FR", L"en/x", {L"fr-FR", L"fr"}},
        {L"-en", L"", L"en--GB", {}},
        {L"", L"", L"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, LanguageCandidates(c.pinned, c.user, c.fallback))
            << testing::PrintToString(c.pinned) << " / " << testing::PrintToString(c.user);
    }
}

class LanguageFolder : public testing::Test {
protected:
    void SetUp() override
    {
        m_folder = ProgramFolder() + L"\\languages";
        TearDown();
        ::CreateDirectoryW(m_folder.c_str(), nullptr);
    }
    void TearDown() override
    {
        for (LPCWSTR name : {L"vexmod.ini", L"vexmod.en.txt", L"vexmod.en-GB.txt", L"vexmod.xx.txt"})
            ::DeleteFileW((m_folder + L"\\" + name).c_str());
        ::RemoveDirectoryW(m_folder.c_str());
    }
    void Write(LPCWSTR name, const std::string& bytes) { WriteBytes(m_folder + L"\\" + name, bytes); }

    std::wstring m_folder;
};

TEST_F(LanguageFolder, AFaultyTableIsPassedOverForTheNextOne)
{
    const struct {
        const char* name;
        std::string settings;
        bool bFaultyEnGb;
        std::wstring expected;  // the translation of "a"; empty: no table
    } cases[] = {
        {"the pinned table", "[Language]\r\nUse=en-GB\r\n", false, L"en-GB"},
        {"a faulty pinned table, then its general form", "[Language]\r\nUse=en-GB\r\n", true, L"en"},
        {"a missing pinned table, then the fallback", "[Language]\r\nUse=xx-YY\r\nFallback=en\r\n", false, L"en"},
    };
    Write(L"vexmod.en.txt", "< a\n> en\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Write(L"vexmod.ini", c.settings);
        Write(L"vexmod.en-GB.txt", c.bFaultyEnGb ? "< a\n> en-GB\n< b\n" : "< a\n> en-GB\n");
        const TextTable table = LoadTableBeside(m_folder);
        EXPECT_EQ(c.expected, table.count(L"a") ? table.at(L"a") : std::wstring());
    }
    // Only a faulty table: the library's own texts.
    Write(L"vexmod.ini", "[Language]\r\nUse=xx\r\n");
    Write(L"vexmod.xx.txt", "< a\n");
    ::DeleteFileW((m_folder + L"\\vexmod.en.txt").c_str());
    ::DeleteFileW((m_folder + L"\\vexmod.en-GB.txt").c_str());
    EXPECT_TRUE(LoadTableBeside(m_folder).empty());
}

INT_PTR CALLBACK NoDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

void AddStringTable(HMODULE hModule, std::set<std::wstring>& texts)
{
    for (UINT nID = 0; nID < 0x10000; ++nID) {
        wchar_t text[1024] = {};
        if (::LoadStringW(hModule, nID, text, ARRAYSIZE(text)) > 0)
            texts.insert(text);
    }
}

// Every text of the string table and of the dialog template, as the library
// hands them to the translator, and of the launcher's string table.
std::set<std::wstring> LibraryTexts()
{
    std::set<std::wstring> texts;
    const HMODULE hModule = ::GetModuleHandleW(nullptr);
    AddStringTable(hModule, texts);
    const HMODULE hLauncher = ::LoadLibraryExW((ProgramFolder() + L"\\..\\..\\bin\\update.exe").c_str(), nullptr,
                                               LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_NE(nullptr, hLauncher);
    if (hLauncher) {
        AddStringTable(hLauncher, texts);
        ::FreeLibrary(hLauncher);
    }
    HWND hDlg = ::CreateDialogParamW(hModule, MAKEINTRESOURCEW(IDD_UPDATE_STATUS), nullptr, NoDialogProc, 0);
    EXPECT_NE(nullptr, hDlg);
    for (HWND hWnd = hDlg; hWnd; hWnd = hWnd == hDlg ? ::GetWindow(hDlg, GW_CHILD) : ::GetWindow(hWnd, GW_HWNDNEXT)) {
        wchar_t text[1024] = {};
        if (::GetWindowTextW(hWnd, text, ARRAYSIZE(text)) > 0)
            texts.insert(text);
    }
    ::DestroyWindow(hDlg);
    return texts;
}

TEST(LanguageTable, TheShippedTablesTranslateEveryTextOfTheLibrary)
{
    const std::set<std::wstring> texts = LibraryTexts();
    ASSERT_GE(texts.size(), 20u);  // the string tables' 15 and 2 and the template's 4 were found (one shared)
    for (LPCWSTR name : {L"vexmod.en.txt", L"vexmod.zh-TW.txt"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        const auto bytes = ReadBytes(ProgramFolder() + L"\\..\\..\\bin\\" + name);
        ASSERT_TRUE(bytes.has_value());
        TextTable table;
        TableError error;
        ASSERT_TRUE(ParseTextTable(*bytes, table, error))
            << error.nLine << ": " << testing::PrintToString(error.reason);
        for (const std::wstring& text : texts)
            EXPECT_EQ(1u, table.count(text)) << "no translation of " << testing::PrintToString(text);
        EXPECT_EQ(texts.size(), table.size()) << "a translation of a text the library does not have";
    }
}

} // namespace
