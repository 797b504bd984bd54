// Downloading the offered package, held to what the description promises:
// its size, and its digest when it names one (always under a pinned key or root).
#pragma once

#include "framework/AfxString.h"

#include <windows.h>

class CRemoteUpdateInfo;
class IUpdateEventSink;

// Downloads the edition's package into pszPath, telling the sink of its
// progress: S_OK; E_INVALIDARG without an address; TRUST_E_BAD_DIGEST for a
// garbled digest or a package that does not match it; TRUST_E_NOSIGNATURE
// for no digest under a pin (bPinned); E_ABORT when the sink asked to stop;
// else the transfer's failure.
// Why the package was not had, in words for the update log.
CString PackageFailureReason(HRESULT hr);

HRESULT DownloadOfferedPackage(const CRemoteUpdateInfo& offered, bool bProfessional, bool bPinned,
                               LPCWSTR pszPath, IUpdateEventSink* pSink);
