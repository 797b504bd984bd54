// Reading a file by offset, so that several readers can share one handle.
#pragma once

#include <windows.h>

#include <string>

// Exactly size bytes from offset on into bytes; false when the file cannot be read or ends first.
bool ReadFileAt(HANDLE file, ULONGLONG offset, size_t size, std::string& bytes);
