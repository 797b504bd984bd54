#include "ui/NewsPageLayout.h"

#include "unit/UpdateFiles.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TEST(NewsPageLayout, TheLocationIsTheWebAddressOnlineElseThePageInTheHostFolder)
{
    const CString folder(L"C:\\Program Files\\Host");
    const CString web(L"http://shop.example/buy.htm");
    struct Case {
        LPCWSTR page;
        LPCWSTR web;
        bool online;
        bool shown;
        LPCWSTR location;
    };
    const Case cases[] = {
        {L"buy.htm", web, true, true, web},
        {L"buy.htm", web, false, true, L"C:\\Program Files\\Host\\buy.htm"},
        {L"buy.htm", L"", true, true, L"C:\\Program Files\\Host\\buy.htm"},
        {L"pages\\buy.htm", L"", false, true, L"C:\\Program Files\\Host\\pages\\buy.htm"},
        {L"", web, true, true, web},
        // Offline without a local page there is nothing to show, not the folder.
        {L"", web, false, false, L""},
        {L"", L"", true, false, L""},
    };
    for (const Case& c : cases) {
        CString location(L"stale");
        EXPECT_EQ(ChoosePurchasePageLocation(c.page, c.web, c.online, folder, location), c.shown)
            << c.page << L" | " << c.web << L" | " << c.online;
        EXPECT_EQ(location, c.location) << c.page << L" | " << c.web << L" | " << c.online;
    }
}

// The location buffer holds 259 characters and the zero: longer ones are refused, never cut.
TEST(NewsPageLayout, ALocationThatWouldNotFitItsBufferIsRefused)
{
    const CString folder(L"C:\\Host");  // 7 characters, 8 with the separator
    const CString webPrefix(L"http://shop.example/");
    struct Case {
        CString page;
        CString web;
        bool online;
        bool shown;
    };
    const Case cases[] = {
        {L"", webPrefix + CString(L'a', 259 - webPrefix.GetLength()), true, true},
        {L"", webPrefix + CString(L'a', 260 - webPrefix.GetLength()), true, false},
        // A refused web address does not fall back on the local page.
        {L"buy.htm", webPrefix + CString(L'a', 4095 - webPrefix.GetLength()), true, false},
        {CString(L'p', 259 - 8), L"", false, true},
        {CString(L'p', 260 - 8), L"", false, false},
        // Offline a long web address is not looked at.
        {L"buy.htm", webPrefix + CString(L'a', 4095 - webPrefix.GetLength()), false, true},
    };
    for (const Case& c : cases) {
        CString location;
        EXPECT_EQ(ChoosePurchasePageLocation(c.page, c.web, c.online, folder, location), c.shown)
            << c.page.GetLength() << L" | " << c.web.GetLength();
        EXPECT_LT(location.GetLength(), kPurchaseLocationBuffer);
        EXPECT_EQ(location.IsEmpty(), !c.shown);
    }
}

TEST(NewsPageLayout, TheAddressTellsThePageItsBackgroundInLowerCaseHex)
{
    struct Case {
        LPCWSTR location;
        COLORREF colour;
        LPCWSTR address;
    };
    const Case cases[] = {
        {L"C:\\Host\\buy.htm", RGB(212, 208, 200), L"C:\\Host\\buy.htm?bkcolor=c8d0d4"},
        {L"C:\\Host\\buy.htm", RGB(0, 0, 0), L"C:\\Host\\buy.htm?bkcolor=0"},
        // Appended as it stands, also after a query of the page's own.
        {L"http://shop.example/buy?ed=pro", RGB(240, 240, 240), L"http://shop.example/buy?ed=pro?bkcolor=f0f0f0"},
        {L"C:\\100%\\buy.htm", RGB(1, 2, 3), L"C:\\100%\\buy.htm?bkcolor=30201"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PurchasePageAddress(c.location, c.colour), c.address);
}

std::string Marked(const std::string& before, const std::string& after)
{
    return before + kPageHeightMarker + after;
}

TEST(NewsPageLayout, APageDeclaresItsHeightWithTheMarkerInItsFirst511Bytes)
{
    const std::string bom = "\xEF\xBB\xBF";
    const size_t markerLength = std::string(kPageHeightMarker).size();
    struct Case {
        const char* what;
        std::string page;
        int height;
    };
    const Case cases[] = {
        {"at byte 0", Marked("", "180-->"), 180},
        {"after other text", Marked("<html><head>", "180--></head>"), 180},
        {"with a byte-order mark", Marked(bom, "180-->"), 180},
        {"a second mark stays as text", Marked(bom + bom, "180"), 180},
        {"white space and a sign", Marked("", " \t+42-->"), 42},
        {"first marker wins", Marked("", "90") + Marked("", "180"), 90},
        {"no digits", Marked("", "-->"), 0},
        {"nothing after it", Marked("", ""), 0},
        {"ten digits at most", Marked("", "12345678901"), 1234567890},
        {"ten characters at most, white space counts", Marked("", "        123"), 12},
        {"too large for an int", Marked("", "9999999999"), INT_MAX},
        {"negative", Marked("", "-20"), -20},
        {"number ending at byte 511", Marked(std::string(511 - markerLength - 3, ' '), "180"), 180},
        {"number cut at byte 511", Marked(std::string(511 - markerLength - 2, ' '), "180"), 18},
        {"marker ending at byte 511", Marked(std::string(511 - markerLength, ' '), "180"), 0},
        {"marker split across byte 511", Marked(std::string(511 - markerLength + 1, ' '), "180"), 0},
        {"with a mark, the 511 bytes include it", Marked(bom + std::string(511 - markerLength - 3 - 2, ' '), "180"),
         18},
        {"after a zero byte", Marked(std::string("x\0y", 3), "180"), 0},
        {"in other letter case", "<!--<$HEIGHT$>180", 0},
        // Under code page 936 a search by characters would take the last UTF-8 byte with the '<'.
        {"right after a UTF-8 character", Marked("\xE4\xB8\xAD", "180"), 180},
        {"no marker", "<html>180</html>", 0},
        {"empty", "", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseDeclaredPageHeight(c.page.data(), c.page.size()), c.height) << c.what;
    EXPECT_EQ(ParseDeclaredPageHeight(nullptr, 0), 0);
}

class DeclaredHeightFile : public UpdateFilesTest {
protected:
    void TearDown() override
    {
        ::DeleteFileW(m_path.c_str());
        UpdateFilesTest::TearDown();
    }
    const std::wstring m_path = ProgramFolder() + L"\\declared-height.htm";
};

TEST_F(DeclaredHeightFile, IsReadFromTheFileAndNeverFromAnAddress)
{
    WriteBytes(m_path, Marked("\xEF\xBB\xBF<html>", "180--><body>" + std::string(2000, 'x') + "</body></html>"));
    EXPECT_EQ(ReadDeclaredPageHeight(m_path.c_str()), 180);
    WriteBytes(m_path, Marked(std::string(600, ' '), "180"));
    EXPECT_EQ(ReadDeclaredPageHeight(m_path.c_str()), 0);
    EXPECT_EQ(ReadDeclaredPageHeight((ProgramFolder() + L"\\no-such-page.htm").c_str()), 0);
    EXPECT_EQ(ReadDeclaredPageHeight(L"http://shop.example/buy.htm"), 0);
}

TEST(NewsPageLayout, TheNewsBoxHasOneCappedLineMoreThanLineFeeds)
{
    struct Case {
        int measured;
        LPCWSTR text;
        int height;
    };
    const Case cases[] = {
        {12, L"", 12},
        {12, L"a\nb\nc\nd", 48},
        {16, L"a\nb\nc\nd", 56},  // 4 x the cap of 14
        {14, L"a\r\nb\r\n", 42},  // only line feeds count
        {16, L"a\rb", 14},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NewsBoxHeight(c.measured, c.text), c.height) << c.measured << L" " << c.text;
}

TEST(NewsPageLayout, TheBrowserTakesTheDeclaredElseTheConfiguredElseItsOwnHeight)
{
    struct Case {
        int declared, configured, current, height;
    };
    const Case cases[] = {
        {180, 90, 163, 180}, {0, 90, 163, 90},   {0, 0, 163, 163},
        {-20, 90, 163, 90},  {0, -5, 163, 163},  {INT_MAX, 0, 163, kMaxBrowserHeight},
        {0, 100000, 163, kMaxBrowserHeight},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseBrowserHeight(c.declared, c.configured, c.current), c.height)
            << c.declared << " " << c.configured << " " << c.current;
}

TEST(NewsPageLayout, ABrowserBelowTheButtonsTopGrowsTheDialogAndMovesTheButtons)
{
    // The template's places at 1.5 pixels per dialog unit, roughly.
    const RECT news = {11, 57, 401, 243};
    const RECT browser = {11, 96, 401, 259};
    const RECT install = {203, 267, 278, 290};
    const RECT cancel = {315, 267, 390, 290};
    struct Case {
        const char* what;
        int newsHeight, browserHeight;
        int growth, buttonShift;
    };
    const Case cases[] = {
        {"ends 40 px below the button's top", 14, 267 + 40 - 57 - 14, 40, 45},
        {"ends 1 px below", 14, 267 + 1 - 57 - 14, 1, 6},
        {"ends at the button's top", 14, 267 - 57 - 14, 0, 0},
        {"pushed down by a long news text", 14 * 10, 163, 57 + 140 + 163 - 267, 57 + 140 + 163 - 267 + 5},
    };
    for (const Case& c : cases) {
        const CNewsPageLayout layout = LayOutNewsPage(news, browser, install, cancel, c.newsHeight, c.browserHeight);
        EXPECT_EQ(layout.rcNews.top, news.top) << c.what;
        EXPECT_EQ(layout.rcNews.bottom, news.top + c.newsHeight) << c.what;
        EXPECT_EQ(layout.rcNews.left, news.left) << c.what;
        EXPECT_EQ(layout.rcNews.right, news.right) << c.what;
        EXPECT_EQ(layout.rcBrowser.top, layout.rcNews.bottom) << c.what;
        EXPECT_EQ(layout.rcBrowser.bottom - layout.rcBrowser.top, c.browserHeight) << c.what;
        EXPECT_EQ(layout.rcBrowser.left, browser.left) << c.what;
        EXPECT_EQ(layout.rcBrowser.right, browser.right) << c.what;
        EXPECT_EQ(layout.nDialogGrowth, c.growth) << c.what;
        RECT movedInstall = install, movedCancel = cancel;
        ::OffsetRect(&movedInstall, 0, c.buttonShift);
        ::OffsetRect(&movedCancel, 0, c.buttonShift);
        EXPECT_TRUE(::EqualRect(&layout.rcInstall, &movedInstall)) << c.what;
        EXPECT_TRUE(::EqualRect(&layout.rcCancel, &movedCancel)) << c.what;
    }
}

} // namespace
