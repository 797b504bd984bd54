// CWnd: a window of the platform, reached through its handle.
#pragma once

#include "framework/AfxString.h"

#include <memory>
#include <vector>

class CWnd {
public:
    CWnd() = default;
    // A window still attached when the object goes is destroyed with it.
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    operator HWND() const { return m_hWnd; }

    // Takes the window over; FALSE when hWndNew is null or a window is attached already.
    BOOL Attach(HWND hWndNew);
    HWND Detach();
    BOOL DestroyWindow();

    // A wrapper of the child window with the id, owned by this object and
    // valid while this window lives; null when there is no such child.
    CWnd* GetDlgItem(int nID) const;

    void SetWindowText(LPCWSTR pszText);
    void GetWindowText(CString& rString) const;

    BOOL ShowWindow(int nCmdShow);
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowVisible() const;
    BOOL IsWindowEnabled() const;

    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    void GetWindowRect(LPRECT lpRect) const;
    void GetClientRect(LPRECT lpRect) const;
    void ScreenToClient(LPPOINT lpPoint) const;
    void ScreenToClient(LPRECT lpRect) const;

    // Centres a top-level window over its owner, or on the primary monitor's
    // work area when it has no visible owner; it is kept inside the work area.
    void CenterWindow();

    DWORD GetStyle() const;
    // Changes the style bits; nFlags, when not 0, go to SetWindowPos with
    // SWP_FRAMECHANGED so that the frame follows.
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);

    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer = nullptr);
    BOOL KillTimer(UINT_PTR nIDEvent);

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    // Sets the large or the small icon; returns the one it replaces.
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);

    void UpdateWindow();

    // Keyboard navigation of a dialog: TRUE when the message was taken.
    BOOL IsDialogMessage(LPMSG lpMsg);

    // Creates and attaches a child window hosting the ActiveX control clsid
    // (AfxControlHost.cpp); FALSE, with nothing attached, when the host or
    // its control could not be made.
    BOOL CreateControl(REFCLSID clsid, LPCWSTR pszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                       UINT nID);

protected:
    // Detaches and forgets the wrappers GetDlgItem handed out.
    void ReleaseDlgItems();

private:
    mutable std::vector<std::unique_ptr<CWnd>> m_dlgItems;
};

// The top-left corner that centres a window of the size of rcWindow on
// rcCenter, moved back inside rcArea where it would stick out (the left and
// top edges win when the window is larger than the area).
POINT CenteredPosition(const RECT& rcWindow, const RECT& rcCenter, const RECT& rcArea);
