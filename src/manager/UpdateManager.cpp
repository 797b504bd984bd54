#include "manager/UpdateManager.h"

HRESULT CUpdateManager::CheckUpdate(CCommandLineUpdate* /*pCmd*/)
{
    return E_NOTIMPL;
}

HRESULT CUpdateManager::DoUpdate()
{
    return E_NOTIMPL;
}

HRESULT CUpdateManager::CompleteUpdate()
{
    return E_NOTIMPL;
}

void CUpdateManager::ApplyIniItems() {}

void CUpdateManager::GetUpdateDescription(CString& /*out*/) {}

void CUpdateManager::GetUpdateTitle(CString& /*out*/) {}

void CUpdateManager::GetUpdateVersion(CString& /*out*/) {}
