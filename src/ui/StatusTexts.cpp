#include "ui/StatusTexts.h"

#include <shlwapi.h>

#include <algorithm>
#include <iterator>
#include <string_view>

CString ReplaceVersionPlaceholder(const CString& text, const CString& version)
{
    CString result(text);
    result.Replace(L"{Version}", version.IsEmpty() ? CString() : L"(" + version + L")");
    return result;
}

CString FormatWithOneString(const CString& pattern, const CString& name)
{
    CString result;
    bool bNameUsed = false;
    const int nLength = pattern.GetLength();
    for (int i = 0; i < nLength; ++i) {
        const wchar_t ch = pattern[i];
        const wchar_t next = i + 1 < nLength ? pattern[i + 1] : L'\0';
        if (ch == L'%' && next == L'%') {
            result += L'%';
            ++i;
        } else if (ch == L'%' && next == L's' && !bNameUsed) {
            result += name;
            bNameUsed = true;
            ++i;
        } else {
            result += ch;
        }
    }
    return result;
}

CString DownloadStatusText(const CString& pattern, const CString& label, const CString& received, const CString& total)
{
    const struct {
        std::wstring_view name;
        const CString& value;
    } fills[] = {{L"{Label}", label}, {L"{Received}", received}, {L"{Total}", total}};
    const std::wstring& text = pattern.Str();
    CString result;
    for (size_t i = 0; i < text.size();) {
        const auto fill = std::find_if(std::begin(fills), std::end(fills),
                                       [&](const auto& f) { return text.compare(i, f.name.size(), f.name) == 0; });
        if (fill == std::end(fills)) {
            result += text[i++];
        } else {
            result += fill->value;
            i += fill->name.size();
        }
    }
    return result;
}

CString FormatByteSize(LONGLONG nBytes)
{
    wchar_t buffer[32] = {};
    ::StrFormatByteSizeW(nBytes, buffer, ARRAYSIZE(buffer));
    return CString(buffer);
}
