#include "framework/AfxString.h"

#include <gtest/gtest.h>

namespace {

TEST(CString, FormatTakesWideStringsAndGrows)
{
    CString s;
    s.Format(L"%s&version=%s&SP=%d", L"http://h/u?x=1", L"1.0", -3);
    EXPECT_STREQ(L"http://h/u?x=1&version=1.0&SP=-3", s);

    s.Format(L"?bkcolor=%x", 0xc8d0d4);
    EXPECT_STREQ(L"?bkcolor=c8d0d4", s);

    const CString longText(L'z', 5000);
    s.Format(L"[%s]", longText.GetString());
    EXPECT_EQ(5002, s.GetLength());
}

TEST(CString, ReplaceFindTrimAndSlices)
{
    CString s(L"a+b++c");
    EXPECT_EQ(3, s.Replace(L"+", L"\r\n"));
    EXPECT_STREQ(L"a\r\nb\r\n\r\nc", s);

    CString v(L"发现新的版本{Version}, 是否更新?");
    v.Replace(L"{Version}", L"");
    EXPECT_STREQ(L"发现新的版本, 是否更新?", v);

    CString same(L"aaa");
    EXPECT_EQ(3, same.Replace(L"a", L"aa"));  // replacements are not rescanned
    EXPECT_STREQ(L"aaaaaa", same);

    const CString url(L"http://h/u?x=1&y=2");
    EXPECT_EQ(14, url.Find(L'&'));
    EXPECT_EQ(-1, url.Find(L'#'));
    EXPECT_STREQ(L"http://h/u?x=1", url.Left(url.Find(L'&')));
    EXPECT_STREQ(L"y=2", url.Mid(15));
    EXPECT_STREQ(L"=2", url.Right(2));
    EXPECT_TRUE(url.Mid(99).IsEmpty());

    CString padded(L" \t Section \r\n");
    EXPECT_STREQ(L"Section", padded.Trim());
    EXPECT_EQ(0, CString(L"FILENAME").CompareNoCase(L"Filename"));
}

TEST(CString, BufferForThePlatform)
{
    CString s;
    wchar_t* p = s.GetBuffer(MAX_PATH);
    ::lstrcpyW(p, L"C:\\App");
    s.ReleaseBuffer();
    EXPECT_STREQ(L"C:\\App", s);
    EXPECT_EQ(6, s.GetLength());
}

} // namespace
