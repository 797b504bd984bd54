// The floor that the library, the launcher and the tool share: the folder of a
// path, and the extraction command written and read by one codec.
#include "base/ExtractionCommand.h"
#include "base/Paths.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

TEST(Floor, TheFolderOfAPathAtADriveRootIsTheRoot)
{
    const struct {
        std::wstring path;
        std::wstring folder;
        std::wstring update;  // JoinPath(folder, "update")
    } cases[] = {
        // "C:" alone is the current folder of drive C: a host there would start wherever that is.
        {L"C:\\host.exe", L"C:\\", L"C:\\update"},
        {L"c:/host.exe", L"c:/", L"c:/update"},
        {L"C:\\App\\host.exe", L"C:\\App", L"C:\\App\\update"},
        {L"C:\\程序 100%\\host.exe", L"C:\\程序 100%", L"C:\\程序 100%\\update"},
        {L"\\host.exe", L"\\", L"\\update"},
        {L"\\\\server\\share\\host.exe", L"\\\\server\\share", L"\\\\server\\share\\update"},
        {L"host.exe", L"", L"update"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.folder, FolderOf(c.path)) << c.path;
        EXPECT_EQ(c.update, JoinPath(FolderOf(c.path), L"update")) << c.path;
        EXPECT_TRUE(c.folder.empty() || IsInsideFolder(c.update, c.folder)) << c.path;
    }
}

std::vector<std::wstring> SplitLikeTheExtractor(const std::wstring& command)
{
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(command.c_str(), &argc);
    std::vector<std::wstring> args(argv, argv + argc);
    ::LocalFree(argv);
    return args;
}

TEST(ExtractArgs, QuotedFolderAndPackageSurviveTheCommandLine)
{
    const struct {
        LPCWSTR folder;
        LPCWSTR package;
        LPCWSTR folderAsRead;
    } cases[] = {
        {L"C:\\App", L"C:\\App\\update\\update.cab", L"C:\\App"},
        {L"C:\\Program Files\\A&B %PATH% ^x", L"C:\\Program Files\\A&B %PATH% ^x\\update\\update.cab",
         L"C:\\Program Files\\A&B %PATH% ^x"},
        {L"C:\\", L"C:\\update\\update.cab", L"C:\\."},  // a bare root must not escape its quote
        {L"C:\\程序\\更新", L"C:\\程序\\更新\\update\\update.cab", L"C:\\程序\\更新"},
    };
    for (const auto& c : cases) {
        const std::wstring command = BuildExtractionCommand(kExtractorName, c.folder, c.package);
        const std::vector<std::wstring> argv = SplitLikeTheExtractor(command);
        ASSERT_EQ(7u, argv.size()) << command;
        EXPECT_EQ(c.folderAsRead, argv[5]);
        EXPECT_EQ(c.package, argv[6]);
    }
    EXPECT_EQ(L"Extrac32.exe /Y /E /A /L \"C:\\App\" \"C:\\App\\update\\update.cab\"",
              BuildExtractionCommand(kExtractorName, L"C:\\App", L"C:\\App\\update\\update.cab"));
}

TEST(ExtractionCommand, FoldersAndPackagesRoundTripThroughTheCommandLine)
{
    const std::wstring programs[] = {kExtractorName, L"C:\\Windows\\system32\\extrac32.exe",
                                     L"C:\\Program Files\\R&D\\extrac32.exe"};
    const std::wstring folders[] = {
        L"C:\\App",
        L"C:\\Program Files\\App",
        L"C:\\say \"hi\"\\App",        // a quote inside
        L"C:\\a\\\"b",                // a backslash before a quote
        L"C:\\Program Files\\App\\",  // a trailing backslash, which would escape the closing quote
        L"C:\\R&D 100% ^x",
        L"C:\\示例 程序\\更新",
        L"C:\\",                      // a folder at a drive root
        L"\\\\server\\share\\a b",
    };
    for (const std::wstring& program : programs) {
        for (const std::wstring& folder : folders) {
            const std::wstring package = (folder.back() == L'\\' ? folder : folder + L"\\") + L"update\\update.cab";
            const std::wstring command = BuildExtractionCommand(program, folder, package);
            // As the extractor reads it: the same folder (a trailing "\." names it too) and package.
            const std::vector<std::wstring> argv = SplitLikeTheExtractor(command);
            ASSERT_EQ(7u, argv.size()) << command;
            EXPECT_EQ(program, argv[0]) << command;
            EXPECT_EQ((std::vector<std::wstring>{L"/Y", L"/E", L"/A", L"/L"}),
                      std::vector<std::wstring>(argv.begin() + 1, argv.begin() + 5)) << command;
            EXPECT_EQ(folder.back() == L'\\' ? folder + L"." : folder, argv[5]) << command;
            EXPECT_EQ(package, argv[6]) << command;
            // As the launcher reads it: exactly what was written.
            const ExtractionTarget target = ParseExtractionCommand(command);
            EXPECT_EQ(folder, target.folder) << command;
            EXPECT_EQ(package, target.package) << command;
        }
    }
    // Nothing prepared: the bare prefix, which names nothing.
    EXPECT_EQ(L"Extrac32.exe /Y /E /A /L ", BuildExtractionCommand(kExtractorName, L"", L""));
    EXPECT_TRUE(ParseExtractionCommand(BuildExtractionCommand(kExtractorName, L"", L"")).package.empty());
}

} // namespace
