#include "base/Paths.h"

#include <vector>

namespace {

int CompareIgnoringCase(std::wstring_view a, std::wstring_view b)
{
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE);
}

bool IsSeparator(wchar_t ch)
{
    return ch == L'\\' || ch == L'/';
}

} // namespace

bool EqualIgnoringCase(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size() && CompareIgnoringCase(a, b) == CSTR_EQUAL;
}

bool LessIgnoringCase(std::wstring_view a, std::wstring_view b)
{
    return CompareIgnoringCase(a, b) == CSTR_LESS_THAN;
}

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix)
{
    return text.size() >= prefix.size() && EqualIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return std::wstring();
    // A root keeps its separator: without it "C:" is drive-relative, and "\" is nothing.
    const bool bRoot = slash == 0 || (slash == 2 && path[1] == L':');
    return path.substr(0, bRoot ? slash + 1 : slash);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& relative)
{
    if (folder.empty() || IsSeparator(folder.back()))
        return folder + relative;
    return folder + L"\\" + relative;
}

bool IsInsideFolder(const std::wstring& path, const std::wstring& folder)
{
    if (folder.empty() || !StartsWithIgnoringCase(path, folder))
        return false;
    return path.size() == folder.size() || IsSeparator(folder.back()) || IsSeparator(path[folder.size()]);
}

std::wstring ModuleFolder(HMODULE hModule)
{
    // The longest path the platform has; a cut name is no name.
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        std::vector<wchar_t> path(size);
        const DWORD length = ::GetModuleFileNameW(hModule, path.data(), size);
        if (length == 0)
            return std::wstring();
        if (length < size)
            return FolderOf(std::wstring(path.data(), length));
    }
    return std::wstring();
}
