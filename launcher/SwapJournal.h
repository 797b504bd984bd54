// The journal of a swap: one record per line, each written and flushed before
// the move it announces, so that it always tells what may have been done.
// Each file record carries the size and digest of the file it moves, so that
// a rollback touches only what is still exactly what this swap moved.
#pragma once

#include "base/Sha256.h"

#include <windows.h>

#include <string>
#include <vector>

struct FileFingerprint {
    ULONGLONG size = 0;
    Sha256Digest digest = {};

    bool operator==(const FileFingerprint& other) const { return size == other.size && digest == other.digest; }
    bool operator!=(const FileFingerprint& other) const { return !(*this == other); }
};

enum class JournalAction : wchar_t {
    Began = L'S',       // the first record: the staging folder of the swap, absolute
    MadeFolder = L'F',  // a folder of the program folder is about to be made
    BackedUp = L'R',    // a file of the program folder is about to move into the backup; its fingerprint
    Placed = L'P',      // a staged file is about to move into the program folder; its fingerprint
    Committed = L'D',   // every file is in place; only a new release that fails to start goes back
    RollingBack = L'U', // the release the swap replaced is being put back: every run finishes that
};

struct JournalRecord {
    JournalAction action;
    std::wstring path;         // relative to the program folder; the staging when Began; empty when Committed or RollingBack
    FileFingerprint print;     // BackedUp and Placed only
};

std::wstring FormatJournalRecord(const JournalRecord& record);

// The complete records of a journal that this launcher wrote for the given
// staging folder. A last line without its end was cut short before its move; a
// record of an unknown kind, with an unsafe path or without its fingerprint is
// dropped; a journal that does not begin with that staging (an earlier
// launcher's, or one put there by someone else) has no records at all.
std::vector<JournalRecord> ParseJournal(const std::wstring& text, const std::wstring& staging);
