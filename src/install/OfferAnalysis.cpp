#include "install/OfferAnalysis.h"

#include "description/LocalUpdateInfo.h"
#include "description/RemoteUpdateInfo.h"
#include "description/VersionNumber.h"
#include "framework/AfxUserEffects.h"
#include "framework/AfxWin.h"
#include "install/DescriptionSafety.h"
#include "install/DownloadWait.h"
#include "install/FileManager.h"
#include "manager/UpdateEventSink.h"
#include "net/FileDownloadHttp.h"

EOfferVerdict JudgeOffer(const COfferFacts& facts)
{
    const bool bNewerPack = facts.nInstalledPack < facts.nOfferedPack;
    if (facts.strInstalledVersion == facts.strOfferedVersion && !bNewerPack)
        return EOfferVerdict::NotNewer;
    const CVersionNumber installed = ParseVersion(facts.strInstalledVersion);
    const CVersionNumber offered = ParseVersion(facts.strOfferedVersion);
    if (installed.IsGreaterThan(offered))
        return EOfferVerdict::NotNewer;
    if (installed.IsLessThan(offered)) {
        if (!bNewerPack)
            return EOfferVerdict::NotNewer;
        if (facts.nCanUpdate == 0)
            return EOfferVerdict::Elsewhere;
    }
    const CVersionNumber minimum = ParseVersion(facts.strValidVersion);
    if (!minimum.IsZero() && installed.IsLessThan(minimum))
        return EOfferVerdict::TooOld;
    return EOfferVerdict::Applies;
}

namespace {

void ShowTipsAndDownloadPage(const CRemoteUpdateInfo& offered)
{
    const CString tips = offered.GetTips();
    if (tips.IsEmpty())
        return;
    AfxMessageBox(tips, MB_OK);
    // The description arrives over plain HTTP: only a web page may reach the
    // shell, never a program, a document or a share that a tampered copy names.
    if (IsWebAddress(offered.m_strDownloadURL))
        AfxGetUserEffects().OpenDocument(offered.m_strDownloadURL);
}

} // namespace

int CFileManager::Analyse(bool bForcePro)
{
    if (!m_pRemoteInfo || !m_pLocalInfo)
        return 0;
    ::OutputDebugStringW(L"CFileManager::Analyse()");
    if (m_pLocalInfo->m_strOEMClientName.IsEmpty())
        return 0;
    m_pRemoteInfo->LoadClient(m_pLocalInfo->m_strOEMClientName);
    ReadEdition();

    const bool bPro = m_bIsProUpdate != 0 || bForcePro;
    COfferFacts facts;
    facts.strInstalledVersion = m_pLocalInfo->m_strVersion;
    facts.nInstalledPack = bPro ? m_pLocalInfo->m_nServiceProPack : m_pLocalInfo->m_nServicePack;
    facts.strOfferedVersion = m_pRemoteInfo->m_strVersion;
    facts.nOfferedPack = bPro ? m_pRemoteInfo->m_nServiceProPack : m_pRemoteInfo->m_nServicePack;
    facts.nCanUpdate = m_pRemoteInfo->m_nCanUpdate;
    facts.strValidVersion = m_pRemoteInfo->m_strValidVersion;

    switch (JudgeOffer(facts)) {
    case EOfferVerdict::NotNewer:
        return 0;
    case EOfferVerdict::Elsewhere:
        ShowTipsAndDownloadPage(*m_pRemoteInfo);
        return 0;
    case EOfferVerdict::TooOld:
        AfxMessageBox(m_pRemoteInfo->GetTips(), MB_OK);
        return 0;
    case EOfferVerdict::Applies:
        break;
    }
    m_pLocalInfo->WriteUpdate(m_pRemoteInfo);
    return 1;
}

void CFileManager::GetUpdateDescription(CString& out)
{
    if (m_pRemoteInfo) {
        out = m_pRemoteInfo->m_strUpdateInfo;
        if (out.IsEmpty())
            out = m_pRemoteInfo->GetShortDesc() + L"\r\n" + m_pRemoteInfo->GetLongDesc();
    } else if (m_pLocalInfo) {
        out = m_pLocalInfo->ReadUpdateInfo();
    }
}

void CFileManager::GetUpdateTitle(CString& out)
{
    if (!m_pLocalInfo)
        LoadLocalInfo();
    if (m_pLocalInfo)
        out = m_pLocalInfo->ReadUpdateTitle();
}

void CFileManager::GetUpdateVersion(CString& out)
{
    if (m_pRemoteInfo)
        out = m_pRemoteInfo->m_strVersion;
    else if (m_pLocalInfo)
        out = m_pLocalInfo->ReadUpdateVersion();
}

HRESULT CFileManager::DownloadPackage()
{
    wchar_t path[MAX_PATH] = {};
    GetUpdatePath(path, L"update.cab");
    if (!m_pRemoteInfo)
        return E_INVALIDARG;
    const bool bPro = m_bIsProUpdate != 0;
    const CString url = m_pRemoteInfo->GetPackageURL(bPro);
    const int nSize = m_pRemoteInfo->ReadClientInt(bPro ? L"ProCABFileSize" : L"CABFileSize");
    if (url.IsEmpty())
        return E_INVALIDARG;

    CFileDownloadHttp download;
    const HRESULT hr = download.Download(url, path);
    if (FAILED(hr))
        return hr;
    if (m_pEventSink)
        m_pEventSink->OnUpdateEvent(2, -1, 0, nSize);
    return WaitForDownload(download, [&] {
        const LONG nReceived = download.GetReceived();
        return m_pEventSink && m_pEventSink->OnUpdateEvent(2, nReceived, nSize, 0) != 0;
    });
}
