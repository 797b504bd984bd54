#include "TableFiles.h"

#include "LanguageChoice.h"
#include "base/Handles.h"

#include <windows.h>

namespace {

void Trace(const std::wstring& text)
{
    ::OutputDebugStringW((L"vexmod: " + text + L"\n").c_str());
}

std::wstring ProfileValue(const std::wstring& file, LPCWSTR pszKey)
{
    wchar_t value[64] = {};
    ::GetPrivateProfileStringW(L"Language", pszKey, L"", value, ARRAYSIZE(value), file.c_str());
    return value;
}

// At most one byte more than a table may hold, so that the parser can tell a
// file that is too large. False when the file cannot be opened or read.
bool ReadTableBytes(const std::wstring& path, std::string& bytes)
{
    CHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    bytes.assign(kMaxTableBytes + 1, '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), &bytes[done], static_cast<DWORD>(bytes.size() - done), &read, nullptr))
            return false;
        if (read == 0)
            break;
        done += read;
    }
    bytes.resize(done);
    return true;
}

} // namespace

std::wstring UserLanguageName()
{
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    const LCID lcid = MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT);
    if (!::LCIDToLocaleName(lcid, name, LOCALE_NAME_MAX_LENGTH, 0))
        return std::wstring();
    return name;
}

TextTable LoadTableBeside(const std::wstring& folder)
{
    const std::wstring settings = folder + L"\\vexmod.ini";
    const std::wstring user = UserLanguageName();
    for (const std::wstring& name : LanguageCandidates(ProfileValue(settings, L"Use"), user,
                                                       ProfileValue(settings, L"Fallback"))) {
        const std::wstring path = folder + L"\\vexmod." + name + L".txt";
        std::string bytes;
        if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            continue;
        TextTable table;
        TableError error;
        if (!ReadTableBytes(path, bytes)) {
            Trace(path + L": cannot be read (error " + std::to_wstring(::GetLastError()) + L"); not used");
        } else if (!ParseTextTable(bytes, table, error)) {
            Trace(path + (error.nLine ? L", line " + std::to_wstring(error.nLine) : std::wstring()) + L": " +
                  error.reason + L"; the file is not used");
        } else {
            Trace(L"the user's language is " + (user.empty() ? L"unknown" : user) + L"; texts from " + path);
            return table;
        }
    }
    Trace(L"no table for the user's language " + (user.empty() ? L"(unknown)" : user) +
          L" in " + folder + L"; the library's own texts are shown");
    return TextTable();
}
