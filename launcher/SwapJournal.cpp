#include "SwapJournal.h"

#include "SwapPaths.h"

#include "base/Decimal.h"

namespace {

bool HasPrint(JournalAction action)
{
    return action == JournalAction::BackedUp || action == JournalAction::Placed;
}

// "<size> <digest> " in front of the path.
bool ParsePrint(const std::wstring& text, size_t& at, FileFingerprint& print)
{
    const size_t sizeEnd = text.find(L' ', at);
    if (sizeEnd == std::wstring::npos || !ParseStrictDecimal(std::wstring_view(text).substr(at, sizeEnd - at), print.size))
        return false;
    const size_t digestEnd = sizeEnd + 1 + 64;
    if (digestEnd >= text.size() || text[digestEnd] != L' ' ||
        !ParseSha256Hex(std::wstring_view(text).substr(sizeEnd + 1, 64), print.digest))
        return false;
    at = digestEnd + 1;
    return true;
}

bool ParseRecord(const std::wstring& line, JournalRecord& record)
{
    record.action = static_cast<JournalAction>(line[0]);
    if (record.action == JournalAction::Committed || record.action == JournalAction::RollingBack)
        return line.size() == 1;
    const bool known = record.action == JournalAction::Began || record.action == JournalAction::MadeFolder ||
                       HasPrint(record.action);
    if (!known || line.size() < 3 || line[1] != L' ')
        return false;
    size_t at = 2;
    if (HasPrint(record.action) && !ParsePrint(line, at, record.print))
        return false;
    record.path = line.substr(at);
    // Only names inside the program folder are ever undone, whatever the journal says.
    return record.action == JournalAction::Began || IsSafeRelativePath(record.path);
}

} // namespace

std::wstring FormatJournalRecord(const JournalRecord& record)
{
    std::wstring line(1, static_cast<wchar_t>(record.action));
    if (HasPrint(record.action))
        line += L" " + std::to_wstring(record.print.size) + L" " + FormatSha256Hex(record.print.digest);
    if (!record.path.empty())
        line += L" " + record.path;
    return line + L"\n";
}

std::vector<JournalRecord> ParseJournal(const std::wstring& text, const std::wstring& staging)
{
    std::vector<JournalRecord> records;
    size_t start = 0;
    for (size_t end = text.find(L'\n'); end != std::wstring::npos; start = end + 1, end = text.find(L'\n', start)) {
        const std::wstring line = text.substr(start, end - start);
        JournalRecord record = {};
        if (line.empty() || !ParseRecord(line, record))
            continue;
        const bool began = record.action == JournalAction::Began;
        // The swap that wrote it names its staging first, and only once.
        if (records.empty() != began || (began && !EqualIgnoringCase(record.path, staging)))
            return {};
        records.push_back(record);
    }
    return records;
}
