#include "manager/UpdateManager.h"

#include "description/LocalUpdateInfo.h"
#include "description/ProfileFile.h"
#include "framework/AfxException.h"
#include "framework/AfxWin.h"
#include "host/CommandLineUpdate.h"
#include "host/LocalText.h"
#include "host/UpdateApp.h"
#include "install/KillProcessHelper.h"
#include "net/HttpRequest.h"
#include "resources/resource.h"

#include <shlwapi.h>

#include <string>

namespace {

// The whole report request: the connect, send and receive time-outs in a row.
const ULONGLONG kReportDeadlineMs = 3 * CHttpRequest::kTimeoutMs;
const size_t kMaxLineBytes = 4096;
const DWORD kLineReadBytes = 1024;
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
    // The request's own time-outs bound a server that never answers; this
    // bounds one that answers a byte at a time.
    const ULONGLONG ullDeadline = ::GetTickCount64() + kReportDeadlineMs;
    CHttpRequest request;
    HRESULT hr = request.Send(pszUrl, nullptr, nullptr, ullDeadline);
    std::string bytes;
    while (SUCCEEDED(hr) && bytes.find('\n') == std::string::npos && bytes.size() < kMaxLineBytes) {
        const BYTE* pData = nullptr;
        DWORD nRead = 0;
        hr = request.Read(&pData, &nRead, kLineReadBytes, nullptr, ullDeadline);
        if (SUCCEEDED(hr) && nRead == 0)
            break;
        if (SUCCEEDED(hr))
            bytes.append(reinterpret_cast<const char*>(pData), nRead);
    }
    // Whatever failed, the check goes on to the description; the user hears
    // of it only when the check is not silent.
    if (FAILED(hr) && !m_bSilent) {
        CInternetException e(HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : ERROR_INTERNET_CANNOT_CONNECT);
        e.ReportError(MB_OK, 0);
    }
    std::string line = bytes.substr(0, bytes.find('\n'));
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return DecodeBytes(CP_ACP, line);
}

HRESULT CUpdateManager::DoUpdate()
{
    if (!m_fileManager.Analyse(false))
        return 1;
    const HRESULT hr = m_fileManager.DownloadPackage();
    if (FAILED(hr)) {
        // The person who pressed Install learns why nothing happens; a
        // transfer error has said so already.
        if ((hr == TRUST_E_BAD_DIGEST || hr == TRUST_E_NOSIGNATURE) && g_bInteractive)
            AfxMessageBox(LoadLocalString(IDS_PACKAGE_REFUSED), MB_OK | MB_ICONSTOP);
        return hr;
    }
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
