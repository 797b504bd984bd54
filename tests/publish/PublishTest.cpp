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

TEST(PublishPackage, RefusesWhatTheLauncherOrTheLibraryWouldRefuseAndWritesNothing)
{
    const fs::path work = FreshFolder("refused");
    MakeTree(work / "1.0", kRelease10);
    MakeTree(work / "1.1", kRelease11);
    MakeTree(work / "with-update", {{L"host.exe", "host"}, {L"update\\update.log", "[Files]"}});
    MakeTree(work / "with-journal", {{L"host.exe", "host"}, {L"Update.Journal", "S x"}});
    MakeTree(work / "with-folder", {{L"host.exe", "host"}});
    fs::create_directories(work / "with-folder" / "UPDATE");
    const fs::path package = work / "update.cab", changes = work / "changes.ini";
    ASSERT_EQ(0u, Publish({L"pack", (work / "1.1").wstring(), (work / "good.cab").wstring()}).exitCode);
    WriteBytes(work / "update-changes.ini", "[Changes]\r\nValidVersion=1.0\r\nDelFileCount=1\r\n"
                                            "DelFile1=update\\update.ini\r\nDelDirCount=0\r\n");
    auto describe = [&](const std::wstring& url, const std::wstring& changesFile) {
        std::vector<std::wstring> args = {L"describe", (work / "update.ini").wstring(), L"--client", L"Demo",
                                          L"--version", L"1.1", L"--sp", L"1", L"--url", url, L"--cab",
                                          (work / "good.cab").wstring(), L"--expires", L"2099-01-01T00:00:00Z"};
        if (!changesFile.empty())
            args.insert(args.end(), {L"--changes", changesFile});
        return args;
    };
    auto diff = [&](const char* oldName, const char* newName) {
        return std::vector<std::wstring>{L"diff", (work / oldName).wstring(), (work / newName).wstring(),
                                         package.wstring(), changes.wstring(), L"--from", L"1.0"};
    };
    const struct {
        const char* name;
        std::vector<std::wstring> args;
        const char* named;  // what the error names
    } cases[] = {
        {"a full package holding the update folder's files", {L"pack", (work / "with-update").wstring(), package.wstring()},
         "holding \"update\""},
        {"a full package holding the launcher's journal", {L"pack", (work / "with-journal").wstring(), package.wstring()},
         "holding \"Update.Journal\""},
        {"a full package holding an empty update folder", {L"pack", (work / "with-folder").wstring(), package.wstring()},
         "holding \"UPDATE\""},
        {"a new release holding the update folder", diff("1.0", "with-update"), "holding \"update\""},
        {"an old release holding the update folder", diff("with-update", "1.1"), "holding \"update\""},
        {"a file address", describe(L"file:///C:/update.cab", L""), "file:///C:/update.cab"},
        {"an FTP address", describe(L"ftp://example.test/update.cab", L""), "ftp://example.test/update.cab"},
        {"a share", describe(L"\\\\server\\share\\update.cab", L""), "server"},
        {"no server", describe(L"http:///update.cab", L""), "http:///update.cab"},
        {"a deletion in the update folder", describe(L"https://example.test/update.cab", (work / "update-changes.ini").wstring()),
         "update\\update.ini"},
    };
    for (const auto& c : cases) {
        const ToolRun run = Publish(c.args);
        EXPECT_EQ(1u, run.exitCode) << c.name << "\n" << run.output;
        EXPECT_NE(std::string::npos, run.output.find(c.named)) << c.name << "\n" << run.output;
        EXPECT_FALSE(fs::exists(package)) << c.name;
        EXPECT_FALSE(fs::exists(changes)) << c.name;
        EXPECT_FALSE(fs::exists(work / "update.ini")) << c.name;
    }
    // The same addresses the library does download from pass.
    for (const wchar_t* url : {L"https://example.test/update.cab", L"HTTP://127.0.0.1:8080/a/update.cab?x=1"}) {
        const ToolRun run = Publish(describe(url, L""));
        EXPECT_EQ(0u, run.exitCode) << run.output;
    }
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
    const ToolRun expiredSign = Publish({L"sign", (work / "expired.ini").wstring(), L"--key", key.wstring()});
    ASSERT_EQ(0u, expiredSign.exitCode);
    EXPECT_NE(std::string::npos, expiredSign.output.find("[OEMClient_Demo] expired at 2001-01-01T00:00:00Z"))
        << expiredSign.output;
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

TEST(PublishCheck, AnInstallationIsJudgedAsTheLibraryWouldAndEveryTrapIsNamed)
{
    const fs::path work = FreshFolder("check");
    const P256PrivateKey key = GeneratePrivateKey();
    std::wstring wideKey = PublisherKeyOf(key);
    const std::string publisherKey(wideKey.begin(), wideKey.end());
    const std::string record = "[Files]\r\nVersion=1.0\r\nServicePack=3\r\nOEMClientName=Acme\r\nPublisherKey=" +
                               publisherKey + "\r\n";
    const auto section = [](const std::string& version, const std::string& servicePack, const std::string& expires) {
        return "[OEMClient_Acme]\r\nMajorVerson=" + version + "\r\nServicePack=" + servicePack +
               "\r\nCanUpdate=1\r\nURL=http://example.test/update.cab\r\nCABFileSize=100\r\nCABFileSHA256=" +
               std::string(64, 'a') + "\r\nExpires=" + expires + "\r\n";
    };
    const std::string offer = SignDescription(section("1.1", "4", "2099-01-01T00:00:00Z"), CSigningKey(key));
    const struct {
        const char* name;
        std::map<std::wstring, std::string> files;  // in the installation folder
        std::string description;                    // served; empty: none given
        std::wstring address;                       // empty: none given
        DWORD exitCode;
        std::vector<std::string> said;
    } cases[] = {
        {"a signed installation and an offer that applies",
         {{L"update\\update.log", record}}, offer, L"http://example.test/check", 0,
         {"1 publisher key(s)", "an update will install it (offered 1.1 service pack 4, installed 1.0 service pack 3",
          "then http://example.test/check", "log: off", "no Ambrel.ini, which is optional", "no vexmod.dll",
          "no errors"}},
        {"no record", {}, offer, L"", 1, {"update.log is missing"}},
        {"a record without a client", {{L"update\\update.log", "[Files]\r\nVersion=1.0\r\n"}}, "", L"", 1,
         {"no OEMClientName: nothing is ever offered"}},
        {"a record that is no record", {{L"update\\update.log", "Version=1.0\r\n"}}, "", L"", 1,
         {"has no [Files] section"}},
        {"a version that is no version", {{L"update\\update.log", "[Files]\r\nVersion=one\r\nOEMClientName=A\r\n"}},
         "", L"", 1, {"Version=one is not a version"}},
        {"no key", {{L"update\\update.log", "[Files]\r\nVersion=1.0\r\nServicePack=3\r\nOEMClientName=Acme\r\n"}},
         section("1.1", "4", "2099-01-01T00:00:00Z"), L"", 0,
         {"warning: record: no PublisherKey in [Files]: unsigned descriptions will be accepted",
          "an update will install it"}},
        {"a misspelled key",
         {{L"update\\update.log", "[Files]\r\nVersion=1.0\r\nOEMClientName=Acme\r\nPublisherKeys=" + publisherKey +
                                      "\r\n"}},
         "", L"", 0, {"warning: record: [Files] PublisherKeys is not a key the library reads", "no PublisherKey"}},
        {"a damaged key",
         {{L"update\\update.log", "[Files]\r\nVersion=1.0\r\nOEMClientName=Acme\r\nPublisherKey=MFkw\r\n"}}, "",
         L"", 1, {"PublisherKey entry 1 is not a P-256 public key"}},
        {"no section for this client", {{L"update\\update.log", record}},
         SignDescription("[OEMClient_Other]\r\nMajorVerson=1.1\r\n", CSigningKey(key)), L"", 1,
         {"no section [OEMClient_Acme] with a MajorVerson"}},
        {"an address with &", {{L"update\\update.log", record}}, "", L"http://example.test/check?id=1&lang=en", 0,
         {"warning: address: it holds '&': the description is fetched from http://example.test/check?id=1,",
          "&version=1.0&SP=3"}},
        {"a newer version with the same service pack", {{L"update\\update.log", record}},
         SignDescription(section("1.1", "3", "2099-01-01T00:00:00Z"), CSigningKey(key)), L"", 0,
         {"warning: description: nothing will be offered", "a newer version must raise the service pack too"}},
        {"an expired description", {{L"update\\update.log", record}},
         SignDescription(section("1.1", "4", "2001-01-01T00:00:00Z"), CSigningKey(key)), L"", 1,
         {"refused, its client section has expired"}},
        {"an unsigned description under a key", {{L"update\\update.log", record}}, section("1.1", "4", "2099-01-01T00:00:00Z"),
         L"", 1, {"refused, no signature line"}},
        {"the professional edition and a broken language table",
         {{L"update\\update.log", record}, {L"Ambrel.ini", "[Config]\r\nIsProUpdate=1\r\n"}, {L"vexmod.dll", "x"},
          {L"vexmod.en.txt", "< a\r\n"}, {L"vexmod.zh-TW.txt", "< a\r\n> b\r\n"}},
         "", L"", 0, {"edition: professional", "warning: languages: vexmod.en.txt line", "tables for zh-TW"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = FreshFolder("check-installation");
        MakeTree(folder, c.files);
        std::vector<std::wstring> args = {L"check", folder.wstring()};
        if (!c.description.empty()) {
            WriteBytes(work / "update.ini", c.description);
            args.insert(args.end(), {L"--description", (work / "update.ini").wstring()});
        }
        if (!c.address.empty())
            args.insert(args.end(), {L"--address", c.address});
        const ToolRun run = Publish(args);
        EXPECT_EQ(c.exitCode, run.exitCode) << run.output;
        for (const std::string& text : c.said)
            EXPECT_NE(std::string::npos, run.output.find(text)) << "missing: " << text << "\nin:\n" << run.output;
    }

    // describe names the trap when the release it replaces would keep the new one from being offered.
    const fs::path description = work / "served.ini";
    WriteBytes(description, section("1.0", "0", "2099-01-01T00:00:00Z"));
    WriteBytes(work / "update.cab", "MSCF");
    const ToolRun run = Publish({L"describe", description.wstring(), L"--client", L"Acme", L"--version", L"1.1", L"--sp",
                                 L"0", L"--url", L"http://example.test/update.cab", L"--cab", (work / "update.cab").wstring(),
                                 L"--expires", L"2099-01-01T00:00:00Z"});
    EXPECT_EQ(0u, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("warning: " + description.string() +
                                                 ": over the release it replaces, offered 1.1 service pack 0, "
                                                 "installed 1.0 service pack 0: not offered"))
        << run.output;
}

TEST(PublishTrust, RootCertifiesRevokesAndRotatesAndVerifyFollowsAsInstallationsDo)
{
    const fs::path work = FreshFolder("trust");
    MakeTree(work / "1.1", kRelease11);
    const fs::path package = work / "update.cab", description = work / "update.ini", chain = work / "chain.ini";
    auto file = [&](const char* name) { return (work / name).wstring(); };
    for (const char* key : {"root1.pem", "root2.pem", "root3.pem", "signing.pem", "next.pem"})
        ASSERT_EQ(0u, Publish({L"keygen", file(key)}).exitCode);
    const std::wstring r1 = PublisherKeyOfFile(work / "root1.pem"), r2 = PublisherKeyOfFile(work / "root2.pem"),
                       r3 = PublisherKeyOfFile(work / "root3.pem");
    ASSERT_EQ(0u, Publish({L"pack", (work / "1.1").wstring(), package.wstring()}).exitCode);
    ASSERT_EQ(0u, Publish({L"describe", description.wstring(), L"--client", L"Demo", L"--version", L"1.1", L"--sp",
                           L"1", L"--url", L"http://example.test/update.cab", L"--cab", package.wstring(),
                           L"--expires", L"2099-01-01T00:00:00Z"}).exitCode);
    auto certify = [&](const char* root, const char* key, const wchar_t* id, const wchar_t* until) {
        return Publish({L"certify", chain.wstring(), L"--root", file(root), L"--signing-key",
                        PublisherKeyOfFile(work / key), L"--id", id, L"--until", until});
    };
    auto sign = [&](const char* key) {
        return Publish({L"sign", description.wstring(), L"--key", file(key), L"--chain", chain.wstring()});
    };
    auto verify = [&](const std::wstring& option, const std::wstring& value) {
        return Publish({L"verify", description.wstring(), option, value, L"--client", L"Demo", L"--cab",
                        package.wstring()});
    };

    ToolRun run = certify("root1.pem", "signing.pem", L"build-1", L"2099-01-01T00:00:00Z");
    ASSERT_EQ(0u, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("PublisherRoot=" + std::string(r1.begin(), r1.end())));
    ASSERT_EQ(0u, sign("signing.pem").exitCode);
    run = verify(L"--root", r1);
    EXPECT_EQ(0u, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("certified as \"build-1\"")) << run.output;
    EXPECT_EQ(0u, verify(L"--publisher-key", PublisherKeyOfFile(work / "signing.pem")).exitCode) << "a direct pin, as always";
    EXPECT_EQ(1u, verify(L"--root", r2).exitCode) << "another root";

    // What the chain cannot be made to say, and the files stay as they were.
    const std::string chainBefore = ReadBytes(chain), descriptionBefore = ReadBytes(description);
    const struct {
        const char* name;
        std::vector<std::wstring> args;
        const char* named;
    } refused[] = {
        {"sign with a key the chain does not certify", {L"sign", description.wstring(), L"--key", file("next.pem"),
                                                        L"--chain", chain.wstring()}, "not the signing key"},
        {"revoke the chain's own certificate", {L"revoke", chain.wstring(), L"--root", file("root1.pem"), L"--id",
                                                L"BUILD-1"}, "certify the new signing key first"},
        {"certify with another root", {L"certify", chain.wstring(), L"--root", file("root2.pem"), L"--signing-key",
                                       PublisherKeyOfFile(work / "next.pem"), L"--id", L"build-2", L"--until",
                                       L"2099-01-01T00:00:00Z"}, "not the chain's current root"},
        {"certify until a time gone", {L"certify", chain.wstring(), L"--root", file("root1.pem"), L"--signing-key",
                                       PublisherKeyOfFile(work / "next.pem"), L"--id", L"build-2", L"--until",
                                       L"2001-01-01T00:00:00Z"}, "has passed"},
        {"an identifier with a blank", {L"revoke", chain.wstring(), L"--root", file("root1.pem"), L"--id", L"a b"},
         "is not 1 to 64"},
        {"rotate to the same root", {L"rotate", chain.wstring(), L"--root", file("root1.pem"), L"--new-root",
                                     file("root1.pem")}, "has been a root of this chain"},
    };
    for (const auto& c : refused) {
        run = Publish(c.args);
        EXPECT_EQ(1u, run.exitCode) << c.name << "\n" << run.output;
        EXPECT_NE(std::string::npos, run.output.find(c.named)) << c.name << "\n" << run.output;
        EXPECT_EQ(chainBefore, ReadBytes(chain)) << c.name;
        EXPECT_EQ(descriptionBefore, ReadBytes(description)) << c.name;
    }

    // A new signing key, the old one revoked, and two rotations: an installation
    // pinned to the first root follows, one pinned to the last takes it as it is.
    ASSERT_EQ(0u, certify("root1.pem", "next.pem", L"build-2", L"2099-01-01T00:00:00Z").exitCode);
    ASSERT_EQ(0u, Publish({L"revoke", chain.wstring(), L"--root", file("root1.pem"), L"--id", L"build-1"}).exitCode);
    EXPECT_EQ(1u, certify("root1.pem", "signing.pem", L"build-1", L"2099-01-01T00:00:00Z").exitCode)
        << "a revoked identifier is not certified again";
    ASSERT_EQ(0u, Publish({L"rotate", chain.wstring(), L"--root", file("root1.pem"), L"--new-root",
                           file("root2.pem")}).exitCode);
    EXPECT_EQ(1u, Publish({L"rotate", chain.wstring(), L"--root", file("root1.pem"), L"--new-root",
                           file("root3.pem")}).exitCode) << "the old root rotates no more";
    ASSERT_EQ(0u, Publish({L"rotate", chain.wstring(), L"--root", file("root2.pem"), L"--new-root",
                           file("root3.pem")}).exitCode);
    EXPECT_EQ(1u, Publish({L"rotate", chain.wstring(), L"--root", file("root3.pem"), L"--new-root",
                           file("root1.pem")}).exitCode) << "no way back to a root left";
    EXPECT_EQ(1u, sign("signing.pem").exitCode) << "a key the chain no longer certifies";
    ASSERT_EQ(0u, sign("next.pem").exitCode);
    run = verify(L"--root", r1);
    EXPECT_EQ(0u, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("after 2 root rotations")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("revoked: \"build-1\"")) << run.output;
    EXPECT_EQ(0u, verify(L"--root", r3).exitCode);
    EXPECT_EQ(1u, verify(L"--publisher-key", PublisherKeyOfFile(work / "signing.pem")).exitCode);

    // Any byte changed, a statement too, and the description is refused.
    std::string changed = ReadBytes(description);
    changed.replace(changed.find("revoked=build-1"), 15, "revoked=build-0");
    WriteBytes(description, changed);
    EXPECT_EQ(1u, verify(L"--root", r1).exitCode);
}

TEST(PublishTrust, DescribeWritesSerialChannelRolloutAndRecallAsTheLibraryReadsThem)
{
    const fs::path work = FreshFolder("control");
    MakeTree(work / "1.1", kRelease11);
    const fs::path package = work / "update.cab", description = work / "update.ini";
    ASSERT_EQ(0u, Publish({L"pack", (work / "1.1").wstring(), package.wstring()}).exitCode);
    auto describe = [&](const wchar_t* version, std::vector<std::wstring> extra) {
        std::vector<std::wstring> args = {L"describe", description.wstring(), L"--client", L"Demo", L"--version",
                                          version, L"--sp", L"1", L"--url", L"http://example.test/update.cab",
                                          L"--cab", package.wstring(), L"--expires", L"2099-01-01T00:00:00Z"};
        args.insert(args.end(), extra.begin(), extra.end());
        return Publish(args);
    };
    auto read = [&](LPCWSTR section, LPCWSTR key) { return ReadProfile(description, section, key); };

    ASSERT_EQ(0u, describe(L"2.0.3", {L"--rollout", L"12.5", L"--recall", L"2.1,2.1.1"}).exitCode);
    const std::wstring firstSerial = read(L"OEMClient_Demo", L"Serial");
    EXPECT_EQ(14u, firstSerial.size()) << "the time, YYYYMMDDHHMMSS";
    ASSERT_EQ(0u, describe(L"2.2", {L"--channel", L"beta", L"--rollout", L"0"}).exitCode);
    ASSERT_EQ(0u, describe(L"2.0.3", {}).exitCode);

    CRemoteUpdateInfo info(description.wstring().c_str());
    info.LoadSection(L"OEMClient_Demo@beta");
    EXPECT_EQ(L"2.2", info.m_strVersion);
    EXPECT_EQ(L"0", info.ReadString(info.m_strSection, L"Rollout"));
    info.LoadClient(L"Demo");
    EXPECT_EQ(L"2.0.3", info.m_strVersion);
    // A release described again leaves no rollout or recall of the one before behind.
    EXPECT_EQ(L"", info.ReadString(info.m_strSection, L"Rollout"));
    EXPECT_EQ(L"", info.ReadString(info.m_strSection, L"Recall"));
    // One serial for the file: the beta section's rises with the default's, so
    // that a beta installation that returns to the default never meets a lower one.
    const std::wstring betaSerial = read(L"OEMClient_Demo@beta", L"Serial");
    const std::wstring lastSerial = read(L"OEMClient_Demo", L"Serial");
    EXPECT_LT(_wtoi64(firstSerial.c_str()), _wtoi64(lastSerial.c_str()));
    EXPECT_EQ(lastSerial, betaSerial);
    // Even a serial far ahead of the clock goes up.
    std::string ahead = ReadBytes(description);
    ahead.replace(ahead.find("Serial=" + std::string(lastSerial.begin(), lastSerial.end())), 7 + lastSerial.size(),
                  "Serial=900000000000000000");
    WriteBytes(description, ahead);
    ASSERT_EQ(0u, describe(L"2.0.3", {}).exitCode);
    EXPECT_EQ(L"900000000000000001", read(L"OEMClient_Demo", L"Serial"));
    EXPECT_EQ(L"900000000000000001", read(L"OEMClient_Demo@beta", L"Serial"));

    const std::string before = ReadBytes(description);
    const struct {
        std::vector<std::wstring> extra;
        const char* named;
    } refused[] = {
        {{L"--rollout", L"101"}, "--rollout"},
        {{L"--rollout", L"5%"}, "--rollout"},
        {{L"--channel", L"be ta"}, "--channel"},
        {{L"--channel", L"beta]"}, "--channel"},
        {{L"--recall", L"2.0.3"}, "not above the offered"},
        {{L"--recall", L"2.1;2.2"}, "--recall"},
    };
    for (const auto& c : refused) {
        const ToolRun run = describe(L"2.0.3", c.extra);
        EXPECT_EQ(1u, run.exitCode) << c.named << "\n" << run.output;
        EXPECT_NE(std::string::npos, run.output.find(c.named)) << run.output;
        EXPECT_EQ(before, ReadBytes(description)) << c.named;
    }
}

} // namespace
