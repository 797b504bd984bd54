#include "framework/AfxDialog.h"

#include "framework/AfxControlHost.h"
#include "framework/AfxDataExchange.h"
#include "framework/AfxException.h"
#include "framework/AfxTrace.h"
#include "framework/AfxWin.h"

#include <algorithm>
#include <utility>

namespace {

// The few messages whose result a dialog procedure returns itself rather than
// through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message)
{
    switch (message) {
    case WM_INITDIALOG:
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_QUERYDRAGICON:
    case WM_VKEYTOITEM:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return true;
    default:
        return false;
    }
}

bool IsInputMessage(UINT message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

} // namespace

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal()
{
    if (m_hWnd)
        return -1;  // already running
    HWND hOwner = m_pParentWnd && m_pParentWnd->m_hWnd ? ::GetAncestor(m_pParentWnd->m_hWnd, GA_ROOT) : nullptr;
    if (hOwner && ::IsWindowEnabled(hOwner)) {
        ::EnableWindow(hOwner, FALSE);
        m_hWndDisabledOwner = hOwner;
    }

    m_nModalResult = -1;
    m_bContinueModal = TRUE;
    // The object reaches the dialog procedure with WM_INITDIALOG.
    HWND hWnd = ::CreateDialogParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_nIDTemplate), hOwner, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    if (!hWnd) {
        const DWORD dwError = ::GetLastError();
        CString strTrace;
        strTrace.Format(L"CDialog::DoModal: dialog %u not created, error %lu\n", m_nIDTemplate, dwError);
        AfxTrace(strTrace);
        m_nModalResult = -1;
    } else if (m_bContinueModal) {
        RunModalLoop();
    }

    m_bContinueModal = FALSE;
    LeaveModalState();
    DestroyWindow();
    return m_nModalResult;
}

void CDialog::RunModalLoop()
{
    // A template without WS_VISIBLE is shown when the queue first runs dry,
    // after the messages of the dialog's start have been handled.
    BOOL bShowOnIdle = !(GetStyle() & WS_VISIBLE);
    while (m_bContinueModal) {
        MSG msg;
        if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // The quit belongs to the thread's outer loop.
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                m_nModalResult = -1;
                break;
            }
            if (!PreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            continue;
        }
        // Idle. The peek has delivered the messages sent from other threads,
        // and those may have ended the dialog.
        if (!m_bContinueModal)
            break;
        if (bShowOnIdle) {
            bShowOnIdle = FALSE;
            ShowWindow(SW_SHOWNORMAL);
            UpdateWindow();
            continue;
        }
        // Wakes for posted, sent and input messages alike; a dialog ended by
        // a sent message is seen at the next peek.
        ::MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bContinueModal = FALSE;
    LeaveModalState();
}

void CDialog::LeaveModalState()
{
    if (m_hWndDisabledOwner)
        ::EnableWindow(std::exchange(m_hWndDisabledOwner, nullptr), TRUE);
    if (!m_hWnd)
        return;
    // The owner takes the activation back before the dialog goes out of sight.
    HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER);
    if (hOwner && ::GetActiveWindow() == m_hWnd)
        ::SetActiveWindow(hOwner);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

void CDialog::AttachControl(CWnd& rControl, HWND hWndControl)
{
    if (!rControl.Attach(hWndControl))
        return;
    m_attachedControls.push_back(&rControl);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    // An active control sees its keys before the dialog manager takes Tab and Enter.
    if (AfxPreTranslateControlMessage(pMsg))
        return TRUE;
    return IsInputMessage(pMsg->message) && IsDialogMessage(pMsg);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange* /*pDX*/) {}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM /*lParam*/, LRESULT* pResult)
{
    if (message == WM_INITDIALOG) {
        *pResult = OnInitDialog();
        return TRUE;
    }
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        reinterpret_cast<CDialog*>(lParam)->m_hWnd = hWnd;
    }
    auto* pDlg = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
    if (!pDlg)
        return FALSE;

    LRESULT lResult = 0;
    const BOOL bHandled = pDlg->DispatchToHandlers(message, wParam, lParam, &lResult);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);
        pDlg->OnWindowGone();
    }
    if (!bHandled)
        return FALSE;
    if (ReturnsResultDirectly(message))
        return lResult;
    ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, lResult);
    return TRUE;
}

BOOL CDialog::DispatchToHandlers(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    // Nothing may unwind through the platform's frames: a failed handler is
    // left to default processing, and a failed start ends the dialog.
    try {
        return OnWndMsg(message, wParam, lParam, pResult);
    } catch (CException* e) {
        e->Delete();
    } catch (...) {
    }
    AfxTrace(L"CDialog: a message handler failed\n");
    if (message == WM_INITDIALOG)
        EndDialog(-1);
    return FALSE;
}

void CDialog::OnWindowGone()
{
    for (CWnd* pControl : m_attachedControls)
        pControl->Detach();
    m_attachedControls.clear();
    ReleaseDlgItems();
    m_hWnd = nullptr;
}
