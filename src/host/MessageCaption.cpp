#include "host/MessageCaption.h"

#include "base/UpdateLayout.h"

#include "description/LocalUpdateInfo.h"
#include "framework/AfxWin.h"
#include "host/UpdateApp.h"
#include "install/UpdateFolder.h"
#include "manager/UpdateManager.h"

#include <shlwapi.h>

CString InstalledRecordPath()
{
    // A library kept elsewhere finds its own record in its update folder.
    const CString hostLog(UpdateFileIn(AfxGetModuleFolder(nullptr).Str(), kRecordFileName));
    if (::PathFileExistsW(hostLog))
        return hostLog;
    return UpdateFilePath(kRecordFileName, FALSE);
}

CString MessageCaption(const CString& strAppName)
{
    CUpdateManager* pManager = theApp.m_pUpdateManager;
    const CLocalUpdateInfo* pLocal = pManager ? pManager->GetLocalInfo() : nullptr;
    const CString title = pLocal ? pLocal->ReadUpdateTitle() : CUpdateInfo(InstalledRecordPath()).ReadUpdateTitle();
    return title.IsEmpty() ? strAppName : title;
}
