// A sample installation of host 1.0 with its package of 1.1 waiting in the
// update folder, as the library leaves it before the launcher applies it.
#pragma once

#include "TestFolder.h"

#include <filesystem>
#include <fstream>
#include <string>

// The test package (tests/CMakeLists.txt) and the files it was made from.
inline std::wstring TestPackage() { return TestFolder() + L"\\fake\\package.cab"; }
inline std::wstring TestPackageFiles() { return TestFolder() + L"\\fake\\package"; }

inline void WriteTextFile(const std::wstring& path, const std::string& text)
{
    std::ofstream(std::filesystem::path(path), std::ios::binary) << text;
}

// folder: host.exe 1.0, payload.txt, update\update.cab and update\update.log.
inline void InstallSample(const std::wstring& folder)
{
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directories(folder + L"\\update");
    fs::copy_file(TestFolder() + L"\\host.exe", folder + L"\\host.exe");
    fs::copy_file(TestPackage(), folder + L"\\update\\update.cab");
    WriteTextFile(folder + L"\\payload.txt", "The payload of version 1.0.\r\n");
    WriteTextFile(folder + L"\\update\\update.log", "[Files]\r\nVersion=1.0\r\n");
}
