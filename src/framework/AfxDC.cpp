#include "framework/AfxDC.h"

#include "framework/AfxWnd.h"

SIZE CDC::GetTextExtent(LPCWSTR pszText, int nCount) const
{
    SIZE size = {};
    ::GetTextExtentPoint32W(m_hDC, pszText, nCount, &size);
    return size;
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd)
{
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr)
{
    m_hDC = ::GetDC(m_hWnd);
}

CClientDC::~CClientDC()
{
    if (m_hDC)
        ::ReleaseDC(m_hWnd, m_hDC);
}
