// The decisions behind the purchase page under the news: where it comes from,
// the address the browser is sent to, the height a page declares, and where
// the news box, the browser and the buttons go.
#pragma once

#include "framework/AfxString.h"

#include <cstddef>

// The location buffer's size, the platform's path limit, with its terminating zero.
const int kPurchaseLocationBuffer = MAX_PATH;

// The page to show: the web address when the computer is online and one is
// set, else page inside the host program folder. False, with location empty,
// when there is no page to show: no web address to use and no local page, or
// a location that would not fit the location buffer.
bool ChoosePurchasePageLocation(const CString& page, const CString& web, bool bOnline, LPCWSTR pszHostFolder,
                                CString& location);

// The location with "?bkcolor=" and the colour in lower-case hexadecimal,
// which the page uses as its background.
CString PurchasePageAddress(const CString& location, COLORREF crBackground);

// "<!--<$height$>": the marker after which a local page writes its height.
extern const char kPageHeightMarker[];
// How much of a page is searched for the marker.
const size_t kPageHeightHead = 511;

// The height that the first kPageHeightHead bytes of a page declare (a UTF-8
// byte-order mark skipped): the number in the 10 characters after the
// marker, read as atoi reads, or 0 when there is no marker.
int ParseDeclaredPageHeight(const char* pData, size_t cbData);
// The same for a page file; 0 when it cannot be read (a web address, say).
int ReadDeclaredPageHeight(LPCWSTR pszLocation);

// Lines of the measured height, but at most 14 pixels each, one more than the
// text has line feeds.
int NewsBoxHeight(int nMeasuredLineHeight, const CString& text);

// The largest browser height the layout takes, so that no sum can overflow.
const int kMaxBrowserHeight = 0x7FFF;

// The page's own height when it declares one, else the configured one, else
// the current one; a height that is not positive counts as none.
int ChooseBrowserHeight(int nDeclared, int nConfigured, int nCurrent);

// Where the news page's windows go, in the dialog's client coordinates.
struct CNewsPageLayout {
    RECT rcNews;
    RECT rcBrowser;
    RECT rcInstall;
    RECT rcCancel;
    int nDialogGrowth;  // pixels the dialog's bottom edge moves down
};

// The news box keeps its top and takes nNewsHeight; the browser goes right
// under it with nBrowserHeight. A browser that ends below the Install button's
// top grows the dialog by the overlap and moves both buttons down by 5 more;
// the dialog never shrinks.
CNewsPageLayout LayOutNewsPage(const RECT& rcNews, const RECT& rcBrowser, const RECT& rcInstall,
                               const RECT& rcCancel, int nNewsHeight, int nBrowserHeight);
