#include "unit/FakeBrowser.h"

#include "unit/OleObjectStub.h"

#include <exdisp.h>
#include <exdispid.h>
#include <olectl.h>

const UINT kFakeBrowserClick = WM_APP + 0x51;

namespace {

const DISPID kNavigate = 104;
const DISPID kDocument = 203;
const wchar_t kPageClass[] = L"FakeBrowserPage";

class FakeBrowser;

// The browser's one connection point, for DWebBrowserEvents2.
class FakeEvents final : public IConnectionPoint {
public:
    explicit FakeEvents(FakeBrowserClass& state, IConnectionPointContainer* pContainer)
        : m_state(state), m_pContainer(pContainer)
    {
    }

    void FireNewWindow2()
    {
        if (!m_sink)
            return;
        IDispatch* pNewWindow = nullptr;
        VARIANT_BOOL cancel = VARIANT_FALSE;
        VARIANT args[2];
        ::VariantInit(&args[0]);
        ::VariantInit(&args[1]);
        args[0].vt = VT_BYREF | VT_BOOL;  // last first
        args[0].pboolVal = &cancel;
        args[1].vt = VT_BYREF | VT_DISPATCH;
        args[1].ppdispVal = &pNewWindow;
        DISPPARAMS params = {args, nullptr, 2, 0};
        m_sink->Invoke(DISPID_NEWWINDOW2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                       nullptr);
        m_state.m_newWindowCancels.push_back(cancel);
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IConnectionPoint)
            return E_NOINTERFACE;
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_cRef; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG cRef = --m_cRef;
        if (cRef == 0)
            delete this;
        return cRef;
    }
    STDMETHODIMP GetConnectionInterface(IID* pIID) override
    {
        *pIID = DIID_DWebBrowserEvents2;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override
    {
        *ppCPC = m_pContainer;
        m_pContainer->AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override
    {
        if (m_sink)
            return CONNECT_E_ADVISELIMIT;
        if (FAILED(pUnkSink->QueryInterface(IID_IDispatch, m_sink.PutVoid())))
            return CONNECT_E_CANNOTCONNECT;
        ++m_state.m_nConnections;
        *pdwCookie = 1;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD dwCookie) override
    {
        if (dwCookie != 1 || !m_sink)
            return CONNECT_E_NOCONNECTION;
        m_sink.Reset();
        --m_state.m_nConnections;
        return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

private:
    ~FakeEvents() = default;

    ULONG m_cRef = 1;
    FakeBrowserClass& m_state;
    IConnectionPointContainer* m_pContainer;  // the browser, which owns this point
    CComPtr<IDispatch> m_sink;
};

class FakeBrowser final : public COleObjectStub, public IDispatch, public IConnectionPointContainer {
public:
    explicit FakeBrowser(FakeBrowserClass& state)
        : m_state(state), m_events(CComPtr<FakeEvents>::Adopt(new FakeEvents(state, this)))
    {
        ++m_state.m_nLive;
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IOleObject)
            *ppv = static_cast<IOleObject*>(this);
        else if (riid == IID_IDispatch)
            *ppv = static_cast<IDispatch*>(this);
        else if (riid == IID_IConnectionPointContainer)
            *ppv = static_cast<IConnectionPointContainer*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_cRef; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG cRef = --m_cRef;
        if (cRef == 0)
            delete this;
        return cRef;
    }

    // In place: a window of its own in the host, which takes the test's clicks.
    STDMETHODIMP DoVerb(LONG iVerb, LPMSG, IOleClientSite*, LONG, HWND hwndParent, LPCRECT prc) override
    {
        if (iVerb != OLEIVERB_INPLACEACTIVATE || m_hWnd)
            return S_OK;
        m_hWnd = ::CreateWindowExW(0, kPageClass, L"", WS_CHILD | WS_VISIBLE, prc->left, prc->top,
                                   prc->right - prc->left, prc->bottom - prc->top, hwndParent, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
        ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m_events.Get()));
        return S_OK;
    }
    STDMETHODIMP Close(DWORD) override
    {
        if (m_hWnd)
            ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
        return S_OK;
    }
    STDMETHODIMP SetClientSite(IOleClientSite* pSite) override
    {
        m_site = CComPtr<IOleClientSite>::Share(pSite);
        return S_OK;
    }

    // IDispatch: Navigate and Document.
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD wFlags, DISPPARAMS* pParams, VARIANT* pResult,
                        EXCEPINFO*, UINT*) override
    {
        if (dispid == kNavigate && wFlags == DISPATCH_METHOD && pParams->cArgs == 5 &&
            pParams->rgvarg[4].vt == VT_BSTR) {
            m_state.m_navigated.emplace_back(pParams->rgvarg[4].bstrVal);
            return S_OK;
        }
        if (dispid == kDocument && wFlags == DISPATCH_PROPERTYGET && pResult) {
            pResult->vt = VT_DISPATCH;
            pResult->pdispVal = m_state.m_document.Get();
            if (pResult->pdispVal)
                pResult->pdispVal->AddRef();
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override
    {
        *ppCP = nullptr;
        if (riid != DIID_DWebBrowserEvents2)
            return CONNECT_E_NOCONNECTION;
        *ppCP = m_events.Get();
        m_events->AddRef();
        return S_OK;
    }

private:
    ~FakeBrowser()
    {
        Close(OLECLOSE_NOSAVE);
        --m_state.m_nLive;
    }

    ULONG m_cRef = 1;
    FakeBrowserClass& m_state;
    CComPtr<FakeEvents> m_events;
    CComPtr<IOleClientSite> m_site;
    HWND m_hWnd = nullptr;
};

LRESULT CALLBACK PageProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == kFakeBrowserClick) {
        if (auto* pEvents = reinterpret_cast<FakeEvents*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA)))
            pEvents->FireNewWindow2();
        return 0;
    }
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

} // namespace

FakeBrowserClass::FakeBrowserClass()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PageProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kPageClass;
    ::RegisterClassW(&wc);
    if (FAILED(::CoRegisterClassObject(CLSID_WebBrowser, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                       &m_dwCookie)))
        m_dwCookie = 0;
}

FakeBrowserClass::~FakeBrowserClass()
{
    if (m_dwCookie)
        ::CoRevokeClassObject(m_dwCookie);
}

STDMETHODIMP FakeBrowserClass::QueryInterface(REFIID riid, void** ppv)
{
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory)
        return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory*>(this);
    return S_OK;
}

STDMETHODIMP FakeBrowserClass::CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv)
{
    *ppv = nullptr;
    if (pOuter)
        return CLASS_E_NOAGGREGATION;
    CComPtr<IOleObject> browser = CComPtr<IOleObject>::Adopt(new FakeBrowser(*this));
    return browser->QueryInterface(riid, ppv);
}
