#include "SwapPaths.h"

namespace {

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

bool IsAbsolutePath(const std::wstring& path)
{
    const bool drive = path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
                       ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
    return drive || path.compare(0, 2, L"\\\\") == 0;
}

std::vector<std::wstring> ParentFolders(const std::wstring& relative)
{
    std::vector<std::wstring> folders;
    for (size_t slash = relative.find(L'\\'); slash != std::wstring::npos; slash = relative.find(L'\\', slash + 1))
        folders.push_back(relative.substr(0, slash));
    return folders;
}
