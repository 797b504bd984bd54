#include "delta/DeltaList.h"

#include "base/Decimal.h"
#include "base/Paths.h"

namespace {

const wchar_t kPatchWord[] = L"patch";
const wchar_t kWholeWord[] = L"whole";
const wchar_t kNoDigest[] = L"-";

std::vector<std::wstring_view> SplitFields(std::wstring_view line)
{
    std::vector<std::wstring_view> fields;
    size_t start = 0;
    for (size_t tab = line.find(L'\t'); tab != std::wstring_view::npos; tab = line.find(L'\t', start)) {
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

bool ParseLine(std::wstring_view line, DeltaEntry& entry)
{
    const std::vector<std::wstring_view> fields = SplitFields(line);
    if (fields.size() != 5 || fields[4].empty())
        return false;
    if (fields[0] == kPatchWord)
        entry.form = FileForm::Patch;
    else if (fields[0] == kWholeWord)
        entry.form = FileForm::Whole;
    else
        return false;
    const bool oldOk = entry.form == FileForm::Patch ? ParseSha256Hex(fields[1], entry.oldSha256) : fields[1] == kNoDigest;
    ULONGLONG size = 0;
    if (!oldOk || !ParseSha256Hex(fields[2], entry.newSha256) || !ParseStrictDecimal(fields[3], size))
        return false;
    entry.newSize = size;
    entry.path = fields[4];
    return true;
}

} // namespace

bool IsInDeltaFolder(std::wstring_view name)
{
    const std::wstring_view folder = kDeltaFolderName;
    return EqualIgnoringCase(name, folder) ||
           (name.size() > folder.size() && name[folder.size()] == L'\\' && StartsWithIgnoringCase(name, folder));
}

std::wstring DeltaPatchName(size_t n)
{
    return std::wstring(kDeltaFolderName) + L"\\" + std::to_wstring(n) + L".patch";
}

std::string FormatDeltaList(const std::vector<DeltaEntry>& entries)
{
    std::wstring text;
    for (const DeltaEntry& entry : entries) {
        const bool patch = entry.form == FileForm::Patch;
        text += std::wstring(patch ? kPatchWord : kWholeWord) + L"\t" +
                (patch ? FormatSha256Hex(entry.oldSha256) : std::wstring(kNoDigest)) + L"\t" +
                FormatSha256Hex(entry.newSha256) + L"\t" + std::to_wstring(entry.newSize) + L"\t" + entry.path + L"\r\n";
    }
    std::string bytes;
    for (wchar_t ch : text) {
        bytes.push_back(static_cast<char>(ch & 0xFF));
        bytes.push_back(static_cast<char>((ch >> 8) & 0xFF));
    }
    return bytes;
}

bool ParseDeltaList(std::string_view bytes, std::vector<DeltaEntry>& entries)
{
    entries.clear();
    if (bytes.size() % 2 != 0)
        return false;
    std::wstring text;
    for (size_t i = 0; i < bytes.size(); i += 2)
        text.push_back(static_cast<wchar_t>(static_cast<BYTE>(bytes[i]) | static_cast<BYTE>(bytes[i + 1]) << 8));
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find(L"\r\n", start);
        // Every line ends: a list cut short is no list.
        if (end == std::wstring::npos)
            return false;
        DeltaEntry entry;
        if (!ParseLine(std::wstring_view(text).substr(start, end - start), entry))
            return false;
        entries.push_back(std::move(entry));
        start = end + 2;
    }
    return !entries.empty();
}
