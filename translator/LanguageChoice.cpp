#include "LanguageChoice.h"

#include <algorithm>
#include <cwctype>

namespace {

std::wstring Lower(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return text;
}

std::vector<std::wstring> Subtags(const std::wstring& name)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (size_t dash; (dash = name.find(L'-', start)) != std::wstring::npos; start = dash + 1)
        parts.push_back(name.substr(start, dash - start));
    parts.push_back(name.substr(start));
    return parts;
}

// The Chinese table of a name's script: traditional for Taiwan, Hong Kong and
// Macao, simplified for the mainland and Singapore; empty when it names neither.
std::wstring ChineseTable(const std::vector<std::wstring>& parts)
{
    if (parts.empty() || Lower(parts[0]) != L"zh")
        return std::wstring();
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::wstring part = Lower(parts[i]);
        if (part == L"hant" || part == L"tw" || part == L"hk" || part == L"mo")
            return L"zh-TW";
        if (part == L"hans" || part == L"cn" || part == L"sg")
            return L"zh-CN";
    }
    return std::wstring();
}

void AddOnce(std::vector<std::wstring>& names, const std::wstring& name)
{
    const std::wstring key = Lower(name);
    if (std::none_of(names.begin(), names.end(), [&](const std::wstring& n) { return Lower(n) == key; }))
        names.push_back(name);
}

} // namespace

bool IsLanguageName(const std::wstring& name)
{
    if (name.empty() || name.size() > 32 || name.front() == L'-' || name.back() == L'-' ||
        name.find(L"--") != std::wstring::npos)
        return false;
    // The name becomes part of a file name: nothing that could leave the folder.
    return std::all_of(name.begin(), name.end(), [](wchar_t c) {
        return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-';
    });
}

std::vector<std::wstring> GeneralForms(const std::wstring& name)
{
    std::vector<std::wstring> forms;
    if (!IsLanguageName(name))
        return forms;
    const std::vector<std::wstring> parts = Subtags(name);
    std::wstring form = name;
    for (size_t n = parts.size(); n > 1; --n) {
        AddOnce(forms, form);
        form.resize(form.size() - parts[n - 1].size() - 1);
    }
    const std::wstring chinese = ChineseTable(parts);
    if (!chinese.empty())
        AddOnce(forms, chinese);
    AddOnce(forms, parts[0]);
    return forms;
}

std::vector<std::wstring> LanguageCandidates(const std::wstring& pinned, const std::wstring& user,
                                             const std::wstring& fallback)
{
    std::vector<std::wstring> names;
    for (const std::wstring* source : {&pinned, &user, &fallback}) {
        for (const std::wstring& form : GeneralForms(*source))
            AddOnce(names, form);
    }
    return names;
}
