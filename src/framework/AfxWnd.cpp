#include "framework/AfxWnd.h"

#include <algorithm>
#include <utility>

CWnd::~CWnd()
{
    ReleaseDlgItems();
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
}

BOOL CWnd::Attach(HWND hWndNew)
{
    if (!hWndNew || m_hWnd)
        return FALSE;
    m_hWnd = hWndNew;
    return TRUE;
}

HWND CWnd::Detach()
{
    ReleaseDlgItems();
    return std::exchange(m_hWnd, nullptr);
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    ReleaseDlgItems();
    // (A dialog has let go of its handle already, in WM_NCDESTROY.)
    const BOOL bDestroyed = ::DestroyWindow(m_hWnd);
    if (bDestroyed)
        m_hWnd = nullptr;
    return bDestroyed;
}

CWnd* CWnd::GetDlgItem(int nID) const
{
    HWND hItem = ::GetDlgItem(m_hWnd, nID);
    if (!hItem)
        return nullptr;
    for (const auto& pItem : m_dlgItems) {
        if (pItem->m_hWnd == hItem)
            return pItem.get();
    }
    m_dlgItems.push_back(std::make_unique<CWnd>());
    m_dlgItems.back()->Attach(hItem);
    return m_dlgItems.back().get();
}

void CWnd::ReleaseDlgItems()
{
    // The children die with their parent; the wrappers must not destroy them.
    for (auto& pItem : m_dlgItems)
        pItem->Detach();
    m_dlgItems.clear();
}

void CWnd::SetWindowText(LPCWSTR pszText)
{
    ::SetWindowTextW(m_hWnd, pszText ? pszText : L"");
}

void CWnd::GetWindowText(CString& rString) const
{
    const int nLength = ::GetWindowTextLengthW(m_hWnd);
    LPWSTR pszBuffer = rString.GetBuffer(nLength);
    ::GetWindowTextW(m_hWnd, pszBuffer, nLength + 1);
    rString.ReleaseBuffer();
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    return ::ShowWindow(m_hWnd, nCmdShow);
}

BOOL CWnd::EnableWindow(BOOL bEnable)
{
    return ::EnableWindow(m_hWnd, bEnable);
}

BOOL CWnd::IsWindowVisible() const
{
    return ::IsWindowVisible(m_hWnd);
}

BOOL CWnd::IsWindowEnabled() const
{
    return ::IsWindowEnabled(m_hWnd);
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint)
{
    ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
}

void CWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint)
{
    MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top, bRepaint);
}

void CWnd::GetWindowRect(LPRECT lpRect) const
{
    ::GetWindowRect(m_hWnd, lpRect);
}

void CWnd::GetClientRect(LPRECT lpRect) const
{
    ::GetClientRect(m_hWnd, lpRect);
}

// MapWindowPoints rather than the point functions: it also keeps a rectangle
// well-ordered in a right-to-left (mirrored) window.
void CWnd::ScreenToClient(LPPOINT lpPoint) const
{
    ::MapWindowPoints(nullptr, m_hWnd, lpPoint, 1);
}

void CWnd::ScreenToClient(LPRECT lpRect) const
{
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(lpRect), 2);
}

void CWnd::CenterWindow()
{
    HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER);
    // A hidden or minimised owner gives no sensible centre.
    if (hOwner && (!::IsWindowVisible(hOwner) || ::IsIconic(hOwner)))
        hOwner = nullptr;

    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfoW(::MonitorFromWindow(hOwner, hOwner ? MONITOR_DEFAULTTONEAREST : MONITOR_DEFAULTTOPRIMARY), &mi);
    RECT rcCenter = mi.rcWork;
    if (hOwner)
        ::GetWindowRect(hOwner, &rcCenter);

    RECT rcWindow = {};
    GetWindowRect(&rcWindow);
    const POINT pt = CenteredPosition(rcWindow, rcCenter, mi.rcWork);
    ::SetWindowPos(m_hWnd, nullptr, pt.x, pt.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

POINT CenteredPosition(const RECT& rcWindow, const RECT& rcCenter, const RECT& rcArea)
{
    const LONG cx = rcWindow.right - rcWindow.left;
    const LONG cy = rcWindow.bottom - rcWindow.top;
    LONG x = (rcCenter.left + rcCenter.right) / 2 - cx / 2;
    LONG y = (rcCenter.top + rcCenter.bottom) / 2 - cy / 2;
    x = std::max(std::min(x, rcArea.right - cx), rcArea.left);
    y = std::max(std::min(y, rcArea.bottom - cy), rcArea.top);
    return {x, y};
}

DWORD CWnd::GetStyle() const
{
    return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE));
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    const DWORD dwStyle = GetStyle();
    const DWORD dwNewStyle = (dwStyle & ~dwRemove) | dwAdd;
    if (dwStyle == dwNewStyle)
        return FALSE;
    ::SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>(dwNewStyle));
    if (nFlags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | nFlags);
    return TRUE;
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer)
{
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent)
{
    return ::KillTimer(m_hWnd, nIDEvent);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon)
{
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

void CWnd::UpdateWindow()
{
    ::UpdateWindow(m_hWnd);
}

BOOL CWnd::IsDialogMessage(LPMSG lpMsg)
{
    return ::IsDialogMessageW(m_hWnd, lpMsg);
}
