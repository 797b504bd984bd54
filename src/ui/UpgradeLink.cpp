#include "ui/UpgradeLink.h"

#include "framework/AfxComPtr.h"
#include "framework/AfxDispatch.h"
#include "install/FileManager.h"
#include "ui/Iexplorer.h"

#include <exdisp.h>
#include <mshtml.h>
#include <mshtmdid.h>

const wchar_t kUpgradeLinkPrefix[] = L"http://buypro/";
static_assert(sizeof(kUpgradeLinkPrefix) / sizeof(wchar_t) == kUpgradeLinkPrefixLength + 1,
              "an upgrade link prefix has 14 characters");

namespace {

// The members are read through each interface's dispatch side, which every
// one of them offers.
CComPtr<IDispatch> GetDispatchProperty(IDispatch* pObject, DISPID dispid)
{
    CComPtr<IDispatch> value;
    AfxInvokeHelper(pObject, dispid, DISPATCH_PROPERTYGET, VT_DISPATCH, value.Put(), VTS_NONE);
    return value;
}

bool GetStringProperty(IDispatch* pObject, DISPID dispid, CString& value)
{
    value.Empty();
    return SUCCEEDED(AfxInvokeHelper(pObject, dispid, DISPATCH_PROPERTYGET, VT_BSTR, &value, VTS_NONE));
}

// The element that took the click in a document.
CComPtr<IDispatch> ActiveElement(const CComPtr<IDispatch>& document)
{
    CComPtr<IHTMLDocument2> html = document.As<IHTMLDocument2>();
    if (!html)
        return {};
    return GetDispatchProperty(html.Get(), DISPID_IHTMLDOCUMENT2_ACTIVEELEMENT);
}

// An iframe holds the focus when the click was inside it: the element that
// took the click is its document's.
CComPtr<IDispatch> ActiveElementInFrame(const CComPtr<IDispatch>& frame)
{
    CComPtr<IWebBrowser2> browser = frame.As<IHTMLFrameBase>().As<IWebBrowser2>();
    if (!browser)
        return {};
    return ActiveElement(GetDispatchProperty(browser.Get(), CIexplorer::kDispidDocument));
}

} // namespace

bool IsUpgradeLink(const CString& address)
{
    return address.GetLength() >= kUpgradeLinkPrefixLength &&
           address.Str().compare(0, kUpgradeLinkPrefixLength, kUpgradeLinkPrefix) == 0;
}

CString ClickedLinkAddress(IDispatch* pDocument)
{
    CComPtr<IDispatch> element = ActiveElement(CComPtr<IDispatch>::Share(pDocument));
    CString tagName;
    if (!element || !GetStringProperty(element.Get(), DISPID_IHTMLELEMENT_TAGNAME, tagName))
        return {};
    if (tagName.CompareNoCase(L"iframe") == 0)
        element = ActiveElementInFrame(element);
    CComPtr<IHTMLAnchorElement> anchor = element.As<IHTMLAnchorElement>();
    CString address;
    if (!anchor || !GetStringProperty(anchor.Get(), DISPID_IHTMLANCHORELEMENT_HREF, address))
        return {};
    return address;
}

BOOL OnPurchasePageNewWindow(IDispatch* pDocument, HWND hDialog, HWND hHostWnd, UINT nUpgradeMessage)
{
    if (!IsUpgradeLink(ClickedLinkAddress(pDocument)))
        return FALSE;
    // The host decides what an upgrade means; it may hand the message back
    // to the dialog, which then installs. The professional edition has nothing
    // to upgrade to.
    if (hHostWnd && !CFileManager::ReadEditionFlag())
        ::SendMessageW(hHostWnd, nUpgradeMessage, 0, reinterpret_cast<LPARAM>(hDialog));
    return TRUE;
}
