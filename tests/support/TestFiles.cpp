#include "support/TestFiles.h"

#include <fstream>
#include <iterator>

namespace testing_support {

std::string Read(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const std::filesystem::path& path, const std::string& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::wstring ReadProfile(const std::filesystem::path& file, LPCWSTR section, LPCWSTR key)
{
    wchar_t value[4096] = {};
    ::GetPrivateProfileStringW(section, key, L"", value, ARRAYSIZE(value), file.c_str());
    return value;
}

} // namespace testing_support
