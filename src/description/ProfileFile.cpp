#include "description/ProfileFile.h"

#include "framework/AfxHandle.h"

#include <vector>

namespace {

const int kValueBuffer = 4096;

bool IsSectionLine(const std::string& line)
{
    const size_t first = line.find_first_not_of(" \t");
    return first != std::string::npos && line[first] == '[';
}

// A scratch file that is deleted with its owner. The name is new for every
// view: the profile reader keeps recently read files, and a reused name
// written within the same clock tick could be taken for the old file.
class CScratchFile {
public:
    explicit CScratchFile(const std::wstring& text)
    {
        static volatile LONG s_nViews = 0;
        wchar_t folder[MAX_PATH] = {};
        if (!::GetTempPathW(MAX_PATH, folder))
            return;
        CString path;
        path.Format(L"%supdate-utf8-%lu-%ld.tmp", folder, ::GetCurrentProcessId(),
                    ::InterlockedIncrement(&s_nViews));
        CHandle file(::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
        if (!file)
            return;
        m_strPath = path;  // deleted from here on, whatever the write does
        const DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        DWORD written = 0;
        m_bReady = ::WriteFile(file.Get(), text.data(), size, &written, nullptr) && written == size;
    }
    ~CScratchFile()
    {
        if (!m_strPath.IsEmpty())
            ::DeleteFileW(m_strPath);
    }
    CScratchFile(const CScratchFile&) = delete;
    CScratchFile& operator=(const CScratchFile&) = delete;

    bool IsReady() const { return m_bReady; }
    LPCWSTR Path() const { return m_strPath; }

private:
    CString m_strPath;
    bool m_bReady = false;
};

bool HasUtf16Mark(const std::string& bytes)
{
    return bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0;
}

} // namespace

CString ReadProfileString(LPCWSTR pszFile, LPCWSTR pszSection, LPCWSTR pszKey)
{
    wchar_t value[kValueBuffer] = {};
    ::GetPrivateProfileStringW(pszSection, pszKey, L"", value, kValueBuffer, pszFile);
    return CString(value);
}

CString ReadUtf8ProfileString(LPCWSTR pszFile, LPCWSTR pszSection, LPCWSTR pszKey)
{
    // The reader decodes a file without a byte-order mark in the ANSI code
    // page, which under a multi-byte code page such as 936 loses characters
    // (and the "+" after them) before the value reaches us. A UTF-16 view of
    // the file, decoded as UTF-8 beforehand, reaches the reader intact.
    std::string bytes;
    if (!ReadFileBytes(pszFile, kMaxDescriptionBytes, bytes) || bytes.empty())
        return CString();
    // A UTF-16 file reaches the reader intact as it is; read as UTF-8 it would be noise.
    if (HasUtf16Mark(bytes))
        return ReadProfileString(pszFile, pszSection, pszKey);
    const CScratchFile view(MakeUtf8ProfileView(bytes));
    if (!view.IsReady())
        return CString();
    return ReadProfileString(view.Path(), pszSection, pszKey);
}

bool ReadFileBytes(LPCWSTR pszFile, size_t nMaxBytes, std::string& bytes)
{
    bytes.clear();
    CHandle file(::CreateFileW(pszFile, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !::GetFileSizeEx(file.Get(), &size) || static_cast<ULONGLONG>(size.QuadPart) > nMaxBytes)
        return false;
    std::vector<char> chunk(64 * 1024);
    DWORD read = 0;
    while (::ReadFile(file.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr) && read > 0) {
        if (bytes.size() + read > nMaxBytes)
            return false;  // grown since its size was taken
        bytes.append(chunk.data(), read);
    }
    return true;
}

CString DecodeBytes(UINT nCodePage, const std::string& bytes)
{
    if (bytes.empty())
        return CString();
    const int count = static_cast<int>(bytes.size());
    const int length = ::MultiByteToWideChar(nCodePage, 0, bytes.data(), count, nullptr, 0);
    if (length <= 0)
        return CString();
    std::wstring text(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(nCodePage, 0, bytes.data(), count, &text[0], length);
    return CString(std::move(text));
}

std::wstring MakeUtf8ProfileView(const std::string& fileBytes)
{
    static const std::string utf8Mark("\xEF\xBB\xBF");
    size_t pos = fileBytes.compare(0, utf8Mark.size(), utf8Mark) == 0 ? utf8Mark.size() : 0;
    std::wstring view(1, L'\xFEFF');
    // Lines end at '\n', which neither code page uses inside a character, so
    // decoding line by line gives what decoding the whole file would.
    while (pos < fileBytes.size()) {
        const size_t newline = fileBytes.find('\n', pos);
        const size_t end = newline == std::string::npos ? fileBytes.size() : newline + 1;
        const std::string line = fileBytes.substr(pos, end - pos);
        view += DecodeBytes(IsSectionLine(line) ? CP_ACP : CP_UTF8, line).Str();
        pos = end;
    }
    return view;
}
