// The modal dialog through which an interactive or automatic update runs: it
// checks 200 ms after it opens, shows the verdict and the news, installs on
// Install, and receives the manager's progress as its event sink. Under the
// news it shows the purchase page and hears the page's browser (NewsPage.cpp).
#pragma once

#include "framework/AfxBrowserEvents.h"
#include "framework/AfxCtrl.h"
#include "framework/AfxDialog.h"
#include "manager/UpdateEventSink.h"
#include "ui/Iexplorer.h"
#include "ui/ProgressPace.h"

class CCommandLineUpdate;
class CUpdateManager;

class CDlgUpdateStatus : public CDialog, public IUpdateEventSink, public IBrowserEvents {
public:
    // The manager whose check and install the dialog runs (borrowed; null
    // ends the dialog at its check with E_FAIL), and the registered upgrade
    // message that the host hears from an upgrade link and may hand back.
    CDlgUpdateStatus(CUpdateManager* pManager, UINT nUpgradeMessage, CWnd* pParent = nullptr);
    ~CDlgUpdateStatus() override;

    // Automatic mode: the dialog stays out of sight unless an update is offered.
    void SetAutoMode(BOOL bAutoMode);

    // Keeps the dialog alive while the manager works, shows the package
    // download (at the pace of CProgressPace), and answers whether the user
    // has cancelled.
    int OnUpdateEvent(int nKind, int nParam1, int nParam2, int nParam3) override;

    // Sets the status line only when the text differs, so that progress does
    // not flicker; the line grows to show each line of its text.
    void SetStatusText(LPCWSTR pszText);
    void SetNewsText(LPCWSTR pszText);
    // Handles every message waiting in the thread's queue.
    void PumpMessages();
    // Pumps, then returns the cancellation request and clears it.
    BOOL CheckCancel();
    // Re-reads the edition, then installs as Install does.
    void StartInstall();
    // The purchase page under the news box, which takes the height of strText.
    void ShowNewsPage(CUpdateManager* pManager, const CString& strText);

    // The purchase page's browser: every navigation goes ahead; an upgrade
    // link opens no window and reaches the host instead.
    void OnBeforeNavigate2(IDispatch* pDisp, VARIANT* pvarUrl, VARIANT* pvarFlags, VARIANT* pvarTargetFrameName,
                           VARIANT* pvarPostData, VARIANT* pvarHeaders, VARIANT_BOOL* pbCancel) override;
    void OnNewWindow2(IDispatch** ppDisp, VARIANT_BOOL* pbCancel) override;

    CProgressCtrl m_ctlProgress;
    BOOL m_bCancelRequested = 0;
    BOOL m_bAutoMode = 0;
    CIexplorer m_ctlBrowser;
    CCommandLineUpdate* m_pCmdLine = nullptr;  // borrowed
    HRESULT m_hrResult = S_OK;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

    void OnTimer(UINT_PTR nIDEvent);
    LRESULT OnUpgradeMessage(WPARAM wParam, LPARAM lParam);
    void OnPaint();

private:
    // Where the dialog is in its one run; the check and the install each run once
    // and never inside one another.
    enum class Stage { Opened, Checking, Checked, Installing };

    // The record's title, checking text and button captions, where it has them.
    // The template's title, buttons and status line through the translator.
    void TranslateTemplateTexts();
    void ApplyRecordTexts(CUpdateManager& manager);
    void RunCheck();
    void ShowOffer(CUpdateManager& manager, HRESULT hr);
    void ShowNoOffer(CUpdateManager& manager, HRESULT hr);
    CString HostClosingNotice() const;
    CString DownloadLabel() const;
    // The control's text, unless strText is empty.
    void ReplaceItemText(int nID, const CString& strText);
    void EnableItem(int nID, BOOL bEnable);
    // The status line as tall as its text, the dialog and what lies under it
    // moved down by as much.
    void FitStatusToText();
    // An item's window rectangle in the dialog's client coordinates.
    RECT ItemRect(const CWnd& item) const;
    bool IsSilent() const;
    void WithdrawAsEventSink();
    // Becomes, and stops being, the receiver of the browser's events.
    void ListenToBrowser(BOOL bListen);
    // The news box, the browser and the buttons one under the other.
    void ArrangeNewsPage(CWnd& news, const CString& strText, int nDeclaredHeight, int nConfiguredHeight);

    CUpdateManager* m_pManager;
    UINT m_nUpgradeMessage;
    Stage m_stage = Stage::Opened;
    CString m_strDownloadLabel;
    CString m_strDownloadPattern;
    CProgressPace m_progressPace;
};
