#include "framework/AfxWin.h"

#include "framework/AfxOle.h"
#include "framework/AfxUserEffects.h"

#include "base/Paths.h"

#include <shlwapi.h>

#include <mutex>

namespace {

CWinApp* g_pApp = nullptr;

HINSTANCE ModuleOfThisCode()
{
    HMODULE hModule = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&ModuleOfThisCode), &hModule);
    return hModule;
}

// The activation context of the module's own manifest (resource 2, as for a
// library), made once on first use and kept for the life of the process.
HANDLE ModuleActivationContext()
{
    static HANDLE hActCtx = INVALID_HANDLE_VALUE;
    static std::once_flag once;
    std::call_once(once, [] {
        ACTCTXW ctx = {};
        ctx.cbSize = sizeof(ctx);
        ctx.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        ctx.hModule = ModuleOfThisCode();
        ctx.lpResourceName = MAKEINTRESOURCEW(2);
        hActCtx = ::CreateActCtxW(&ctx);
    });
    return hActCtx;
}

} // namespace

HINSTANCE AfxGetInstanceHandle()
{
    static const HINSTANCE hInstance = ModuleOfThisCode();
    return hInstance;
}

HINSTANCE AfxGetResourceHandle()
{
    return AfxGetInstanceHandle();
}

HINSTANCE AfxFindStringResourceHandle(UINT nID)
{
    // Strings live in blocks of sixteen, block n + 1 holding ids 16n to 16n + 15.
    HINSTANCE hModule = AfxGetResourceHandle();
    const LPCWSTR block = MAKEINTRESOURCEW((nID >> 4) + 1);
    return ::FindResourceW(hModule, block, MAKEINTRESOURCEW(6)) ? hModule : nullptr;
}

// Here rather than with the string: it needs the module state, and the string
// class stands on its own for the launcher.
BOOL CString::LoadString(UINT nID)
{
    return LoadString(AfxGetResourceHandle(), nID);
}

CString AfxGetModuleFolder(HMODULE hModule)
{
    return CString(ModuleFolder(hModule));
}

CString AfxGetModuleFolderPath(HMODULE hModule, LPCWSTR pszRelative)
{
    return CString(JoinPath(ModuleFolder(hModule), pszRelative ? pszRelative : L""));
}

CWinApp::CWinApp(LPCWSTR pszAppName) : m_strAppName(pszAppName)
{
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::ExitInstance()
{
    AfxTermLibraries();
    return 0;
}

CString CWinApp::GetMessageCaption() const
{
    return m_strAppName;
}

void CWinApp::BeginWaitCursor()
{
    if (m_nWaitCursorCount++ == 0)
        m_hcurWaitRestore = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
}

void CWinApp::EndWaitCursor()
{
    if (m_nWaitCursorCount == 0)
        return;
    if (--m_nWaitCursorCount == 0)
        ::SetCursor(m_hcurWaitRestore ? m_hcurWaitRestore : ::LoadCursorW(nullptr, IDC_ARROW));
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

BOOL AfxWinAttach(HINSTANCE hInstance)
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return TRUE;
    pApp->m_hInstance = hInstance;
    if (pApp->m_strAppName.IsEmpty()) {
        wchar_t name[MAX_PATH] = {};
        ::GetModuleFileNameW(hInstance, name, MAX_PATH);
        ::PathRemoveExtensionW(name);
        pApp->m_strAppName = ::PathFindFileNameW(name);
    }
    if (pApp->InitInstance())
        return TRUE;
    pApp->ExitInstance();
    return FALSE;
}

void AfxWinDetach()
{
    if (CWinApp* pApp = AfxGetApp())
        pApp->ExitInstance();
}

AFX_MODULE_STATE* AfxGetStaticModuleState()
{
    static AFX_MODULE_STATE state{AfxGetInstanceHandle()};
    return &state;
}

AFX_MAINTAIN_STATE2::AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* pState)
{
    if (!pState)
        return;
    HANDLE hActCtx = ModuleActivationContext();
    if (hActCtx != INVALID_HANDLE_VALUE)
        m_bActivated = ::ActivateActCtx(hActCtx, &m_ulCookie);
}

AFX_MAINTAIN_STATE2::~AFX_MAINTAIN_STATE2()
{
    if (m_bActivated)
        ::DeactivateActCtx(0, m_ulCookie);
}

int AfxMessageBox(LPCWSTR pszText, UINT nType, unsigned nKind)
{
    if (!AfxMayShowMessage(nKind))
        return 0;
    CWinApp* pApp = AfxGetApp();
    const CString caption = pApp ? pApp->GetMessageCaption() : CString(L"update");
    HWND hOwner = ::GetActiveWindow();
    return AfxGetUserEffects().ShowMessage(hOwner, pszText, caption, nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, unsigned nKind)
{
    CString text;
    text.LoadString(nIDPrompt);
    return AfxMessageBox(text, nType, nKind);
}
