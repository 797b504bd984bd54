// Cabinets through the system's cabinet API (FCI in cabinet.dll), compressed
// with MSZIP, in one folder. The same files with the same dates give the same bytes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct CabinetFile {
    std::wstring source;  // full path of the file to pack
    std::wstring name;    // its name in the cabinet: relative, with backslashes
    FILETIME lastWrite = {};
};

// Writes the files, in the order given, into a new cabinet that replaces path
// only once it is whole. Throws naming the file that failed.
void WriteCabinet(const std::wstring& path, const std::vector<CabinetFile>& files);
