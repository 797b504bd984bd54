#include "manager/UpdateManager.h"

#include "description/LocalUpdateInfo.h"
#include "framework/AfxException.h"
#include "framework/AfxInet.h"
#include "framework/AfxWin.h"
#include "host/CommandLineUpdate.h"
#include "install/KillProcessHelper.h"

#include <shlwapi.h>

#include <memory>

namespace {

const DWORD kConnectTimeoutMs = 5000;
const DWORD kStopWaitMs = 2000;

// The hourglass for as long as a blocking request runs.
class CWaitCursor {
public:
    CWaitCursor()
    {
        if (CWinApp* pApp = AfxGetApp())
            pApp->BeginWaitCursor();
    }
    ~CWaitCursor()
    {
        if (CWinApp* pApp = AfxGetApp())
            pApp->EndWaitCursor();
    }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

void DeleteDescription()
{
    wchar_t path[MAX_PATH] = {};
    CFileManager::GetUpdatePath(path, L"update.ini");
    if (::PathFileExistsW(path))
        ::DeleteFileW(path);
}

} // namespace

CString DescriptionAddress(const CString& strReportAddress)
{
    const int nAmpersand = strReportAddress.Find(L'&');
    return nAmpersand < 0 ? strReportAddress : strReportAddress.Left(nAmpersand);
}

CUpdateManager::CUpdateManager() = default;

CUpdateManager::~CUpdateManager()
{
    StopWorker();
}

HRESULT CUpdateManager::CheckUpdate(CCommandLineUpdate* pCmd)
{
    if (!pCmd)
        return E_POINTER;
    m_dwProcessId = pCmd->m_dwProcessId;
    m_bSilent = pCmd->m_bSilent;
    // The flag speaks of the last check: a process that checks again later
    // must not keep hiding a standard update behind an old professional offer.
    m_bProOffer = 0;

    const CLocalUpdateInfo* pLocal = m_fileManager.LoadLocalInfo();
    if (!pLocal)
        return E_FAIL;

    // The answer is not used: the request tells the service what is installed.
    CString report;
    report.Format(L"%s&version=%s&SP=%d", pCmd->m_strUrl.GetString(), pLocal->m_strVersion.GetString(),
                  static_cast<int>(pLocal->m_nServicePack));
    ReadUrlLine(report);

    if (!m_fileManager.FetchRemoteInfo(DescriptionAddress(report)))
        return E_FAIL;
    // Both judgements first, then their effects once: a standard and a
    // professional verdict that both ask for the tips show them once.
    const EOfferVerdict standard = m_fileManager.JudgeOffered(false);
    EOfferVerdict professional = EOfferVerdict::NotNewer;
    if (standard != EOfferVerdict::Applies && !m_fileManager.m_bIsProUpdate)
        professional = m_fileManager.JudgeOffered(true);
    m_fileManager.CarryOut(m_fileManager.EffectsOf(standard) | m_fileManager.EffectsOf(professional));

    if (standard == EOfferVerdict::Applies)
        return S_OK;
    if (professional == EOfferVerdict::Applies) {
        m_bProOffer = 1;
        return S_OK;
    }
    DeleteDescription();
    return E_ABORT;
}

CString CUpdateManager::ReadUrlLine(LPCWSTR pszUrl)
{
    CWaitCursor wait;
    CString line;
    // A session that cannot be opened fails the report like any other
    // failure of it: the check goes on to the description.
    try {
        CInternetSession session;
        session.SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, kConnectTimeoutMs);
        std::unique_ptr<CInternetFile> file(session.OpenURL(pszUrl, 1, INTERNET_FLAG_TRANSFER_ASCII));
        file->ReadString(line);
        file->Close();
        file.reset();
        session.Close();
    } catch (CException* e) {
        CExceptionPtr guard(e);
        if (!m_bSilent)
            e->ReportError(MB_OK, 0);
    }
    return line;
}

HRESULT CUpdateManager::DoUpdate()
{
    if (!m_fileManager.Analyse(false))
        return 1;
    const HRESULT hr = m_fileManager.DownloadPackage();
    if (FAILED(hr))
        return hr;
    if (m_dwProcessId != 0) {
        CKillProcessHelper helper;
        helper.KillProcess(m_dwProcessId);
    }
    return m_fileManager.GetExtractArgs(m_strExtractArgs);
}

void CUpdateManager::StopWorker()
{
    if (!m_pWorkerThread || !static_cast<HANDLE>(*m_pWorkerThread))
        return;
    while (::WaitForSingleObject(*m_pWorkerThread, kStopWaitMs) == WAIT_TIMEOUT)
        m_eventStop.PulseEvent();
    m_pWorkerThread = nullptr;
}
