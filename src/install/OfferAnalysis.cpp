#include "install/OfferAnalysis.h"

#include "description/LocalUpdateInfo.h"
#include "description/RemoteUpdateInfo.h"
#include "description/VersionNumber.h"
#include "framework/AfxTrace.h"
#include "framework/AfxUserEffects.h"
#include "framework/AfxWin.h"
#include "install/DescriptionSafety.h"
#include "install/DownloadWait.h"
#include "install/FileManager.h"
#include "install/PackageCheck.h"
#include "manager/ProgressFigures.h"
#include "manager/UpdateEventSink.h"
#include "net/FileDownloadHttp.h"
#include "verify/Sha256.h"

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

COfferEffects EffectsOfVerdict(EOfferVerdict verdict, bool bHasTips)
{
    COfferEffects effects;
    switch (verdict) {
    case EOfferVerdict::NotNewer:
        break;
    case EOfferVerdict::Elsewhere:
        effects.bShowTips = bHasTips;
        effects.bOpenDownloadPage = bHasTips;
        break;
    case EOfferVerdict::TooOld:
        effects.bShowTips = true;  // even an empty text: the user learns that nothing will come
        break;
    case EOfferVerdict::Applies:
        effects.bRecordOffer = true;
        break;
    }
    return effects;
}

COfferEffects operator|(const COfferEffects& a, const COfferEffects& b)
{
    COfferEffects effects;
    effects.bShowTips = a.bShowTips || b.bShowTips;
    effects.bOpenDownloadPage = a.bOpenDownloadPage || b.bOpenDownloadPage;
    effects.bRecordOffer = a.bRecordOffer || b.bRecordOffer;
    return effects;
}

EOfferVerdict CFileManager::JudgeOffered(bool bForcePro)
{
    if (!m_pRemoteInfo || !m_pLocalInfo)
        return EOfferVerdict::NotNewer;
    AfxTrace(L"CFileManager::Analyse()");
    if (m_pLocalInfo->m_strOEMClientName.IsEmpty())
        return EOfferVerdict::NotNewer;
    if (!TrustDescription(m_pRemoteInfo->m_strFile))
        return EOfferVerdict::NotNewer;
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
    return JudgeOffer(facts);
}

COfferEffects CFileManager::EffectsOf(EOfferVerdict verdict) const
{
    return EffectsOfVerdict(verdict, m_pRemoteInfo && !m_pRemoteInfo->GetTips().IsEmpty());
}

void CFileManager::CarryOut(const COfferEffects& effects)
{
    if (!m_pRemoteInfo || !m_pLocalInfo)
        return;
    if (effects.bShowTips)
        AfxMessageBox(m_pRemoteInfo->GetTips(), MB_OK);
    // The description can be altered on the way: only a web page may reach the
    // shell, never a program, a document or a share that a tampered copy names.
    if (effects.bOpenDownloadPage && IsWebAddress(m_pRemoteInfo->m_strDownloadURL))
        AfxGetUserEffects().OpenDocument(m_pRemoteInfo->m_strDownloadURL);
    if (effects.bRecordOffer)
        m_pLocalInfo->WriteUpdate(m_pRemoteInfo.get());
}

int CFileManager::Analyse(bool bForcePro)
{
    const EOfferVerdict verdict = JudgeOffered(bForcePro);
    CarryOut(EffectsOf(verdict));
    return verdict == EOfferVerdict::Applies ? 1 : 0;
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
    const ULONGLONG nStatedSize = m_pRemoteInfo->GetPackageSize(bPro);
    if (url.IsEmpty())
        return E_INVALIDARG;

    // A digest that is there must be one: a garbled value is no way to skip the check.
    const CString digestText = m_pRemoteInfo->GetPackageDigest(bPro);
    Sha256Digest digest = {};
    if (!digestText.IsEmpty() && !ParseSha256Hex(digestText.Str(), digest))
        return TRUST_E_BAD_DIGEST;
    // A publisher who signs names the package's digest too, or nothing is installed.
    if (digestText.IsEmpty() && HasPublisherKey())
        return TRUST_E_NOSIGNATURE;

    CPackageCheck check(digestText.IsEmpty() ? nullptr : &digest);
    CFileDownloadHttp download;
    download.SetCheck(&check);
    const HRESULT hr = download.Download(url, path);
    if (FAILED(hr))
        return hr;
    // The description's size is the total; without one, what the server announced.
    const ULONGLONG nTotal = nStatedSize != 0 ? nStatedSize : download.GetAnnouncedSize();
    if (m_pEventSink)
        m_pEventSink->OnUpdateEvent(2, -1, 0, ScaleProgress(0, nTotal).nTotal);
    return WaitForDownload(download, [&] {
        const CProgressFigures figures = ScaleProgress(download.GetReceivedBytes(), nTotal);
        return m_pEventSink && m_pEventSink->OnUpdateEvent(2, figures.nReceived, figures.nTotal, figures.nShift) != 0;
    });
}
