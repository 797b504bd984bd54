#include "TextTable.h"

#include "base/TextCodec.h"

#include <algorithm>
#include <optional>

namespace {

bool Fail(TableError& error, int nLine, std::wstring reason)
{
    error.nLine = nLine;
    error.reason = std::move(reason);
    return false;
}

// The text of an entry line with its escapes resolved; false for an unknown escape.
bool Unescape(std::wstring_view raw, std::wstring& text, std::wstring& reason)
{
    text.clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != L'\\') {
            text += raw[i];
            continue;
        }
        if (++i == raw.size()) {
            reason = L"a backslash ends the line (write \\\\ for a backslash)";
            return false;
        }
        switch (raw[i]) {
        case L'n': text += L'\n'; break;
        case L'r': text += L'\r'; break;
        case L't': text += L'\t'; break;
        case L'\\': text += L'\\'; break;
        default:
            reason = std::wstring(L"an unknown escape \\") + raw[i];
            return false;
        }
    }
    return true;
}

// One side of an entry, checked: false with the reason.
bool ReadSide(std::wstring_view raw, const wchar_t* pszWhat, std::wstring& text, std::wstring& reason)
{
    if (!Unescape(raw, text, reason))
        return false;
    if (text.empty()) {
        reason = std::wstring(L"an empty ") + pszWhat;
        return false;
    }
    if (text.size() > kMaxTableText) {
        reason = std::wstring(L"a ") + pszWhat + L" longer than " + std::to_wstring(kMaxTableText) + L" characters";
        return false;
    }
    return true;
}

} // namespace

bool ParseTextTable(std::string_view bytes, TextTable& table, TableError& error)
{
    table.clear();
    TextTable parsed;
    if (bytes.size() > kMaxTableBytes)
        return Fail(error, 0, L"larger than " + std::to_wstring(kMaxTableBytes) + L" bytes");
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    std::wstring content;
    if (!DecodeUtf8(bytes, content))
        return Fail(error, 0, L"not UTF-8 text");
    if (content.find(L'\0') != std::wstring::npos)
        return Fail(error, 0, L"holds a zero character");

    std::optional<std::wstring> pending;  // a text whose translation must come next
    int nLine = 0;
    for (size_t start = 0; start <= content.size();) {
        const size_t end = std::min(content.find(L'\n', start), content.size());
        std::wstring_view line(content.data() + start, end - start);
        start = end + 1;
        ++nLine;
        if (!line.empty() && line.back() == L'\r')
            line.remove_suffix(1);

        const bool bEntry =
            !line.empty() && (line[0] == L'<' || line[0] == L'>') && (line.size() == 1 || line[1] == L' ');
        const bool bTranslation = bEntry && line[0] == L'>';
        if (pending && !bTranslation)
            return Fail(error, nLine - 1, L"a text without its translation on the next line");
        if (line.empty() || line[0] == L'#')
            continue;
        if (!bEntry)
            return Fail(error, nLine, L"neither a comment, a text (\"< \") nor a translation (\"> \")");

        std::wstring text, reason;
        const std::wstring_view raw = line.substr(std::min<size_t>(2, line.size()));
        if (!ReadSide(raw, bTranslation ? L"translation" : L"text", text, reason))
            return Fail(error, nLine, reason);
        if (!bTranslation) {
            if (parsed.count(text))
                return Fail(error, nLine, L"a text that an earlier entry translates already");
            pending = std::move(text);
            continue;
        }
        if (!pending)
            return Fail(error, nLine, L"a translation without its text on the line before");
        parsed.emplace(std::move(*pending), std::move(text));
        pending.reset();
    }
    if (pending)
        return Fail(error, nLine, L"a text without its translation on the next line");
    table.swap(parsed);
    return true;
}
