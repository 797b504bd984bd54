#include "manager/UpdateManager.h"

#include "description/LocalUpdateInfo.h"
#include "description/ProfileFile.h"
#include "framework/AfxException.h"
#include "framework/AfxWin.h"
#include "host/CommandLineUpdate.h"
#include "host/LocalText.h"
#include "install/DescriptionTrust.h"
#include "install/KillProcessHelper.h"
#include "install/DownloadWait.h"
#include "install/PackageDownload.h"
#include "install/UpdateFolder.h"
#include "manager/UpdateEventSink.h"
#include "net/FileDownloadHttp.h"
#include "net/FirstLineRequest.h"
#include "net/HttpRequest.h"
#include "net/ServiceAddress.h"
#include "resources/resource.h"

#include "base/UpdateLog.h"

#include <shlwapi.h>

#include <algorithm>
#include <string>

namespace {

// The whole report request: the connect, send and receive time-outs in a row.
const DWORD kReportDeadlineMs = 3 * CHttpRequest::kTimeoutMs;
// Out of a person's sight nobody can cancel, and a host may wait on its own
// thread: the silent check as a whole ends within this. The report, whose
// answer is never used, may not take the description's time.
const DWORD kSilentCheckMs = 15000;
const DWORD kSilentReportMs = 5000;
const DWORD kStopWaitMs = 2000;

// The time left to the requests of one check.
class CCheckDeadline {
public:
    explicit CCheckDeadline(bool bSilent) : m_ullEnd(bSilent ? ::GetTickCount64() + kSilentCheckMs : 0) {}

    // At most dwLimitMs, and no later than the check's end; never 0, which
    // would mean no deadline at all.
    DWORD Within(DWORD dwLimitMs) const
    {
        if (!m_ullEnd)
            return dwLimitMs;
        const ULONGLONG now = ::GetTickCount64();
        return now >= m_ullEnd ? 1 : static_cast<DWORD>(std::min<ULONGLONG>(dwLimitMs, m_ullEnd - now));
    }

private:
    ULONGLONG m_ullEnd;
};

// The hourglass for as long as the report request runs.
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

} // namespace

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
    const bool bSilent = pCmd->m_bSilent != 0;
    AfxSetSilentCheck(bSilent);
    // A staged rollout reaches only some installations out of a person's sight.
    m_fileManager.m_checkKind = bSilent ? ECheckKind::Silent : ECheckKind::Interactive;
    // A host that unpacks the package itself with the extraction command never gets a delta.
    m_fileManager.m_bAppliesDeltas = pCmd->m_bAppliesDeltas && !pCmd->m_bFullPackage;
    // The flag speaks of the last check: a process that checks again later
    // must not keep hiding a standard update behind an old professional offer.
    m_bProOffer = 0;

    const CLocalUpdateInfo* pLocal = m_fileManager.LoadLocalInfo();
    if (!pLocal)
        return E_FAIL;

    const CCheckDeadline deadline(bSilent);
    // The answer is not used: the request tells the service what is installed.
    CString report, line;
    report.Format(L"%s&version=%s&SP=%d", pCmd->m_strUrl.GetString(), pLocal->m_strVersion.GetString(),
                  static_cast<int>(pLocal->m_nServicePack));
    UpdateLog(bSilent ? L"silent check" : L"check", L" for client \"", pLocal->m_strOEMClientName, L"\", installed ",
              pLocal->m_strVersion, L" service pack ", pLocal->m_nServicePack, L" (professional ",
              pLocal->m_nServiceProPack, L")");
    if (ReadUrlLine(report, deadline.Within(bSilent ? kSilentReportMs : kReportDeadlineMs), line) == E_ABORT)
        return E_FAIL;

    // A server that is down fails both requests: a person hears of it once.
    bool bRefused = false;
    if (!m_fileManager.FetchRemoteInfo(DescriptionAddress(report), deadline.Within(CFileManager::kDescriptionDeadlineMs),
                                       &bRefused, !m_bFailureTold))
        return bRefused ? kDescriptionRefused : E_FAIL;
    // Both judgements first, then their effects once: a standard and a
    // professional verdict that both ask for the tips show them once.
    const EOfferVerdict standard = m_fileManager.JudgeOffered(false);
    EOfferVerdict professional = EOfferVerdict::NotNewer;
    if (standard != EOfferVerdict::Applies && standard != EOfferVerdict::Refused && !m_fileManager.m_bIsProUpdate)
        professional = m_fileManager.JudgeOffered(true);
    // A refused description is no answer at all: nothing of it is shown or kept.
    if (standard == EOfferVerdict::Refused || professional == EOfferVerdict::Refused) {
        DeleteFetchedDescription();
        return kDescriptionRefused;
    }
    UpdateLog(L"check: ", standard == EOfferVerdict::Applies       ? L"the standard edition's update is offered"
                          : professional == EOfferVerdict::Applies ? L"only the professional edition's update applies"
                                                                   : L"nothing is offered");
    m_fileManager.CarryOut(m_fileManager.EffectsOf(standard) | m_fileManager.EffectsOf(professional));

    if (standard == EOfferVerdict::Applies)
        return S_OK;
    if (professional == EOfferVerdict::Applies) {
        m_bProOffer = 1;
        return S_OK;
    }
    DeleteFetchedDescription();
    return E_ABORT;
}

HRESULT CUpdateManager::ReadUrlLine(LPCWSTR pszUrl, DWORD dwDeadlineMs, CString& strLine)
{
    CWaitCursor wait;
    strLine.Empty();
    m_bFailureTold = false;
    // The request's own time-outs bound a server that never answers; the
    // deadline bounds one that answers a byte at a time.
    CFirstLineRequest request;
    request.SetDeadline(dwDeadlineMs);
    HRESULT hr = request.Start(pszUrl);
    if (SUCCEEDED(hr)) {
        IUpdateEventSink* pSink = EventSink();
        hr = WaitForDownload(request, [pSink] { return AskStop(pSink); });
    }
    // Whatever failed, the check goes on to the description; the user hears
    // of it only when the check is not silent, and never after their own stop.
    if (FAILED(hr) && hr != E_ABORT) {
        CInternetException e(HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : ERROR_INTERNET_CANNOT_CONNECT);
        m_bFailureTold = e.ReportError(MB_OK, 0, kMessageInCheck) != 0;
    }
    if (SUCCEEDED(hr))
        strLine = DecodeBytes(CP_ACP, request.GetLine());
    return hr;
}

HRESULT CUpdateManager::DoUpdate()
{
    // Judged again: the description in the folder may have changed, or expired, since the check.
    const EOfferVerdict verdict = m_fileManager.JudgeOffered(false);
    m_fileManager.CarryOut(m_fileManager.EffectsOf(verdict));
    if (verdict == EOfferVerdict::Refused) {
        UpdateLog(L"install: the description is refused now");
        DeleteFetchedDescription();
        AfxMessageBox(LoadLocalString(IDS_DESCRIPTION_REFUSED), MB_OK | MB_ICONSTOP, kMessageError);
        return kDescriptionRefused;
    }
    if (verdict != EOfferVerdict::Applies)
        return 1;
    const HRESULT hr = m_fileManager.DownloadPackage();
    if (FAILED(hr)) {
        UpdateLog(L"install: no package: ", PackageFailureReason(hr));
        // The person who pressed Install learns why nothing happens; a
        // transfer error has said so already. A package larger than the
        // description states is refused like one whose digest differs.
        const bool bRefused = hr == TRUST_E_BAD_DIGEST || hr == TRUST_E_NOSIGNATURE || hr == CFileDownloadHttp::kTooLarge;
        if (bRefused)
            AfxMessageBox(LoadLocalString(IDS_PACKAGE_REFUSED), MB_OK | MB_ICONSTOP, kMessageError);
        return hr;
    }
    if (m_dwProcessId != 0) {
        CKillProcessHelper helper;
        helper.KillProcess(m_dwProcessId);
    }
    m_extraction = m_fileManager.PreparedExtraction();
    UpdateLog(L"install: the package is ready; the host (process ", m_dwProcessId, L") was asked to end");
    return 0;
}

void CUpdateManager::StopWorker()
{
    if (!m_pWorkerThread || !static_cast<HANDLE>(*m_pWorkerThread))
        return;
    while (::WaitForSingleObject(*m_pWorkerThread, kStopWaitMs) == WAIT_TIMEOUT)
        m_eventStop.PulseEvent();
    m_pWorkerThread = nullptr;
}
