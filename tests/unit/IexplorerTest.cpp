#include "ui/Iexplorer.h"

#include "framework/AfxControlHost.h"
#include "framework/AfxDispatch.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <exdisp.h>
#include <shlwapi.h>

#include <functional>

namespace {

// The control raises its events and reports its location from the thread's queue.
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

CString LocationUrl(HWND hBrowser)
{
    CString location;
    AfxInvokeHelper(AfxGetHostedControl<IDispatch>(hBrowser).Get(), 211, DISPATCH_PROPERTYGET, VT_BSTR, &location,
                    VTS_NONE);
    return location;
}

class IexplorerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_parent.Attach(::CreateWindowExW(0, L"STATIC", L"browser test", WS_POPUP | WS_VISIBLE, 10, 10,
                                                      500, 400, nullptr, nullptr, nullptr, nullptr)));
    }

    CWnd m_parent;
    const RECT m_rect = {10, 20, 310, 220};
};

TEST_F(IexplorerTest, CreateMakesTheBrowserControlAsAChildWithItsId)
{
    CIexplorer browser;
    ASSERT_TRUE(browser.Create(nullptr, L"", WS_VISIBLE | WS_TABSTOP, m_rect, &m_parent, IDC_BROWSER));
    EXPECT_EQ(::GetParent(browser), m_parent.m_hWnd);
    EXPECT_EQ(::GetDlgCtrlID(browser), IDC_BROWSER);
    EXPECT_TRUE(AfxGetHostedControl<IWebBrowser2>(browser));
    RECT rc = {};
    browser.GetWindowRect(&rc);
    m_parent.ScreenToClient(&rc);
    EXPECT_TRUE(::EqualRect(&rc, &m_rect));

    // One window per wrapper, and none without a parent.
    EXPECT_FALSE(browser.Create(nullptr, L"", WS_VISIBLE, m_rect, &m_parent, IDC_BROWSER));
    CIexplorer orphan;
    EXPECT_FALSE(orphan.Create(nullptr, L"", WS_VISIBLE, m_rect, nullptr, IDC_BROWSER));
    EXPECT_EQ(orphan.m_hWnd, nullptr);
}

TEST_F(IexplorerTest, NavigateSendsTheControlToTheAddressWithItsQuery)
{
    CIexplorer browser;
    ASSERT_TRUE(browser.Create(nullptr, L"", WS_VISIBLE, m_rect, &m_parent, IDC_BROWSER));
    VARIANT flags;
    ::VariantInit(&flags);
    flags.vt = VT_I4;
    flags.lVal = navNoHistory;
    wchar_t folder[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, folder, MAX_PATH);
    ::PathRemoveFileSpecW(folder);
    const CString address = CString(folder) + L"\\buy.htm?bkcolor=c8d0d4";
    EXPECT_EQ(browser.Navigate(address, &flags, nullptr, nullptr, nullptr), S_OK);
    CString location;
    EXPECT_TRUE(PumpUntil([&] { return !(location = LocationUrl(browser)).IsEmpty(); }));
    // Wine reports a path as "file://" and the path as it was given.
    EXPECT_EQ(location, L"file://" + address) << location.GetString();
}

TEST_F(IexplorerTest, AWrapperWithoutAControlCallsNothing)
{
    CIexplorer browser;
    EXPECT_EQ(browser.Navigate(L"about:blank", nullptr, nullptr, nullptr, nullptr), E_POINTER);
    EXPECT_FALSE(browser.GetDocument());
    ASSERT_TRUE(browser.Attach(m_parent));  // a window that hosts nothing
    EXPECT_EQ(browser.Navigate(L"about:blank", nullptr, nullptr, nullptr, nullptr), E_POINTER);
    EXPECT_FALSE(browser.GetDocument());
    browser.Detach();
}

// The wrapper's window goes with the wrapper, and the control with its window.
TEST_F(IexplorerTest, DestroyingTheWrapperReleasesTheControl)
{
    CComPtr<IOleObject> control;
    {
        CIexplorer browser;
        ASSERT_TRUE(browser.Create(nullptr, L"", WS_VISIBLE, m_rect, &m_parent, IDC_BROWSER));
        control = AfxGetHostedControl<IOleObject>(browser);
        ASSERT_TRUE(control);
    }
    EXPECT_EQ(::GetWindow(m_parent, GW_CHILD), nullptr);
    EXPECT_EQ(control.Detach()->Release(), 0u);
}

} // namespace
