// The news of a description arrives as UTF-8 bytes; it must come out whole
// under any ANSI code page. These tests run under 936 and again under 1252.
#include "description/LocalUpdateInfo.h"
#include "description/NewsText.h"
#include "description/ProfileFile.h"
#include "description/RemoteUpdateInfo.h"
#include "unit/UpdateFiles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

UINT ExpectedCodePage()
{
    wchar_t locale[64] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"UPDATE_LOCALE", locale, ARRAYSIZE(locale));
    if (n == 0)
        return 936;
    return std::wstring(locale) == L"en_US.UTF-8" ? 1252 : 0;
}

int CountScratchFiles()
{
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    WIN32_FIND_DATAW found = {};
    HANDLE search = ::FindFirstFileW((std::wstring(folder) + L"update-utf8-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do
        ++count;
    while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return count;
}

// A client name that the ANSI code page can hold but that is not ASCII.
std::wstring NonAsciiClientName()
{
    return ::GetACP() == 936 ? L"客户" : L"Café";
}

class NewsDecoding : public UpdateFilesTest {
protected:
    CString LoadNews(const std::string& valueBytes)
    {
        WriteBytes(m_path, "[OEMClient_X]\r\nUpdateInfo=" + valueBytes + "\r\n");
        CRemoteUpdateInfo info(m_path.c_str());
        info.LoadClient(L"X");
        return info.m_strUpdateInfo;
    }

    const std::wstring m_path = UpdateFile(L"update.ini");
};

TEST_F(NewsDecoding, RunsUnderTheCodePageOfItsLocale)
{
    const UINT expected = ExpectedCodePage();
    if (expected == 0)
        GTEST_SKIP() << "a locale these tests do not know";
    EXPECT_EQ(expected, ::GetACP());
}

TEST_F(NewsDecoding, Utf8NewsComesOutWhole)
{
    const struct {
        const char* bytes;
        LPCWSTR text;
    } cases[] = {
        {u8"新版本+修复问题", L"新版本\r\n修复问题"},
        {"What's new+Fixes", L"What's new\r\nFixes"},
        {"+one++two+", L"\r\none\r\n\r\ntwo\r\n"},
        {u8"Café über naïve", L"Café über naïve"},
        {u8"voilà", L"voilà"},
        {u8"表情 \U0001F600", L"表情 \U0001F600"},
        {"\xC3x", L"\xFFFDx"},  // not UTF-8: the platform decoder's replacement
        {"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "news '" << c.text << "'");
        EXPECT_STREQ(c.text, LoadNews(c.bytes));
    }
}

TEST_F(NewsDecoding, SectionsNamedInTheAnsiCodePageStillMatch)
{
    const std::wstring name = NonAsciiClientName();
    const std::wstring log = UpdateFile(L"update.log");
    WriteBytes(log, "[Files]\r\nOEMClientName=" + AnsiBytes(name) + "\r\n");
    WriteBytes(m_path, "[OEMClient_" + AnsiBytes(name) + "]\r\nMajorVerson=3.1\r\nUpdateInfo=" +
                           std::string(u8"新版本+修复问题") + "\r\n");
    const CLocalUpdateInfo installed(log.c_str());
    ASSERT_STREQ(name.c_str(), installed.m_strOEMClientName);
    CRemoteUpdateInfo offered(m_path.c_str());
    offered.LoadClient(installed.m_strOEMClientName);
    EXPECT_STREQ(L"3.1", offered.m_strVersion);
    EXPECT_STREQ(L"新版本\r\n修复问题", offered.m_strUpdateInfo);
}

TEST_F(NewsDecoding, DescriptionWithAUtf8MarkReadsTheFirstSection)
{
    WriteBytes(m_path, std::string("\xEF\xBB\xBF") + "[OEMClient_X]\r\nUpdateInfo=" + u8"新版本" + "\r\n");
    CRemoteUpdateInfo info(m_path.c_str());
    info.LoadClient(L"X");
    EXPECT_STREQ(L"新版本", info.m_strUpdateInfo);
}

TEST_F(NewsDecoding, DescriptionSavedAsUtf16ReadsAsItStands)
{
    const std::wstring text = L"\xFEFF[OEMClient_X]\r\nMajorVerson=3.1\r\nUpdateInfo=新版本+修复问题\r\n";
    WriteBytes(m_path, std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
    CRemoteUpdateInfo info(m_path.c_str());
    info.LoadClient(L"X");
    EXPECT_STREQ(L"3.1", info.m_strVersion);
    EXPECT_STREQ(L"新版本\r\n修复问题", info.m_strUpdateInfo);
}

TEST_F(NewsDecoding, LeavesNoScratchFileBehind)
{
    const int before = CountScratchFiles();
    EXPECT_STREQ(L"a\r\nb", LoadNews("a+b"));
    EXPECT_EQ(before, CountScratchFiles());
}

TEST(NewsDecodingText, ViewDecodesSectionLinesInTheAnsiCodePageAndTheRestAsUtf8)
{
    const std::wstring name = NonAsciiClientName();
    const struct {
        std::string bytes;
        std::wstring view;
    } cases[] = {
        {"", L"\xFEFF"},
        {"[S]\r\nK=\xE6\x96\xB0+x\r\n", L"\xFEFF[S]\r\nK=\x65B0+x\r\n"},
        {"\xEF\xBB\xBF[S]\nK=v", L"\xFEFF[S]\nK=v"},
        {"K=\xE6\x96\nL=x", L"\xFEFFK=\xFFFD\nL=x"},  // a broken sequence keeps the line end
        {" \t[" + AnsiBytes(name) + "]\r\nK=" + AnsiBytes(L"x"), L"\xFEFF \t[" + name + L"]\r\nK=x"},
        {"K=[" + std::string(u8"新") + "]", L"\xFEFFK=[\x65B0]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "view '" << c.view << "'");
        EXPECT_EQ(c.view, MakeUtf8ProfileView(c.bytes));
    }
}

TEST(NewsDecodingText, LineBreaksAndPlusSigns)
{
    const struct {
        LPCWSTR folded;
        LPCWSTR text;
    } cases[] = {
        {L"", L""},
        {L"a+b", L"a\r\nb"},
        {L"+a++b+", L"\r\na\r\n\r\nb\r\n"},
        {L"no breaks", L"no breaks"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "value '" << c.folded << "'");
        EXPECT_STREQ(c.text, ExpandNewsLineBreaks(c.folded));
        EXPECT_STREQ(c.folded, FoldNewsLineBreaks(c.text));
    }
    // Lone carriage returns and line feeds are line breaks too.
    EXPECT_STREQ(L"a+b+c+d", FoldNewsLineBreaks(L"a\rb\nc\r\nd"));
}

} // namespace
