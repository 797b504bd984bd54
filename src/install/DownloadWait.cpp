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
        // Read before the poll's event, so that the last event carries the
        // whole count: a worker that ends between the two reads cannot leave
        // the receiver with an earlier one.
        const bool bFinished = download.IsFinished() != 0;
        if (askStop()) {
            download.Cancel();
            return E_ABORT;
        }
        if (bFinished)
            return S_OK;
        // Nothing else ends the wait after a transfer error when no one can cancel.
        if (download.HasStopped())
            return download.GetFailure();
        download.WaitForWorker(kPollPauseMs);
    }
}
