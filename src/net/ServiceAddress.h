// The addresses the library downloads from.
#pragma once

#include "framework/AfxString.h"

// True for an http:// or https:// address with a server, as AfxParseURL reads
// it: a file, a share or FTP is no update service.
bool IsServiceAddress(LPCWSTR pszUrl);

// The address the description is fetched from: the report address up to its first '&'.
CString DescriptionAddress(const CString& strReportAddress);
