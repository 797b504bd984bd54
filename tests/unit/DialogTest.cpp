// The framework's modal dialog on the status dialog's template, run on the
// test's thread while a person acts on it from another thread.
#include "framework/AfxCtrl.h"
#include "framework/AfxDC.h"
#include "framework/AfxDataExchange.h"
#include "framework/AfxDialog.h"
#include "framework/AfxException.h"
#include "resources/resource.h"
#include "support/PlaceholderWindowClass.h"
#include "support/WindowDriver.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <vector>

using namespace testing_support;

namespace {

const wchar_t kBrowserClass[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";
const UINT kProbeMessage = ::RegisterWindowMessageW(L"DialogTest-Probe");

// A dialog on template 1012 whose behaviour each test fills in.
class CProbeDialog : public CDialog {
public:
    explicit CProbeDialog(CWnd* pParent = nullptr) : CDialog(IDD_UPDATE_STATUS, pParent) {}

    std::function<void(CProbeDialog&)> onInit;
    // true: handled, with the result in *pResult.
    std::function<bool(CProbeDialog&, UINT, WPARAM, LPARAM, LRESULT*)> onMessage;
    std::function<void(CProbeDialog&)> onPaint;

    CProgressCtrl m_ctlProgress;
    CWnd m_ctlBrowser;
    CWnd m_ctlMissing;
    int m_nMissingId = 0;  // asked for when saving, when not 0

    int m_nInitCalls = 0;
    BOOL m_bVisibleAtInit = TRUE;
    std::vector<BOOL> m_exchanges;  // m_bSaveAndValidate of each exchange
    std::atomic<int> m_nPaints{0};
    std::atomic<int> m_nCancels{0};

protected:
    BOOL OnInitDialog() override
    {
        ++m_nInitCalls;
        m_bVisibleAtInit = IsWindowVisible();
        CDialog::OnInitDialog();
        if (onInit)
            onInit(*this);
        return TRUE;
    }

    void OnCancel() override
    {
        ++m_nCancels;
        CDialog::OnCancel();
    }

    void DoDataExchange(CDataExchange* pDX) override
    {
        m_exchanges.push_back(pDX->m_bSaveAndValidate);
        DDX_Control(pDX, IDC_PROGRESS, m_ctlProgress);
        DDX_Control(pDX, IDC_BROWSER, m_ctlBrowser);
        if (pDX->m_bSaveAndValidate && m_nMissingId)
            DDX_Control(pDX, m_nMissingId, m_ctlMissing);
    }

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override
    {
        if (onMessage && onMessage(*this, message, wParam, lParam, pResult))
            return TRUE;
        if (message == WM_PAINT) {
            {
                CPaintDC dc(this);
                if (onPaint)
                    onPaint(*this);
            }
            ++m_nPaints;
            *pResult = 0;
            return TRUE;
        }
        return CDialog::OnWndMsg(message, wParam, lParam, pResult);
    }
};

// What a handler does while a long operation runs: it pumps the queue itself.
void PumpUntil(CDialog& dlg, const std::function<bool()>& done)
{
    const ULONGLONG deadline = ::GetTickCount64() + 30000;
    while (!done() && ::GetTickCount64() < deadline) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!dlg.IsDialogMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

class DialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_PROGRESS_CLASS};
        ::InitCommonControlsEx(&icc);
        ASSERT_TRUE(EnsurePlaceholderWindowClass(kBrowserClass));
    }

    static INT_PTR RunDriven(CDialog& dlg, const std::function<void(HWND)>& act)
    {
        INT_PTR result = 0;
        DriveDialog([&] { result = dlg.DoModal(); }, act);
        return result;
    }

    static bool WaitVisible(HWND hDlg) { return WaitUntil([&] { return ::IsWindowVisible(hDlg) != FALSE; }); }
};

struct EndCase {
    const char* name;
    std::function<void(HWND)> act;
    INT_PTR expected;
};

TEST_F(DialogTest, DoModalReturnsTheEndCode)
{
    const EndCase cases[] = {
        {"Install button", [](HWND h) { PressButton(h, IDOK); }, IDOK},
        {"Cancel button", [](HWND h) { PressButton(h, IDCANCEL); }, IDCANCEL},
        {"Esc key", [](HWND h) { PressKey(h, VK_ESCAPE); }, IDCANCEL},
        {"close box", [](HWND h) { ::PostMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
        {"quit", [](HWND h) { ::PostThreadMessageW(::GetWindowThreadProcessId(h, nullptr), WM_QUIT, 7, 0); }, -1},
    };
    for (const EndCase& c : cases) {
        SCOPED_TRACE(c.name);
        CProbeDialog dlg;
        dlg.onInit = [](CProbeDialog& d) { d.GetDlgItem(IDOK)->EnableWindow(TRUE); };
        EXPECT_EQ(c.expected, RunDriven(dlg, [&](HWND h) {
            ASSERT_TRUE(WaitVisible(h));
            c.act(h);
        }));
        EXPECT_EQ(nullptr, dlg.m_hWnd);
    }
    // The quit belongs to the thread's outer loop and is posted again.
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(7u, msg.wParam);
}

TEST_F(DialogTest, EndDialogInsideANestedPumpEndsTheLoopAfterTheHandler)
{
    // Cancel pressed while a handler pumps: the handler runs on with the
    // window already hidden, and the last EndDialog decides the code.
    for (const bool bEndWithOk : {false, true}) {
        SCOPED_TRACE(bEndWithOk ? "handler ends with IDOK" : "Cancel decides");
        CProbeDialog dlg;
        std::atomic<bool> bPumping{false};
        bool bHandlerFinished = false;
        BOOL bVisibleAfterCancel = TRUE;
        dlg.onMessage = [&](CProbeDialog& d, UINT message, WPARAM, LPARAM, LRESULT* pResult) {
            if (message != kProbeMessage)
                return false;
            bPumping = true;
            PumpUntil(d, [&] { return d.m_nCancels > 0; });
            bVisibleAfterCancel = d.IsWindowVisible();
            if (bEndWithOk)
                d.EndDialog(IDOK);
            bHandlerFinished = true;
            *pResult = 0;
            return true;
        };
        const INT_PTR result = RunDriven(dlg, [&](HWND h) {
            ASSERT_TRUE(WaitVisible(h));
            ::PostMessageW(h, kProbeMessage, 0, 0);
            ASSERT_TRUE(WaitUntil([&] { return bPumping.load(); }));
            PressButton(h, IDCANCEL);
        });
        EXPECT_EQ(bEndWithOk ? IDOK : IDCANCEL, result);
        EXPECT_TRUE(bHandlerFinished);
        EXPECT_FALSE(bVisibleAfterCancel);
        EXPECT_EQ(1, dlg.m_nCancels);
    }
}

TEST_F(DialogTest, InitialisationAndExchangeRunOnceBeforeTheWindowShows)
{
    CProbeDialog dlg;
    bool bAttached = false;
    dlg.onInit = [&](CProbeDialog& d) {
        bAttached = d.m_ctlProgress.m_hWnd == ::GetDlgItem(d, IDC_PROGRESS);
        d.GetDlgItem(IDOK)->EnableWindow(TRUE);
    };
    EXPECT_EQ(IDOK, RunDriven(dlg, [&](HWND h) {
        ASSERT_TRUE(WaitVisible(h));
        PressButton(h, IDOK);
    }));
    EXPECT_EQ(1, dlg.m_nInitCalls);
    EXPECT_FALSE(dlg.m_bVisibleAtInit);
    EXPECT_EQ((std::vector<BOOL>{FALSE, TRUE}), dlg.m_exchanges);
    EXPECT_TRUE(bAttached);
    // The controls go with the window, so the same object can run again.
    EXPECT_EQ(nullptr, dlg.m_ctlProgress.m_hWnd);
    EXPECT_EQ(nullptr, dlg.m_ctlBrowser.m_hWnd);

    // An exchange that fails keeps the dialog open on OK.
    dlg.m_nMissingId = 4242;
    bool bAttachedAgain = false;
    dlg.onInit = [&](CProbeDialog& d) { bAttachedAgain = d.m_ctlProgress.m_hWnd == ::GetDlgItem(d, IDC_PROGRESS); };
    EXPECT_EQ(IDCANCEL, RunDriven(dlg, [&](HWND h) {
        ASSERT_TRUE(WaitVisible(h));
        ::SendMessageW(h, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_TRUE(::IsWindowVisible(h));
        PressButton(h, IDCANCEL);
    }));
    EXPECT_EQ(2, dlg.m_nInitCalls);
    EXPECT_TRUE(bAttachedAgain);
    EXPECT_EQ((std::vector<BOOL>{FALSE, TRUE, FALSE, TRUE}), dlg.m_exchanges);
}

struct IdleCase {
    const char* name;
    bool hideWhenPainted;
    bool hideAtFirstTick;
};

TEST_F(DialogTest, AnInvisibleTemplateIsShownOnceWhenTheLoopIsFirstIdle)
{
    // A dialog that hides itself after being shown is not shown again.
    const IdleCase cases[] = {
        {"plain", false, false},
        {"hides itself when painted", true, false},
        {"hides itself at the first tick", false, true},
    };
    for (const IdleCase& c : cases) {
        SCOPED_TRACE(c.name);
        CProbeDialog dlg;
        std::atomic<int> nTicks{0};
        int nPaintsBeforeTick = 0;
        // The first tick well after the loop can have gone idle, even on a
        // loaded machine; then quicker ones.
        dlg.onInit = [](CProbeDialog& d) { d.SetTimer(1, 400); };
        if (c.hideWhenPainted)
            dlg.onPaint = [](CProbeDialog& d) { d.ShowWindow(SW_HIDE); };
        dlg.onMessage = [&](CProbeDialog& d, UINT message, WPARAM wParam, LPARAM, LRESULT*) {
            if (message != WM_TIMER || wParam != 1)
                return false;
            if (nTicks++ == 0) {
                nPaintsBeforeTick = d.m_nPaints;
                d.SetTimer(1, 50);
                if (c.hideAtFirstTick)
                    d.ShowWindow(SW_HIDE);
            }
            return false;
        };
        BOOL bVisible = FALSE;
        EXPECT_EQ(IDCANCEL, RunDriven(dlg, [&](HWND h) {
            ASSERT_TRUE(WaitUntil([&] { return nTicks >= 5; }));
            bVisible = ::IsWindowVisible(h);
            ::PostMessageW(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }));
        EXPECT_GT(nPaintsBeforeTick, 0);
        EXPECT_EQ(!c.hideWhenPainted && !c.hideAtFirstTick, bVisible != FALSE);
    }
}

TEST_F(DialogTest, TimersAndARegisteredMessageReachTheDialog)
{
    CProbeDialog dlg;
    std::atomic<int> nTicks{0};
    std::vector<std::pair<WPARAM, LPARAM>> received;
    dlg.onInit = [&](CProbeDialog& d) { d.SetTimer(5, 30); };
    dlg.onMessage = [&](CProbeDialog& d, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
        if (message == WM_TIMER && wParam == 5 && ++nTicks == 3)
            d.KillTimer(5);
        if (message != kProbeMessage)
            return false;
        if (wParam == 0)
            throw new CMemoryException;  // a failed handler stays inside the dialog
        received.emplace_back(wParam, lParam);
        *pResult = 0x1234;
        return true;
    };
    LRESULT sentResult = 0;
    LRESULT failedResult = -1;
    EXPECT_EQ(IDCANCEL, RunDriven(dlg, [&](HWND h) {
        ASSERT_TRUE(WaitUntil([&] { return nTicks >= 3; }));
        sentResult = ::SendMessageW(h, kProbeMessage, 11, 22);
        failedResult = ::SendMessageW(h, kProbeMessage, 0, 0);
        ::PostMessageW(h, kProbeMessage, 33, 44);
        PressButton(h, IDCANCEL);
    }));
    EXPECT_EQ(3, nTicks);
    EXPECT_EQ(0x1234, sentResult);
    EXPECT_EQ(0, failedResult);
    EXPECT_EQ((std::vector<std::pair<WPARAM, LPARAM>>{{11, 22}, {33, 44}}), received);
}

TEST_F(DialogTest, AFailedStartEndsTheDialog)
{
    CProbeDialog dlg;
    dlg.onInit = [](CProbeDialog&) { throw new CMemoryException; };
    EXPECT_EQ(-1, dlg.DoModal());
    EXPECT_EQ(nullptr, dlg.m_hWnd);
}

struct OwnerCase {
    const char* name;
    bool hasOwner;
    bool ownerDisabled;
    bool parentIsChild;
};

TEST_F(DialogTest, TheOwnerIsDisabledWhileTheDialogRunsAndCentresIt)
{
    const OwnerCase cases[] = {
        {"enabled owner", true, false, false},
        {"owner disabled before", true, true, false},
        {"a child window's top-level window owns it", true, false, true},
        {"no owner: the work area's centre", false, false, false},
    };
    for (const OwnerCase& c : cases) {
        SCOPED_TRACE(c.name);
        CWnd owner;
        owner.Attach(::CreateWindowExW(0, L"Static", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80, 700, 600,
                                       nullptr, nullptr, nullptr, nullptr));
        CWnd child;
        child.Attach(::CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 10, 10, 50, 20, owner, nullptr,
                                       nullptr, nullptr));
        owner.EnableWindow(!c.ownerDisabled);

        CProbeDialog dlg(!c.hasOwner ? nullptr : c.parentIsChild ? &child : &owner);
        dlg.onInit = [](CProbeDialog& d) {
            d.MoveWindow(-500, 0, 400, 300);  // off the screen, as an unseen dialog is
            d.CenterWindow();
        };
        HWND hOwnerSeen = nullptr;
        BOOL bOwnerEnabled = TRUE;
        RECT rcDialog = {};
        RunDriven(dlg, [&](HWND h) {
            ASSERT_TRUE(WaitVisible(h));
            hOwnerSeen = ::GetWindow(h, GW_OWNER);
            bOwnerEnabled = ::IsWindowEnabled(owner);
            ::GetWindowRect(h, &rcDialog);
            PressButton(h, IDCANCEL);
        });
        EXPECT_EQ(c.hasOwner ? owner.m_hWnd : nullptr, hOwnerSeen);
        EXPECT_EQ(!c.hasOwner && !c.ownerDisabled, bOwnerEnabled != FALSE);
        EXPECT_EQ(!c.ownerDisabled, owner.IsWindowEnabled() != FALSE);

        RECT rcCenter;
        if (c.hasOwner)
            owner.GetWindowRect(&rcCenter);
        else
            ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcCenter, 0);
        EXPECT_EQ(400, rcDialog.right - rcDialog.left);
        EXPECT_NEAR((rcCenter.left + rcCenter.right) / 2, (rcDialog.left + rcDialog.right) / 2, 1);
        EXPECT_NEAR((rcCenter.top + rcCenter.bottom) / 2, (rcDialog.top + rcDialog.bottom) / 2, 1);
    }
}

TEST(CenteredPosition, CentresAndKeepsInsideTheArea)
{
    const RECT area = {0, 0, 1000, 800};
    const RECT small = {0, 0, 200, 100};
    const struct {
        RECT window, center, area;
        POINT expected;
    } cases[] = {
        {small, area, area, {400, 350}},
        {small, {100, 100, 300, 200}, area, {100, 100}},
        {small, {900, 0, 1100, 100}, area, {800, 0}},   // would stick out to the right
        {small, {-100, -100, 0, 0}, area, {0, 0}},
        {{0, 0, 1200, 900}, area, area, {0, 0}},        // larger than the area: its top-left corner
        {small, {1000, 0, 2000, 800}, {1000, 0, 2000, 800}, {1400, 350}},
    };
    for (const auto& c : cases) {
        const POINT pt = CenteredPosition(c.window, c.center, c.area);
        EXPECT_EQ(c.expected.x, pt.x);
        EXPECT_EQ(c.expected.y, pt.y);
    }
}

} // namespace
