#include "SwapPaths.h"

#include <windows.h>

namespace {

int CompareIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE);
}

bool IsSafePart(const std::wstring& part)
{
    return !part.empty() && part != L"." && part != L".." && part.back() != L'.' && part.back() != L' ';
}

} // namespace

bool IsSafeRelativePath(const std::wstring& path)
{
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != L'\\') {
            if (path[i] < L' ' || path[i] == L'/' || path[i] == L':')
                return false;
            continue;
        }
        if (!IsSafePart(path.substr(start, i - start)))
            return false;
        start = i + 1;
    }
    return true;
}

bool IsInsideFolder(const std::wstring& path, const std::wstring& folder)
{
    if (path.size() < folder.size() || CompareIgnoringCase(path.substr(0, folder.size()), folder) != CSTR_EQUAL)
        return false;
    return path.size() == folder.size() || path[folder.size()] == L'\\';
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& relative)
{
    return folder + L"\\" + relative;
}

std::vector<std::wstring> ParentFolders(const std::wstring& relative)
{
    std::vector<std::wstring> folders;
    for (size_t slash = relative.find(L'\\'); slash != std::wstring::npos; slash = relative.find(L'\\', slash + 1))
        folders.push_back(relative.substr(0, slash));
    return folders;
}

bool LessIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    return CompareIgnoringCase(a, b) == CSTR_LESS_THAN;
}

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    return CompareIgnoringCase(a, b) == CSTR_EQUAL;
}
