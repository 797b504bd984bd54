// Device contexts of a window, held for the length of a scope.
#pragma once

#include <windows.h>

class CWnd;

class CDC {
public:
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;
    operator HDC() const { return m_hDC; }

    // The size of the text in the context's current font.
    SIZE GetTextExtent(LPCWSTR pszText, int nCount) const;

protected:
    CDC() = default;
    ~CDC() = default;
};

// BeginPaint/EndPaint for a WM_PAINT handler: the update region is validated
// when the object goes, whether anything was drawn or not.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();

    PAINTSTRUCT m_ps = {};

private:
    HWND m_hWnd;
};

// The client area's context (GetDC/ReleaseDC), outside WM_PAINT.
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC();

private:
    HWND m_hWnd;
};
