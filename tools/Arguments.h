// The words of a verb's command line: positional ones in order, and
// "--name value" or "--flag".
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct CUsageError {
    std::wstring message;
};

// The words after the verb.
class CArguments {
public:
    CArguments(const std::vector<std::wstring>& args, std::vector<std::wstring> flags)
    {
        for (size_t i = 1; i < args.size(); ++i) {
            const std::wstring& word = args[i];
            if (word.size() > 2 && word.compare(0, 2, L"--") == 0) {
                const std::wstring name = word.substr(2);
                if (m_options.count(name) || m_flags.count(name))
                    throw CUsageError{L"--" + name + L" given twice"};
                bool bFlag = false;
                for (const std::wstring& flag : flags)
                    bFlag = bFlag || flag == name;
                if (bFlag) {
                    m_flags[name] = false;
                } else {
                    if (i + 1 == args.size())
                        throw CUsageError{L"--" + name + L" needs a value"};
                    m_options[name] = {args[++i], false};
                }
            } else {
                m_positional.push_back(word);
            }
        }
    }

    const std::wstring& Positional(size_t n, size_t count)
    {
        if (m_positional.size() != count)
            throw CUsageError{L"expected " + std::to_wstring(count) + L" names, got " + std::to_wstring(m_positional.size())};
        return m_positional[n];
    }

    std::optional<std::wstring> Option(const std::wstring& name)
    {
        auto found = m_options.find(name);
        if (found == m_options.end())
            return std::nullopt;
        found->second.second = true;
        return found->second.first;
    }

    std::wstring Required(const std::wstring& name)
    {
        std::optional<std::wstring> value = Option(name);
        if (!value)
            throw CUsageError{L"--" + name + L" is required"};
        return *value;
    }

    bool Flag(const std::wstring& name)
    {
        auto found = m_flags.find(name);
        if (found == m_flags.end())
            return false;
        found->second = true;
        return true;
    }

    // Every option given must have been asked for by the verb.
    void CheckAllUsed() const
    {
        for (const auto& option : m_options)
            if (!option.second.second)
                throw CUsageError{L"unknown option --" + option.first};
        for (const auto& flag : m_flags)
            if (!flag.second)
                throw CUsageError{L"unknown option --" + flag.first};
    }

private:
    std::vector<std::wstring> m_positional;
    std::map<std::wstring, std::pair<std::wstring, bool>> m_options;  // value, asked for
    std::map<std::wstring, bool> m_flags;                             // asked for
};
