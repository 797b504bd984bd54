// What lets a broken download go on where it stopped: the answer's validator
// (its ETag, else its Last-Modified) and the range a server sends back. A
// partial file is continued only with the bytes of the very same file.
#pragma once

#include "framework/AfxString.h"

#include <string_view>

class CHttpRequest;

// The validator of an answer, empty when it has none (then nothing is resumed).
CString ValidatorOf(const CHttpRequest& request);

// The header lines that ask for the rest of the file from nOffset on, only if
// it is still the file that strValidator names.
CString RangeHeaders(ULONGLONG nOffset, const CString& strValidator);

// "bytes first-last/total" of a 206; false for anything else (a size that is
// not known, "*", bytes out of order).
bool ParseContentRange(std::wstring_view text, ULONGLONG& nFirst, ULONGLONG& nLast, ULONGLONG& nTotal);

// The companion of a partial file: which address and which version of the
// file its bytes are of, and the file's whole size.
struct CPartialRecord {
    CString strUrl;
    CString strValidator;
    ULONGLONG nTotal = 0;

    // pszPath: the record's own file. Read is false for a missing or garbled record.
    bool Read(LPCWSTR pszPath);
    bool Write(LPCWSTR pszPath) const;
};
