#include "base/LinkSafeFiles.h"

#include "base/ItemDeletion.h"
#include "base/Paths.h"

namespace {

bool IsNotFound(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Wine reports a link to a file as a plain file and opens its target even
// when asked for the link itself: only the place the platform reached tells.
bool IsAtItsPlace(HANDLE h, const std::wstring& path)
{
    FILE_ATTRIBUTE_TAG_INFO info = {};
    if (!::GetFileInformationByHandleEx(h, FileAttributeTagInfo, &info, sizeof(info)) ||
        (info.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    const std::wstring expected = ExpectedFinalPath(path);
    return !expected.empty() && EqualIgnoringCase(FinalPathOf(h), expected);
}

CHandle Refused(DWORD error)
{
    ::SetLastError(error);
    return CHandle();
}

} // namespace

std::wstring FinalFolderPath(const std::wstring& folder)
{
    // "C:" alone is the current folder of drive C; its root is meant.
    std::wstring place = FinalPathOf(folder + (!folder.empty() && folder.back() == L':' ? L"\\" : L""));
    while (!place.empty() && place.back() == L'\\')
        place.pop_back();
    return place;
}

std::wstring ExpectedFinalPath(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == 0 || slash + 1 == path.size())
        return std::wstring();
    // A bare name is in the current folder.
    const std::wstring folder = FinalFolderPath(slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash));
    return folder.empty() ? folder : folder + L'\\' + path.substr(slash == std::wstring::npos ? 0 : slash + 1);
}

bool IsNothingOrPlainFileAt(const std::wstring& path)
{
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return IsNotFound(::GetLastError());
    const CHandle item = OpenItemItself(path, FILE_READ_ATTRIBUTES);
    return item && IsAtItsPlace(item.Get(), path);
}

bool RemoveFileAt(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return IsNotFound(::GetLastError());
    const bool bLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !bLink) {
        ::SetLastError(ERROR_ACCESS_DENIED);  // as DeleteFileW says of a folder
        return false;
    }
    // By handle, and only where the platform reached the item itself:
    // DeleteFileW on a link deletes its target under Wine.
    const bool bPlain = !bLink && IsNothingOrPlainFileAt(path);
    const std::wstring expected = ExpectedFinalPath(path);
    const bool bDeleted = !expected.empty() && DeleteSingleItem(expected, false);
    const DWORD error = bPlain && !bDeleted ? ::GetLastError() : kLinkInTheWay;
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && IsNotFound(::GetLastError()))
        return true;
    ::SetLastError(error);
    return false;
}

CHandle CreateNewFileAt(const std::wstring& path, DWORD access, DWORD share, DWORD attributes)
{
    if (!RemoveFileAt(path))
        return CHandle();
    // CREATE_NEW never opens what stands at the name, a link that came meanwhile included.
    CHandle file(::CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES, share, nullptr, CREATE_NEW,
                               attributes | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file)
        return CHandle();
    // Made elsewhere (its folder's name leads through a link): new and empty, so nothing is lost there.
    if (!IsAtItsPlace(file.Get(), path))
        return Refused(kLinkInTheWay);
    return file;
}

CHandle OpenPlainFileAt(const std::wstring& path, DWORD access, DWORD share)
{
    CHandle file(::CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file)
        return CHandle();
    if (!IsAtItsPlace(file.Get(), path))
        return Refused(kLinkInTheWay);
    return file;
}

bool ReplaceFileAt(const std::wstring& from, const std::wstring& to)
{
    // A link as the source would move the link in, and what is read there later is its target.
    if (::GetFileAttributesW(from.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    if (!IsNothingOrPlainFileAt(from)) {
        ::SetLastError(kLinkInTheWay);
        return false;
    }
    if (!IsNothingOrPlainFileAt(to) && !RemoveFileAt(to))
        return false;
    return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}
