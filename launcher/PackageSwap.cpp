#include "PackageSwap.h"

#include "CommandLine.h"
#include "SwapPaths.h"

#include <algorithm>
#include <set>

namespace {

bool IsAbsolute(const std::wstring& path)
{
    const bool drive = path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
                       ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
    return drive || path.compare(0, 2, L"\\\\") == 0;
}

std::wstring WithoutTrailingBackslash(std::wstring path)
{
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

bool ReadPackageEntries(ISwapFiles& files, const std::wstring& package, std::vector<CabinetEntry>& entries)
{
    std::string head, table;
    CabinetHeader header;
    return files.ReadBytes(package, 0, kCabinetHeaderBytes, head) && ParseCabinetHeader(head, header) &&
           files.ReadBytes(package, header.filesOffset, header.fileCount * kCabinetEntryBytes, table) &&
           ParseCabinetFiles(table, header.fileCount, entries);
}

// The record goes to the disk before its move; done mirrors the journal.
bool Record(ISwapFiles& files, std::vector<JournalRecord>& done, JournalAction action, const std::wstring& path)
{
    const JournalRecord record = {action, path};
    if (!files.AppendJournal(FormatJournalRecord(record)))
        return false;
    done.push_back(record);
    return true;
}

bool MakeBackupFolders(ISwapFiles& files, const SwapFolders& folders, const std::wstring& relative)
{
    if (files.State(folders.backup) != FileState::Folder && !files.MakeFolder(folders.backup))
        return false;
    for (const std::wstring& folder : ParentFolders(relative)) {
        const std::wstring path = JoinPath(folders.backup, folder);
        if (files.State(path) != FileState::Folder && !files.MakeFolder(path))
            return false;
    }
    return true;
}

bool SwapIn(ISwapFiles& files, const SwapFolders& folders, const std::vector<std::wstring>& order,
            std::vector<JournalRecord>& done)
{
    for (const std::wstring& relative : order) {
        for (const std::wstring& folder : ParentFolders(relative)) {
            const std::wstring path = JoinPath(folders.program, folder);
            const FileState state = files.State(path);
            if (state == FileState::Folder)
                continue;
            if (state != FileState::Missing || !Record(files, done, JournalAction::MadeFolder, folder) ||
                !files.MakeFolder(path))
                return false;
        }
        const std::wstring target = JoinPath(folders.program, relative);
        const FileState state = files.State(target);
        // A folder, or a read-only file, where a file goes cannot be replaced.
        if (state == FileState::Folder || state == FileState::ReadOnlyFile)
            return false;
        if (state == FileState::File &&
            (!MakeBackupFolders(files, folders, relative) || !Record(files, done, JournalAction::BackedUp, relative) ||
             !files.Move(target, JoinPath(folders.backup, relative))))
            return false;
        if (!Record(files, done, JournalAction::Placed, relative) ||
            !files.Move(JoinPath(folders.staging, relative), target))
            return false;
    }
    return Record(files, done, JournalAction::Committed, std::wstring());
}

// True when everything is as it was before the swap.
bool RollBack(ISwapFiles& files, const SwapFolders& folders, const std::vector<JournalRecord>& records)
{
    std::set<std::wstring> backedUp, placed;
    for (const JournalRecord& record : records) {
        if (record.action == JournalAction::BackedUp)
            backedUp.insert(record.path);
        else if (record.action == JournalAction::Placed)
            placed.insert(record.path);
    }
    bool complete = true;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        const std::wstring target = JoinPath(folders.program, it->path);
        const std::wstring kept = JoinPath(folders.backup, it->path);
        const bool exists = files.State(target) != FileState::Missing;
        switch (UndoFor(it->action, backedUp.count(it->path) != 0, placed.count(it->path) != 0, exists,
                        files.State(kept) != FileState::Missing)) {
        case Undo::Nothing:
            break;
        case Undo::RemovePlaced:
            complete = files.RemoveFile(target) && complete;
            break;
        case Undo::RemoveBackup:
            files.RemoveFile(kept);  // the backup folder goes as a whole in any case
            break;
        case Undo::Restore:
            complete = (!exists || files.RemoveFile(target)) && files.Move(kept, target) && complete;
            break;
        case Undo::RemoveFolder:
            files.RemoveFolder(target);  // one that still holds something is left
            break;
        }
    }
    return complete;
}

// The backup goes only once nothing needs it any more.
void Finish(ISwapFiles& files, const SwapFolders& folders, bool clean)
{
    files.RemoveTree(folders.staging);
    if (clean)
        files.RemoveTree(folders.backup);
    files.CloseJournal(clean);
}

} // namespace

SwapFolders SwapFoldersFor(const std::wstring& programFolder, const std::wstring& updateFolder)
{
    SwapFolders folders;
    if (!IsAbsolute(programFolder) || !IsAbsolute(updateFolder))
        return folders;
    folders.program = WithoutTrailingBackslash(programFolder);
    folders.update = WithoutTrailingBackslash(updateFolder);
    folders.staging = JoinPath(folders.update, L"staging");
    folders.backup = JoinPath(folders.update, L"backup");
    folders.journal = JoinPath(folders.update, L"swap.journal");
    return folders;
}

bool CheckPackageEntries(const std::vector<CabinetEntry>& entries, const SwapFolders& folders)
{
    std::vector<std::wstring> names;
    for (const CabinetEntry& entry : entries) {
        // A hostile cabinet may name "..\x", or a file of the library's such as "update\update.log".
        if (!IsSafeRelativePath(entry.name) || IsInsideFolder(JoinPath(folders.program, entry.name), folders.update))
            return false;
        names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end(), LessIgnoringCase);
    // A name stored twice leaves only one of its files: no telling which.
    return !names.empty() && std::adjacent_find(names.begin(), names.end(), EqualIgnoringCase) == names.end();
}

bool StagedAsListed(std::vector<StagedFile> files, std::vector<CabinetEntry> entries)
{
    if (files.size() != entries.size())
        return false;
    std::sort(files.begin(), files.end(), [](const StagedFile& a, const StagedFile& b) { return LessIgnoringCase(a.path, b.path); });
    std::sort(entries.begin(), entries.end(),
              [](const CabinetEntry& a, const CabinetEntry& b) { return LessIgnoringCase(a.name, b.name); });
    for (size_t i = 0; i < files.size(); ++i) {
        if (!EqualIgnoringCase(files[i].path, entries[i].name) || files[i].size != entries[i].size)
            return false;
    }
    return true;
}

std::vector<std::wstring> SwapOrder(const std::vector<StagedFile>& staged)
{
    std::vector<std::wstring> order;
    for (const StagedFile& file : staged)
        order.push_back(file.path);
    std::sort(order.begin(), order.end(), LessIgnoringCase);
    return order;
}

Undo UndoFor(JournalAction action, bool backedUp, bool placed, bool exists, bool backupExists)
{
    switch (action) {
    case JournalAction::MadeFolder:
        return exists ? Undo::RemoveFolder : Undo::Nothing;
    case JournalAction::Placed:
        // Once a backup was taken, whatever is in place now (the new file, part
        // of it, or nothing) gives way to it; without one, the file was new.
        if (backedUp)
            return backupExists ? Undo::Restore : Undo::Nothing;
        return exists ? Undo::RemovePlaced : Undo::Nothing;
    case JournalAction::BackedUp:
        // Ended during its move into the backup: an original still in place is
        // whole (a move removes its source last), and the backup may be a part.
        if (placed)
            return Undo::Nothing;
        if (exists)
            return backupExists ? Undo::RemoveBackup : Undo::Nothing;
        return backupExists ? Undo::Restore : Undo::Nothing;
    case JournalAction::Committed:
        break;
    }
    return Undo::Nothing;
}

bool StageAndSwap(ISwapFiles& files, const SwapFolders& folders, const std::wstring& package)
{
    // The names are checked before anything is unpacked: the extractor writes
    // "..\x" outside the staging folder.
    std::vector<CabinetEntry> entries;
    if (folders.program.empty() || !ReadPackageEntries(files, package, entries) ||
        !CheckPackageEntries(entries, folders))
        return false;

    // Held until the end, the journal keeps a second launcher from swapping or
    // rolling back meanwhile. One with records is an unfinished swap, which the
    // next start rolls back: nothing is swapped over it.
    std::wstring journal;
    if (!files.OpenJournal(folders.journal, journal))
        return false;
    if (!journal.empty()) {
        files.CloseJournal(false);
        return false;
    }

    files.RemoveTree(folders.staging);
    std::vector<JournalRecord> done;
    // The extractor reports success for a broken cabinet: what it staged decides.
    bool applied = files.MakeFolder(folders.staging) &&
                   files.Extract(BuildExtractionCommand(folders.staging, package));
    if (applied) {
        const std::vector<StagedFile> staged = files.ListFiles(folders.staging);
        applied = StagedAsListed(staged, entries) && SwapIn(files, folders, SwapOrder(staged), done);
    }
    Finish(files, folders, applied || RollBack(files, folders, done));
    return applied;
}

void FinishInterruptedSwap(ISwapFiles& files, const SwapFolders& folders)
{
    std::wstring journal;
    if (folders.program.empty() || !files.OpenJournal(folders.journal, journal))
        return;
    const std::vector<JournalRecord> records = ParseJournal(journal);
    const bool committed = std::any_of(records.begin(), records.end(), [](const JournalRecord& record) {
        return record.action == JournalAction::Committed;
    });
    Finish(files, folders, committed || RollBack(files, folders, records));
}
