#include "PackageSwap.h"

#include "DeltaStaging.h"
#include "SwapPaths.h"

#include "base/UpdateLayout.h"
#include "base/UpdateLog.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

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
bool Record(ISwapFiles& files, std::vector<JournalRecord>& done, const JournalRecord& record)
{
    if (!files.AppendJournal(FormatJournalRecord(record)))
        return false;
    done.push_back(record);
    return true;
}

bool IsFile(FileState state)
{
    return state == FileState::File || state == FileState::ReadOnlyFile;
}

// The folders a swap has found to be plain folders, or made: each is looked at once.
using CheckedFolders = std::set<std::wstring, IgnoringCaseLess>;

// A folder made where none was; one that stands already must be a folder, not a link.
bool MakeFolderIn(ISwapFiles& files, const std::wstring& path, CheckedFolders& checked)
{
    if (checked.count(path))
        return true;
    const FileState state = files.State(path);
    if (state != FileState::Folder && (state != FileState::Missing || !files.MakeFolder(path)))
        return false;
    checked.insert(path);
    return true;
}

bool MakeBackupFolders(ISwapFiles& files, const SwapFolders& folders, const std::wstring& relative,
                       CheckedFolders& checked)
{
    if (!MakeFolderIn(files, folders.backup, checked))
        return false;
    for (const std::wstring& folder : ParentFolders(relative)) {
        if (!MakeFolderIn(files, JoinPath(folders.backup, folder), checked))
            return false;
    }
    return true;
}

bool SwapIn(ISwapFiles& files, const SwapFolders& folders, const std::vector<std::wstring>& order,
            std::vector<JournalRecord>& done, std::wstring& heldFile)
{
    if (!Record(files, done, {JournalAction::Began, folders.staging, {}}))
        return false;
    CheckedFolders checked;
    for (const std::wstring& relative : order) {
        for (const std::wstring& folder : ParentFolders(relative)) {
            const std::wstring path = JoinPath(folders.program, folder);
            if (checked.count(path))
                continue;
            const FileState state = files.State(path);
            checked.insert(path);
            if (state == FileState::Folder)
                continue;
            // A folder that is a link would take the package's files outside the program.
            if (state != FileState::Missing || !Record(files, done, {JournalAction::MadeFolder, folder, {}}) ||
                !files.MakeFolder(path))
                return false;
        }
        const std::wstring target = JoinPath(folders.program, relative);
        const std::wstring staged = JoinPath(folders.staging, relative);
        const FileState state = files.State(target);
        // A folder, a read-only file or a link where a file goes is not replaced.
        if (state != FileState::File && state != FileState::Missing)
            return false;
        JournalRecord backedUp = {JournalAction::BackedUp, relative, {}};
        if (state == FileState::File &&
            (!files.Fingerprint(target, backedUp.print) || !MakeBackupFolders(files, folders, relative, checked) ||
             !Record(files, done, backedUp)))
            return false;
        if (state == FileState::File && !files.Move(target, JoinPath(folders.backup, relative))) {
            if (files.HeldByAnother(target))
                heldFile = relative;
            return false;
        }
        JournalRecord placed = {JournalAction::Placed, relative, {}};
        if (!IsFile(files.State(staged)) || !files.Fingerprint(staged, placed.print) || !Record(files, done, placed) ||
            !files.Move(staged, target))
            return false;
    }
    return Record(files, done, {JournalAction::Committed, std::wstring(), {}});
}

// What the journal says of one file of the program folder.
struct FileRecords {
    bool backedUp = false;
    bool placed = false;
    FileFingerprint original;
    FileFingerprint placedPrint;
};

bool HasPrint(ISwapFiles& files, const std::wstring& path, const FileFingerprint& expected)
{
    FileFingerprint print;
    return IsFile(files.State(path)) && files.Fingerprint(path, print) && print == expected;
}

OnDisk WhatStands(ISwapFiles& files, const std::wstring& path, const FileRecords& records)
{
    const FileState state = files.State(path);
    if (state == FileState::Missing)
        return OnDisk::Missing;
    FileFingerprint print;
    if (!IsFile(state) || !files.Fingerprint(path, print))
        return OnDisk::Other;
    if (records.backedUp && print == records.original)
        return OnDisk::Original;
    if (records.placed && print == records.placedPrint)
        return OnDisk::Placed;
    return OnDisk::Other;
}

// True when everything the swap did is undone, as far as what is on the disk
// is still what it did.
bool RollBack(ISwapFiles& files, const SwapFolders& folders, const std::vector<JournalRecord>& records)
{
    std::map<std::wstring, FileRecords> byPath;
    for (const JournalRecord& record : records) {
        if (record.action == JournalAction::BackedUp) {
            byPath[record.path].backedUp = true;
            byPath[record.path].original = record.print;
        } else if (record.action == JournalAction::Placed) {
            byPath[record.path].placed = true;
            byPath[record.path].placedPrint = record.print;
        }
    }
    bool complete = true;
    std::set<std::wstring> undone;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        const std::wstring target = JoinPath(folders.program, it->path);
        // The library's own files are never the swap's, whatever a journal says.
        if (it->path.empty() || IsInsideFolder(target, folders.update))
            continue;
        if (it->action == JournalAction::MadeFolder) {
            if (files.State(target) == FileState::Folder)
                files.RemoveFolder(target);  // one that still holds something is left
            continue;
        }
        if ((it->action != JournalAction::BackedUp && it->action != JournalAction::Placed) ||
            !undone.insert(it->path).second)
            continue;
        const FileRecords& file = byPath[it->path];
        const std::wstring kept = JoinPath(folders.backup, it->path);
        const OnDisk onDisk = WhatStands(files, target, file);
        switch (UndoFor(file.backedUp, onDisk, file.backedUp && HasPrint(files, kept, file.original))) {
        case Undo::Nothing:
            break;
        case Undo::RemovePlaced:
            complete = files.RemoveFile(target) && complete;
            break;
        case Undo::Restore:
            complete = (onDisk == OnDisk::Missing || files.RemoveFile(target)) && files.Move(kept, target) && complete;
            break;
        case Undo::Unresolved:
            complete = false;
            break;
        }
    }
    return complete;
}

struct JournalState {
    size_t records = 0;
    bool committed = false;
    bool rollingBack = false;
};

JournalState StateOf(const std::vector<JournalRecord>& records)
{
    JournalState state;
    state.records = records.size();
    for (const JournalRecord& record : records) {
        state.committed = state.committed || record.action == JournalAction::Committed;
        state.rollingBack = state.rollingBack || record.action == JournalAction::RollingBack;
    }
    return state;
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
    if (!IsAbsolutePath(programFolder) || !IsAbsolutePath(updateFolder))
        return folders;
    folders.program = WithoutTrailingBackslash(programFolder);
    folders.update = WithoutTrailingBackslash(updateFolder);
    folders.staging = JoinPath(folders.program, kStagingFolderName);
    folders.backup = JoinPath(folders.program, kBackupFolderName);
    folders.journal = JoinPath(folders.program, kJournalFileName);
    folders.oldJournal = JoinPath(folders.update, kOldJournalFileName);
    return folders;
}

SwapFolders InstalledSwapFolders(const std::wstring& programFolder)
{
    return SwapFoldersFor(programFolder, UpdateFolderIn(programFolder));
}

bool IsPackageName(const std::wstring& name, const SwapFolders& folders)
{
    // A hostile cabinet may name "..\x", a file of the library's such as
    // "update\update.log", or one of the launcher's own.
    const std::wstring path = JoinPath(folders.program, name);
    return IsSafeRelativePath(name) && !IsInsideFolder(path, folders.update) && !IsInsideFolder(path, folders.journal) &&
           !IsInsideFolder(path, folders.staging) && !IsInsideFolder(path, folders.backup) &&
           !IsInsideFolder(path, VerifiedPackagePath(folders));
}

std::wstring VerifiedPackagePath(const SwapFolders& folders)
{
    return JoinPath(folders.program, kVerifiedPackageFileName);
}

bool CheckPackageEntries(const std::vector<CabinetEntry>& entries, const SwapFolders& folders)
{
    std::vector<std::wstring> names;
    for (const CabinetEntry& entry : entries) {
        if (!IsPackageName(entry.name, folders))
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

Undo UndoFor(bool backedUp, OnDisk target, bool backupIsOriginal)
{
    switch (target) {
    case OnDisk::Original:
        // Never moved, or already restored: a partial copy in the backup goes with the backup.
        return Undo::Nothing;
    case OnDisk::Placed:
        // A backup that is not the original any more is not moved in: the new file stays.
        if (!backedUp)
            return Undo::RemovePlaced;
        return backupIsOriginal ? Undo::Restore : Undo::Nothing;
    case OnDisk::Missing:
        return backupIsOriginal ? Undo::Restore : Undo::Nothing;
    case OnDisk::Other:
        // Not what the swap put there: left alone, and the original kept for the next run.
        return backupIsOriginal ? Undo::Unresolved : Undo::Nothing;
    }
    return Undo::Nothing;
}

bool StageAndSwap(ISwapFiles& files, const SwapFolders& folders, const std::wstring& package, AfterCommit after,
                  bool* pBaseDiffers, std::wstring* pHeldFile)
{
    if (pBaseDiffers)
        *pBaseDiffers = false;
    std::wstring held;
    // The names are checked before anything is unpacked: the extractor writes
    // "..\x" outside the staging folder.
    std::vector<CabinetEntry> entries;
    if (folders.program.empty() || !ReadPackageEntries(files, package, entries) ||
        !CheckPackageEntries(entries, folders))
        return RefusedWithLog(L"swap: the package cannot be read or holds a name it may not place");

    // Held until the end, the journal keeps a second launcher from swapping or
    // rolling back meanwhile. One with records is an unfinished swap, which the
    // next start rolls back: nothing is swapped over it.
    std::wstring journal;
    if (!files.OpenJournal(folders.journal, journal))
        return RefusedWithLog(L"swap: the journal is held by another launcher or cannot be made");
    if (!journal.empty()) {
        files.CloseJournal(false);
        return RefusedWithLog(L"swap: an unfinished swap is in the journal; nothing is swapped over it");
    }

    // Made fresh: a staging or backup that is a link, or that cannot be
    // cleared of one, would take the package's or the program's files outside.
    files.RemoveTree(folders.staging);
    files.RemoveTree(folders.backup);
    const FileState backup = files.State(folders.backup);
    std::vector<JournalRecord> done;
    // The extractor reports success for a broken cabinet: what it staged decides.
    bool applied = (backup == FileState::Missing || backup == FileState::Folder) && files.MakeFolder(folders.staging) &&
                   files.State(folders.staging) == FileState::Folder && files.Extract(folders.staging, package);
    if (applied) {
        std::vector<StagedFile> staged = files.ListFiles(folders.staging);
        applied = StagedAsListed(staged, entries);
        if (applied && IsDeltaPackage(entries)) {
            const DeltaStaging delta = StageDelta(files, folders, entries, staged);
            applied = delta == DeltaStaging::Ready;
            if (pBaseDiffers)
                *pBaseDiffers = delta == DeltaStaging::BaseDiffers;
        }
        applied = applied && SwapIn(files, folders, SwapOrder(staged), done, held);
    }
    if (!held.empty())
        UpdateLog(L"swap: another process holds ", held);
    if (pHeldFile)
        *pHeldFile = held;
    UpdateLog(applied ? L"swap: every file is in place" : L"swap: unpacking or placing failed; rolled back");
    if (applied && after == AfterCommit::AwaitConfirmation) {
        files.RemoveTree(folders.staging);
        return true;
    }
    Finish(files, folders, applied || RollBack(files, folders, done));
    return applied;
}

void KeepSwappedRelease(ISwapFiles& files, const SwapFolders& folders)
{
    std::wstring journal;
    if (folders.program.empty() || !files.OpenJournal(folders.journal, journal))
        return;
    const JournalState state = StateOf(ParseJournal(journal, folders.staging));
    Finish(files, folders, state.records == 0 || (state.committed && !state.rollingBack));
}

bool RollBackSwappedRelease(ISwapFiles& files, const SwapFolders& folders)
{
    std::wstring journal;
    if (folders.program.empty() || !files.OpenJournal(folders.journal, journal))
        return RefusedWithLog(L"rollback: the journal is held by another launcher or cannot be opened");
    std::vector<JournalRecord> records = ParseJournal(journal, folders.staging);
    const JournalState state = StateOf(records);
    if (!state.committed) {
        files.CloseJournal(false);
        return RefusedWithLog(L"rollback: no committed swap to undo");
    }
    if (!state.rollingBack && !Record(files, records, {JournalAction::RollingBack, std::wstring(), {}})) {
        files.CloseJournal(false);
        return RefusedWithLog(L"rollback: the journal cannot be written");
    }
    const bool complete = RollBack(files, folders, records);
    UpdateLog(complete ? L"rollback: the previous release is back" : L"rollback: left unfinished for the next run");
    Finish(files, folders, complete);
    return complete;
}

void FinishInterruptedSwap(ISwapFiles& files, const SwapFolders& folders)
{
    std::wstring journal;
    if (folders.program.empty() || !files.OpenJournal(folders.journal, journal))
        return;
    // An earlier launcher's journal names no fingerprints and lies where anyone
    // who may write the update folder could have put it: nothing is undone by
    // it. Its staging and backup go, as they always went after a swap.
    files.RemoveFile(folders.oldJournal);
    files.RemoveTree(JoinPath(folders.update, kOldStagingFolderName));
    files.RemoveTree(JoinPath(folders.update, kOldBackupFolderName));
    const std::vector<JournalRecord> records = ParseJournal(journal, folders.staging);
    const JournalState state = StateOf(records);
    const bool keep = state.committed && !state.rollingBack;
    if (!records.empty())
        UpdateLog(L"swap: an interrupted swap is ", keep ? L"finished (it was committed)" : L"rolled back");
    Finish(files, folders, keep || RollBack(files, folders, records));
}
