// The library's one application object and its library-wide state.
#pragma once

#include "framework/AfxWin.h"
#include "host/ModuleInterface.h"

#include <mutex>

class CUpdateManager;

class COrmUpdateApp : public CWinApp {
public:
    COrmUpdateApp();
    ~COrmUpdateApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;
    // The record's UpdateTitle where it has one (host/MessageCaption.h).
    CString GetMessageCaption() const override;

    // The translator, loaded from the library folder at the first call (never
    // inside the loader lock of the attach); null when it is missing or broken.
    ILanguageTranslater* GetTranslater();

    CUpdateManager* m_pUpdateManager = nullptr;
    CModuleInterface<ILanguageTranslater> m_languageModule;

    // Where the translator is looked for: "vexmod.dll" in the library folder.
    CString m_strLanguagePath;

private:
    void LoadTranslater();

    std::once_flag m_translaterOnce;
    HRESULT m_hrCom = E_FAIL;
};

extern COrmUpdateApp theApp;

// UPDATE_UPGRADE_MESSAGE, registered at load.
extern const UINT g_nUpgradeMessage;
