#include "install/DescriptionFetch.h"

#include "description/ProfileFile.h"
#include "install/DownloadWait.h"
#include "manager/UpdateEventSink.h"
#include "net/FileDownloadHttp.h"

HRESULT FetchDescriptionFile(LPCWSTR pszUrl, LPCWSTR pszPath, DWORD dwDeadlineMs, IUpdateEventSink* pSink,
                             bool bTellFailure)
{
    CFileDownloadHttp download;
    download.SetDeadline(dwDeadlineMs);
    download.SetMaxSize(kMaxDescriptionBytes);
    download.SetErrorsShown(bTellFailure);
    const HRESULT hr = download.Download(pszUrl, pszPath);
    if (FAILED(hr))
        return hr;
    return WaitForDownload(download, [pSink] { return AskStop(pSink); });
}
