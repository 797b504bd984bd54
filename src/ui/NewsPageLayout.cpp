#include "ui/NewsPageLayout.h"

#include "base/Decimal.h"

#include <shlwapi.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string_view>

namespace {

bool FitsLocationBuffer(const CString& text)
{
    return text.GetLength() < kPurchaseLocationBuffer;
}

RECT MovedDown(RECT rc, int dy)
{
    ::OffsetRect(&rc, 0, dy);
    return rc;
}

} // namespace

bool ChoosePurchasePageLocation(const CString& page, const CString& web, bool bOnline, LPCWSTR pszHostFolder,
                                CString& location)
{
    location.Empty();
    // A location that does not fit is refused rather than cut: a cut address
    // or path would show some other page.
    if (bOnline && !web.IsEmpty()) {
        if (!FitsLocationBuffer(web))
            return false;
        location = web;
        return true;
    }
    // Without a page the host folder itself would be shown: nothing to offer.
    if (page.IsEmpty() || !pszHostFolder || !*pszHostFolder)
        return false;
    const CString folder(pszHostFolder);
    // Room for the folder, a separator and the page, before the join is tried.
    if (folder.GetLength() + 1 + page.GetLength() >= kPurchaseLocationBuffer)
        return false;
    wchar_t path[kPurchaseLocationBuffer] = {};
    std::copy_n(folder.GetString(), folder.GetLength(), path);
    if (!::PathAppendW(path, page))
        return false;
    location = path;
    return true;
}

CString PurchasePageAddress(const CString& location, COLORREF crBackground)
{
    CString suffix;
    suffix.Format(L"?bkcolor=%x", static_cast<unsigned int>(crBackground));
    return location + suffix;
}

const char kPageHeightMarker[] = "<!--<$height$>";

int ParseDeclaredPageHeight(const char* pData, size_t cbData)
{
    if (!pData)
        return 0;
    std::string_view head(pData, std::min(cbData, kPageHeightHead));
    if (head.substr(0, 3) == "\xEF\xBB\xBF")
        head.remove_prefix(3);
    head = head.substr(0, head.find('\0'));
    // A byte search: the marker is plain ASCII, and a search by characters of
    // the ANSI code page would step over it after a UTF-8 character.
    const size_t found = head.find(kPageHeightMarker);
    if (found == std::string_view::npos)
        return 0;
    const size_t maxDigits = 10;
    return ParseLenientInt32(head.substr(found + sizeof(kPageHeightMarker) - 1, maxDigits));
}

int ReadDeclaredPageHeight(LPCWSTR pszLocation)
{
    FILE* pFile = _wfopen(pszLocation, L"rb");
    if (!pFile)
        return 0;
    char head[kPageHeightHead] = {};
    const size_t cbRead = fread(head, 1, sizeof(head), pFile);
    fclose(pFile);
    return ParseDeclaredPageHeight(head, cbRead);
}

int NewsBoxHeight(int nMeasuredLineHeight, const CString& text)
{
    const int nMaxLineHeight = 14;
    const int nLineHeight = std::min(nMeasuredLineHeight, nMaxLineHeight);
    const auto nLineFeeds = std::count(text.Str().begin(), text.Str().end(), L'\n');
    return nLineHeight * static_cast<int>(nLineFeeds + 1);
}

int ChooseBrowserHeight(int nDeclared, int nConfigured, int nCurrent)
{
    const int nHeight = nDeclared > 0 ? nDeclared : nConfigured > 0 ? nConfigured : nCurrent;
    return std::min(nHeight, kMaxBrowserHeight);
}

CNewsPageLayout LayOutNewsPage(const RECT& rcNews, const RECT& rcBrowser, const RECT& rcInstall,
                               const RECT& rcCancel, int nNewsHeight, int nBrowserHeight)
{
    CNewsPageLayout layout = {rcNews, rcBrowser, rcInstall, rcCancel, 0};
    layout.rcNews.bottom = layout.rcNews.top + nNewsHeight;
    layout.rcBrowser.top = layout.rcNews.bottom;
    layout.rcBrowser.bottom = layout.rcBrowser.top + nBrowserHeight;
    const int nOverlap = layout.rcBrowser.bottom - rcInstall.top;
    if (nOverlap <= 0)
        return layout;
    // A small gap between the page and the buttons.
    const int nButtonGap = 5;
    layout.nDialogGrowth = nOverlap;
    layout.rcInstall = MovedDown(rcInstall, nOverlap + nButtonGap);
    layout.rcCancel = MovedDown(rcCancel, nOverlap + nButtonGap);
    return layout;
}
