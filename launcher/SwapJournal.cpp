#include "SwapJournal.h"

#include "SwapPaths.h"

std::wstring FormatJournalRecord(const JournalRecord& record)
{
    std::wstring line(1, static_cast<wchar_t>(record.action));
    if (!record.path.empty())
        line += L" " + record.path;
    return line + L"\n";
}

std::vector<JournalRecord> ParseJournal(const std::wstring& text)
{
    std::vector<JournalRecord> records;
    size_t start = 0;
    for (size_t end = text.find(L'\n'); end != std::wstring::npos; start = end + 1, end = text.find(L'\n', start)) {
        const std::wstring line = text.substr(start, end - start);
        if (line.empty())
            continue;
        const JournalAction action = static_cast<JournalAction>(line[0]);
        if (action == JournalAction::Committed && line.size() == 1) {
            records.push_back({action, std::wstring()});
            continue;
        }
        const bool known = action == JournalAction::MadeFolder || action == JournalAction::BackedUp ||
                           action == JournalAction::Placed;
        // Only names inside the program folder are ever undone, whatever the journal says.
        if (known && line.size() > 2 && line[1] == L' ' && IsSafeRelativePath(line.substr(2)))
            records.push_back({action, line.substr(2)});
    }
    return records;
}
