// A release folder as a package sees it: every file and folder under it by
// relative name, and what changed between two releases.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ReleaseEntry {
    std::wstring name;  // relative to the release folder, with backslashes
    bool bFolder = false;
    ULONGLONG nSize = 0;
    FILETIME lastWrite = {};
};

struct Release {
    std::wstring root;                  // full path of the release folder
    std::vector<ReleaseEntry> entries;  // ordinal order without regard to case

    std::wstring PathOf(const ReleaseEntry& entry) const { return root + L"\\" + entry.name; }
};

// Lists root; throws for a folder that cannot be read, a link (a package holds
// plain files), or two names that differ only in case (one file on Windows).
Release ListRelease(const std::wstring& root);

// Throws for the first file or folder of the release that the launcher would
// refuse to unpack: a name that leaves the program folder or that Windows
// would shorten, anything in the update folder, the launcher's journal.
void CheckPackageNames(const Release& release);

struct ReleaseChanges {
    std::vector<const ReleaseEntry*> packed;  // files of the new release added or changed
    std::vector<std::wstring> deletedFiles;   // files gone whose folder stays
    std::vector<std::wstring> deletedFolders; // the topmost folders gone
    std::vector<std::wstring> emptyFolders;   // folders of the new release a package cannot make
};

// What turns the old release into the new one. Throws where a name is a file
// in one and a folder in the other (the unpacking cannot replace one with the other).
ReleaseChanges CompareReleases(const Release& oldRelease, const Release& newRelease);

// Folders of a release that hold no file at any depth.
std::vector<std::wstring> EmptyFolders(const Release& release);
