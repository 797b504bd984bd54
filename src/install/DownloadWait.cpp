#include "install/DownloadWait.h"

#include "net/FileDownloadHttp.h"

#include <wininet.h>

HRESULT WaitForDownload(CFileDownloadHttp& download, const std::function<bool()>& askStop)
{
    for (;;) {
        if (askStop()) {
            download.Cancel();
            return E_ABORT;
        }
        if (download.IsFinished())
            return S_OK;
        // Nothing else ends the wait after a transfer error when no one can cancel.
        if (download.HasStopped())
            return download.GetFailure();
    }
}
