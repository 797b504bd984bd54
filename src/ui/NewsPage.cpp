// The purchase page under the news box of the status dialog.
#include "description/LocalUpdateInfo.h"
#include "manager/UpdateManager.h"
#include "resources/resource.h"
#include "ui/DlgUpdateStatus.h"

void CDlgUpdateStatus::ShowNewsPage(CUpdateManager* pManager, const CString& /*strText*/)
{
    if (!pManager || !GetDlgItem(IDC_NEWS_TEXT))
        return;
    const CLocalUpdateInfo* pLocal = pManager->GetLocalInfo();
    if (!pLocal)
        return;
    const CString page = pLocal->ReadPurchasePage();
    const CString web = pLocal->ReadPurchasePageWeb();
    if (page.IsEmpty() && web.IsEmpty())
        return;
}
