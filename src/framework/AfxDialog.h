// CDialog: a modal dialog made from a template of the resource module, with
// its own modal loop.
#pragma once

#include "framework/AfxWnd.h"

class CDataExchange;

class CDialog : public CWnd {
public:
    // nIDTemplate names the dialog template; the parent's top-level window, if
    // any, owns the dialog and is disabled while it runs.
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Creates the dialog, runs the modal loop until EndDialog, destroys the
    // window and returns the end code; -1 when the dialog could not be made,
    // its initialisation failed, or WM_QUIT arrived (which is posted again).
    virtual INT_PTR DoModal();

    // Ends the modal loop as soon as control returns to it, also when called
    // from a message pump nested in a handler; the window is hidden at once and
    // the last code given is the one DoModal returns.
    void EndDialog(int nResult);

    // Runs DoDataExchange; FALSE when an exchange failed.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // Lets a control wrapper stand for a child window until the dialog's window goes.
    void AttachControl(CWnd& rControl, HWND hWndControl);

    // The modal loop's hook before a message is dispatched: TRUE when the
    // message has been handled. The base lets the dialog manager have keys
    // and the mouse (Tab, Enter, Esc, mnemonics), after a hosted control has had its keys.
    virtual BOOL PreTranslateMessage(MSG* pMsg);

protected:
    // WM_INITDIALOG: the base exchanges data into the controls (UpdateData(FALSE)).
    // TRUE lets the dialog manager give the focus to the first control.
    virtual BOOL OnInitDialog();
    // The IDOK command: UpdateData(TRUE), then EndDialog(IDOK); the dialog
    // stays open when the exchange fails.
    virtual void OnOK();
    // The IDCANCEL command (the Cancel button, Esc, the close box): EndDialog(IDCANCEL).
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX);

    // Every message of the dialog's window from WM_INITDIALOG on passes here.
    // Return TRUE when the message is handled, with its result in *pResult;
    // FALSE leaves it to the dialog manager's default processing (also after
    // a handler has run). Derived dialogs handle their messages and pass the
    // others on to the base, which routes WM_INITDIALOG and the IDOK and
    // IDCANCEL commands to the virtual functions above.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    BOOL DispatchToHandlers(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    void OnWindowGone();
    void RunModalLoop();
    void LeaveModalState();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    INT_PTR m_nModalResult = -1;
    BOOL m_bContinueModal = FALSE;
    HWND m_hWndDisabledOwner = nullptr;
    std::vector<CWnd*> m_attachedControls;
};
