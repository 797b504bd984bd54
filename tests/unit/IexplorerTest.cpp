#include "ui/Iexplorer.h"

#include "framework/AfxControlHost.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <exdisp.h>

namespace {

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

    // A control that cannot be made leaves no empty host behind.
    // {6F1B1B54-4C3A-4E47-9D2E-6A0D3C1E2B03}, registered nowhere
    const CLSID clsidMissing = {0x6f1b1b54, 0x4c3a, 0x4e47, {0x9d, 0x2e, 0x6a, 0x0d, 0x3c, 0x1e, 0x2b, 0x03}};
    CWnd missing;
    EXPECT_FALSE(missing.CreateControl(clsidMissing, L"", WS_VISIBLE, m_rect, &m_parent, IDC_BROWSER + 1));
    EXPECT_EQ(missing.m_hWnd, nullptr);
    EXPECT_EQ(::GetDlgItem(m_parent, IDC_BROWSER + 1), nullptr);
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
