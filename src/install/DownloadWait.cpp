#include "install/DownloadWait.h"

#include "net/FileDownloadHttp.h"

#include <wininet.h>

namespace {

// About one poll a millisecond while the file arrives; a message or the end cuts the pause short.
constexpr DWORD kPollPauseMs = 1;

} // namespace

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
        download.WaitForWorker(kPollPauseMs);
    }
}
