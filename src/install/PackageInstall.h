// The installation's two ends in the library: what the extraction command
// unpacks where once the package is in, and the completion after the restart.
#pragma once

#include "base/ExtractionCommand.h"

#include "framework/AfxString.h"

class CLocalUpdateInfo;
class CRemoteUpdateInfo;

// The folder of the library's module and the package in its update folder.
ExtractionTarget PreparedExtraction();

// Records the offered version as installed (and, after a recall, the
// recalled version it left) and deletes what the description lists: S_OK; E_INVALIDARG when the record names no client;
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when nothing is pending (no
// description: the record must not take an empty version from a missing
// offer); kDescriptionRefused; HRESULT_FROM_WIN32(ERROR_NOT_FOUND) when it
// offers the client nothing. The description and the package go afterwards.
HRESULT CompleteInstalledUpdate(CLocalUpdateInfo& local, CRemoteUpdateInfo& offered, BOOL bProfessional);
