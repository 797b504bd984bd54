// Waiting for a running download while the event sink may ask to stop.
#pragma once

#include <windows.h>

#include <functional>

class CFileDownloadHttp;

// Polls until the download has finished (S_OK), askStop returns true (the
// download is cancelled; E_ABORT) or the worker ends without finishing: the
// downloader's failure (HRESULT_FROM_WIN32(ERROR_INTERNET_CONNECTION_ABORTED)
// after a transfer error, or why its check refused the body).
// askStop runs once per poll, after the finished flag is read: the last call
// sees the final count.
HRESULT WaitForDownload(CFileDownloadHttp& download, const std::function<bool()>& askStop);
