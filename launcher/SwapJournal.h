// The journal of a swap: one record per line, each written and flushed before
// the move it announces, so that it always tells what may have been done.
#pragma once

#include <string>
#include <vector>

enum class JournalAction : wchar_t {
    MadeFolder = L'F',  // a folder of the program folder is about to be made
    BackedUp = L'R',    // a file of the program folder is about to move into the backup
    Placed = L'P',      // a staged file is about to move into the program folder
    Committed = L'D',   // every file is in place: nothing is rolled back any more
};

struct JournalRecord {
    JournalAction action;
    std::wstring path;  // relative to the program folder; empty when committed
};

std::wstring FormatJournalRecord(const JournalRecord& record);

// The complete records of a journal. A last line without its end was cut short
// before its move; a record of an unknown kind or with an unsafe path is dropped.
std::vector<JournalRecord> ParseJournal(const std::wstring& text);
