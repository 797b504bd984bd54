#include "install/DownloadWait.h"

#include "net/RequestWorker.h"

namespace {

// About one poll a millisecond while the file arrives; a message or the end cuts the pause short.
constexpr DWORD kPollPauseMs = 1;

} // namespace

HRESULT WaitForDownload(CRequestWorker& worker, const std::function<bool()>& askStop)
{
    for (;;) {
        // Read before the poll's event, so that the last event carries the
        // whole count: a worker that ends between the two reads cannot leave
        // the receiver with an earlier one.
        const bool bFinished = worker.IsFinished() != 0;
        if (askStop()) {
            worker.Cancel();
            return E_ABORT;
        }
        if (bFinished) {
            worker.TellPerson();
            return S_OK;
        }
        // Nothing else ends the wait after a failure when no one can cancel.
        if (worker.HasStopped()) {
            worker.TellPerson();
            return worker.GetFailure();
        }
        worker.WaitForWorker(kPollPauseMs);
    }
}
