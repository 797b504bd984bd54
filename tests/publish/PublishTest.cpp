// update-publish.exe run as a publisher runs it, on real folders and files;
// its packages unpacked by the system's Extrac32, its descriptions read by the
// library's own reader. The openssl and cabextract checks run from
// openssl-interop.sh.
#include "KeyFile.h"
#include "launcher/TestFolder.h"

#include "description/RemoteUpdateInfo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::wstring Quoted(const std::wstring& word)
{
    return L"\"" + word + L"\"";
}

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct ToolRun {
    DWORD exitCode = STILL_ACTIVE;
    std::string output;  // stdout and stderr
};

// Runs program with the arguments (quoted), waits, and collects what it printed.
// The output goes through a file: a helper process that Wine starts on the way
// (the desktop) may inherit the handle and keep a pipe open after the child ends.
ToolRun Run(const std::wstring& program, const std::vector<std::wstring>& args)
{
    std::wstring line = Quoted(program);
    for (const std::wstring& arg : args)
        line += L" " + Quoted(arg);
    ToolRun run;
    const std::wstring outputPath = TestFolder() + L"\\output.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE output = ::CreateFileW(outputPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE)
        return run;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = output;
    si.hStdError = output;
    PROCESS_INFORMATION pi = {};
    if (::CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                         &pi)) {
        ::WaitForSingleObject(pi.hProcess, 120000);
        ::GetExitCodeProcess(pi.hProcess, &run.exitCode);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    ::CloseHandle(output);
    run.output = ReadBytes(outputPath);
    return run;
}

ToolRun Publish(const std::vector<std::wstring>& args)
{
    return Run(TestFolder() + L"\\update-publish.exe", args);
}

// Extrac32 as the host runs it once the library hands over the command.
ToolRun Unpack(const fs::path& package, const fs::path& folder)
{
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    return Run(std::wstring(system) + L"\\extrac32.exe", {L"/Y", L"/E", L"/A", L"/L", folder.wstring(), package.wstring()});
}

void WriteBytes(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// A fresh folder of the test's own under the program folder.
fs::path FreshFolder(const char* name)
{
    const fs::path folder = fs::path(TestFolder()) / "work" / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

using Tree = std::map<std::string, std::string>;

// Every file and folder under root by relative name (UTF-8): file contents, "<folder>" for a folder.
Tree TreeOf(const fs::path& root)
{
    Tree tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = entry.path().lexically_relative(root).u8string();
        tree[name] = entry.is_directory() ? "<folder>" : ReadBytes(entry.path());
    }
    return tree;
}

void MakeTree(const fs::path& root, const std::map<std::wstring, std::string>& files)
{
    for (const auto& file : files)
        WriteBytes(root / file.first, file.second);
}

std::wstring ReadProfile(const fs::path& file, LPCWSTR section, LPCWSTR key)
{
    wchar_t value[4096] = {};
    ::GetPrivateProfileStringW(section, key, L"", value, ARRAYSIZE(value), file.wstring().c_str());
    return value;
}

std::wstring PublisherKeyOfFile(const fs::path& keyFile)
{
    P256PrivateKey key;
    std::wstring problem;
    EXPECT_TRUE(ParsePrivateKeyPem(ReadBytes(keyFile), key, problem)) << problem;
    return PublisherKeyOf(key);
}

const std::map<std::wstring, std::string> kRelease10 = {
    {L"host.exe", "host 1.0"},
    {L"readme.txt", "unchanged"},
    {L"plugins\\a.dll", "plugin a 1.0"},
    {L"plugins\\dropped.dll", "dropped"},
    {L"old\\deep\\x.dat", "old folder"},
    {L"old\\y.dat", "old folder too"},
};

const std::map<std::wstring, std::string> kRelease11 = {
    {L"host.exe", "host 1.1, longer"},
    {L"readme.txt", "unchanged"},
    {L"plugins\\a.dll", "plugin a 1.1"},  // same size, other bytes
    {L"data\\new\\n.ini", "added"},
    {L"empty.txt", ""},
};

TEST(PublishPackage, FullPackageUnpacksToTheReleaseAndIsTheSameEachTime)
{
    const fs::path work = FreshFolder("full");
    MakeTree(work / "release", kRelease11);
    ASSERT_EQ(0u, Publish({L"pack", (work / "release").wstring(), (work / "1.cab").wstring()}).exitCode);
    ASSERT_EQ(0u, Publish({L"pack", (work / "release").wstring(), (work / "2.cab").wstring()}).exitCode);
    EXPECT_EQ(ReadBytes(work / "1.cab"), ReadBytes(work / "2.cab"));

    fs::create_directories(work / "installed");
    ASSERT_EQ(0u, Unpack(work / "1.cab", work / "installed").exitCode);
    EXPECT_EQ(TreeOf(work / "release"), TreeOf(work / "installed"));

    // What cannot be a package leaves no file behind.
    fs::create_directories(work / "nothing");
    EXPECT_EQ(1u, Publish({L"pack", (work / "nothing").wstring(), (work / "3.cab").wstring()}).exitCode);
    EXPECT_EQ(1u, Publish({L"pack", (work / "release").wstring(), (work / "release" / "in.cab").wstring()}).exitCode);
    EXPECT_FALSE(fs::exists(work / "3.cab"));
    EXPECT_FALSE(fs::exists(work / "release" / "in.cab"));
}

TEST(PublishPackage, PackageOfTwoReleasesTurnsTheOldIntoTheNew)
{
    const fs::path work = FreshFolder("diff");
    MakeTree(work / "1.0", kRelease10);
    MakeTree(work / "1.1", kRelease11);
    const fs::path package = work / "update.cab", changes = work / "changes.ini";
    const ToolRun run = Publish({L"diff", (work / "1.0").wstring(), (work / "1.1").wstring(), package.wstring(),
                                 changes.wstring(), L"--from", L"1.0"});
    ASSERT_EQ(0u, run.exitCode) << run.output;

    // Only the files added or changed are in the package.
    fs::create_directories(work / "alone");
    ASSERT_EQ(0u, Unpack(package, work / "alone").exitCode);
    const Tree changed = {
        {"host.exe", "host 1.1, longer"}, {"plugins", "<folder>"},   {"plugins\\a.dll", "plugin a 1.1"},
        {"data", "<folder>"},             {"data\\new", "<folder>"}, {"data\\new\\n.ini", "added"},
        {"empty.txt", ""},
    };
    EXPECT_EQ(changed, TreeOf(work / "alone"));

    // Each folder gone is one entry; a file gone from a folder that stays is one.
    const LPCWSTR section = L"Changes";
    EXPECT_EQ(L"1.0", ReadProfile(changes, section, L"ValidVersion"));
    EXPECT_EQ(L"1", ReadProfile(changes, section, L"DelFileCount"));
    EXPECT_EQ(L"plugins\\dropped.dll", ReadProfile(changes, section, L"DelFile1"));
    EXPECT_EQ(L"1", ReadProfile(changes, section, L"DelDirCount"));
    EXPECT_EQ(L"old", ReadProfile(changes, section, L"DelDirName1"));

    // Unpacked over the old release, with the deletions done, it is the new one.
    fs::copy(work / "1.0", work / "installed", fs::copy_options::recursive);
    ASSERT_EQ(0u, Unpack(package, work / "installed").exitCode);
    fs::remove(work / "installed" / ReadProfile(changes, section, L"DelFile1"));
    fs::remove_all(work / "installed" / ReadProfile(changes, section, L"DelDirName1"));
    EXPECT_EQ(TreeOf(work / "1.1"), TreeOf(work / "installed"));

    // Two equal releases make no package.
    const fs::path same = work / "same.cab";
    EXPECT_EQ(1u, Publish({L"diff", (work / "1.1").wstring(), (work / "1.1").wstring(), same.wstring(),
                           (work / "same.ini").wstring(), L"--from", L"1.1"}).exitCode);
    EXPECT_FALSE(fs::exists(same));
}

const char kServiceFile[] =
    "; update service\r\n"
    "[OEMClient_Other]\r\n"
    "MajorVerson=9.0\r\n"
    "URL=http://example.test/other.cab\r\n"
    "\r\n"
    "[oemclient_demo]\r\n"
    "MajorVerson=1.0\r\n"
    "Tips=kept as it is\r\n"
    "DelFile1=stale.dll\r\n"
    "DelFile9=stale9.dll\r\n"
    "; a comment of the section\r\n"
    "\r\n"
    "[Tail]\r\n"
    "Key=\xE4\xB8\xAD\r\n"
    ";signature=MEUCIQ==\r\n";

TEST(PublishDescription, SectionIsWrittenInPlaceAndReadByTheLibrary)
{
    const fs::path work = FreshFolder("describe");
    MakeTree(work / "1.1", kRelease11);
    const fs::path package = work / "update.cab", description = work / "update.ini";
    ASSERT_EQ(0u, Publish({L"pack", (work / "1.1").wstring(), package.wstring()}).exitCode);
    WriteBytes(work / "changes.ini", "[Changes]\r\nValidVersion=1.0\r\nDelFileCount=1\r\nDelFile1=plugins\\dropped.dll\r\n"
                                     "DelDirCount=0\r\n");
    WriteBytes(work / "news.txt", "\xEF\xBB\xBF" "First line\r\n\xE7\xAC\xAC\xE4\xBA\x8C\xE8\xA1\x8C\n");
    WriteBytes(work / "plus.txt", "one + two\n");
    WriteBytes(description, kServiceFile);

    std::vector<std::wstring> describe = {L"describe", description.wstring(), L"--client", L"Demo", L"--version",
                                          L"1.1", L"--sp", L"2", L"--url", L"http://example.test/update.cab",
                                          L"--cab", package.wstring(), L"--expires", L"2099-01-01T00:00:00Z",
                                          L"--changes", (work / "changes.ini").wstring(), L"--news"};
    ToolRun run = Publish([&] { auto a = describe; a.push_back((work / "plus.txt").wstring()); return a; }());
    EXPECT_EQ(1u, run.exitCode) << "a \"+\" in the news";
    EXPECT_EQ(kServiceFile, ReadBytes(description));
    describe.push_back((work / "news.txt").wstring());
    run = Publish(describe);
    ASSERT_EQ(0u, run.exitCode) << run.output;

    // Outside the client's keys every byte stays; the old signature goes.
    const std::string edited = ReadBytes(description);
    const std::string before(kServiceFile, sizeof(kServiceFile) - 1);
    const size_t sectionStart = before.find("[oemclient_demo]\r\n");
    EXPECT_EQ(before.substr(0, sectionStart + 18), edited.substr(0, sectionStart + 18));
    EXPECT_EQ("; a comment of the section\r\n\r\n[Tail]\r\nKey=\xE4\xB8\xAD\r\n",
              edited.substr(edited.find("; a comment")));
    EXPECT_NE(std::string::npos, edited.find("Tips=kept as it is\r\n"));
    EXPECT_EQ(std::string::npos, edited.find("stale"));
    EXPECT_EQ(std::string::npos, edited.find(";signature="));

    CRemoteUpdateInfo info(description.wstring().c_str());
    info.LoadClient(L"Demo");
    EXPECT_EQ(L"1.1", info.m_strVersion);
    EXPECT_EQ(2u, info.m_nServicePack);
    EXPECT_EQ(1, info.m_nCanUpdate);
    EXPECT_EQ(L"1.0", info.m_strValidVersion);
    EXPECT_EQ(L"First line\r\n第二行", info.m_strUpdateInfo);
    EXPECT_EQ(L"http://example.test/update.cab", info.GetPackageURL(false));
    EXPECT_EQ(static_cast<int>(fs::file_size(package)), info.ReadClientInt(L"CABFileSize"));
    EXPECT_EQ(1, info.ReadListCount(L"DelFileCount"));
    EXPECT_EQ(L"plugins\\dropped.dll", info.GetDelFile(1));
    EXPECT_EQ(0, info.ReadListCount(L"DelDirCount"));
    EXPECT_EQ(64, info.ReadString(info.m_strSection, L"CABFileSHA256").GetLength());
    EXPECT_EQ(L"9.0", ReadProfile(description, L"OEMClient_Other", L"MajorVerson"));
}

TEST(PublishSigning, SignedDescriptionVerifiesUntilAnythingChanges)
{
    const fs::path work = FreshFolder("sign");
    MakeTree(work / "1.1", kRelease11);
    const fs::path package = work / "update.cab", description = work / "update.ini", key = work / "key.pem";
    ASSERT_EQ(0u, Publish({L"pack", (work / "1.1").wstring(), package.wstring()}).exitCode);
    ASSERT_EQ(0u, Publish({L"keygen", key.wstring()}).exitCode);
    ASSERT_EQ(0u, Publish({L"keygen", (work / "other.pem").wstring()}).exitCode);
    const std::string keyBytes = ReadBytes(key);
    EXPECT_EQ(1u, Publish({L"keygen", key.wstring()}).exitCode) << "an existing key stays";
    EXPECT_EQ(keyBytes, ReadBytes(key));
    ASSERT_EQ(0u, Publish({L"describe", description.wstring(), L"--client", L"Demo", L"--version", L"1.1", L"--sp",
                           L"1", L"--url", L"http://example.test/update.cab", L"--cab", package.wstring(),
                           L"--expires", L"2099-01-01T00:00:00Z"}).exitCode);
    ASSERT_EQ(0u, Publish({L"sign", description.wstring(), L"--key", key.wstring()}).exitCode);
    const std::string signedBytes = ReadBytes(description);
    // Signing again replaces the signature line.
    ASSERT_EQ(0u, Publish({L"sign", description.wstring(), L"--key", key.wstring()}).exitCode);
    EXPECT_EQ(signedBytes.substr(0, signedBytes.find(";signature=")),
              ReadBytes(description).substr(0, ReadBytes(description).find(";signature=")));

    std::string changedByte = ReadBytes(description);
    changedByte.replace(changedByte.find("1.1"), 3, "1.2");
    WriteBytes(work / "changed.ini", changedByte);
    std::string expired = ReadBytes(description);
    expired.replace(expired.find("2099"), 4, "2001");
    WriteBytes(work / "expired.ini", expired);
    ASSERT_EQ(0u, Publish({L"sign", (work / "expired.ini").wstring(), L"--key", key.wstring()}).exitCode);
    WriteBytes(work / "other.cab", ReadBytes(package) + "x");

    const std::wstring publisherKey = PublisherKeyOfFile(key);
    const std::wstring otherKey = PublisherKeyOfFile(work / "other.pem");
    const struct {
        const char* name;
        fs::path file;
        std::wstring keys;
        fs::path cab;
        DWORD expected;
    } cases[] = {
        {"signed", description, publisherKey, package, 0},
        {"second of two keys", description, otherKey + L"," + publisherKey, package, 0},
        {"another key", description, otherKey, package, 1},
        {"a byte changed", work / "changed.ini", publisherKey, package, 1},
        {"expired, though signed", work / "expired.ini", publisherKey, package, 1},
        {"another package", description, publisherKey, work / "other.cab", 1},
    };
    for (const auto& c : cases) {
        const ToolRun run = Publish({L"verify", c.file.wstring(), L"--publisher-key", c.keys, L"--client", L"Demo",
                                     L"--cab", c.cab.wstring()});
        EXPECT_EQ(c.expected, run.exitCode) << c.name << "\n" << run.output;
    }
}

} // namespace
