// CString: the framework's wide (UTF-16) string, with value semantics.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <string>
#include <string_view>
#include <vector>

class CString {
public:
    CString() = default;
    CString(LPCWSTR psz) : m_str(psz ? psz : L"") {}
    CString(LPCWSTR pch, int nLength) : m_str(pch ? std::wstring(pch, nLength > 0 ? nLength : 0) : std::wstring()) {}
    CString(wchar_t ch, int nRepeat) : m_str(nRepeat > 0 ? nRepeat : 0, ch) {}
    explicit CString(std::wstring s) : m_str(std::move(s)) {}

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }

    // Always zero-terminated, so it can go straight to the platform.
    operator LPCWSTR() const { return m_str.c_str(); }
    LPCWSTR GetString() const { return m_str.c_str(); }
    const std::wstring& Str() const { return m_str; }

    wchar_t GetAt(int i) const { return m_str.at(static_cast<size_t>(i)); }
    wchar_t operator[](int i) const { return GetAt(i); }

    CString& operator=(LPCWSTR psz) { m_str = psz ? psz : L""; return *this; }
    CString& operator+=(const CString& s) { m_str += s.m_str; return *this; }
    CString& operator+=(LPCWSTR psz) { if (psz) m_str += psz; return *this; }
    CString& operator+=(wchar_t ch) { m_str += ch; return *this; }

    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_str + b.m_str); }
    friend CString operator+(const CString& a, LPCWSTR b) { CString r(a); r += b; return r; }
    friend CString operator+(LPCWSTR a, const CString& b) { CString r(a); r += b; return r; }
    friend CString operator+(const CString& a, wchar_t b) { CString r(a); r += b; return r; }

    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, LPCWSTR b) { return a.m_str == (b ? b : L""); }
    friend bool operator==(LPCWSTR a, const CString& b) { return b == a; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, LPCWSTR b) { return !(a == b); }
    friend bool operator!=(LPCWSTR a, const CString& b) { return !(b == a); }

    // Ordinal comparisons, like lstrcmpW/lstrcmpiW results in sign.
    int CompareNoCase(LPCWSTR psz) const;

    // printf-style with the platform's wide conventions: %s takes a wide string.
    void Format(LPCWSTR pszFormat, ...);
    void FormatV(LPCWSTR pszFormat, va_list args);

    int Replace(LPCWSTR pszOld, LPCWSTR pszNew);
    int Replace(wchar_t chOld, wchar_t chNew);
    int Find(LPCWSTR pszSub, int nStart = 0) const;
    int Find(wchar_t ch, int nStart = 0) const;

    CString Left(int nCount) const;
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;
    CString Right(int nCount) const;

    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();

    // A writable buffer of at least nMinLength characters plus its terminating zero;
    // ReleaseBuffer(-1) takes the text up to the first zero.
    LPWSTR GetBuffer(int nMinLength);
    void ReleaseBuffer(int nNewLength = -1);

    // A string of the module's string table (the resource handle's).
    BOOL LoadString(UINT nID);
    BOOL LoadString(HINSTANCE hInstance, UINT nID);

private:
    std::wstring m_str;
};

// The non-empty pieces of text between separators; the whole text, unless
// empty, when the separator is empty.
std::vector<CString> AfxSplitString(const CString& text, LPCWSTR pszSeparator);
