// Data exchange between a dialog and its controls.
#pragma once

#include <windows.h>

class CDialog;
class CWnd;

class CDataExchange {
public:
    CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    // The dialog's control nIDC; null, and the exchange failed, when it has none.
    HWND PrepareCtrl(int nIDC);

    BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
    CDialog* m_pDlgWnd;
    BOOL m_bFailed = FALSE;
};

// Attaches rControl to the dialog's control nIDC at the first exchange; it is
// detached again when the dialog's window goes.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
