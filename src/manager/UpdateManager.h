// The state of the update work in a process, and its two steps: the check and
// the update run. The work on files and descriptions is the file manager's.
#pragma once

#include "base/ExtractionCommand.h"

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

    // The receiver of the work's progress and of the user's stop; null for none.
    void SetEventSink(IUpdateEventSink* pSink) { m_fileManager.SetEventSink(pSink); }
    IUpdateEventSink* EventSink() const { return m_fileManager.EventSink(); }

    // Reports the installed version, fetches the description and judges it.
    // A check with the silent switch is bounded in time, and its errors are
    // not shown (AfxSetSilentCheck):
    // S_OK when an update (or only the professional package) is offered,
    // E_ABORT when nothing applies, E_FAIL when no description arrived,
    // kDescriptionRefused when the installed record names a publisher key and
    // the description is not one to act on.
    HRESULT CheckUpdate(CCommandLineUpdate* pCmd);

    // Downloads the package, ends the host and prepares m_extraction: 0;
    // 1 when nothing applies; kDescriptionRefused; the download's failure code.
    virtual HRESULT DoUpdate();
    virtual void StopWorker();
    // The first line of the answer to a GET of pszUrl, within dwDeadlineMs:
    // S_OK; E_ABORT when the event sink stopped it; else the failure, which
    // the user sees only when the check is not silent (m_bFailureTold then
    // says so). strLine is empty unless the request succeeded.
    virtual HRESULT ReadUrlLine(LPCWSTR pszUrl, DWORD dwDeadlineMs, CString& strLine);

    HRESULT CompleteUpdate() { return m_fileManager.CompleteUpdate(); }
    void ApplyIniItems() { m_fileManager.ApplyIniItems(); }
    void ReadEdition() { m_fileManager.ReadEdition(); }
    void GetUpdateDescription(CString& out) { m_fileManager.GetUpdateDescription(out); }
    void GetUpdateTitle(CString& out) { m_fileManager.GetUpdateTitle(out); }
    void GetUpdateVersion(CString& out) { m_fileManager.GetUpdateVersion(out); }
    CLocalUpdateInfo* GetLocalInfo() { return m_fileManager.m_pLocalInfo.get(); }

    CWinThread* m_pWorkerThread = nullptr;  // not owned
    CEvent m_eventStop;
    CFileManager m_fileManager;
    // What the extraction command unpacks where; both empty until an update is prepared.
    ExtractionTarget m_extraction;
    DWORD m_dwProcessId = 0;
    HWND m_hUserProgramWnd = nullptr;
    BOOL m_bProOffer = 0;
    // The last ReadUrlLine's failure was shown to a person.
    bool m_bFailureTold = false;
};
