#include "description/ProfileFile.h"
#include "description/RemoteUpdateInfo.h"
#include "install/DownloadWait.h"
#include "install/FileManager.h"
#include "manager/UpdateEventSink.h"
#include "net/FileDownloadHttp.h"

CRemoteUpdateInfo* CFileManager::FetchRemoteInfo(LPCWSTR pszUrl)
{
    wchar_t path[MAX_PATH] = {};
    GetUpdatePath(path, L"update.ini");
    CFileDownloadHttp download;
    // A description is small: one that takes longer comes from a server that
    // means to hold the check, which a silent caller could not cancel.
    download.SetDeadline(kDescriptionDeadlineMs);
    download.SetMaxSize(kMaxDescriptionBytes);
    if (FAILED(download.Download(pszUrl, path)))
        return nullptr;
    const HRESULT hr = WaitForDownload(download, [this] {
        return m_pEventSink && m_pEventSink->OnUpdateEvent(1, 0, 0, 0) != 0;
    });
    if (FAILED(hr) || !TrustDescription(path))
        return nullptr;
    m_pRemoteInfo.reset();
    m_pRemoteInfo = std::make_unique<CRemoteUpdateInfo>(path);
    return m_pRemoteInfo.get();
}
