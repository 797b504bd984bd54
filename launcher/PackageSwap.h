// A package applied completely or not at all. It is unpacked into a staging
// folder inside the update folder; each staged file then moves into the program
// folder, the file it replaces moving first into a backup folder beside the
// staging; any failure moves everything back. The journal (SwapJournal.h),
// flushed before each move, lets the next run of the launcher finish the
// rollback of a launcher that was itself ended half way.
//
// The journal lives in the program folder, which only those who may change
// the program can write, and not in the update folder, which the library
// fills while the host runs: a journal put there by someone else would tell
// the launcher, which may run with rights over the program, what to delete.
// Its records carry the fingerprints of the files moved, and a rollback
// touches only what is still exactly what the swap moved. Nothing is ever
// written, moved or deleted through a link.
//
// That next run of update.exe rolls back before anything else, rather than the
// host's NotifyEvent(0): the launcher owns the staging and may be the only one
// who knows of it, a half-swapped program may not even start, and NotifyEvent
// runs only after a restart with /updated.
#pragma once

#include "CabinetDirectory.h"
#include "SwapFiles.h"
#include "SwapJournal.h"

#include <string>
#include <vector>

// The folders of one swap, absolute and without a trailing backslash. The
// update folder also holds the library's own files (update.log, update.ini,
// update.cab), which a swap never moves, and a rollback never touches.
struct SwapFolders {
    std::wstring program;     // where the package's files go
    std::wstring update;      // the package's folder
    std::wstring staging;     // program\update.staging
    std::wstring backup;      // program\update.backup
    std::wstring journal;     // program\update.journal
    std::wstring oldJournal;  // update\swap.journal, where earlier launchers kept it
};

// All members empty unless both folders are absolute.
SwapFolders SwapFoldersFor(const std::wstring& programFolder, const std::wstring& updateFolder);

// The folders of an installation whose library keeps its files in its update
// folder inside the program folder, as it does beside update.exe.
SwapFolders InstalledSwapFolders(const std::wstring& programFolder);

// A name that a package may hold: it lands inside the program folder but
// outside the update folder, and is not the journal's.
bool IsPackageName(const std::wstring& name, const SwapFolders& folders);

// The copy of the package that the elevated apply step verifies and unpacks.
std::wstring VerifiedPackagePath(const SwapFolders& folders);

// A package that may be unpacked at all: it names files, each once, each by a
// name IsPackageName accepts.
bool CheckPackageEntries(const std::vector<CabinetEntry>& entries, const SwapFolders& folders);

// Every file of the cabinet was staged whole, and nothing else.
bool StagedAsListed(std::vector<StagedFile> staged, std::vector<CabinetEntry> entries);

// The order of the moves: by name, so that the course is the same on every run.
std::vector<std::wstring> SwapOrder(const std::vector<StagedFile>& staged);

// What stands now where the swap put a file of the program folder.
enum class OnDisk {
    Missing,
    Original,  // the file the swap moved into the backup, as it was
    Placed,    // the file the swap placed, as it placed it
    Other,     // anything else: a link, a folder, other bytes
};

enum class Undo {
    Nothing,
    RemovePlaced,  // delete the file that the swap put there
    Restore,       // delete the placed file, if there, then move the original back
    Unresolved,    // the original waits in the backup, but something else stands in its place
};

// What undoes the swap of one file. backedUp: the journal says its original
// was to move into the backup; backupIsOriginal: the backup holds exactly that
// original. The answer depends only on what is on the disk now, so a rollback
// that is itself ended half way can simply be run again.
Undo UndoFor(bool backedUp, OnDisk target, bool backupIsOriginal);

// What becomes of the backup and the journal once every file is in place.
enum class AfterCommit {
    Finish,             // removed at once
    AwaitConfirmation,  // kept, the journal held open, until the new release proves that it starts
};

// Unpacks the package into the staging folder and swaps it in. True when the
// whole package is in place; false when nothing of it is (what was moved has
// been moved back, or, should even that fail, the journal is kept for the next run).
// after: whether the backup is kept for the new release's health check.
// pBaseDiffers (when given) tells whether a delta package was not applied only
// because a program file is not the one its patch was made from. pHeldFile
// (when given) receives the name, relative to the program folder, of the file
// that another process held so that the swap failed; empty otherwise.
bool StageAndSwap(ISwapFiles& files, const SwapFolders& folders, const std::wstring& package,
                  AfterCommit after = AfterCommit::Finish, bool* pBaseDiffers = nullptr,
                  std::wstring* pHeldFile = nullptr);

// The new release proved that it runs: the backup and journal of its
// committed swap go. Anything else in the journal is left to the next run.
void KeepSwappedRelease(ISwapFiles& files, const SwapFolders& folders);

// Puts back the release that a committed swap replaced, marking the journal
// first so that a run cut short is finished by the next one. True when the
// previous release is wholly back.
bool RollBackSwappedRelease(ISwapFiles& files, const SwapFolders& folders);

// What a launcher that was ended half way left: a swap without its commit, or
// one whose rollback had begun, is rolled back; a committed one keeps the new
// release (its launcher died while waiting for it to start: the release may
// well run). Then staging, backup and journal are removed. A journal that
// another launcher holds is left to it.
void FinishInterruptedSwap(ISwapFiles& files, const SwapFolders& folders);
