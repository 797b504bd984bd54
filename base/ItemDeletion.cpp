#include "base/ItemDeletion.h"

#include "base/Paths.h"

#include <string_view>
#include <utility>
#include <vector>

namespace {

// Deletes the item the handle holds. The platform refuses to delete a
// read-only item, so that attribute goes first, and comes back when the
// deletion fails.
bool DeleteByHandle(HANDLE h, DWORD attributes)
{
    const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    FILE_BASIC_INFO basic = {};  // times of zero stay as they are
    if (readOnly) {
        const DWORD cleared = attributes & settable & ~FILE_ATTRIBUTE_READONLY;
        basic.FileAttributes = cleared ? cleared : FILE_ATTRIBUTE_NORMAL;
        if (!::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof(basic)))
            return false;
    }
    FILE_DISPOSITION_INFO disposition = {TRUE};
    if (::SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof(disposition)))
        return true;
    if (readOnly) {
        basic.FileAttributes = attributes & settable;
        ::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof(basic));
    }
    return false;
}

struct CPendingItem {
    explicit CPendingItem(std::wstring path_, bool bFolderAllowed_ = true, CHandle folder_ = CHandle(),
                          DWORD attributes_ = 0)
        : path(std::move(path_)), bFolderAllowed(bFolderAllowed_), folder(std::move(folder_)), attributes(attributes_)
    {
    }

    std::wstring path;  // where the item must really be
    bool bFolderAllowed;
    CHandle folder;  // set while the folder's contents are deleted
    DWORD attributes;
};

// Lists through the folder's own handle: a list by name would read whatever
// stands at that name by then.
void PushContents(HANDLE hFolder, const std::wstring& folder, std::vector<CPendingItem>& pending)
{
    std::vector<LONGLONG> buffer(64 * 1024 / sizeof(LONGLONG));  // aligned as the records need
    const DWORD size = static_cast<DWORD>(buffer.size() * sizeof(LONGLONG));
    while (::GetFileInformationByHandleEx(hFolder, FileIdBothDirectoryInfo, buffer.data(), size)) {
        const BYTE* record = reinterpret_cast<const BYTE*>(buffer.data());
        for (;;) {
            const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(record);
            const std::wstring_view name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..")
                pending.emplace_back(folder + L'\\' + std::wstring(name));
            if (entry->NextEntryOffset == 0)
                break;
            record += entry->NextEntryOffset;
        }
    }
}

// The item at path opened for deletion, when it is really there.
CHandle OpenForDeletion(const std::wstring& path, FILE_ATTRIBUTE_TAG_INFO& info)
{
    CHandle h = OpenItemItself(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | FILE_LIST_DIRECTORY);
    if (!h || !::GetFileInformationByHandleEx(h.Get(), FileAttributeTagInfo, &info, sizeof(info)))
        return CHandle();
    // The platform reached something elsewhere: the path passes through a
    // link, or the item is a link that it follows (as Wine does), whose
    // deletion would delete the target.
    if (!EqualIgnoringCase(FinalPathOf(h.Get()), path))
        return CHandle();
    return h;
}

} // namespace

CHandle OpenItemItself(const std::wstring& path, DWORD access)
{
    return CHandle(::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

std::wstring FinalPathOf(HANDLE h)
{
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD n = ::GetFinalPathNameByHandleW(h, &path[0], static_cast<DWORD>(path.size()),
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0)
            break;
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(n);  // too short: n counts the terminating zero
    }
    return std::wstring();
}

std::wstring FinalPathOf(const std::wstring& path)
{
    const CHandle item = OpenItemItself(path, FILE_READ_ATTRIBUTES);
    return item ? FinalPathOf(item.Get()) : std::wstring();
}

void DeleteItemTree(const std::wstring& root, bool bFolderAllowed)
{
    // A walk of our own rather than the shell's: it must never descend into a link.
    std::vector<CPendingItem> pending;
    pending.emplace_back(root, bFolderAllowed);
    while (!pending.empty()) {
        CPendingItem item = std::move(pending.back());
        pending.pop_back();
        if (item.folder) {
            // What it held is gone, or stays where it could not go.
            DeleteByHandle(item.folder.Get(), item.attributes);
            continue;
        }
        FILE_ATTRIBUTE_TAG_INFO info = {};
        CHandle h = OpenForDeletion(item.path, info);
        if (!h)
            continue;
        const bool bLink = (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        const bool bFolder = (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (bLink || !bFolder) {
            DeleteByHandle(h.Get(), info.FileAttributes);
            continue;
        }
        if (!item.bFolderAllowed)
            continue;
        // Held open until its contents are done, then deleted through the same handle.
        const HANDLE hFolder = h.Get();
        pending.emplace_back(item.path, true, std::move(h), info.FileAttributes);
        PushContents(hFolder, item.path, pending);
    }
}

bool DeleteSingleItem(const std::wstring& root, bool bFolderAllowed)
{
    FILE_ATTRIBUTE_TAG_INFO info = {};
    const CHandle h = OpenForDeletion(root, info);
    const bool bLink = (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const bool bFolder = (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return h && (bLink || !bFolder || bFolderAllowed) && DeleteByHandle(h.Get(), info.FileAttributes);
}

bool DeleteItemTreeAt(const std::wstring& path)
{
    // The walk compares each item with where the platform really finds it:
    // it starts from the real place of the item's folder.
    const size_t nSlash = path.find_last_of(L"\\/");
    if (nSlash != std::wstring::npos && nSlash + 1 < path.size()) {
        const std::wstring folder = FinalPathOf(path.substr(0, nSlash));
        if (!folder.empty())
            DeleteItemTree((folder.back() == L'\\' ? folder : folder + L'\\') + path.substr(nSlash + 1), true);
    }
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD dwError = ::GetLastError();
    return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND;
}
