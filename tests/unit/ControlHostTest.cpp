#include "framework/AfxControlHost.h"
#include "framework/AfxDispatch.h"
#include "framework/AfxOle.h"
#include "framework/AfxWin.h"
#include "resources/resource.h"
#include "unit/OleObjectStub.h"

#include <gtest/gtest.h>

#include <exdisp.h>
#include <shlwapi.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

const wchar_t kBrowserClass[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";

// The control raises its events from the thread's queue: pump while waiting.
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs = 30000)
{
    const DWORD start = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

bool SameScreenRect(HWND a, HWND b)
{
    RECT ra = {}, rb = {};
    ::GetWindowRect(a, &ra);
    ::GetWindowRect(b, &rb);
    return ::EqualRect(&ra, &rb) != FALSE;
}

HWND ControlWindow(HWND hHost)
{
    HWND hControl = nullptr;
    if (CComPtr<IOleWindow> window = AfxGetHostedControl<IOleWindow>(hHost))
        window->GetWindow(&hControl);
    return hControl;
}

bool EndsWith(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

HWND CreateTestParent()
{
    return ::CreateWindowExW(0, L"STATIC", L"host test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 10, 10, 500, 400,
                             nullptr, nullptr, nullptr, nullptr);
}

HWND CreateHost(LPCWSTR pszClass, HWND hParent)
{
    return ::CreateWindowExW(0, pszClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 20, 300, 200, hParent,
                             reinterpret_cast<HMENU>(IDC_BROWSER), AfxGetInstanceHandle(), nullptr);
}

TEST(ControlHost, OnlyBracedClassIdentifiersNameAControl)
{
    struct Case {
        LPCWSTR name;
        BOOL ok;
    };
    const Case cases[] = {
        {L"{8856F961-340A-11D0-A96B-00C04FD705A2}", TRUE},
        {L"{8856f961-340a-11d0-a96b-00c04fd705a2}", TRUE},
        {L"8856F961-340A-11D0-A96B-00C04FD705A2", FALSE},
        {L"{8856F961-340A-11D0-A96B-00C04FD705A2", FALSE},
        {L"{8856F961-340A-11D0-A96B-00C04FD705A2}x", FALSE},
        {L"{8856F961-340A-11D0-A96B-00C04FD705AZ}", FALSE},
        {L"Shell.Explorer.2", FALSE},  // a program name would need the registry
        {L"", FALSE},
        {nullptr, FALSE},
    };
    for (const Case& c : cases) {
        CLSID clsid = {};
        EXPECT_EQ(AfxParseControlClassName(c.name, &clsid), c.ok) << (c.name ? c.name : L"(null)");
        if (c.ok) {
            EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_WebBrowser));
        }
    }
}

class RecordingBrowserEvents : public IBrowserEvents {
public:
    void OnBeforeNavigate2(IDispatch*, VARIANT* pvarUrl, VARIANT*, VARIANT*, VARIANT*, VARIANT*,
                           VARIANT_BOOL*) override
    {
        if (pvarUrl && pvarUrl->vt == VT_BSTR)
            urls.emplace_back(pvarUrl->bstrVal, ::SysStringLen(pvarUrl->bstrVal));
    }
    void OnNewWindow2(IDispatch**, VARIANT_BOOL*) override {}

    std::vector<std::wstring> urls;
};

// A top-level window with the browser's host inside, as a dialog holds it.
class BrowserHost : public testing::Test {
protected:
    void SetUp() override
    {
        m_hParent = CreateTestParent();
        ASSERT_NE(m_hParent, nullptr);
        m_hHost = CreateHost(kBrowserClass, m_hParent);
        ASSERT_NE(m_hHost, nullptr) << ::GetLastError();
    }
    void TearDown() override
    {
        if (m_hParent)
            ::DestroyWindow(m_hParent);
    }

    HWND m_hParent = nullptr;
    HWND m_hHost = nullptr;
};

TEST_F(BrowserHost, ControlIsActiveInPlaceFollowsTheHostAndTakesTheFocus)
{
    HWND hControl = ControlWindow(m_hHost);
    ASSERT_NE(hControl, nullptr);
    EXPECT_EQ(::GetParent(hControl), m_hHost);
    EXPECT_TRUE(SameScreenRect(hControl, m_hHost));
    EXPECT_TRUE(AfxGetHostedControl<IWebBrowser2>(m_hHost));
    ::MoveWindow(m_hHost, 30, 40, 420, 260, TRUE);
    EXPECT_TRUE(SameScreenRect(hControl, m_hHost));
    ::ShowWindow(m_hHost, SW_HIDE);
    EXPECT_FALSE(::IsWindowVisible(hControl));
    ::ShowWindow(m_hHost, SW_SHOW);
    EXPECT_TRUE(::IsWindowVisible(hControl));

    // As when the dialog's Tab key reaches the host.
    ::SetActiveWindow(m_hParent);
    ::SetFocus(m_hHost);
    EXPECT_TRUE(::IsChild(m_hHost, ::GetFocus()));
}

TEST_F(BrowserHost, NavigateReachesTheControlAndRaisesBeforeNavigate2)
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    ::PathRemoveFileSpecW(path);
    ::PathAppendW(path, L"purchase.htm");
    FILE* f = _wfopen(path, L"wb");
    ASSERT_NE(f, nullptr);
    fputs("<html><body>page</body></html>", f);
    fclose(f);
    const std::wstring url = std::wstring(L"file:///") + path;

    RecordingBrowserEvents events;
    ASSERT_TRUE(AfxSetBrowserEvents(m_hHost, &events));
    CComPtr<IDispatch> browser = AfxGetHostedControl<IDispatch>(m_hHost);
    ASSERT_TRUE(browser);

    VARIANT flags;
    ::VariantInit(&flags);
    flags.vt = VT_I4;
    flags.lVal = navNoHistory;
    static const BYTE navigateParams[] = VTS_BSTR VTS_PVARIANT VTS_PVARIANT VTS_PVARIANT VTS_PVARIANT;
    EXPECT_EQ(AfxInvokeHelper(browser.Get(), 104, DISPATCH_METHOD, VT_EMPTY, nullptr, navigateParams, url.c_str(),
                              &flags, nullptr, nullptr, nullptr),
              S_OK);

    // The file name is all both report alike: Wine hands the event a plain
    // path and reports the location as "file://Z:\...".
    CString location;
    EXPECT_TRUE(PumpUntil([&] {
        AfxInvokeHelper(browser.Get(), 211, DISPATCH_PROPERTYGET, VT_BSTR, &location, VTS_NONE);
        return !events.urls.empty() && !location.IsEmpty();
    }));
    ASSERT_FALSE(events.urls.empty());
    EXPECT_TRUE(EndsWith(events.urls.front(), L"purchase.htm")) << events.urls.front();
    EXPECT_TRUE(EndsWith(location.Str(), L"purchase.htm")) << location.GetString();

    // Without a rendering engine Wine has no document; the call still succeeds.
    CComPtr<IDispatch> document;
    EXPECT_EQ(AfxInvokeHelper(browser.Get(), 203, DISPATCH_PROPERTYGET, VT_DISPATCH, document.Put(), VTS_NONE),
              S_OK);

    EXPECT_TRUE(AfxSetBrowserEvents(m_hHost, nullptr));
    ::DeleteFileW(path);
}

TEST_F(BrowserHost, DestroyingTheHostReleasesTheControlAndEverySiteObject)
{
    CComPtr<IOleObject> control = AfxGetHostedControl<IOleObject>(m_hHost);
    ASSERT_TRUE(control);
    CComPtr<IOleClientSite> site;
    ASSERT_EQ(control->GetClientSite(site.Put()), S_OK);
    ASSERT_TRUE(site);
    CComPtr<IConnectionPoint> events;
    ASSERT_EQ(control.As<IConnectionPointContainer>()->FindConnectionPoint(DIID_DWebBrowserEvents2, events.Put()),
              S_OK);
    // Wine's enumerator hands out the sinks without a reference: count only.
    auto connections = [&] {
        CComPtr<IEnumConnections> en;
        if (FAILED(events->EnumConnections(en.Put())))
            return -1;
        CONNECTDATA cd = {};
        int n = 0;
        while (en->Next(1, &cd, nullptr) == S_OK)
            ++n;
        return n;
    };
    EXPECT_EQ(connections(), 1);

    ::DestroyWindow(m_hHost);

    EXPECT_EQ(connections(), 0);
    events.Reset();
    EXPECT_EQ(site.Detach()->Release(), 0u);
    EXPECT_EQ(control.Detach()->Release(), 0u);
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// The browser waits hidden in the template and appears when the dialog shows it.
TEST(ControlHost, StatusDialogTemplateHoldsTheBrowserHiddenUntilShown)
{
    HWND hDialog = ::CreateDialogParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDD_UPDATE_STATUS), nullptr,
                                        PlainDialogProc, 0);
    ASSERT_NE(hDialog, nullptr);
    HWND hHost = ::GetDlgItem(hDialog, IDC_BROWSER);
    EXPECT_TRUE(AfxGetHostedControl<IWebBrowser2>(hHost));
    HWND hControl = ControlWindow(hHost);
    ASSERT_NE(hControl, nullptr);
    ::ShowWindow(hDialog, SW_SHOW);
    EXPECT_FALSE(::IsWindowVisible(hControl));
    ::ShowWindow(hHost, SW_SHOW);
    EXPECT_TRUE(::IsWindowVisible(hControl));
    ::DestroyWindow(hDialog);
}

// A control of the test's own, registered for this process only, so that the
// host's side of the conversation can be watched.
// {6F1B1B54-4C3A-4E47-9D2E-6A0D3C1E2B01}
const CLSID CLSID_TestControl = {0x6f1b1b54, 0x4c3a, 0x4e47, {0x9d, 0x2e, 0x6a, 0x0d, 0x3c, 0x1e, 0x2b, 0x01}};
const wchar_t kTestControlClass[] = L"{6F1B1B54-4C3A-4E47-9D2E-6A0D3C1E2B01}";

std::vector<std::string> g_calls;
std::vector<WPARAM> g_keys;
int g_liveControls = 0;

class TestControl final : public COleObjectStub, public IOleInPlaceActiveObject {
public:
    TestControl() { ++g_liveControls; }
    ~TestControl() { --g_liveControls; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IOleObject)
            *ppv = static_cast<IOleObject*>(this);
        else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceActiveObject)
            *ppv = static_cast<IOleInPlaceActiveObject*>(this);
        else
            return *ppv = nullptr, E_NOINTERFACE;
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

    STDMETHODIMP SetClientSite(IOleClientSite* pSite) override
    {
        g_calls.push_back(pSite ? "SetClientSite" : "SetClientSite(null)");
        m_pSite = CComPtr<IOleClientSite>::Share(pSite);
        return S_OK;
    }
    STDMETHODIMP Close(DWORD) override
    {
        g_calls.push_back("Close");
        return S_OK;
    }
    // In place: a window in the host, with a window of its own inside.
    STDMETHODIMP DoVerb(LONG iVerb, LPMSG, IOleClientSite*, LONG, HWND hwndParent, LPCRECT prc) override
    {
        g_calls.push_back(iVerb == OLEIVERB_INPLACEACTIVATE ? "InPlaceActivate" : "OtherVerb");
        if (iVerb != OLEIVERB_INPLACEACTIVATE)
            return S_OK;
        m_hWnd = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, prc->left, prc->top,
                                   prc->right - prc->left, prc->bottom - prc->top, hwndParent, nullptr, nullptr,
                                   nullptr);
        ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, m_hWnd, nullptr, nullptr, nullptr);
        return S_OK;
    }
    STDMETHODIMP GetWindow(HWND* phwnd) override
    {
        *phwnd = m_hWnd;
        return S_OK;
    }
    // Takes Tab, leaves every other key.
    STDMETHODIMP TranslateAccelerator(LPMSG pMsg) override
    {
        g_keys.push_back(pMsg->wParam);
        return pMsg->wParam == VK_TAB ? S_OK : S_FALSE;
    }

    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

private:
    ULONG m_cRef = 1;
    HWND m_hWnd = nullptr;
    CComPtr<IOleClientSite> m_pSite;
};

class TestControlFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid != IID_IUnknown && riid != IID_IClassFactory)
            return *ppv = nullptr, E_NOINTERFACE;
        *ppv = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override
    {
        if (pOuter)
            return CLASS_E_NOAGGREGATION;
        CComPtr<IOleObject> control = CComPtr<IOleObject>::Adopt(new TestControl);
        return control->QueryInterface(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

class OwnControlHost : public testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        g_keys.clear();
        ASSERT_EQ(::CoRegisterClassObject(CLSID_TestControl, &m_factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                          &m_dwCookie),
                  S_OK);
        ASSERT_TRUE(AfxRegisterControlHostClass(CLSID_TestControl));
        m_hParent = CreateTestParent();
        ASSERT_NE(m_hParent, nullptr);
        m_hHost = CreateHost(kTestControlClass, m_hParent);
        ASSERT_NE(m_hHost, nullptr);
    }
    void TearDown() override
    {
        if (m_hParent)
            ::DestroyWindow(m_hParent);
        ::CoRevokeClassObject(m_dwCookie);
    }

    TestControlFactory m_factory;
    DWORD m_dwCookie = 0;
    HWND m_hParent = nullptr;
    HWND m_hHost = nullptr;
};

TEST_F(OwnControlHost, KeystrokesInsideTheHostGoToTheControlFirst)
{
    HWND hControl = ControlWindow(m_hHost);
    ASSERT_NE(hControl, nullptr);
    HWND hInner = ::GetWindow(hControl, GW_CHILD);
    ASSERT_NE(hInner, nullptr);

    struct Case {
        HWND hWnd;
        UINT message;
        WPARAM key;
        BOOL taken;
        size_t offered;
    };
    const Case cases[] = {
        {hInner, WM_KEYDOWN, VK_TAB, TRUE, 1},
        {hControl, WM_KEYDOWN, 'A', FALSE, 1},
        {m_hParent, WM_KEYDOWN, VK_TAB, FALSE, 0},  // outside the host
        {hInner, WM_LBUTTONDOWN, 0, FALSE, 0},       // not a keystroke
    };
    for (const Case& c : cases) {
        g_keys.clear();
        MSG msg = {c.hWnd, c.message, c.key, 0, 0, {0, 0}};
        EXPECT_EQ(AfxPreTranslateControlMessage(&msg), c.taken) << c.message << " " << c.key;
        EXPECT_EQ(g_keys.size(), c.offered);
    }
}

TEST_F(OwnControlHost, DestroyingTheHostClosesTheControlAndLetsItGo)
{
    ASSERT_EQ(g_liveControls, 1);
    EXPECT_FALSE(AfxSetBrowserEvents(m_hHost, nullptr));  // it has no browser events

    ::DestroyWindow(m_hHost);

    const std::vector<std::string> expected = {"SetClientSite", "InPlaceActivate", "Close", "SetClientSite(null)"};
    EXPECT_EQ(g_calls, expected);
    EXPECT_EQ(g_liveControls, 0);
}

// Without its control a host is an empty window, and the dialog around it still works.
TEST(ControlHost, AControlThatCannotBeCreatedLeavesAnEmptyHost)
{
    // {6F1B1B54-4C3A-4E47-9D2E-6A0D3C1E2B02}, registered nowhere
    const CLSID clsidMissing = {0x6f1b1b54, 0x4c3a, 0x4e47, {0x9d, 0x2e, 0x6a, 0x0d, 0x3c, 0x1e, 0x2b, 0x02}};
    ASSERT_TRUE(AfxRegisterControlHostClass(clsidMissing));
    HWND hParent = CreateTestParent();
    HWND hHost = CreateHost(L"{6F1B1B54-4C3A-4E47-9D2E-6A0D3C1E2B02}", hParent);
    ASSERT_NE(hHost, nullptr);
    EXPECT_EQ(::GetWindow(hHost, GW_CHILD), nullptr);
    EXPECT_FALSE(AfxGetHostedControl<IDispatch>(hHost));
    EXPECT_FALSE(AfxSetBrowserEvents(hHost, nullptr));
    EXPECT_EQ(AfxInvokeHelper(AfxGetHostedControl<IDispatch>(hHost).Get(), 104, DISPATCH_METHOD, VT_EMPTY, nullptr,
                              VTS_NONE),
              E_POINTER);
    // Any other window is no host.
    IUnknown* pUnknown = nullptr;
    EXPECT_EQ(AfxQueryHostedControl(hParent, IID_IUnknown, reinterpret_cast<void**>(&pUnknown)), E_INVALIDARG);
    ::DestroyWindow(hParent);
}

// A library must take its classes away when it unloads; the next start brings them back.
TEST(ControlHost, HostClassesGoAtTheEndAndComeBackAtTheNextStart)
{
    AfxUnregisterControlHostClasses();
    HWND hParent = CreateTestParent();
    EXPECT_EQ(CreateHost(kBrowserClass, hParent), nullptr);
    ASSERT_TRUE(AfxEnableControlContainer());
    EXPECT_NE(CreateHost(kBrowserClass, hParent), nullptr);
    ::DestroyWindow(hParent);
}

} // namespace
