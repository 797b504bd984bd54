// The update's state in files: the installed record, the offered description
// and the host's edition, and the steps that act on them. Each step is the
// work of a room of its own (the update folder, the description's fetch and
// trust, the offer's judgement, the package download, the installation, the
// settings items); this class holds what they share and hands it to them.
#pragma once

#include "base/ExtractionCommand.h"

#include "description/LocalUpdateInfo.h"
#include "description/ReleaseControl.h"
#include "description/RemoteUpdateInfo.h"
#include "framework/AfxString.h"
#include "install/OfferAnalysis.h"

#include <memory>

class IUpdateEventSink;

class CFileManager {
public:
    CFileManager() = default;
    virtual ~CFileManager() = default;
    CFileManager(const CFileManager&) = delete;
    CFileManager& operator=(const CFileManager&) = delete;

    // The receiver of progress and of the user's stop; null for none.
    void SetEventSink(IUpdateEventSink* pSink) { m_pEventSink = pSink; }
    IUpdateEventSink* EventSink() const { return m_pEventSink; }

    // The file's path in the update folder (UpdateFolder.h), into a MAX_PATH buffer.
    static void GetUpdatePath(LPWSTR pszBuffer /* MAX_PATH */, LPCWSTR pszName, BOOL bCreateFolder = TRUE);
    static CString UpdateFolder();
    void ReadEdition();
    static BOOL ReadEditionFlag();
    CLocalUpdateInfo* LoadLocalInfo();

    // With a publisher key or root pinned in the installed record, only a
    // description the chain rules take is acted on (DescriptionTrust.h); one
    // that is refused is deleted.
    bool PinsPublisher();
    bool TrustDescription(LPCWSTR pszPath);

    // The description fetch, which fails after dwDeadlineMs (not 0). Null
    // when no description arrived or it was refused; *pbRefused (when given)
    // tells which.
    static constexpr DWORD kDescriptionDeadlineMs = 60000;
    // A failure is told to a person unless bTellFailure is false (they heard
    // of the same already).
    CRemoteUpdateInfo* FetchRemoteInfo(LPCWSTR pszUrl, DWORD dwDeadlineMs = kDescriptionDeadlineMs,
                                      bool* pbRefused = nullptr, bool bTellFailure = true);

    // Analyse judges and carries out what the verdict asks (JudgeOffered,
    // then CarryOut); 1 when the offer applies.
    int Analyse(bool bForcePro);
    // The verdict alone: reads the section of the record's client and channel
    // and the edition, shows nothing. Refused when the description is not
    // trusted, or when it offers a package without a valid digest under a
    // pin; NotNewer when its rollout does not reach this installation in a
    // check of m_checkKind.
    EOfferVerdict JudgeOffered(bool bForcePro);
    COfferEffects EffectsOf(EOfferVerdict verdict) const;
    void CarryOut(const COfferEffects& effects);
    void GetUpdateDescription(CString& out);
    void GetUpdateTitle(CString& out);
    void GetUpdateVersion(CString& out);

    HRESULT DownloadPackage();
    ExtractionTarget PreparedExtraction() const;
    HRESULT CompleteUpdate();
    void ApplyIniItems();

    // Owned, possibly null; a new record replaces the old one.
    std::unique_ptr<CLocalUpdateInfo> m_pLocalInfo;
    std::unique_ptr<CRemoteUpdateInfo> m_pRemoteInfo;
    BOOL m_bIsProUpdate = 0;
    // The kind of the last check, which the install's judgement repeats.
    ECheckKind m_checkKind = ECheckKind::Interactive;
    // The caller of the last check applies a delta package (the launcher does).
    bool m_bAppliesDeltas = false;

private:
    // What the log says of a description before it is judged.
    void LogFetchedDescription(const CString& strPath);

    IUpdateEventSink* m_pEventSink = nullptr;
};
