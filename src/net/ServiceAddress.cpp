#include "net/ServiceAddress.h"

#include "framework/AfxInet.h"

bool IsServiceAddress(LPCWSTR pszUrl)
{
    DWORD dwService = 0;
    CString server, object;
    INTERNET_PORT nPort = 0;
    return AfxParseURL(pszUrl, dwService, server, object, nPort) &&
           (dwService == AFX_INET_SERVICE_HTTP || dwService == AFX_INET_SERVICE_HTTPS);
}

CString DescriptionAddress(const CString& strReportAddress)
{
    const int nAmpersand = strReportAddress.Find(L'&');
    return nAmpersand < 0 ? strReportAddress : strReportAddress.Left(nAmpersand);
}
