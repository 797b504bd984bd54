#include "framework/AfxString.h"


#include <algorithm>
#include <climits>
#include <cwchar>
#include <cwctype>
#include <vector>

int CString::CompareNoCase(LPCWSTR psz) const
{
    return ::lstrcmpiW(m_str.c_str(), psz ? psz : L"");
}

void CString::Format(LPCWSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::FormatV(LPCWSTR pszFormat, va_list args)
{
    // _vsnwprintf keeps the platform's meaning of %s (a wide string) whatever
    // the C library's standard mode says; it reports -1 while the buffer is short.
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const int n = ::_vsnwprintf(buffer.data(), buffer.size(), pszFormat, copy);
        va_end(copy);
        if (n >= 0 && static_cast<size_t>(n) < buffer.size()) {
            m_str.assign(buffer.data(), static_cast<size_t>(n));
            return;
        }
        buffer.resize(buffer.size() * 2);
    }
}

int CString::Replace(LPCWSTR pszOld, LPCWSTR pszNew)
{
    const std::wstring from(pszOld ? pszOld : L"");
    const std::wstring to(pszNew ? pszNew : L"");
    if (from.empty())
        return 0;
    int count = 0;
    for (size_t pos = m_str.find(from); pos != std::wstring::npos; pos = m_str.find(from, pos + to.size())) {
        m_str.replace(pos, from.size(), to);
        ++count;
    }
    return count;
}

int CString::Replace(wchar_t chOld, wchar_t chNew)
{
    int count = 0;
    for (wchar_t& ch : m_str) {
        if (ch == chOld) {
            ch = chNew;
            ++count;
        }
    }
    return count;
}

int CString::Find(LPCWSTR pszSub, int nStart) const
{
    if (nStart < 0 || nStart > GetLength())
        return -1;
    const size_t pos = m_str.find(pszSub ? pszSub : L"", static_cast<size_t>(nStart));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(wchar_t ch, int nStart) const
{
    if (nStart < 0 || nStart >= GetLength())
        return -1;
    const size_t pos = m_str.find(ch, static_cast<size_t>(nStart));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

CString CString::Left(int nCount) const
{
    if (nCount <= 0)
        return CString();
    return CString(m_str.substr(0, static_cast<size_t>(nCount)));
}

CString CString::Mid(int nFirst) const
{
    return Mid(nFirst, GetLength());
}

CString CString::Mid(int nFirst, int nCount) const
{
    if (nFirst < 0)
        nFirst = 0;
    if (nFirst >= GetLength() || nCount <= 0)
        return CString();
    return CString(m_str.substr(static_cast<size_t>(nFirst), static_cast<size_t>(nCount)));
}

CString CString::Right(int nCount) const
{
    if (nCount <= 0)
        return CString();
    if (nCount >= GetLength())
        return *this;
    return CString(m_str.substr(m_str.size() - static_cast<size_t>(nCount)));
}

CString& CString::Trim()
{
    return TrimRight().TrimLeft();
}

CString& CString::TrimLeft()
{
    size_t first = 0;
    while (first < m_str.size() && std::iswspace(m_str[first]))
        ++first;
    m_str.erase(0, first);
    return *this;
}

CString& CString::TrimRight()
{
    size_t end = m_str.size();
    while (end > 0 && std::iswspace(m_str[end - 1]))
        --end;
    m_str.erase(end);
    return *this;
}

LPWSTR CString::GetBuffer(int nMinLength)
{
    const size_t wanted = nMinLength > 0 ? static_cast<size_t>(nMinLength) : 0;
    if (m_str.size() < wanted)
        m_str.resize(wanted, L'\0');
    return &m_str[0];
}

void CString::ReleaseBuffer(int nNewLength)
{
    const size_t length = nNewLength < 0 ? std::wcslen(m_str.c_str()) : static_cast<size_t>(nNewLength);
    m_str.resize(std::min(length, m_str.size()));
}

BOOL CString::LoadString(HINSTANCE hInstance, UINT nID)
{
    // With a zero length the platform hands out a read-only pointer into the
    // resource itself, so strings of any length load whole.
    LPCWSTR pText = nullptr;
    const int n = ::LoadStringW(hInstance, nID, reinterpret_cast<LPWSTR>(&pText), 0);
    if (n <= 0 || !pText) {
        Empty();
        return FALSE;
    }
    m_str.assign(pText, static_cast<size_t>(n));
    return TRUE;
}

std::vector<CString> AfxSplitString(const CString& text, LPCWSTR pszSeparator)
{
    std::vector<CString> pieces;
    const std::wstring& s = text.Str();
    const std::wstring separator(pszSeparator ? pszSeparator : L"");
    if (separator.empty()) {
        if (!s.empty())
            pieces.push_back(text);
        return pieces;
    }
    size_t start = 0;
    for (;;) {
        const size_t found = s.find(separator, start);
        const size_t end = found == std::wstring::npos ? s.size() : found;
        if (end > start)
            pieces.push_back(text.Mid(static_cast<int>(start), static_cast<int>(end - start)));
        if (found == std::wstring::npos)
            return pieces;
        start = found + separator.size();
    }
}
