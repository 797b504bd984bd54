#include "framework/AfxDataExchange.h"

#include "framework/AfxDialog.h"
#include "framework/AfxTrace.h"

HWND CDataExchange::PrepareCtrl(int nIDC)
{
    HWND hWndCtrl = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
    if (!hWndCtrl) {
        m_bFailed = TRUE;
        AfxTrace(L"CDataExchange: the dialog has no such control\n");
    }
    return hWndCtrl;
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd)
        return;
    if (HWND hWndCtrl = pDX->PrepareCtrl(nIDC))
        pDX->m_pDlgWnd->AttachControl(rControl, hWndCtrl);
}
