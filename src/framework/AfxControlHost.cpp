#include "framework/AfxControlHost.h"

#include "framework/AfxControlSite.h"
#include "framework/AfxTrace.h"
#include "framework/AfxWin.h"
#include "framework/AfxWnd.h"

#include <exdisp.h>
#include <ocidl.h>

#include <new>
#include <vector>

namespace {

LRESULT CALLBACK HostWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

// A braced class identifier: 38 characters with the braces.
const int kClassNameLength = 38;

std::vector<ATOM>& RegisteredHostClasses()
{
    static std::vector<ATOM> atoms;
    return atoms;
}

// The control of one host window and everything the host holds of it.
class CControlHost {
public:
    explicit CControlHost(HWND hWnd) : m_hWnd(hWnd) {}
    ~CControlHost() { Close(); }
    CControlHost(const CControlHost&) = delete;
    CControlHost& operator=(const CControlHost&) = delete;

    static CControlHost* FromHandle(HWND hWnd)
    {
        if (!hWnd || ::GetClassLongPtrW(hWnd, GCLP_WNDPROC) != reinterpret_cast<ULONG_PTR>(&HostWndProc))
            return nullptr;
        return reinterpret_cast<CControlHost*>(::GetWindowLongPtrW(hWnd, 0));
    }

    HRESULT Open();
    void Close();
    void Fit();
    void Focus();

    HRESULT Query(REFIID riid, void** ppv) const
    {
        return m_pObject ? m_pObject->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }

    BOOL SetEvents(IBrowserEvents* pReceiver)
    {
        if (!m_pSink)
            return FALSE;
        m_pSink->SetReceiver(pReceiver);
        return TRUE;
    }

    BOOL PreTranslate(MSG* pMsg) const
    {
        CComPtr<IOleInPlaceActiveObject> active = m_pObject.As<IOleInPlaceActiveObject>();
        return active && active->TranslateAccelerator(pMsg) == S_OK;
    }

private:
    HRESULT Activate(LONG iVerb);
    void ConnectEvents();

    HWND m_hWnd;
    CComPtr<IOleObject> m_pObject;
    CComPtr<CControlSite> m_pSite;
    CComPtr<IConnectionPoint> m_pConnection;
    CComPtr<CBrowserEventSink> m_pSink;
    DWORD m_dwCookie = 0;
};

HRESULT CControlHost::Open()
{
    wchar_t szClassName[kClassNameLength + 2] = {};
    CLSID clsid = {};
    if (!::GetClassNameW(m_hWnd, szClassName, kClassNameLength + 2) ||
        !AfxParseControlClassName(szClassName, &clsid))
        return E_INVALIDARG;
    HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, m_pObject.PutVoid());
    if (FAILED(hr))
        return hr;
    m_pSite = CControlSite::Create(m_hWnd);

    // Some controls need their site before they can initialise their state.
    DWORD dwStatus = 0;
    m_pObject->GetMiscStatus(DVASPECT_CONTENT, &dwStatus);
    const bool siteFirst = (dwStatus & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst)
        m_pObject->SetClientSite(m_pSite.Get());
    if (CComPtr<IPersistStreamInit> persist = m_pObject.As<IPersistStreamInit>())
        hr = persist->InitNew();
    if (SUCCEEDED(hr) && !siteFirst)
        hr = m_pObject->SetClientSite(m_pSite.Get());
    if (SUCCEEDED(hr)) {
        ConnectEvents();
        hr = Activate(OLEIVERB_INPLACEACTIVATE);
    }
    if (FAILED(hr))
        Close();
    return hr;
}

void CControlHost::ConnectEvents()
{
    CComPtr<IConnectionPointContainer> container = m_pObject.As<IConnectionPointContainer>();
    if (!container || FAILED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, m_pConnection.Put())))
        return;
    CComPtr<CBrowserEventSink> sink = CBrowserEventSink::Create();
    if (FAILED(m_pConnection->Advise(sink.Get(), &m_dwCookie))) {
        m_pConnection.Reset();
        return;
    }
    m_pSink = std::move(sink);
}

HRESULT CControlHost::Activate(LONG iVerb)
{
    RECT rc = {};
    ::GetClientRect(m_hWnd, &rc);
    return m_pObject->DoVerb(iVerb, nullptr, m_pSite.Get(), 0, m_hWnd, &rc);
}

// Runs when the window is destroyed, and again harmlessly when the host is deleted.
void CControlHost::Close()
{
    if (m_pConnection)
        m_pConnection->Unadvise(m_dwCookie);
    m_pConnection.Reset();
    if (m_pSink)
        m_pSink->SetReceiver(nullptr);
    m_pSink.Reset();
    if (m_pObject) {
        if (CComPtr<IOleInPlaceObject> inPlace = m_pObject.As<IOleInPlaceObject>())
            inPlace->InPlaceDeactivate();
        m_pObject->Close(OLECLOSE_NOSAVE);
        m_pObject->SetClientSite(nullptr);
        m_pObject.Reset();
    }
    // The control may still hold the site; it must not reach a window that is gone.
    if (m_pSite)
        m_pSite->Detach();
    m_pSite.Reset();
}

void CControlHost::Fit()
{
    CComPtr<IOleInPlaceObject> inPlace = m_pObject.As<IOleInPlaceObject>();
    if (!inPlace)
        return;
    RECT rc = {};
    ::GetClientRect(m_hWnd, &rc);
    inPlace->SetObjectRects(&rc, &rc);
}

// Tabbing onto the host hands the focus on to the control.
void CControlHost::Focus()
{
    if (!m_pObject)
        return;
    Activate(OLEIVERB_UIACTIVATE);
    // A control that took no focus itself gets it in its window, so that keys reach it.
    HWND hControl = nullptr;
    if (CComPtr<IOleInPlaceObject> inPlace = m_pObject.As<IOleInPlaceObject>())
        inPlace->GetWindow(&hControl);
    if (hControl && ::GetFocus() == m_hWnd)
        ::SetFocus(hControl);
}

LRESULT CALLBACK HostWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CControlHost* pHost = CControlHost::FromHandle(hWnd);
    switch (uMsg) {
    case WM_CREATE:
        pHost = new (std::nothrow) CControlHost(hWnd);
        if (!pHost)
            return -1;
        ::SetWindowLongPtrW(hWnd, 0, reinterpret_cast<LONG_PTR>(pHost));
        // Without its control the host stays as an empty window, so that the
        // window around it still works.
        if (FAILED(pHost->Open()))
            AfxTrace(L"Control host: the control could not be created");
        return 0;
    case WM_SIZE:
        if (pHost)
            pHost->Fit();
        return 0;
    case WM_SETFOCUS:
        if (pHost)
            pHost->Focus();
        return 0;
    case WM_DESTROY:
        if (pHost)
            pHost->Close();
        return 0;
    case WM_NCDESTROY:
        ::SetWindowLongPtrW(hWnd, 0, 0);
        delete pHost;
        break;
    }
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

} // namespace

BOOL AfxRegisterControlHostClass(REFCLSID clsid)
{
    wchar_t szClassName[kClassNameLength + 1] = {};
    if (!::StringFromGUID2(clsid, szClassName, kClassNameLength + 1))
        return FALSE;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = HostWndProc;
    wc.cbWndExtra = sizeof(CControlHost*);
    wc.hInstance = AfxGetInstanceHandle();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = szClassName;
    const ATOM atom = ::RegisterClassExW(&wc);
    if (!atom)
        return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    RegisteredHostClasses().push_back(atom);
    return TRUE;
}

void AfxUnregisterControlHostClasses()
{
    // A library's classes outlive it unless it removes them; the procedure would dangle.
    for (ATOM atom : RegisteredHostClasses())
        ::UnregisterClassW(MAKEINTATOM(atom), AfxGetInstanceHandle());
    RegisteredHostClasses().clear();
}

BOOL AfxParseControlClassName(LPCWSTR pszClassName, CLSID* pClsid)
{
    // Only the braced form: anything else would be looked up as a program name.
    if (!pszClassName || !pClsid || pszClassName[0] != L'{' || ::lstrlenW(pszClassName) != kClassNameLength)
        return FALSE;
    return SUCCEEDED(::IIDFromString(pszClassName, pClsid));
}

HRESULT AfxQueryHostedControl(HWND hHost, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    const CControlHost* pHost = CControlHost::FromHandle(hHost);
    return pHost ? pHost->Query(riid, ppv) : E_INVALIDARG;
}

BOOL AfxSetBrowserEvents(HWND hHost, IBrowserEvents* pReceiver)
{
    CControlHost* pHost = CControlHost::FromHandle(hHost);
    return pHost && pHost->SetEvents(pReceiver);
}

BOOL AfxPreTranslateControlMessage(MSG* pMsg)
{
    if (!pMsg || pMsg->message < WM_KEYFIRST || pMsg->message > WM_KEYLAST)
        return FALSE;
    // The key goes to the host the focused window lies in, however deep.
    for (HWND hWnd = pMsg->hwnd; hWnd; hWnd = ::GetParent(hWnd)) {
        if (const CControlHost* pHost = CControlHost::FromHandle(hWnd))
            return pHost->PreTranslate(pMsg);
        if (!(::GetWindowLongW(hWnd, GWL_STYLE) & WS_CHILD))
            break;
    }
    return FALSE;
}

BOOL CWnd::CreateControl(REFCLSID clsid, LPCWSTR pszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                         UINT nID)
{
    wchar_t szClassName[kClassNameLength + 1] = {};
    if (m_hWnd || !pParentWnd || !::StringFromGUID2(clsid, szClassName, kClassNameLength + 1) ||
        !AfxRegisterControlHostClass(clsid))
        return FALSE;
    HWND hHost = ::CreateWindowExW(0, szClassName, pszWindowName ? pszWindowName : L"", dwStyle | WS_CHILD,
                                   rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                                   pParentWnd->m_hWnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)),
                                   AfxGetInstanceHandle(), nullptr);
    if (!hHost)
        return FALSE;
    // An empty host is no control: the caller learns it here, not at the first call.
    CComPtr<IUnknown> control;
    if (FAILED(AfxQueryHostedControl(hHost, IID_IUnknown, control.PutVoid()))) {
        ::DestroyWindow(hHost);
        return FALSE;
    }
    return Attach(hHost);
}
