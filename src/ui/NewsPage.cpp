// The purchase page under the news box of the status dialog, and what the
// page's browser tells the dialog.
#include "description/LocalUpdateInfo.h"
#include "framework/AfxControlHost.h"
#include "framework/AfxDC.h"
#include "framework/AfxWin.h"
#include "manager/UpdateManager.h"
#include "resources/resource.h"
#include "ui/DlgUpdateStatus.h"
#include "ui/NewsPageLayout.h"
#include "ui/UpgradeLink.h"

#include <exdisp.h>
#include <shlwapi.h>
#include <wininet.h>

namespace {

bool IsOnline()
{
    DWORD dwFlags = 0;
    return ::InternetGetConnectedState(&dwFlags, 0) != FALSE;
}

int Height(const RECT& rc)
{
    return rc.bottom - rc.top;
}

} // namespace

void CDlgUpdateStatus::ShowNewsPage(CUpdateManager* pManager, const CString& strText)
{
    CWnd* pNews = GetDlgItem(IDC_NEWS_TEXT);
    const CLocalUpdateInfo* pLocal = pManager ? pManager->GetLocalInfo() : nullptr;
    if (!pNews || !pLocal || !m_ctlBrowser.m_hWnd)
        return;
    const CString page = pLocal->ReadPurchasePage();
    const CString web = pLocal->ReadPurchasePageWeb();
    if (page.IsEmpty() && web.IsEmpty())
        return;
    CString location;
    if (!ChoosePurchasePageLocation(page, web, IsOnline(), AfxGetModuleFolder(nullptr), location))
        return;

    VARIANT flags;
    ::VariantInit(&flags);
    flags.vt = VT_I4;
    flags.lVal = navNoHistory;
    // A failed navigation shows whatever the control shows for it.
    m_ctlBrowser.Navigate(PurchasePageAddress(location, ::GetSysColor(COLOR_BTNFACE)), &flags, nullptr, nullptr,
                          nullptr);
    m_ctlBrowser.ShowWindow(SW_SHOW);

    ArrangeNewsPage(*pNews, strText, ReadDeclaredPageHeight(location), pLocal->ReadPurchasePageHeight());
}

void CDlgUpdateStatus::ArrangeNewsPage(CWnd& news, const CString& strText, int nDeclaredHeight,
                                       int nConfiguredHeight)
{
    CWnd* pInstall = GetDlgItem(IDOK);
    CWnd* pCancel = GetDlgItem(IDCANCEL);
    if (!pInstall || !pCancel)
        return;
    int nLineHeight = 0;
    {
        // The context's own font, not the dialog's: the line height the news box is measured in.
        CClientDC dc(this);
        nLineHeight = dc.GetTextExtent(L"计算高度", 4).cy;
    }
    const RECT rcBrowser = ItemRect(m_ctlBrowser);
    const CNewsPageLayout layout =
        LayOutNewsPage(ItemRect(news), rcBrowser, ItemRect(*pInstall), ItemRect(*pCancel),
                       NewsBoxHeight(nLineHeight, strText),
                       ChooseBrowserHeight(nDeclaredHeight, nConfiguredHeight, Height(rcBrowser)));
    news.MoveWindow(&layout.rcNews);
    m_ctlBrowser.MoveWindow(&layout.rcBrowser);
    if (layout.nDialogGrowth <= 0)
        return;
    RECT rcDialog = {};
    GetWindowRect(&rcDialog);
    rcDialog.bottom += layout.nDialogGrowth;
    MoveWindow(&rcDialog);
    pInstall->MoveWindow(&layout.rcInstall);
    pCancel->MoveWindow(&layout.rcCancel);
}

void CDlgUpdateStatus::ListenToBrowser(BOOL bListen)
{
    if (m_ctlBrowser.m_hWnd)
        AfxSetBrowserEvents(m_ctlBrowser, bListen ? this : nullptr);
}

void CDlgUpdateStatus::OnBeforeNavigate2(IDispatch*, VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT_BOOL*)
{
}

void CDlgUpdateStatus::OnNewWindow2(IDispatch** /*ppDisp*/, VARIANT_BOOL* pbCancel)
{
    const CUpdateManager* pManager = m_pManager;
    const CComPtr<IDispatch> document = m_ctlBrowser.GetDocument();
    if (OnPurchasePageNewWindow(document.Get(), m_hWnd, pManager ? pManager->m_hUserProgramWnd : nullptr,
                                m_nUpgradeMessage))
        *pbCancel = VARIANT_TRUE;
}
