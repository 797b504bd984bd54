// Waiting for a request's worker while the event sink may ask to stop.
#pragma once

#include <windows.h>

#include <functional>

class CRequestWorker;

// Polls until the work has finished (S_OK), askStop returns true (the work is
// cancelled; E_ABORT) or the worker ends without finishing: its failure
// (HRESULT_FROM_WIN32(ERROR_INTERNET_CONNECTION_ABORTED) after a transfer
// error, or why the answer or its check refused the body). What the worker
// kept for a person is told here, on the caller's thread, unless the wait
// was stopped. askStop runs once per poll, after the finished flag is read:
// the last call sees the final count.
HRESULT WaitForDownload(CRequestWorker& worker, const std::function<bool()>& askStop);
