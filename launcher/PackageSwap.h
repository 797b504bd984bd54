// A package applied completely or not at all. It is unpacked into a staging
// folder inside the update folder; each staged file then moves into the program
// folder, the file it replaces moving first into a backup folder beside the
// staging; any failure moves everything back. The journal (SwapJournal.h),
// flushed before each move, lets the next run of the launcher finish the
// rollback of a launcher that was itself ended half way.
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
// update.cab), which a swap never moves.
struct SwapFolders {
    std::wstring program;  // where the package's files go
    std::wstring update;   // the package's folder
    std::wstring staging;  // update\staging
    std::wstring backup;   // update\backup
    std::wstring journal;  // update\swap.journal
};

// All members empty unless both folders are absolute.
SwapFolders SwapFoldersFor(const std::wstring& programFolder, const std::wstring& updateFolder);

// A package that may be unpacked at all: it names files, each once, and each
// lands inside the program folder but outside the update folder.
bool CheckPackageEntries(const std::vector<CabinetEntry>& entries, const SwapFolders& folders);

// Every file of the cabinet was staged whole, and nothing else.
bool StagedAsListed(std::vector<StagedFile> staged, std::vector<CabinetEntry> entries);

// The order of the moves: by name, so that the course is the same on every run.
std::vector<std::wstring> SwapOrder(const std::vector<StagedFile>& staged);

enum class Undo {
    Nothing,
    RemovePlaced,  // delete the file that the swap put there
    RemoveBackup,  // delete what the backup holds: the original never left
    Restore,       // delete what is there, then move the backup back
    RemoveFolder,  // remove the folder the swap made, when empty
};

// What undoes one record, read from the last to the first. backedUp and placed:
// whether the journal has such a record for the same path at all; exists and
// backupExists: what is on the disk now. The answer depends only on these, so
// a rollback that is itself ended half way can simply be run again.
Undo UndoFor(JournalAction action, bool backedUp, bool placed, bool exists, bool backupExists);

// Unpacks the package into the staging folder and swaps it in. True when the
// whole package is in place; false when nothing of it is (what was moved has
// been moved back, or, should even that fail, the journal is kept for the next run).
bool StageAndSwap(ISwapFiles& files, const SwapFolders& folders, const std::wstring& package);

// What a launcher that was ended half way left: a swap without its commit is
// rolled back, then staging, backup and journal are removed. A journal that
// another launcher holds is left to it.
void FinishInterruptedSwap(ISwapFiles& files, const SwapFolders& folders);
