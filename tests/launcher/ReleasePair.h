// Two releases of a program written out for a swap: the old one installed in
// a folder, and a package that holds the new one's changed and added files.
#pragma once

#include "FolderSnapshot.h"
#include "TestInstallation.h"

#include "Cabinet.h"

#include <filesystem>
#include <map>
#include <string>

// name (relative, with backslashes) -> bytes
using ReleaseFiles = std::map<std::wstring, std::string>;

inline void WriteRelease(const std::wstring& folder, const ReleaseFiles& files)
{
    for (const auto& file : files) {
        const std::filesystem::path path(folder + L"\\" + file.first);
        std::filesystem::create_directories(path.parent_path());
        WriteTextFile(path.wstring(), file.second);
    }
}

// The package's files written under source and packed into a cabinet at package.
inline void MakePackage(const std::wstring& source, const std::wstring& package, const ReleaseFiles& files)
{
    std::error_code ignored;
    std::filesystem::remove_all(source, ignored);
    WriteRelease(source, files);
    std::vector<CabinetFile> entries;
    for (const auto& file : files)
        entries.push_back({source + L"\\" + file.first, file.first, {}});
    WriteCabinet(package, entries);
}

// What a folder holding before becomes once the package is applied.
inline FolderSnapshot Overlaid(FolderSnapshot before, const std::wstring& packageSource)
{
    for (const auto& entry : Snapshot(packageSource))
        before[entry.first] = entry.second;
    return before;
}
