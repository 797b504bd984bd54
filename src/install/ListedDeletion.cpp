#include "install/ListedDeletion.h"

#include "framework/AfxHandle.h"
#include "install/DescriptionSafety.h"

#include <string_view>
#include <utility>
#include <vector>

namespace {

// The item itself: a link as the link, not its target; folders open too.
CHandle OpenItem(const std::wstring& path, DWORD access)
{
    return CHandle(::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Where the handle really is, "\\?\" in front; empty when the platform cannot tell.
std::wstring FinalPath(HANDLE h)
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

std::wstring FinalPathOf(LPCWSTR pszFolder)
{
    const CHandle folder = OpenItem(pszFolder, FILE_READ_ATTRIBUTES);
    return folder ? FinalPath(folder.Get()) : std::wstring();
}

// As the file system compares names: ordinal, without regard to case.
bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return a.size() == b.size() &&
           ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
               CSTR_EQUAL;
}

std::wstring JoinBelow(std::wstring folder, std::wstring_view rest)
{
    while (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    while (!rest.empty() && (rest.front() == L'\\' || rest.front() == L'/'))
        rest.remove_prefix(1);
    return folder + L'\\' + std::wstring(rest);
}

// Deletes the item the handle holds. The platform refuses to delete a
// read-only item, so that attribute goes first, and comes back when the
// deletion fails.
void DeleteByHandle(HANDLE h, DWORD attributes)
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
            return;
    }
    FILE_DISPOSITION_INFO disposition = {TRUE};
    if (::SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof(disposition)) || !readOnly)
        return;
    basic.FileAttributes = attributes & settable;
    ::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof(basic));
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

// Deletes the item at root, a final path, and everything in it when it is a
// folder and not a link. A walk of our own rather than the shell's: it must
// never descend into a link.
void DeleteTree(const std::wstring& root, bool bFolderAllowed)
{
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
        CHandle h = OpenItem(item.path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | FILE_LIST_DIRECTORY);
        FILE_ATTRIBUTE_TAG_INFO info = {};
        if (!h || !::GetFileInformationByHandleEx(h.Get(), FileAttributeTagInfo, &info, sizeof(info)))
            continue;
        // The platform reached something elsewhere: the path passes through a
        // link, or the item is a link that it follows (as Wine does), whose
        // deletion would delete the target.
        if (!SamePath(FinalPath(h.Get()), item.path))
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

} // namespace

CListedDeletion::CListedDeletion(LPCWSTR pszHostFolder, LPCWSTR pszUpdateFolder)
    : m_strHostFolder(pszHostFolder),
      m_strUpdateFolder(pszUpdateFolder),
      m_strHostFinal(FinalPathOf(pszHostFolder)),
      m_strUpdateFinal(FinalPathOf(pszUpdateFolder))
{
}

void CListedDeletion::Delete(LPCWSTR pszEntry, EListedKind kind) const
{
    CString path;
    // A tampered description must not reach anything outside the host's folder, nor the folder itself.
    if (!ResolveDeletionPath(m_strHostFolder, pszEntry, path))
        return;
    // The update folder holds the installed record: not it, nothing in it, nothing that holds it.
    if (PathsOverlap(path, m_strUpdateFolder))
        return;
    // Without the host folder's real place no entry can be checked against links.
    if (m_strHostFinal.empty())
        return;
    const std::wstring root = JoinBelow(m_strHostFinal, std::wstring_view(path.Str()).substr(m_strHostFolder.GetLength()));
    // Again on the real places, whatever short names or links either path was spelt with.
    if (!m_strUpdateFinal.empty() && PathsOverlap(root.c_str(), m_strUpdateFinal.c_str()))
        return;
    DeleteTree(root, kind == EListedKind::Folder);
}
