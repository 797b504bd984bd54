#include "framework/AfxControlHost.h"
#include "framework/AfxDispatch.h"
#include "framework/AfxWin.h"
#include "host/UpdateApp.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <exdisp.h>
#include <exdispid.h>
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

RECT ScreenRect(HWND hWnd)
{
    RECT rc = {};
    ::GetWindowRect(hWnd, &rc);
    return rc;
}

bool SameRect(const RECT& a, const RECT& b)
{
    return ::EqualRect(&a, &b) != FALSE;
}

HWND ControlWindow(HWND hHost)
{
    HWND hControl = nullptr;
    if (CComPtr<IOleInPlaceObject> inPlace = AfxGetHostedControl<IOleInPlaceObject>(hHost))
        inPlace->GetWindow(&hControl);
    return hControl;
}

class RecordingBrowserEvents : public IBrowserEvents {
public:
    void OnBeforeNavigate2(IDispatch*, VARIANT* pvarUrl, VARIANT*, VARIANT*, VARIANT*, VARIANT*,
                           VARIANT_BOOL*) override
    {
        if (pvarUrl && pvarUrl->vt == VT_BSTR)
            urls.emplace_back(pvarUrl->bstrVal, ::SysStringLen(pvarUrl->bstrVal));
    }
    void OnNewWindow2(IDispatch** ppDisp, VARIANT_BOOL* pbCancel) override
    {
        ++newWindows;
        lastNewWindowDisp = ppDisp;
        *pbCancel = VARIANT_TRUE;
    }

    std::vector<std::wstring> urls;
    int newWindows = 0;
    IDispatch** lastNewWindowDisp = nullptr;
};

// A top-level window with one browser host inside, as a dialog holds it.
class BrowserHost : public testing::Test {
protected:
    void SetUp() override
    {
        m_hParent = ::CreateWindowExW(0, L"STATIC", L"host test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 10, 10,
                                      500, 400, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(m_hParent, nullptr);
        m_hHost = ::CreateWindowExW(0, kBrowserClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 20, 300, 200,
                                    m_hParent, reinterpret_cast<HMENU>(IDC_BROWSER), AfxGetInstanceHandle(), nullptr);
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

// The application's start registers the host class, as dialogs need it.
TEST(ControlHost, ApplicationStartRegistersTheBrowserHostClass)
{
    ASSERT_EQ(AfxGetApp(), &theApp);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    EXPECT_TRUE(::GetClassInfoExW(AfxGetInstanceHandle(), kBrowserClass, &wc));
}

TEST_F(BrowserHost, ControlIsActiveInPlaceAndFillsTheHost)
{
    HWND hControl = ControlWindow(m_hHost);
    ASSERT_NE(hControl, nullptr);
    EXPECT_EQ(::GetParent(hControl), m_hHost);
    EXPECT_TRUE(SameRect(ScreenRect(hControl), ScreenRect(m_hHost)));
    EXPECT_TRUE(AfxGetHostedControl<IWebBrowser2>(m_hHost));
}

TEST_F(BrowserHost, ControlFollowsTheHostsSizeAndVisibility)
{
    HWND hControl = ControlWindow(m_hHost);
    ASSERT_NE(hControl, nullptr);
    ::MoveWindow(m_hHost, 30, 40, 420, 260, TRUE);
    EXPECT_TRUE(SameRect(ScreenRect(hControl), ScreenRect(m_hHost)));
    ::ShowWindow(m_hHost, SW_HIDE);
    EXPECT_FALSE(::IsWindowVisible(hControl));
    ::ShowWindow(m_hHost, SW_SHOW);
    EXPECT_TRUE(::IsWindowVisible(hControl));
}

TEST_F(BrowserHost, NavigateThroughInvokeHelper)
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
    static const BYTE params[] = VTS_BSTR VTS_PVARIANT VTS_PVARIANT VTS_PVARIANT VTS_PVARIANT;
    HRESULT hr = AfxInvokeHelper(browser.Get(), 104, DISPATCH_METHOD, VT_EMPTY, nullptr, params, url.c_str(),
                                 &flags, nullptr, nullptr, nullptr);
    EXPECT_EQ(hr, S_OK);

    CString location;
    PumpUntil([&] {
        AfxInvokeHelper(browser.Get(), 211, DISPATCH_PROPERTYGET, VT_BSTR, &location, VTS_NONE);
        return !events.urls.empty() && !location.IsEmpty();
    }, 10000);
    printf("location: %ls\n", location.GetString());
    for (auto& u : events.urls)
        printf("before: %ls\n", u.c_str());

    IDispatch* pDocument = reinterpret_cast<IDispatch*>(1);
    hr = AfxInvokeHelper(browser.Get(), 203, DISPATCH_PROPERTYGET, VT_DISPATCH, &pDocument, VTS_NONE);
    printf("document hr %lx %p\n", hr, (void*)pDocument);
    if (pDocument && hr == S_OK)
        pDocument->Release();
    AfxSetBrowserEvents(m_hHost, nullptr);
    ::DeleteFileW(path);
}

TEST_F(BrowserHost, DestroyingTheHostReleasesEverything)
{
    CComPtr<IOleObject> control = AfxGetHostedControl<IOleObject>(m_hHost);
    ASSERT_TRUE(control);
    CComPtr<IOleClientSite> site;
    ASSERT_EQ(control->GetClientSite(site.Put()), S_OK);
    ASSERT_TRUE(site);
    CComPtr<IConnectionPoint> cp;
    ASSERT_EQ(control.As<IConnectionPointContainer>()->FindConnectionPoint(DIID_DWebBrowserEvents2, cp.Put()), S_OK);
    auto connections = [&] {
        CComPtr<IEnumConnections> en;
        if (FAILED(cp->EnumConnections(en.Put())))
            return -1;
        CONNECTDATA cd = {};
        int n = 0;
        while (en->Next(1, &cd, nullptr) == S_OK)
            ++n;
        return n;
    };
    printf("conn before %d\n", connections());

    ::DestroyWindow(m_hHost);
    printf("conn after %d\n", connections());
    cp.Reset();
    printf("site %lu\n", site.Detach()->Release());
    printf("control %lu\n", control.Detach()->Release());
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

TEST(ControlHostTemplate, StatusDialogTemplateCreatesTheBrowser)
{
    HWND hDialog = ::CreateDialogParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDD_UPDATE_STATUS), nullptr, PlainDialogProc, 0);
    ASSERT_NE(hDialog, nullptr);
    HWND hHost = ::GetDlgItem(hDialog, IDC_BROWSER);
    ASSERT_NE(hHost, nullptr);
    EXPECT_TRUE(AfxGetHostedControl<IWebBrowser2>(hHost));
    HWND hControl = ControlWindow(hHost);
    EXPECT_NE(hControl, nullptr);
    EXPECT_FALSE(::IsWindowVisible(hControl));
    ::DestroyWindow(hDialog);
}

} // namespace
