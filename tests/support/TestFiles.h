// Whole files and profile values, as the tests read and write them.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace testing_support {

// The file's bytes; empty when it cannot be read.
std::string Read(const std::filesystem::path& path);
// Writes the bytes as the whole file, making its folders first.
void Write(const std::filesystem::path& path, const std::string& bytes);
// A value of a profile (INI) file as the platform reads it; empty when missing.
std::wstring ReadProfile(const std::filesystem::path& file, LPCWSTR section, LPCWSTR key);

} // namespace testing_support
