// Fetching the update description.
#pragma once

#include <windows.h>

class IUpdateEventSink;

// Fetches the description at pszUrl into pszPath: S_OK once it is there
// whole; E_ABORT when the sink asked to stop; else the failure. A description
// is small: the work fails after dwDeadlineMs (not 0), so that a server that
// means to hold the check cannot, and beyond kMaxDescriptionBytes.
// Its failure is told to a person only with bTellFailure.
HRESULT FetchDescriptionFile(LPCWSTR pszUrl, LPCWSTR pszPath, DWORD dwDeadlineMs, IUpdateEventSink* pSink,
                             bool bTellFailure = true);
