// Everything under a folder, for comparing it before and after: each file with
// its bytes, each folder with a mark of its own.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>

using FolderSnapshot = std::map<std::wstring, std::string>;

inline FolderSnapshot Snapshot(const std::wstring& folder, const std::set<std::wstring>& skipped = {})
{
    namespace fs = std::filesystem;
    FolderSnapshot snapshot;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::wstring name = it->path().lexically_relative(folder).wstring();
        if (skipped.count(name))
            continue;
        if (it->is_directory()) {
            snapshot[name] = "<folder>";
            continue;
        }
        std::ifstream file(it->path(), std::ios::binary);
        snapshot[name] = std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    return snapshot;
}

// The names whose entries differ, for a failure message.
inline std::string Differences(const FolderSnapshot& expected, const FolderSnapshot& actual)
{
    std::set<std::wstring> names;
    for (const auto* snapshot : {&expected, &actual}) {
        for (const auto& entry : *snapshot) {
            const auto other = (snapshot == &expected ? actual : expected).find(entry.first);
            if (other == (snapshot == &expected ? actual : expected).end() || other->second != entry.second)
                names.insert(entry.first);
        }
    }
    std::string text;
    for (const std::wstring& name : names)
        text += " " + std::filesystem::path(name).u8string();
    return text;
}
