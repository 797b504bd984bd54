#include "ui/DlgUpdateStatus.h"

#include "description/LocalUpdateInfo.h"
#include "framework/AfxDC.h"
#include "framework/AfxDataExchange.h"
#include "framework/AfxHandle.h"
#include "framework/AfxWin.h"
#include "host/CommandLineUpdate.h"
#include "host/LocalText.h"
#include "install/DescriptionTrust.h"
#include "install/UpdateFolder.h"
#include "manager/ProgressFigures.h"
#include "manager/UpdateManager.h"
#include "resources/resource.h"
#include "ui/StatusTexts.h"

#include <commctrl.h>
#include <psapi.h>
#include <shlwapi.h>

#include <algorithm>

namespace {

const UINT_PTR kCheckTimer = 0;
const UINT kCheckDelayMs = 200;
// A status text of no end, such as a version from the description, must not
// push the buttons off the screen: more lines than these stay cut.
const int kMaxStatusLines = 4;

// The record's text when it has one, else the default.
CString Override(const CString& strDefault, const CString& strReplacement)
{
    return strReplacement.IsEmpty() ? strDefault : strReplacement;
}

struct CTextHeight {
    int nText;  // all lines, wrapped
    int nLine;
};

// The height text takes when it wraps as a left-aligned static control wraps
// it, in the control's own font.
CTextHeight WrappedTextHeight(const CWnd& control, const CString& text, int nWidth)
{
    CClientDC dc(const_cast<CWnd*>(&control));
    const HGDIOBJ hOldFont = ::SelectObject(dc, reinterpret_cast<HFONT>(control.SendMessage(WM_GETFONT)));
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(dc, &metrics);
    RECT rc = {0, 0, nWidth, 0};
    ::DrawTextW(dc, text, text.GetLength(), &rc, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
    ::SelectObject(dc, hOldFont);
    return {rc.bottom - rc.top, metrics.tmHeight};
}

} // namespace

CDlgUpdateStatus::CDlgUpdateStatus(CUpdateManager* pManager, UINT nUpgradeMessage, CWnd* pParent)
    : CDialog(IDD_UPDATE_STATUS, pParent), m_pManager(pManager), m_nUpgradeMessage(nUpgradeMessage)
{
}

CDlgUpdateStatus::~CDlgUpdateStatus() = default;

void CDlgUpdateStatus::SetAutoMode(BOOL bAutoMode)
{
    m_bAutoMode = bAutoMode;
}

void CDlgUpdateStatus::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESS, m_ctlProgress);
    DDX_Control(pDX, IDC_BROWSER, m_ctlBrowser);
}

BOOL CDlgUpdateStatus::OnInitDialog()
{
    CDialog::OnInitDialog();

    if (m_bAutoMode) {
        // Out of sight: the modal loop still shows a hidden template once,
        // and then it shows off the screen.
        RECT rc = {};
        GetWindowRect(&rc);
        MoveWindow(-(rc.right - rc.left), 0, rc.right - rc.left, rc.bottom - rc.top);
        ModifyStyle(WS_VISIBLE, 0);
        ShowWindow(SW_HIDE);
    }

    ListenToBrowser(TRUE);
    TranslateTemplateTexts();
    if (m_pManager) {
        m_pManager->SetEventSink(this);
        ApplyRecordTexts(*m_pManager);
    }
    FitStatusToText();

    SetTimer(kCheckTimer, kCheckDelayMs);

    // A shared icon of the module: nothing to free.
    HICON hIcon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDI_UPDATE));
    SetIcon(hIcon, TRUE);
    SetIcon(hIcon, FALSE);
    return TRUE;
}

void CDlgUpdateStatus::TranslateTemplateTexts()
{
    // Only a text that the translator changed is set: nothing else to redraw.
    const auto translate = [](CWnd& wnd) {
        CString text;
        wnd.GetWindowText(text);
        const CString translated = TranslateText(text, kMiscStrings);
        if (translated != text)
            wnd.SetWindowText(translated);
    };
    translate(*this);
    for (const int nID : {IDOK, IDCANCEL, IDC_STATUS_TEXT}) {
        if (CWnd* pItem = GetDlgItem(nID))
            translate(*pItem);
    }
}

void CDlgUpdateStatus::ApplyRecordTexts(CUpdateManager& manager)
{
    CString title;
    manager.GetUpdateTitle(title);
    if (!title.IsEmpty())
        SetWindowText(title);
    const CLocalUpdateInfo* pLocal = manager.GetLocalInfo();
    if (!pLocal)
        return;
    const CString checking = pLocal->ReadCheckingDesc();
    if (!checking.IsEmpty())
        SetStatusText(checking);
    ReplaceItemText(IDOK, pLocal->ReadInstallDesc());
    ReplaceItemText(IDCANCEL, pLocal->ReadCancelDesc());
}

BOOL CDlgUpdateStatus::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    switch (message) {
    case WM_TIMER:
        OnTimer(wParam);
        return FALSE;  // default processing follows
    case WM_PAINT:
        OnPaint();
        *pResult = 0;
        return TRUE;
    case WM_DESTROY:
        WithdrawAsEventSink();
        ListenToBrowser(FALSE);
        break;
    default:
        if (m_nUpgradeMessage != 0 && message == m_nUpgradeMessage) {
            *pResult = OnUpgradeMessage(wParam, lParam);
            return TRUE;
        }
        break;
    }
    return CDialog::OnWndMsg(message, wParam, lParam, pResult);
}

void CDlgUpdateStatus::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != kCheckTimer || m_stage != Stage::Opened)
        return;
    KillTimer(kCheckTimer);
    RunCheck();
}

void CDlgUpdateStatus::RunCheck()
{
    if (IsSilent() || m_bAutoMode)
        ShowWindow(SW_HIDE);
    CUpdateManager* pManager = m_pManager;
    if (!pManager) {
        m_hrResult = E_FAIL;
        EndDialog(IDCANCEL);
        return;
    }

    m_stage = Stage::Checking;
    const HRESULT hr = pManager->CheckUpdate(m_pCmdLine);
    m_stage = Stage::Checked;

    if (hr == S_OK && !pManager->m_bProOffer)
        ShowOffer(*pManager, hr);
    else
        ShowNoOffer(*pManager, hr);
}

void CDlgUpdateStatus::ShowOffer(CUpdateManager& manager, HRESULT hr)
{
    if (m_bAutoMode) {
        m_bAutoMode = 0;
        CenterWindow();
    }
    ShowWindow(SW_SHOW);
    EnableItem(IDOK, TRUE);
    m_ctlProgress.ShowWindow(SW_SHOW);

    const CLocalUpdateInfo* pLocal = manager.GetLocalInfo();
    CString text = Override(LoadLocalString(IDS_NEW_VERSION_FOUND), pLocal ? pLocal->ReadCheckSucceededDesc() : CString());
    CString version;
    manager.GetUpdateVersion(version);
    text = ReplaceVersionPlaceholder(text, version);
    text += HostClosingNotice();
    SetStatusText(text);

    CString description;
    manager.GetUpdateDescription(description);
    SetNewsText(description);
    ShowNewsPage(&manager, description);
    m_hrResult = hr;
    // The launcher's second round after a delta it could not apply: the person
    // pressed Install already and is not asked again.
    if (m_pCmdLine && m_pCmdLine->m_bFullPackage)
        StartInstall();
}

void CDlgUpdateStatus::ShowNoOffer(CUpdateManager& manager, HRESULT hr)
{
    if (m_bAutoMode) {
        m_hrResult = E_ABORT;
        EndDialog(IDCANCEL);
        return;
    }
    EnableItem(IDOK, FALSE);

    // A refused description is told as what it is: "nothing new", even in the
    // record's own words, would let whoever stripped a signature hide every update.
    const bool bRefused = hr == kDescriptionRefused;
    CString text = LoadLocalString(bRefused ? IDS_DESCRIPTION_REFUSED : IDS_NO_UPDATE_FOUND);
    const CLocalUpdateInfo* pLocal = manager.GetLocalInfo();
    if (pLocal && !bRefused) {
        const CString alternative =
            manager.m_bProOffer ? Override(LoadLocalString(IDS_UPGRADE_PROFESSION), pLocal->ReadUpgradeProfessionDesc())
                                : pLocal->ReadCheckFailedDesc();
        text = Override(text, alternative);
    }
    SetStatusText(text);

    if (IsSilent()) {
        // Out of sight, but the caller still learns of the refusal.
        if (bRefused)
            m_hrResult = hr;
        EndDialog(0);
        return;
    }
    ShowNewsPage(&manager, CString());
    m_hrResult = hr;
}

CString CDlgUpdateStatus::HostClosingNotice() const
{
    if (!m_pCmdLine || m_pCmdLine->m_dwProcessId == 0)
        return CString();
    // The name is read from the process's own memory: query and read, nothing more.
    CHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, m_pCmdLine->m_dwProcessId));
    if (!process)
        return CString();
    wchar_t name[MAX_PATH] = {};
    ::GetModuleBaseNameW(process.Get(), nullptr, name, MAX_PATH);
    return L"\n" + FormatWithOneString(LoadLocalString(IDS_PROGRAM_QUITS), name);
}

int CDlgUpdateStatus::OnUpdateEvent(int nKind, int nParam1, int nParam2, int nParam3)
{
    const bool bRangeEvent = nKind == kEventDownload && nParam1 == kEventRange;
    if (bRangeEvent) {
        EnableItem(IDOK, FALSE);
        m_ctlProgress.SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(nParam2), static_cast<LPARAM>(nParam3));
        // Read once a download: the record does not change while it runs.
        m_strDownloadLabel = DownloadLabel();
        m_strDownloadPattern = LoadLocalString(IDS_DOWNLOAD_PROGRESS);
        m_progressPace.Reset();
        // The sender does not consult the answer to the range event: a cancel
        // seen there is kept for the next event, or the download would go on.
        PumpMessages();
        return m_bCancelRequested;
    }
    if (nKind == kEventDownload && m_progressPace.ShouldShow(nParam1, nParam2, ::GetTickCount())) {
        EnableItem(IDOK, FALSE);
        m_ctlProgress.SendMessage(PBM_SETPOS, static_cast<WPARAM>(nParam1));
        // A package over 2 GiB arrives counted in units of 2^nParam3 bytes.
        SetStatusText(DownloadStatusText(m_strDownloadPattern, m_strDownloadLabel,
                                         FormatByteSize(ProgressBytes(nParam1, nParam3)),
                                         FormatByteSize(ProgressBytes(nParam2, nParam3))));
    }
    const BOOL bCancel = CheckCancel();
    if (bCancel)
        m_hrResult = E_ABORT;
    return bCancel;
}

CString CDlgUpdateStatus::DownloadLabel() const
{
    CUpdateManager* pManager = m_pManager;
    const CLocalUpdateInfo* pLocal = pManager ? pManager->GetLocalInfo() : nullptr;
    return Override(LoadLocalString(IDS_DOWNLOADING), pLocal ? pLocal->ReadDownloadingDesc() : CString());
}

void CDlgUpdateStatus::OnOK()
{
    CUpdateManager* pManager = m_pManager;
    // Neither inside the check nor inside a running install: the pump of
    // their events would start the install step within them.
    if (!pManager || m_stage == Stage::Checking || m_stage == Stage::Installing)
        return;
    m_stage = Stage::Installing;
    // Nothing more to press while the package's request is on its way.
    EnableItem(IDOK, FALSE);
    m_hrResult = pManager->DoUpdate();
    m_stage = Stage::Checked;
    CDialog::OnOK();
}

void CDlgUpdateStatus::OnCancel()
{
    m_bCancelRequested = 1;
    // Closing the dialog that tells of a refused description cancels nothing.
    if (m_hrResult != kDescriptionRefused)
        m_hrResult = E_ABORT;
    DeleteFetchedDescription();
    EndDialog(IDCANCEL);
}

LRESULT CDlgUpdateStatus::OnUpgradeMessage(WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    if (m_stage == Stage::Checking || m_stage == Stage::Installing)
        return 0;
    m_ctlProgress.ShowWindow(SW_SHOW);
    StartInstall();
    return 0;
}

void CDlgUpdateStatus::OnPaint()
{
    if (m_bAutoMode && IsWindowVisible())
        ShowWindow(SW_HIDE);
    CPaintDC dc(this);
}

void CDlgUpdateStatus::SetStatusText(LPCWSTR pszText)
{
    CWnd* pStatus = GetDlgItem(IDC_STATUS_TEXT);
    if (!pStatus)
        return;
    CString current;
    pStatus->GetWindowText(current);
    if (current == pszText)
        return;
    pStatus->SetWindowText(pszText);
    FitStatusToText();
}

void CDlgUpdateStatus::FitStatusToText()
{
    CWnd* pStatus = GetDlgItem(IDC_STATUS_TEXT);
    if (!pStatus)
        return;
    const RECT rcStatus = ItemRect(*pStatus);
    CString text;
    pStatus->GetWindowText(text);
    const CTextHeight height = WrappedTextHeight(*pStatus, text, rcStatus.right - rcStatus.left);
    const int nGrowth = std::min(height.nText, kMaxStatusLines * height.nLine) - (rcStatus.bottom - rcStatus.top);
    // The line only grows: a shorter text later, such as the download line,
    // leaves the controls where the person has seen them.
    if (nGrowth <= 0)
        return;
    RECT rcDialog = {};
    GetWindowRect(&rcDialog);
    rcDialog.bottom += nGrowth;
    MoveWindow(&rcDialog);
    // Whatever lies under the line moves down with its bottom edge.
    for (HWND hItem = ::GetWindow(m_hWnd, GW_CHILD); hItem; hItem = ::GetWindow(hItem, GW_HWNDNEXT)) {
        RECT rc = {};
        ::GetWindowRect(hItem, &rc);
        ScreenToClient(&rc);
        if (rc.top >= rcStatus.bottom) {
            ::SetWindowPos(hItem, nullptr, rc.left, rc.top + nGrowth, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    RECT rcGrown = rcStatus;
    rcGrown.bottom += nGrowth;
    pStatus->MoveWindow(&rcGrown);
}

RECT CDlgUpdateStatus::ItemRect(const CWnd& item) const
{
    RECT rc = {};
    item.GetWindowRect(&rc);
    ScreenToClient(&rc);
    return rc;
}

void CDlgUpdateStatus::SetNewsText(LPCWSTR pszText)
{
    if (CWnd* pNews = GetDlgItem(IDC_NEWS_TEXT))
        pNews->SetWindowText(pszText);
}

void CDlgUpdateStatus::PumpMessages()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // The quit belongs to the thread's outer loop; the work stops for it.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            m_bCancelRequested = 1;
            return;
        }
        if (!PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

BOOL CDlgUpdateStatus::CheckCancel()
{
    PumpMessages();
    const BOOL bCancel = m_bCancelRequested;
    m_bCancelRequested = 0;
    return bCancel;
}

void CDlgUpdateStatus::StartInstall()
{
    CUpdateManager* pManager = m_pManager;
    if (!pManager)
        return;
    pManager->ReadEdition();
    OnOK();
}

void CDlgUpdateStatus::ReplaceItemText(int nID, const CString& strText)
{
    CWnd* pItem = GetDlgItem(nID);
    if (pItem && !strText.IsEmpty())
        pItem->SetWindowText(strText);
}

void CDlgUpdateStatus::EnableItem(int nID, BOOL bEnable)
{
    if (CWnd* pItem = GetDlgItem(nID))
        pItem->EnableWindow(bEnable);
}

bool CDlgUpdateStatus::IsSilent() const
{
    return m_pCmdLine && m_pCmdLine->m_bSilent;
}

void CDlgUpdateStatus::WithdrawAsEventSink()
{
    CUpdateManager* pManager = m_pManager;
    if (pManager && pManager->EventSink() == this)
        pManager->SetEventSink(nullptr);
}
