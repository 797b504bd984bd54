#include "unit/NetworkFiles.h"

#include "host/UpdateApp.h"

#include <filesystem>
#include <fstream>
#include <iterator>

std::optional<std::string> ReadBytes(const std::wstring& path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::wstring TestPackage(const std::wstring& name)
{
    return std::filesystem::path(ProgramFolder()).parent_path().wstring() + L"\\packages\\" + name;
}

void NetworkFilesTest::SetUp()
{
    UpdateFilesTest::SetUp();
    ASSERT_TRUE(m_server.Start());
}

void NetworkFilesTest::TearDown()
{
    m_server.Stop();
    AfxSilenceErrors(false);
    UpdateFilesTest::TearDown();
}
