// Downloading the offered package, held to what the description promises:
// its size, and its digest when it names one (always under a pinned key or root).
#pragma once

#include "description/RemoteUpdateInfo.h"
#include "framework/AfxString.h"

#include <windows.h>

class IUpdateEventSink;

// Downloads the edition's package into pszPath, telling the sink of its
// progress: S_OK; E_INVALIDARG without an address; TRUST_E_BAD_DIGEST for a
// garbled digest or a package that does not match it; TRUST_E_NOSIGNATURE
// for no digest under a pin (bPinned); E_ABORT when the sink asked to stop;
// else the transfer's failure.
// Why the package was not had, in words for the update log.
CString PackageFailureReason(HRESULT hr);

HRESULT DownloadOfferedPackage(const CRemoteUpdateInfo& offered, bool bProfessional, PackageKind kind, bool bPinned,
                               LPCWSTR pszPath, IUpdateEventSink* pSink);

// The delta only for the caller that applies one (the launcher), over exactly
// the version it was made from, and when the description names where it lies;
// otherwise the full package.
PackageKind ChoosePackageKind(const CRemoteUpdateInfo& offered, bool bProfessional, const CString& installedVersion,
                              bool bAppliesDeltas);
