#include "net/PartialDownload.h"

#include "base/Decimal.h"
#include "base/LinkSafeFiles.h"

#include "framework/AfxHandle.h"
#include "net/HttpRequest.h"

#include <string>

namespace {

// A validator goes back to the server in a header line of its own.
bool IsHeaderValue(const CString& text)
{
    for (int i = 0; i < text.GetLength(); ++i) {
        if (text[i] < 0x20 || text[i] == 0x7F)
            return false;
    }
    return !text.IsEmpty() && text.GetLength() < 512;
}

} // namespace

CString ValidatorOf(const CHttpRequest& request)
{
    CString validator;
    // A weak ETag ("W/...") names a file that may differ byte for byte: it cannot carry a range.
    if (request.QueryHeader(HTTP_QUERY_ETAG, validator) && IsHeaderValue(validator) && validator.Find(L'W') != 0)
        return validator;
    if (request.QueryHeader(HTTP_QUERY_LAST_MODIFIED, validator) && IsHeaderValue(validator))
        return validator;
    return CString();
}

CString RangeHeaders(ULONGLONG nOffset, const CString& strValidator)
{
    CString headers;
    headers.Format(L"Range: bytes=%llu-\r\nIf-Range: %s\r\n", nOffset, strValidator.GetString());
    return headers;
}

bool ParseContentRange(std::wstring_view text, ULONGLONG& nFirst, ULONGLONG& nLast, ULONGLONG& nTotal)
{
    const std::wstring_view unit = L"bytes ";
    if (text.substr(0, unit.size()) != unit)
        return false;
    text.remove_prefix(unit.size());
    const size_t dash = text.find(L'-');
    const size_t slash = text.find(L'/');
    if (dash == std::wstring_view::npos || slash == std::wstring_view::npos || dash > slash)
        return false;
    return ParseStrictDecimal(text.substr(0, dash), nFirst) && ParseStrictDecimal(text.substr(dash + 1, slash - dash - 1), nLast) &&
           ParseStrictDecimal(text.substr(slash + 1), nTotal) && nFirst <= nLast && nLast < nTotal;
}

bool CPartialRecord::Read(LPCWSTR pszPath)
{
    wchar_t url[INTERNET_MAX_URL_LENGTH] = {};
    wchar_t validator[1024] = {};
    wchar_t total[32] = {};
    ::GetPrivateProfileStringW(L"Partial", L"Url", L"", url, ARRAYSIZE(url), pszPath);
    ::GetPrivateProfileStringW(L"Partial", L"Validator", L"", validator, ARRAYSIZE(validator), pszPath);
    ::GetPrivateProfileStringW(L"Partial", L"Total", L"", total, ARRAYSIZE(total), pszPath);
    strUrl = url;
    strValidator = validator;
    return !strUrl.IsEmpty() && IsHeaderValue(strValidator) && ParseStrictDecimal(total, nTotal) && nTotal > 0;
}

bool CPartialRecord::Write(LPCWSTR pszPath) const
{
    // The profile writer follows a link: one at this name goes first, as a link.
    if (!IsNothingOrPlainFileAt(pszPath) && !RemoveFileAt(pszPath))
        return false;
    CString total;
    total.Format(L"%llu", nTotal);
    return ::WritePrivateProfileStringW(L"Partial", L"Url", strUrl, pszPath) &&
           // Quoted once more: the profile reader takes a value's outer quotes
           // away, and an entity tag's own quotes are part of it.
           ::WritePrivateProfileStringW(L"Partial", L"Validator", L"\"" + strValidator + L"\"", pszPath) &&
           ::WritePrivateProfileStringW(L"Partial", L"Total", total, pszPath);
}
