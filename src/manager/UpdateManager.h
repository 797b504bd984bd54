// The state of the update work in a process, and its two steps: the check and the update run.
#pragma once

#include "framework/AfxString.h"
#include "install/FileManager.h"

class CCommandLineUpdate;
class CLocalUpdateInfo;

class CUpdateManager {
public:
    CUpdateManager() = default;
    virtual ~CUpdateManager() = default;
    CUpdateManager(const CUpdateManager&) = delete;
    CUpdateManager& operator=(const CUpdateManager&) = delete;

    HRESULT CheckUpdate(CCommandLineUpdate* pCmd);
    virtual HRESULT DoUpdate();

    HRESULT CompleteUpdate();
    void ApplyIniItems();
    void GetUpdateDescription(CString& out);
    void GetUpdateTitle(CString& out);
    void GetUpdateVersion(CString& out);
    CLocalUpdateInfo* GetLocalInfo() { return m_fileManager.m_pLocalInfo; }

    CFileManager m_fileManager;
    CString m_strExtractArgs;
    DWORD m_dwProcessId = 0;
    BOOL m_bSilent = 1;
    HWND m_hUserProgramWnd = nullptr;
    BOOL m_bProOffer = 0;
};
