// The file table of a cabinet, read before the extractor runs: Extrac32 itself
// writes a stored name such as "..\x" outside the folder it is given, and it
// reports success for a cabinet it could unpack only in part.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct CabinetEntry {
    std::wstring name;  // as stored, folders separated by '\'
    DWORD size = 0;
};

struct CabinetHeader {
    DWORD filesOffset = 0;  // where the file table starts
    WORD fileCount = 0;
};

// The fixed part of the header, all that ParseCabinetHeader reads.
const size_t kCabinetHeaderBytes = 36;
// The most one file entry takes: 16 bytes and a name of up to 256 with its end.
const size_t kCabinetEntryBytes = 16 + 257;

// The header from the first bytes of the file. False for anything but a
// single cabinet with files: one of a set names files that continue elsewhere.
bool ParseCabinetHeader(const std::string& bytes, CabinetHeader& header);

// The file table from its first byte on. False when it is cut short, names a
// file that continues in another cabinet, or holds a name that is empty or
// not text.
bool ParseCabinetFiles(const std::string& bytes, WORD count, std::vector<CabinetEntry>& entries);
