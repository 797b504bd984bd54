#include "ReleaseTree.h"

#include "PublishError.h"

#include "PackageSwap.h"

#include "base/Handles.h"
#include "base/Paths.h"
#include "base/UpdateLayout.h"
#include "delta/DeltaList.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

// Names in the order the package keeps them: ordinal, without regard to case.
using NoCaseLess = IgnoringCaseLess;

void ListFolder(const std::wstring& root, const std::wstring& relative, std::vector<ReleaseEntry>& entries)
{
    const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    WIN32_FIND_DATAW data;
    CFindHandle find(::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                        nullptr, 0));
    if (!find) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return;
        FailWithError(folder, error);
    }
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        ReleaseEntry entry;
        entry.name = relative.empty() ? name : relative + L"\\" + name;
        // A link would put into the package what lies outside the release.
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            Fail(root + L"\\" + entry.name, L"a link; a package holds plain files and folders only");
        entry.bFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.nSize = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        entry.lastWrite = data.ftLastWriteTime;
        entries.push_back(entry);
        if (entry.bFolder)
            ListFolder(root, entry.name, entries);
    } while (::FindNextFileW(find.Get(), &data));
    const DWORD error = ::GetLastError();
    if (error != ERROR_NO_MORE_FILES)
        FailWithError(folder, error);
}

// True when the two files hold the same bytes.
bool SameContents(const std::wstring& a, const std::wstring& b)
{
    CHandle fileA(::CreateFileW(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!fileA)
        FailWithError(a, ::GetLastError());
    CHandle fileB(::CreateFileW(b.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!fileB)
        FailWithError(b, ::GetLastError());
    std::vector<char> bufferA(256 * 1024), bufferB(bufferA.size());
    for (;;) {
        DWORD readA = 0, readB = 0;
        if (!::ReadFile(fileA.Get(), bufferA.data(), static_cast<DWORD>(bufferA.size()), &readA, nullptr))
            FailWithError(a, ::GetLastError());
        if (!::ReadFile(fileB.Get(), bufferB.data(), static_cast<DWORD>(bufferB.size()), &readB, nullptr))
            FailWithError(b, ::GetLastError());
        if (readA != readB || !std::equal(bufferA.begin(), bufferA.begin() + readA, bufferB.begin()))
            return false;
        if (readA == 0)
            return true;
    }
}

// The folder part of a relative name, "" at the top.
std::wstring ParentOf(const std::wstring& name)
{
    const size_t slash = name.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : name.substr(0, slash);
}

// True when name or a folder above it is in folders.
bool IsWithin(const std::wstring& name, const std::set<std::wstring, NoCaseLess>& folders)
{
    for (std::wstring at = name; !at.empty(); at = ParentOf(at)) {
        if (folders.count(at))
            return true;
    }
    return false;
}

} // namespace

Release ListRelease(const std::wstring& root)
{
    Release release;
    release.root = root;
    const DWORD attributes = ::GetFileAttributesW(root.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        FailWithError(root, ::GetLastError());
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        Fail(root, L"not a folder");
    ListFolder(root, std::wstring(), release.entries);
    std::sort(release.entries.begin(), release.entries.end(),
              [](const ReleaseEntry& a, const ReleaseEntry& b) { return LessIgnoringCase(a.name, b.name); });
    for (size_t i = 1; i < release.entries.size(); ++i) {
        // The file system here may tell them apart; Windows, where the package is unpacked, does not.
        if (EqualIgnoringCase(release.entries[i - 1].name, release.entries[i].name))
            Fail(root, L"\"" + release.entries[i - 1].name + L"\" and \"" + release.entries[i].name +
                           L"\" differ only in case");
    }
    return release;
}

void CheckPackageNames(const Release& release)
{
    // An installation as the launcher sees it: the library's files in its update folder.
    const SwapFolders installed = InstalledSwapFolders(L"C:\\Program");
    for (const ReleaseEntry& entry : release.entries) {
        // The launcher reads a package holding this folder as a delta package.
        if (IsInDeltaFolder(entry.name))
            Fail(release.PathOf(entry), L"the folder \"" + std::wstring(kDeltaFolderName) +
                                            L"\" is the delta package's own; a release may not hold it");
        if (!IsPackageName(entry.name, installed))
            Fail(release.PathOf(entry), L"the launcher refuses a package holding \"" + entry.name +
                                            L"\": a name must stay inside the program folder, outside its update "
                                            L"folder \"" + std::wstring(kUpdateFolderName) + L"\", and must not be \"" +
                                            kJournalFileName + L"\"");
    }
}

ReleaseChanges CompareReleases(const Release& oldRelease, const Release& newRelease)
{
    std::map<std::wstring, const ReleaseEntry*, NoCaseLess> oldByName, newByName;
    for (const ReleaseEntry& entry : oldRelease.entries)
        oldByName[entry.name] = &entry;
    for (const ReleaseEntry& entry : newRelease.entries)
        newByName[entry.name] = &entry;

    ReleaseChanges changes;
    for (const ReleaseEntry& entry : newRelease.entries) {
        const auto found = oldByName.find(entry.name);
        if (found != oldByName.end() && found->second->bFolder != entry.bFolder)
            Fail(newRelease.PathOf(entry), entry.bFolder ? L"a folder here, a file in the old release; use a full package"
                                                         : L"a file here, a folder in the old release; use a full package");
        if (entry.bFolder)
            continue;
        if (found == oldByName.end() || found->second->nSize != entry.nSize ||
            !SameContents(oldRelease.PathOf(*found->second), newRelease.PathOf(entry)))
            changes.packed.push_back(&entry);
    }

    std::set<std::wstring, NoCaseLess> deletedFolders;
    for (const ReleaseEntry& entry : oldRelease.entries) {
        if (newByName.count(entry.name) || IsWithin(ParentOf(entry.name), deletedFolders))
            continue;
        if (entry.bFolder) {
            deletedFolders.insert(entry.name);
            changes.deletedFolders.push_back(entry.name);
        } else {
            changes.deletedFiles.push_back(entry.name);
        }
    }

    std::set<std::wstring, NoCaseLess> packedFolders;
    for (const ReleaseEntry* entry : changes.packed)
        for (std::wstring at = ParentOf(entry->name); !at.empty(); at = ParentOf(at))
            packedFolders.insert(at);
    for (const ReleaseEntry& entry : newRelease.entries) {
        if (entry.bFolder && !oldByName.count(entry.name) && !packedFolders.count(entry.name))
            changes.emptyFolders.push_back(entry.name);
    }
    return changes;
}

std::vector<std::wstring> EmptyFolders(const Release& release)
{
    std::set<std::wstring, NoCaseLess> holding;
    for (const ReleaseEntry& entry : release.entries) {
        if (!entry.bFolder)
            for (std::wstring at = ParentOf(entry.name); !at.empty(); at = ParentOf(at))
                holding.insert(at);
    }
    std::vector<std::wstring> empty;
    for (const ReleaseEntry& entry : release.entries) {
        if (entry.bFolder && !holding.count(entry.name))
            empty.push_back(entry.name);
    }
    return empty;
}
