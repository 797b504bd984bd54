// The update's files on disk: the installed record, the offered description,
// the update folder and the edition flag. The operations are implemented by
// topic: FileManager.cpp (core), RemoteInfoFetch.cpp, OfferAnalysis.cpp,
// PackageInstall.cpp, SettingsItems.cpp.
#pragma once

#include "framework/AfxString.h"

#include <vector>

class CLocalUpdateInfo;
class CRemoteUpdateInfo;
class IUpdateEventSink;

class CFileManager {
public:
    CFileManager() = default;
    virtual ~CFileManager();
    CFileManager(const CFileManager&) = delete;
    CFileManager& operator=(const CFileManager&) = delete;

    // Core.
    // The file's path in the update folder, which is made on the way unless
    // the caller only looks (bCreateFolder FALSE).
    static void GetUpdatePath(LPWSTR pszBuffer /* MAX_PATH */, LPCWSTR pszName, BOOL bCreateFolder = TRUE);
    void ReadEdition();
    // "IsProUpdate" of [Config] in the host's "Ambrel.ini" as it is now: nonzero
    // for the professional edition.
    static BOOL ReadEditionFlag();
    static std::vector<CString> SplitString(const CString& text, LPCWSTR pszSeparator);
    CLocalUpdateInfo* LoadLocalInfo();

    // The description fetch.
    CRemoteUpdateInfo* FetchRemoteInfo(LPCWSTR pszUrl);

    // Offer analysis and package fetch.
    int Analyse(bool bForcePro);
    HRESULT DownloadPackage();
    void GetUpdateDescription(CString& out);
    void GetUpdateTitle(CString& out);
    void GetUpdateVersion(CString& out);

    // Installation.
    int GetExtractArgs(CString& out);
    HRESULT CompleteUpdate();

    // Settings items.
    void ApplyIniItems();

    CLocalUpdateInfo* m_pLocalInfo = nullptr;
    CRemoteUpdateInfo* m_pRemoteInfo = nullptr;
    IUpdateEventSink* m_pEventSink = nullptr;
    BOOL m_bIsProUpdate = 0;
};
