// The update's files on disk: the installed record, the offered description,
// the update folder and the edition flag. The operations are implemented by
// topic: FileManager.cpp (core), RemoteInfoFetch.cpp, OfferAnalysis.cpp,
// PackageInstall.cpp, SettingsItems.cpp.
#pragma once

#include "description/LocalUpdateInfo.h"
#include "description/RemoteUpdateInfo.h"
#include "framework/AfxString.h"
#include "install/OfferAnalysis.h"

#include <memory>
#include <vector>

class IUpdateEventSink;

class CFileManager {
public:
    CFileManager() = default;
    virtual ~CFileManager() = default;
    CFileManager(const CFileManager&) = delete;
    CFileManager& operator=(const CFileManager&) = delete;

    // Core.
    // The file's path in the update folder, which is made on the way unless
    // the caller only looks (bCreateFolder FALSE).
    static void GetUpdatePath(LPWSTR pszBuffer /* MAX_PATH */, LPCWSTR pszName, BOOL bCreateFolder = TRUE);
    // "update" in the folder of the library's module: the record, the description and the package.
    static CString UpdateFolder();
    void ReadEdition();
    // "IsProUpdate" of [Config] in the host's "Ambrel.ini" as it is now: nonzero
    // for the professional edition.
    static BOOL ReadEditionFlag();
    static std::vector<CString> SplitString(const CString& text, LPCWSTR pszSeparator);
    CLocalUpdateInfo* LoadLocalInfo();

    // With a publisher key in the installed record, only a description signed
    // with it is acted on: TrustDescription deletes one that is not
    // (DescriptionTrust.cpp).
    bool HasPublisherKey();
    bool TrustDescription(LPCWSTR pszPath);

    // The description fetch, which fails after kDescriptionDeadlineMs.
    CRemoteUpdateInfo* FetchRemoteInfo(LPCWSTR pszUrl);
    static constexpr DWORD kDescriptionDeadlineMs = 60000;

    // Offer analysis and package fetch. Analyse judges and carries out what
    // the verdict asks (JudgeOffered, then CarryOut); 1 when the offer applies.
    int Analyse(bool bForcePro);
    // The verdict alone: reads the offer's client section and the edition, shows nothing.
    EOfferVerdict JudgeOffered(bool bForcePro);
    COfferEffects EffectsOf(EOfferVerdict verdict) const;
    // The one place where an offer's message box, browser launch and record write happen.
    void CarryOut(const COfferEffects& effects);
    HRESULT DownloadPackage();
    void GetUpdateDescription(CString& out);
    void GetUpdateTitle(CString& out);
    void GetUpdateVersion(CString& out);

    // Installation.
    int GetExtractArgs(CString& out);
    HRESULT CompleteUpdate();

    // Settings items.
    void ApplyIniItems();

    // Owned, possibly null; a new record replaces the old one.
    std::unique_ptr<CLocalUpdateInfo> m_pLocalInfo;
    std::unique_ptr<CRemoteUpdateInfo> m_pRemoteInfo;
    IUpdateEventSink* m_pEventSink = nullptr;
    BOOL m_bIsProUpdate = 0;
};
