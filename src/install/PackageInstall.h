// The extraction command's arguments: the folder the package is unpacked into
// and the package, each quoted.
#pragma once

#include "framework/AfxString.h"

CString FormatExtractArgs(LPCWSTR pszFolder, LPCWSTR pszPackage);
