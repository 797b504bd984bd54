#include "ui/Iexplorer.h"

#include "framework/AfxControlHost.h"
#include "framework/AfxDispatch.h"

namespace {

// Members of the browser's dispatch interface.
const DISPID kDispidNavigate = 104;

} // namespace

const CLSID CIexplorer::clsid = {0x8856f961, 0x340a, 0x11d0, {0xa9, 0x6b, 0x00, 0xc0, 0x4f, 0xd7, 0x05, 0xa2}};

BOOL CIexplorer::Create(LPCWSTR /*lpszClassName*/, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                        CWnd* pParentWnd, UINT nID, void* /*pContext*/)
{
    return CreateControl(clsid, lpszWindowName, dwStyle, rect, pParentWnd, nID);
}

HRESULT CIexplorer::Navigate(LPCWSTR URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                             VARIANT* Headers)
{
    static const BYTE params[] = VTS_BSTR VTS_PVARIANT VTS_PVARIANT VTS_PVARIANT VTS_PVARIANT;
    return AfxInvokeHelper(Browser().Get(), kDispidNavigate, DISPATCH_METHOD, VT_EMPTY, nullptr, params,
                           URL ? URL : L"", Flags, TargetFrameName, PostData, Headers);
}

CComPtr<IDispatch> CIexplorer::GetDocument()
{
    CComPtr<IDispatch> document;
    AfxInvokeHelper(Browser().Get(), kDispidDocument, DISPATCH_PROPERTYGET, VT_DISPATCH, document.Put(), VTS_NONE);
    return document;
}

CComPtr<IDispatch> CIexplorer::Browser() const
{
    return AfxGetHostedControl<IDispatch>(m_hWnd);
}
