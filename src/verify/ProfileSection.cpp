#include "verify/ProfileSection.h"

#include <algorithm>

namespace {

char AsciiLower(char ch)
{
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
}

// The name of a section line "[name]", trimmed; false for any other line.
bool SectionNameOf(std::string_view line, std::string_view& name)
{
    if (line.empty() || line.front() != '[')
        return false;
    const size_t close = line.find(']');
    name = TrimProfileBlanks(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    return true;
}

} // namespace

std::string_view TrimProfileBlanks(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return std::string_view();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

SectionRead ReadProfileSection(std::string_view fileBytes, std::string_view section, SectionValues& values)
{
    if (fileBytes.substr(0, 3) == "\xEF\xBB\xBF")
        fileBytes.remove_prefix(3);
    SectionValues read;
    bool bInside = false, bFound = false;
    for (size_t start = 0; start < fileBytes.size();) {
        size_t end = fileBytes.find('\n', start);
        if (end == std::string_view::npos)
            end = fileBytes.size();
        std::string_view line = fileBytes.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        line = TrimProfileBlanks(line);
        std::string_view name;
        if (SectionNameOf(line, name)) {
            bInside = EqualsAsciiNoCase(name, section);
            if (bInside && bFound)
                return SectionRead::Ambiguous;
            bFound = bFound || bInside;
            continue;
        }
        if (!bInside || line.empty() || line.front() == ';')
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view key = TrimProfileBlanks(line.substr(0, equals));
        if (key.empty())
            continue;
        if (FindSectionValue(read, key))
            return SectionRead::Ambiguous;
        read.emplace_back(key, TrimProfileBlanks(line.substr(equals + 1)));
    }
    if (!bFound)
        return SectionRead::Absent;
    values.swap(read);
    return SectionRead::Read;
}

const std::string* FindSectionValue(const SectionValues& values, std::string_view key)
{
    for (const auto& value : values) {
        if (EqualsAsciiNoCase(value.first, key))
            return &value.second;
    }
    return nullptr;
}
