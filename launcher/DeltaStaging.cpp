#include "DeltaStaging.h"

#include "SwapPaths.h"

#include "base/UpdateLog.h"
#include "delta/PatchApply.h"

#include <map>
#include <set>

namespace {

// Far beyond any list a release needs, and a bound on what a hostile one makes us read.
const size_t kMaxListBytes = 4 * 1024 * 1024;

bool ReadList(ISwapFiles& files, const std::wstring& path, std::vector<DeltaEntry>& list)
{
    std::string bytes;
    return files.ReadBytes(path, 0, kMaxListBytes, bytes) && bytes.size() < kMaxListBytes && ParseDeltaList(bytes, list);
}

// The patch's new file lands in staging where the extractor made no folder for it.
bool MakeStagingFolders(ISwapFiles& files, const SwapFolders& folders, const std::wstring& relative)
{
    for (const std::wstring& folder : ParentFolders(relative)) {
        const std::wstring path = JoinPath(folders.staging, folder);
        const FileState state = files.State(path);
        if (state != FileState::Folder && (state != FileState::Missing || !files.MakeFolder(path)))
            return false;
    }
    return true;
}

DeltaStaging Patch(ISwapFiles& files, const SwapFolders& folders, const DeltaEntry& entry, size_t n)
{
    const std::wstring old = JoinPath(folders.program, entry.path);
    FileFingerprint print;
    // A user or another program changed the file, or it is gone: the full package can still mend it.
    if (files.State(old) != FileState::File || !files.Fingerprint(old, print) || print.digest != entry.oldSha256) {
        UpdateLog(L"delta: ", entry.path, L" is not the file its patch was made from");
        return DeltaStaging::BaseDiffers;
    }
    if (!MakeStagingFolders(files, folders, entry.path))
        return DeltaStaging::Refused;
    switch (ApplyPatch(old, JoinPath(folders.staging, DeltaPatchName(n)), JoinPath(folders.staging, entry.path))) {
    case PatchResult::Applied:
        return DeltaStaging::Ready;
    case PatchResult::OldFileDiffers:
        UpdateLog(L"delta: ", entry.path, L" changed, or is not what its patch names");
        return DeltaStaging::BaseDiffers;
    default:
        UpdateLog(L"delta: the patch of ", entry.path, L" could not be applied");
        return DeltaStaging::Refused;
    }
}

} // namespace

bool IsDeltaPackage(const std::vector<CabinetEntry>& entries)
{
    for (const CabinetEntry& entry : entries) {
        if (EqualIgnoringCase(entry.name, kDeltaListName))
            return true;
    }
    return false;
}

bool CheckDeltaList(const std::vector<DeltaEntry>& list, const std::vector<CabinetEntry>& entries,
                    const SwapFolders& folders)
{
    std::map<std::wstring, DWORD, IgnoringCaseLess> packed;
    for (const CabinetEntry& entry : entries)
        packed[entry.name] = entry.size;
    std::set<std::wstring, IgnoringCaseLess> listed = {kDeltaListName};
    for (size_t i = 0; i < list.size(); ++i) {
        const DeltaEntry& entry = list[i];
        // A path twice would be made twice from different bytes: no telling which stays.
        if (!IsPackageName(entry.path, folders) || IsInDeltaFolder(entry.path) || !listed.insert(entry.path).second)
            return false;
        const auto found = packed.find(entry.path);
        if (entry.form == FileForm::Whole) {
            if (found == packed.end() || found->second != entry.newSize)
                return false;
        } else {
            // The patch must be there, and the file it makes must not come whole as well.
            if (found != packed.end() || !packed.count(DeltaPatchName(i)))
                return false;
            listed.insert(DeltaPatchName(i));
        }
    }
    // Whatever the list does not name would be swapped in unchecked.
    for (const CabinetEntry& entry : entries) {
        if (!listed.count(entry.name))
            return false;
    }
    return true;
}

DeltaStaging StageDelta(ISwapFiles& files, const SwapFolders& folders, const std::vector<CabinetEntry>& entries,
                        std::vector<StagedFile>& staged)
{
    std::vector<DeltaEntry> list;
    if (!ReadList(files, JoinPath(folders.staging, kDeltaListName), list) || !CheckDeltaList(list, entries, folders)) {
        UpdateLog(L"delta: the package's list is unreadable or does not match the package");
        return DeltaStaging::Refused;
    }
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].form != FileForm::Patch)
            continue;
        const DeltaStaging patched = Patch(files, folders, list[i], i);
        if (patched != DeltaStaging::Ready)
            return patched;
    }
    std::vector<CabinetEntry> expected;
    for (const DeltaEntry& entry : list) {
        FileFingerprint print;
        // A whole file is held to the list too: the list is what was checked against the old files.
        if (!files.Fingerprint(JoinPath(folders.staging, entry.path), print) || print.size != entry.newSize ||
            print.digest != entry.newSha256) {
            UpdateLog(L"delta: ", entry.path, L" is not the file the list names");
            return DeltaStaging::Refused;
        }
        expected.push_back(CabinetEntry{entry.path, static_cast<DWORD>(entry.newSize)});
    }
    files.RemoveTree(JoinPath(folders.staging, kDeltaFolderName));
    staged = files.ListFiles(folders.staging);
    return StagedAsListed(staged, expected) ? DeltaStaging::Ready : DeltaStaging::Refused;
}
