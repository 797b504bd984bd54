#include "DescriptionEdit.h"

#include "verify/DescriptionSignature.h"
#include "verify/ProfileSection.h"

#include <algorithm>
#include <optional>

namespace {

// A line with its line break, as the file holds it.
struct Line {
    std::string_view text;   // without the break
    std::string_view ending; // "\r\n", "\n" or "" for a last line without one
};

std::vector<Line> SplitLines(std::string_view file)
{
    std::vector<Line> lines;
    for (size_t start = 0; start < file.size();) {
        size_t end = file.find('\n', start);
        const size_t next = end == std::string_view::npos ? file.size() : end + 1;
        if (end == std::string_view::npos)
            end = file.size();
        size_t textEnd = end;
        if (textEnd > start && textEnd < file.size() && file[textEnd - 1] == '\r')
            --textEnd;
        lines.push_back({file.substr(start, textEnd - start), file.substr(textEnd, next - textEnd)});
        start = next;
    }
    return lines;
}

// The file's own line break: the first one it has, CRLF for a file without any.
std::string_view LineBreakOf(const std::vector<Line>& lines)
{
    for (const Line& line : lines) {
        if (!line.ending.empty())
            return line.ending;
    }
    return "\r\n";
}

std::string_view WithoutByteOrderMark(std::string_view text)
{
    return text.substr(0, 3) == "\xEF\xBB\xBF" ? text.substr(3) : text;
}

} // namespace

bool SplitKeyLine(std::string_view line, std::string_view& key, std::string_view& value)
{
    const std::string_view trimmed = TrimProfileBlanks(line);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '[')
        return false;
    const size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos)
        return false;
    key = TrimProfileBlanks(trimmed.substr(0, equals));
    value = TrimProfileBlanks(trimmed.substr(equals + 1));
    return !key.empty();
}

bool SectionNameOf(std::string_view line, std::string_view& name)
{
    const std::string_view trimmed = TrimProfileBlanks(line);
    if (trimmed.empty() || trimmed[0] != '[')
        return false;
    const size_t close = trimmed.find(']');
    if (close == std::string_view::npos)
        return false;
    name = TrimProfileBlanks(trimmed.substr(1, close - 1));
    return true;
}

std::vector<std::string> SectionNamesOf(std::string_view file)
{
    std::vector<std::string> names;
    for (const Line& line : SplitLines(file)) {
        std::string_view name;
        if (SectionNameOf(WithoutByteOrderMark(line.text), name) &&
            std::none_of(names.begin(), names.end(), [&](const std::string& seen) { return EqualsAsciiNoCase(seen, name); }))
            names.emplace_back(name);
    }
    return names;
}

bool EditDescription(std::string_view file, const SectionEdit& edit, std::string& edited)
{
    const std::string withoutSignature = RemoveSignatureLines(file);
    const std::vector<Line> lines = SplitLines(withoutSignature);
    const std::string_view lineBreak = LineBreakOf(lines);

    std::optional<size_t> header;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        const std::string_view text = i == 0 ? WithoutByteOrderMark(lines[i].text) : lines[i].text;
        if (SectionNameOf(text, name) && EqualsAsciiNoCase(name, edit.section)) {
            if (header)
                return false;  // the reader would take the first; the publisher meant one
            header = i;
        }
    }

    auto valueLine = [&](const std::pair<std::string, std::string>& kv) { return kv.first + "=" + kv.second; };
    std::string out;
    out.reserve(withoutSignature.size() + 1024);

    if (!header) {
        out = withoutSignature;
        if (!out.empty() && out.back() != '\n')
            out += lineBreak;
        if (!out.empty() && !lines.empty() && !TrimProfileBlanks(lines.back().text).empty())
            out += lineBreak;  // a blank line between the sections
        out += "[" + edit.section + "]";
        out += lineBreak;
        for (const auto& kv : edit.values) {
            out += valueLine(kv);
            out += lineBreak;
        }
        edited.swap(out);
        return true;
    }

    size_t end = *header + 1;  // one past the section's last line
    while (end < lines.size()) {
        std::string_view name;
        if (SectionNameOf(lines[end].text, name))
            break;
        ++end;
    }

    std::vector<bool> written(edit.values.size(), false);
    std::vector<std::string> body;  // the section's lines as they will be, each with its break
    std::vector<size_t> keyLines;
    for (size_t i = *header + 1; i < end; ++i) {
        std::string_view key, value;
        std::string lineBytes = std::string(lines[i].text) + std::string(lines[i].ending);
        if (SplitKeyLine(lines[i].text, key, value)) {
            const auto match = std::find_if(edit.values.begin(), edit.values.end(),
                                            [&](const auto& kv) { return EqualsAsciiNoCase(kv.first, key); });
            if (match != edit.values.end()) {
                const size_t n = static_cast<size_t>(match - edit.values.begin());
                if (written[n])
                    continue;  // a later duplicate, which the reader never sees
                written[n] = true;
                lineBytes = valueLine(*match) + std::string(lines[i].ending.empty() ? lineBreak : lines[i].ending);
            } else if (edit.removes && edit.removes(key)) {
                continue;
            }
            keyLines.push_back(body.size());
        }
        body.push_back(std::move(lineBytes));
    }
    std::vector<std::string> added;
    for (size_t n = 0; n < edit.values.size(); ++n) {
        if (!written[n])
            added.push_back(valueLine(edit.values[n]) + std::string(lineBreak));
    }
    // New keys follow the section's last key, ahead of the blank lines and comments after it.
    const size_t insertAt = keyLines.empty() ? 0 : keyLines.back() + 1;
    body.insert(body.begin() + static_cast<std::ptrdiff_t>(insertAt), added.begin(), added.end());
    for (size_t i = 0; i + 1 < body.size(); ++i) {
        if (body[i].empty() || body[i].back() != '\n')
            body[i] += lineBreak;  // the file's last line, which now has lines after it
    }

    for (size_t i = 0; i <= *header; ++i) {
        out.append(lines[i].text);
        // A header that ended the file now has lines after it.
        out.append(lines[i].ending.empty() && i == *header && !body.empty() ? lineBreak : lines[i].ending);
    }
    for (const std::string& line : body)
        out += line;
    for (size_t i = end; i < lines.size(); ++i) {
        out.append(lines[i].text);
        out.append(lines[i].ending);
    }
    edited.swap(out);
    return true;
}
