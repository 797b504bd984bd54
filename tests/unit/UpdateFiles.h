// The files the library keeps beside the test program: the update folder and
// the host configuration file. Tests that touch them derive from UpdateFilesTest.
#pragma once

#include <gtest/gtest.h>

#include <string>

// The test program's folder: both the library folder and the host program folder.
std::wstring ProgramFolder();
std::wstring UpdateFolder();
std::wstring UpdateFile(const std::wstring& name);
std::wstring AmbrelIniPath();

// Writes the bytes as they stand (creating the update folder when the path lies in it).
void WriteBytes(const std::wstring& path, const std::string& bytes);
bool PathExists(const std::wstring& path);

// Bytes of the given size that a package must be: a cabinet header naming
// that size, then bytes that differ from one offset to the next.
std::string CabinetBytes(size_t size);

// Text in the ANSI code page, as a profile file without a byte-order mark holds it.
std::string AnsiBytes(const std::wstring& text);

// Removes the update folder and "Ambrel.ini" before and after each test.
class UpdateFilesTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};
