#include "framework/AfxInet.h"

namespace {

DWORD ServiceOfScheme(INTERNET_SCHEME scheme)
{
    switch (scheme) {
    case INTERNET_SCHEME_HTTP: return AFX_INET_SERVICE_HTTP;
    case INTERNET_SCHEME_HTTPS: return AFX_INET_SERVICE_HTTPS;
    case INTERNET_SCHEME_FTP: return AFX_INET_SERVICE_FTP;
    case INTERNET_SCHEME_FILE: return AFX_INET_SERVICE_FILE;
    default: return AFX_INET_SERVICE_UNK;
    }
}

} // namespace

BOOL AfxParseURL(LPCWSTR pszURL, DWORD& dwServiceType, CString& strServer, CString& strObject, INTERNET_PORT& nPort)
{
    dwServiceType = AFX_INET_SERVICE_UNK;
    if (!pszURL || !*pszURL)
        return FALSE;
    // Nonzero lengths with null buffers: the parts come back as pointers into the address.
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = 1;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!::InternetCrackUrlW(pszURL, 0, 0, &parts) || parts.dwSchemeLength == 0 || parts.dwHostNameLength == 0)
        return FALSE;
    dwServiceType = ServiceOfScheme(parts.nScheme);
    strServer = CString(parts.lpszHostName, static_cast<int>(parts.dwHostNameLength));
    strObject = CString(parts.lpszUrlPath, static_cast<int>(parts.dwUrlPathLength))
                + CString(parts.lpszExtraInfo, static_cast<int>(parts.dwExtraInfoLength));
    if (strObject.IsEmpty() || strObject[0] != L'/')
        strObject = L"/" + strObject;
    nPort = parts.nPort;
    return TRUE;
}
