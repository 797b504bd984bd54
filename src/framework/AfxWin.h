// The framework's application object, module state and message boxes.
#pragma once

#include "framework/AfxString.h"
#include "framework/AfxUserEffects.h"

// The module that holds this code: the library itself, or the program that links it in.
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();

// The module whose string table holds string nID; null when none does.
HINSTANCE AfxFindStringResourceHandle(UINT nID);

// The folder of a module's file, without a trailing backslash unless it is a
// drive's root.
CString AfxGetModuleFolder(HMODULE hModule);
// A path relative to the folder of a module's file.
CString AfxGetModuleFolderPath(HMODULE hModule, LPCWSTR pszRelative);

class CWinApp {
public:
    explicit CWinApp(LPCWSTR pszAppName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    // The caption of AfxMessageBox: the application's name unless overridden.
    virtual CString GetMessageCaption() const;

    // The hourglass for a blocking operation; the calls nest.
    void BeginWaitCursor();
    void EndWaitCursor();

    HINSTANCE m_hInstance = nullptr;
    CString m_strAppName;

private:
    int m_nWaitCursorCount = 0;
    HCURSOR m_hcurWaitRestore = nullptr;
};

CWinApp* AfxGetApp();

// What the library's attach and detach run: InitInstance, and on failure
// ExitInstance; ExitInstance at the detach. Returns FALSE when the start failed.
BOOL AfxWinAttach(HINSTANCE hInstance);
void AfxWinDetach();

// The module state: entering it activates the library's activation context
// (its manifest asks for Common Controls 6) for the length of a call.
struct AFX_MODULE_STATE {
    HINSTANCE m_hInstance = nullptr;
};
AFX_MODULE_STATE* AfxGetStaticModuleState();

class AFX_MAINTAIN_STATE2 {
public:
    explicit AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* pState);
    ~AFX_MAINTAIN_STATE2();
    AFX_MAINTAIN_STATE2(const AFX_MAINTAIN_STATE2&) = delete;
    AFX_MAINTAIN_STATE2& operator=(const AFX_MAINTAIN_STATE2&) = delete;

private:
    ULONG_PTR m_ulCookie = 0;
    BOOL m_bActivated = FALSE;
};

#define AFX_MANAGE_STATE(p) AFX_MAINTAIN_STATE2 _ctlState(p)

// Message boxes through the user-effects hook, owned by the active window, with
// the application's name as caption, when AfxMayShowMessage lets a message of
// that kind (EMessageKind) through; 0 when it does not.
int AfxMessageBox(LPCWSTR pszText, UINT nType = MB_OK, unsigned nKind = kMessageTold);
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, unsigned nKind = kMessageTold);
