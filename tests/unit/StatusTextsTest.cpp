#include "ui/ProgressPace.h"
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

TEST(StatusTexts, TheDownloadLineTakesItsValuesLiterally)
{
    const LPCWSTR kDefault = L"{Label}: {Received} of {Total}";
    const struct {
        LPCWSTR pattern, label, expected;
    } cases[] = {
        {kDefault, L"正在下载", L"正在下载: 1.50 KB of 3.00 MB"},
        {kDefault, L"Fetching %s%d", L"Fetching %s%d: 1.50 KB of 3.00 MB"},
        // A label that holds a placeholder is not filled in turn.
        {kDefault, L"{Total} {Received}", L"{Total} {Received}: 1.50 KB of 3.00 MB"},
        // A translation may reorder, repeat or leave out a value.
        {L"{Total} 中 {Received} ({Label}, {Label})", L"下载", L"3.00 MB 中 1.50 KB (下载, 下载)"},
        {L"{Received}/{total} {Label", L"x", L"1.50 KB/{total} {Label"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.expected, DownloadStatusText(c.pattern, c.label, L"1.50 KB", L"3.00 MB")) << c.pattern;
}

TEST(StatusTexts, ProgressIsShownAtMostTenTimesASecondNeverTwiceTheSameAndAlwaysAtTheEnd)
{
    const struct {
        LONG received, total;
        DWORD now;
        bool shown;
    } steps[] = {
        {0, 1000, 5000, true},        // the first state
        {0, 1000, 5200, false},       // nothing changed
        {100, 1000, 5250, true},
        {200, 1000, 5300, false},     // too soon
        {300, 1000, 5349, false},
        {400, 1000, 5350, true},      // the interval has passed
        {1000, 1000, 5351, true},     // the end, however soon
        {1000, 1000, 9000, false},
        {4096, 0, 9050, true},
        {8192, 0, 9100, false},       // no size: no end to show early
        {12288, 0, 9150, true},
        {9000, 9000, 0xFFFFFFF0u, true},
        {9500, 10000, 0x00000010u, false},  // the tick count wrapped: 32 ms later
        {9600, 10000, 0x00000060u, true},
    };
    CProgressPace pace;
    for (const auto& s : steps)
        EXPECT_EQ(s.shown, pace.ShouldShow(s.received, s.total, s.now)) << s.received << " of " << s.total << " at " << s.now;
    pace.Reset();
    EXPECT_TRUE(pace.ShouldShow(9600, 10000, 0x60)) << "a new download shows its first state";
}

} // namespace

