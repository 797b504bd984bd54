#include "DescriptionValues.h"

#include "DescriptionEdit.h"
#include "base/TextCodec.h"

#include "description/RemoteUpdateInfo.h"
#include "description/VersionNumber.h"

#include <cstring>

namespace {

// The reader's buffer holds 4,096 characters with the terminating zero.
const size_t kMaxValue = 4095;

const char kChangesSection[] = "Changes";

bool IsBlank(wchar_t ch)
{
    return ch == L' ' || ch == L'\t';
}

bool ReadCount(std::string_view text, size_t& count)
{
    if (text.empty() || text.size() > 4)
        return false;
    count = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9')
            return false;
        count = count * 10 + static_cast<size_t>(ch - '0');
    }
    return true;
}

} // namespace

bool IsProfileValue(std::wstring_view value, std::wstring& problem)
{
    if (value.size() > kMaxValue) {
        problem = L"longer than the 4,095 characters the library reads";
        return false;
    }
    for (wchar_t ch : value) {
        if (ch < 0x20 || ch == 0x7F) {
            problem = L"holds a control character or a line break";
            return false;
        }
    }
    if (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back()))) {
        problem = L"begins or ends with a blank, which the reader drops";
        return false;
    }
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') {
        problem = L"is wholly in quotes, which the reader drops";
        return false;
    }
    return true;
}

bool NewsValueOf(std::string_view utf8, std::string& value, std::wstring& problem)
{
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF")
        utf8.remove_prefix(3);
    std::wstring text;
    if (!DecodeUtf8(utf8, text)) {
        problem = L"not UTF-8 text";
        return false;
    }
    std::wstring news;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t ch = text[i];
        if (ch == L'+') {
            problem = L"holds a \"+\", which the library shows as a line break";
            return false;
        }
        if (ch == L'\r' || ch == L'\n') {
            if (ch == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
                ++i;
            news += L'+';
            continue;
        }
        news += ch == L'\t' ? L' ' : ch;
    }
    const size_t first = news.find_first_not_of(L" +");
    news = first == std::wstring::npos ? std::wstring() : news.substr(first, news.find_last_not_of(L" +") - first + 1);
    if (news.empty()) {
        problem = L"no text";
        return false;
    }
    if (!IsProfileValue(news, problem))
        return false;
    value = Utf8Of(news);
    return true;
}

std::string FormatChangesFile(const DeletionLists& lists)
{
    std::string text = std::string("; What the package needs of the installed copy, for update-publish describe --changes.\r\n[") +
                       kChangesSection + "]\r\n";
    text += "ValidVersion=" + Utf8Of(lists.validVersion) + "\r\n";
    text += "DelFileCount=" + std::to_string(lists.files.size()) + "\r\n";
    for (size_t i = 0; i < lists.files.size(); ++i)
        text += "DelFile" + std::to_string(i + 1) + "=" + Utf8Of(lists.files[i]) + "\r\n";
    text += "DelDirCount=" + std::to_string(lists.folders.size()) + "\r\n";
    for (size_t i = 0; i < lists.folders.size(); ++i)
        text += "DelDirName" + std::to_string(i + 1) + "=" + Utf8Of(lists.folders[i]) + "\r\n";
    return text;
}

bool ParseChangesFile(std::string_view bytes, DeletionLists& lists, std::wstring& problem)
{
    std::vector<std::pair<std::string, std::string>> keys;
    bool bInSection = false, bSeen = false;
    for (size_t start = 0; start < bytes.size();) {
        size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos)
            end = bytes.size();
        std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        start = end + 1;
        std::string_view name, key, value;
        if (SectionNameOf(line, name)) {
            bInSection = EqualsAsciiNoCase(name, kChangesSection);
            bSeen = bSeen || bInSection;
        } else if (bInSection && SplitKeyLine(line, key, value)) {
            keys.emplace_back(std::string(key), std::string(value));
        }
    }
    auto find = [&](const std::string& wanted, std::wstring& text) {
        for (const auto& kv : keys) {
            if (EqualsAsciiNoCase(kv.first, wanted))
                return DecodeUtf8(kv.second, text);
        }
        return false;
    };
    auto readList = [&](const char* countKey, const char* entryKey, std::vector<std::wstring>& entries) {
        std::wstring countText;
        size_t count = 0;
        if (!find(countKey, countText) || !ReadCount(AsciiOf(countText), count) ||
            count > static_cast<size_t>(CRemoteUpdateInfo::kMaxListEntries)) {
            problem = std::wstring(L"no valid ") + std::wstring(countKey, countKey + strlen(countKey));
            return false;
        }
        for (size_t i = 1; i <= count; ++i) {
            std::wstring entry;
            if (!find(entryKey + std::to_string(i), entry) || entry.empty()) {
                const std::string missing = entryKey + std::to_string(i);
                problem = L"no " + std::wstring(missing.begin(), missing.end());
                return false;
            }
            entries.push_back(entry);
        }
        return true;
    };
    if (!bSeen) {
        problem = L"no [Changes] section";
        return false;
    }
    DeletionLists parsed;
    if (!find("ValidVersion", parsed.validVersion) || !IsVersionText(parsed.validVersion)) {
        problem = L"no valid ValidVersion";
        return false;
    }
    if (!readList("DelFileCount", "DelFile", parsed.files) || !readList("DelDirCount", "DelDirName", parsed.folders))
        return false;
    lists = std::move(parsed);
    return true;
}
