#include "host/UpdateApp.h"

#include "update.h"

#include "framework/AfxOle.h"
#include "host/MessageCaption.h"
#include "manager/UpdateManager.h"

#include <commctrl.h>
#include <shlwapi.h>

const UINT g_nUpgradeMessage = ::RegisterWindowMessageW(UPDATE_UPGRADE_MESSAGE);

COrmUpdateApp theApp;

COrmUpdateApp::COrmUpdateApp() = default;

COrmUpdateApp::~COrmUpdateApp() = default;

BOOL COrmUpdateApp::InitInstance()
{
    m_hrCom = ::CoInitialize(nullptr);

    INITCOMMONCONTROLSEX icc = {};
    icc.dwSize = sizeof(icc);
    icc.dwICC = 0xFF;  // all of ICC_WIN95_CLASSES
    ::InitCommonControlsEx(&icc);

    AfxEnableControlContainer();
    AfxInitRichEdit2();
    AfxOleInit();

    m_strLanguagePath = AfxGetModuleFolderPath(m_hInstance, L"vexmod.dll");

    if (!AfxSocketInit())
        return FALSE;

    m_pUpdateManager = new CUpdateManager();
    return TRUE;
}

int COrmUpdateApp::ExitInstance()
{
    delete m_pUpdateManager;
    m_pUpdateManager = nullptr;
    m_languageModule.Unload();
    // Only a successful CoInitialize is ours to balance; a host that chose
    // another apartment first keeps its COM as it was.
    if (SUCCEEDED(m_hrCom))
        ::CoUninitialize();
    m_hrCom = E_FAIL;
    return CWinApp::ExitInstance();
}

CString COrmUpdateApp::GetMessageCaption() const
{
    return MessageCaption(m_strAppName);
}

ILanguageTranslater* COrmUpdateApp::GetTranslater()
{
    std::call_once(m_translaterOnce, [this] { LoadTranslater(); });
    return m_languageModule.m_pInterface;
}

void COrmUpdateApp::LoadTranslater()
{
    // One loaded already stays: a second Load would fail, and the Unload below drop it.
    if (m_languageModule.m_hModule || m_strLanguagePath.IsEmpty() || !::PathFileExistsW(m_strLanguagePath))
        return;
    // A library without the factory, or whose factory fails, is let go again.
    if (FAILED(m_languageModule.Load(m_strLanguagePath)) || !m_languageModule.m_pInterface)
        m_languageModule.Unload();
}
