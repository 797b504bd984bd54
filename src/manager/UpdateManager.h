// The state of the update work in a process, and its two steps: the check and
// the update run. The work on files and descriptions is the file manager's.
#pragma once

#include "framework/AfxMt.h"
#include "framework/AfxString.h"
#include "install/FileManager.h"

class CCommandLineUpdate;
class CLocalUpdateInfo;

class CUpdateManager {
public:
    CUpdateManager();
    virtual ~CUpdateManager();
    CUpdateManager(const CUpdateManager&) = delete;
    CUpdateManager& operator=(const CUpdateManager&) = delete;

    // Reports the installed version, fetches the description and judges it:
    // S_OK when an update (or only the professional package) is offered,
    // E_ABORT when nothing applies, E_FAIL when no description arrived.
    HRESULT CheckUpdate(CCommandLineUpdate* pCmd);

    // Downloads the package, ends the host and prepares m_strExtractArgs: 0;
    // 1 when nothing applies; the download's failure code.
    virtual HRESULT DoUpdate();
    virtual void StopWorker();
    // The first line of the answer to a GET of pszUrl; empty on any failure,
    // which the user sees only when the check is not silent.
    virtual CString ReadUrlLine(LPCWSTR pszUrl);

    HRESULT CompleteUpdate() { return m_fileManager.CompleteUpdate(); }
    void ApplyIniItems() { m_fileManager.ApplyIniItems(); }
    void GetUpdateDescription(CString& out) { m_fileManager.GetUpdateDescription(out); }
    void GetUpdateTitle(CString& out) { m_fileManager.GetUpdateTitle(out); }
    void GetUpdateVersion(CString& out) { m_fileManager.GetUpdateVersion(out); }
    CLocalUpdateInfo* GetLocalInfo() { return m_fileManager.m_pLocalInfo.get(); }

    CWinThread* m_pWorkerThread = nullptr;  // not owned
    CEvent m_eventStop;
    CFileManager m_fileManager;
    CString m_strExtractArgs;
    DWORD m_dwProcessId = 0;
    BOOL m_bSilent = 1;
    HWND m_hUserProgramWnd = nullptr;
    BOOL m_bProOffer = 0;
};

// The address the description is fetched from: the report address up to its first '&'.
CString DescriptionAddress(const CString& strReportAddress);
