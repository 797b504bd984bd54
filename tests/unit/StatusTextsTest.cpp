#include "ui/StatusTexts.h"

#include <gtest/gtest.h>

namespace {

TEST(StatusTexts, TheVersionGoesIntoTheOfferLineInParentheses)
{
    const struct {
        LPCWSTR text, version, expected;
    } cases[] = {
        {L"发现新的版本{Version}, 是否更新?", L"2.1", L"发现新的版本(2.1), 是否更新?"},
        {L"发现新的版本{Version}, 是否更新?", L"", L"发现新的版本, 是否更新?"},
        {L"{Version} and {Version}", L"1.0", L"(1.0) and (1.0)"},
        {L"Version {version} stays", L"1.0", L"Version {version} stays"},  // the placeholder's case matters
        {L"no placeholder", L"3.0", L"no placeholder"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.expected, ReplaceVersionPlaceholder(c.text, c.version)) << c.text << " / " << c.version;
}

TEST(StatusTexts, AOneArgumentPatternTakesTheNameOnceAndNothingElse)
{
    // A translation cannot make the formatting read arguments that are not there.
    const struct {
        LPCWSTR pattern, expected;
    } cases[] = {
        {L"%s 自动退出.", L"host.exe 自动退出."},
        {L"%s closes, %s too", L"host.exe closes, %s too"},
        {L"%d%% %n %S %s", L"%d% %n %S host.exe"},
        {L"closes now", L"closes now"},
        {L"ends with %", L"ends with %"},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.expected, FormatWithOneString(c.pattern, L"host.exe")) << c.pattern;
    EXPECT_STREQ(L" %s 自动退出.", FormatWithOneString(L"%s %s 自动退出.", L""));
}

TEST(StatusTexts, TheDownloadLineTakesItsLabelLiterally)
{
    EXPECT_STREQ(L"正在下载: 1.50 KB of 3.00 MB", DownloadStatusText(L"正在下载", L"1.50 KB", L"3.00 MB"));
    EXPECT_STREQ(L"Fetching %s%d: 0 bytes of 0 bytes", DownloadStatusText(L"Fetching %s%d", L"0 bytes", L"0 bytes"));
}

} // namespace
