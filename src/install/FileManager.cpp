#include "install/FileManager.h"

#include "base/UpdateLayout.h"
#include "base/UpdateLog.h"

#include "description/TrustRecord.h"
#include "framework/AfxTrace.h"
#include "install/DescriptionFetch.h"
#include "install/DescriptionTrust.h"
#include "install/OfferReason.h"
#include "install/PackageDownload.h"
#include "install/PackageInstall.h"
#include "install/SettingsItems.h"
#include "install/TrustFile.h"
#include "install/UpdateFolder.h"

#include <algorithm>

CString CFileManager::UpdateFolder()
{
    return UpdateFolderPath();
}

void CFileManager::GetUpdatePath(LPWSTR pszBuffer, LPCWSTR pszName, BOOL bCreateFolder)
{
    const CString path = UpdateFilePath(pszName, bCreateFolder);
    std::fill_n(pszBuffer, MAX_PATH, L'\0');
    std::copy_n(path.GetString(), std::min(path.GetLength(), MAX_PATH - 1), pszBuffer);
}

void CFileManager::ReadEdition()
{
    m_bIsProUpdate = ReadEditionFlag();
}

BOOL CFileManager::ReadEditionFlag()
{
    return ::ReadEditionFlag();
}

CLocalUpdateInfo* CFileManager::LoadLocalInfo()
{
    m_pLocalInfo.reset();
    m_pLocalInfo = std::make_unique<CLocalUpdateInfo>(UpdateFilePath(kRecordFileName));
    // The record says whether the log is wanted: read again with it.
    StartUpdateLog(UpdateFolderPath().Str(), L"library");
    return m_pLocalInfo.get();
}

bool CFileManager::PinsPublisher()
{
    if (!m_pLocalInfo)
        LoadLocalInfo();
    return m_pLocalInfo->PinsPublisher();
}

bool CFileManager::TrustDescription(LPCWSTR pszPath)
{
    if (!m_pLocalInfo)
        LoadLocalInfo();
    return TrustDescriptionFile(pszPath, *m_pLocalInfo, TrustFilePath());
}

void CFileManager::LogFetchedDescription(const CString& strPath)
{
    if (!PinsPublisher())
        UpdateLog(L"description: taken without a signature check, the record pins no PublisherKey or PublisherRoot");
    CRemoteUpdateInfo fetched(strPath);
    LoadChosenSection(fetched, *m_pLocalInfo);
    if (fetched.m_strVersion.IsEmpty())
        UpdateLog(L"description: no MajorVerson in a section [", fetched.m_strSection, L"] for this client");
}

CRemoteUpdateInfo* CFileManager::FetchRemoteInfo(LPCWSTR pszUrl, DWORD dwDeadlineMs, bool* pbRefused,
                                                 bool bTellFailure)
{
    if (pbRefused)
        *pbRefused = false;
    const CString path = UpdateFilePath(kDescriptionFileName);
    const HRESULT hr = FetchDescriptionFile(pszUrl, path, dwDeadlineMs, m_pEventSink, bTellFailure);
    if (FAILED(hr)) {
        UpdateLog(L"description: none from ", LoggedAddress(pszUrl), L": ", LoggedResult(hr));
        return nullptr;
    }
    if (IsUpdateLogOn())
        LogFetchedDescription(path);
    if (!TrustDescription(path)) {
        if (pbRefused)
            *pbRefused = true;
        return nullptr;
    }
    m_pRemoteInfo.reset();
    m_pRemoteInfo = std::make_unique<CRemoteUpdateInfo>(path);
    return m_pRemoteInfo.get();
}

EOfferVerdict CFileManager::JudgeOffered(bool bForcePro)
{
    if (!m_pRemoteInfo || !m_pLocalInfo)
        return EOfferVerdict::NotNewer;
    AfxTrace(L"CFileManager::Analyse()");
    if (m_pLocalInfo->m_strOEMClientName.IsEmpty()) {
        UpdateLog(L"offer: nothing, the record names no OEMClientName in [Files]");
        return EOfferVerdict::NotNewer;
    }
    if (!TrustDescription(m_pRemoteInfo->m_strFile))
        return EOfferVerdict::Refused;
    LoadChosenSection(*m_pRemoteInfo, *m_pLocalInfo);
    ReadEdition();
    // A release held back from this installation is not offered at all: no tips, no refusal.
    if (!RolloutReachesInstallation(ReadRollout(*m_pRemoteInfo), m_checkKind, TrustFilePath())) {
        UpdateLog(L"offer: held back from this installation by the description's rollout");
        return EOfferVerdict::NotNewer;
    }
    const bool bProfessional = m_bIsProUpdate != 0 || bForcePro;
    const EOfferVerdict verdict = JudgeOfferFor(*m_pLocalInfo, *m_pRemoteInfo, bProfessional);
    UpdateLog(bProfessional ? L"offer (professional edition): " : L"offer (standard edition): ",
              OfferVerdictReason(OfferFactsOf(*m_pLocalInfo, *m_pRemoteInfo, bProfessional), verdict));
    return verdict;
}

COfferEffects CFileManager::EffectsOf(EOfferVerdict verdict) const
{
    return EffectsOfVerdict(verdict, m_pRemoteInfo && !m_pRemoteInfo->GetTips().IsEmpty());
}

void CFileManager::CarryOut(const COfferEffects& effects)
{
    if (m_pRemoteInfo && m_pLocalInfo)
        CarryOutOffer(effects, *m_pRemoteInfo, *m_pLocalInfo);
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
    const CString path = UpdateFilePath(kPackageFileName);
    if (!m_pRemoteInfo)
        return E_INVALIDARG;
    const bool bProfessional = m_bIsProUpdate != 0;
    const PackageKind kind =
        m_pLocalInfo ? ChoosePackageKind(*m_pRemoteInfo, bProfessional, m_pLocalInfo->m_strVersion, m_bAppliesDeltas)
                     : PackageKind::Full;
    return DownloadOfferedPackage(*m_pRemoteInfo, bProfessional, kind, PinsPublisher(), path, m_pEventSink);
}

ExtractionTarget CFileManager::PreparedExtraction() const
{
    return ::PreparedExtraction();
}

HRESULT CFileManager::CompleteUpdate()
{
    LoadLocalInfo();
    m_pRemoteInfo.reset();
    m_pRemoteInfo = std::make_unique<CRemoteUpdateInfo>(UpdateFilePath(kDescriptionFileName));
    ReadEdition();
    const HRESULT hr = CompleteInstalledUpdate(*m_pLocalInfo, *m_pRemoteInfo, m_bIsProUpdate);
    if (hr == S_OK) {
        m_pLocalInfo.reset();
        m_pRemoteInfo.reset();
    }
    return hr;
}

void CFileManager::ApplyIniItems()
{
    if (m_pRemoteInfo && TrustDescription(m_pRemoteInfo->m_strFile))
        ApplySettingsItems(*m_pRemoteInfo);
}
