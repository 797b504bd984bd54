#include "unit/UpdateFiles.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

void RemoveUpdateFiles()
{
    std::error_code ignored;
    std::filesystem::remove_all(UpdateFolder(), ignored);
    std::filesystem::remove(AmbrelIniPath(), ignored);
    ASSERT_FALSE(PathExists(UpdateFolder()));
    ASSERT_FALSE(PathExists(AmbrelIniPath()));
}

} // namespace

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path().wstring();
}

std::wstring UpdateFolder()
{
    return ProgramFolder() + L"\\update";
}

std::wstring UpdateFile(const std::wstring& name)
{
    return UpdateFolder() + L"\\" + name;
}

std::wstring AmbrelIniPath()
{
    return ProgramFolder() + L"\\Ambrel.ini";
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    const std::filesystem::path file(path);
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << file.string();
}

bool PathExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string CabinetBytes(size_t size)
{
    std::string bytes(std::max<size_t>(size, 12), '\0');
    for (size_t i = 12; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>('A' + (i * 7 + i / 251) % 26);
    bytes.replace(0, 4, "MSCF");
    for (int i = 0; i < 4; ++i)
        bytes[8 + i] = static_cast<char>((bytes.size() >> (8 * i)) & 0xFF);
    return bytes;
}

std::string AnsiBytes(const std::wstring& text)
{
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], n, nullptr, nullptr);
    return bytes;
}

void UpdateFilesTest::SetUp()
{
    RemoveUpdateFiles();
}

void UpdateFilesTest::TearDown()
{
    RemoveUpdateFiles();
}
