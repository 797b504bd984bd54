// The framework's address splitter over WinINet.
#pragma once

#include "framework/AfxString.h"

#include <wininet.h>

// Service types reported by AfxParseURL.
enum : DWORD {
    AFX_INET_SERVICE_FTP = INTERNET_SERVICE_FTP,
    AFX_INET_SERVICE_HTTP = INTERNET_SERVICE_HTTP,
    AFX_INET_SERVICE_UNK = 0x1000,
    AFX_INET_SERVICE_FILE = 0x1001,
    AFX_INET_SERVICE_HTTPS = 0x1007,
};

// Splits "scheme://[user[:password]@]server[:port][/object]" into its service,
// server, object (path, query and fragment; "/" when empty) and port (the
// scheme's default when none is named). FALSE when it is no such address.
BOOL AfxParseURL(LPCWSTR pszURL, DWORD& dwServiceType, CString& strServer, CString& strObject, INTERNET_PORT& nPort);
