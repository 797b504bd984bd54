#include "Publish.h"

#include "Cabinet.h"
#include "Console.h"
#include "DescriptionEdit.h"
#include "DescriptionValues.h"
#include "FileBytes.h"
#include "KeyFile.h"
#include "PublishError.h"
#include "ReleaseTree.h"
#include "TextCodec.h"

#include "description/RemoteUpdateInfo.h"
#include "install/DescriptionSafety.h"
#include "verify/Base64.h"
#include "verify/DescriptionSignature.h"
#include "verify/Expires.h"
#include "verify/Sha256.h"

#include <climits>
#include <map>
#include <optional>

namespace {

const wchar_t kUsage[] =
    L"usage: update-publish <verb> ...\n"
    L"  keygen <key.pem>            make a key pair, print its PublisherKey value\n"
    L"  pubkey <key.pem>            print the PublisherKey value of a private key\n"
    L"  pack <release> <package.cab>\n"
    L"                              every file of the release folder\n"
    L"  diff <old> <new> <package.cab> <changes.ini> --from <old version>\n"
    L"                              the files added or changed; what to delete into changes.ini\n"
    L"  describe <update.ini> --client <name> --version <v> --sp <n> --url <address>\n"
    L"           --cab <package.cab> --expires <YYYY-MM-DDTHH:MM:SSZ>\n"
    L"           [--news <utf-8 text file>] [--changes <changes.ini>] [--can-update 0|1] [--pro]\n"
    L"                              write the client's section; without --changes the package\n"
    L"                              is a full one (no deletions, no ValidVersion)\n"
    L"  sign <update.ini> --key <key.pem>\n"
    L"  verify <update.ini> --publisher-key <value> [--client <name> [--pro] [--cab <package.cab>]]\n"
    L"Names written into update.ini use this machine's ANSI code page, as the library reads them;\n"
    L"the news is UTF-8.";

const size_t kMaxDescription = 16 * 1024 * 1024;
const size_t kMaxKeyFile = 64 * 1024;
const size_t kMaxNews = 1024 * 1024;

struct CUsageError {
    std::wstring message;
};

// The words after the verb: positional ones in order, and "--name value" or "--flag".
class CArguments {
public:
    CArguments(const std::vector<std::wstring>& args, std::vector<std::wstring> flags)
    {
        for (size_t i = 1; i < args.size(); ++i) {
            const std::wstring& word = args[i];
            if (word.size() > 2 && word.compare(0, 2, L"--") == 0) {
                const std::wstring name = word.substr(2);
                if (m_options.count(name) || m_flags.count(name))
                    throw CUsageError{L"--" + name + L" given twice"};
                bool bFlag = false;
                for (const std::wstring& flag : flags)
                    bFlag = bFlag || flag == name;
                if (bFlag) {
                    m_flags[name] = false;
                } else {
                    if (i + 1 == args.size())
                        throw CUsageError{L"--" + name + L" needs a value"};
                    m_options[name] = {args[++i], false};
                }
            } else {
                m_positional.push_back(word);
            }
        }
    }

    const std::wstring& Positional(size_t n, size_t count)
    {
        if (m_positional.size() != count)
            throw CUsageError{L"expected " + std::to_wstring(count) + L" names, got " + std::to_wstring(m_positional.size())};
        return m_positional[n];
    }

    std::optional<std::wstring> Option(const std::wstring& name)
    {
        auto found = m_options.find(name);
        if (found == m_options.end())
            return std::nullopt;
        found->second.second = true;
        return found->second.first;
    }

    std::wstring Required(const std::wstring& name)
    {
        std::optional<std::wstring> value = Option(name);
        if (!value)
            throw CUsageError{L"--" + name + L" is required"};
        return *value;
    }

    bool Flag(const std::wstring& name)
    {
        auto found = m_flags.find(name);
        if (found == m_flags.end())
            return false;
        found->second = true;
        return true;
    }

    // Every option given must have been asked for by the verb.
    void CheckAllUsed() const
    {
        for (const auto& option : m_options)
            if (!option.second.second)
                throw CUsageError{L"unknown option --" + option.first};
        for (const auto& flag : m_flags)
            if (!flag.second)
                throw CUsageError{L"unknown option --" + flag.first};
    }

private:
    std::vector<std::wstring> m_positional;
    std::map<std::wstring, std::pair<std::wstring, bool>> m_options;  // value, asked for
    std::map<std::wstring, bool> m_flags;                             // asked for
};

P256PrivateKey LoadKey(const std::wstring& path)
{
    P256PrivateKey key;
    std::wstring problem;
    std::string pem = ReadWholeFile(path, kMaxKeyFile);
    const bool bParsed = ParsePrivateKeyPem(pem, key, problem);
    ::SecureZeroMemory(&pem[0], pem.size());
    if (!bParsed)
        Fail(path, problem);
    return key;
}

struct PackageFacts {
    ULONGLONG nSize = 0;
    Sha256Digest digest = {};
};

PackageFacts HashFile(const std::wstring& path)
{
    CHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        FailWithError(path, ::GetLastError());
    PackageFacts facts;
    CSha256 hasher;
    std::vector<BYTE> chunk(256 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr))
            FailWithError(path, ::GetLastError());
        if (read == 0)
            break;
        hasher.Update(chunk.data(), read);
        facts.nSize += read;
    }
    if (!hasher.Finish(facts.digest))
        Fail(path, L"the platform could not hash it");
    return facts;
}

// An output must not land in a release it is made from: the next run would pack it.
void CheckOutside(const std::wstring& output, const Release& release)
{
    const std::wstring prefix = release.root + L"\\";
    if (output.size() > prefix.size() &&
        ::CompareStringOrdinal(output.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                               static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL)
        Fail(output, L"inside the release folder " + release.root);
}

void WarnEmptyFolders(const Release& release, const std::vector<std::wstring>& folders)
{
    for (const std::wstring& folder : folders)
        PrintErrorLine(L"update-publish: warning: " + release.root + L"\\" + folder +
                       L": an empty folder, which a package cannot hold");
}

void PrintPackage(const std::wstring& path, const std::wstring& contents)
{
    const PackageFacts facts = HashFile(path);
    PrintLine(path + L": " + contents + L", " + std::to_wstring(facts.nSize) + L" bytes, SHA-256 " +
              FormatSha256Hex(facts.digest));
}

// A description in UTF-16 would be broken by edits and a signature line made of single bytes.
std::string ReadDescription(const std::wstring& path)
{
    std::string bytes = ReadWholeFile(path, kMaxDescription);
    if (bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF')))
        Fail(path, L"a UTF-16 file; descriptions are written in single bytes");
    return bytes;
}

CabinetFile CabinetFileOf(const Release& release, const ReleaseEntry& entry)
{
    return CabinetFile{release.PathOf(entry), entry.name, entry.lastWrite};
}

int KeyGen(CArguments& args)
{
    const std::wstring path = FullPath(args.Positional(0, 1));
    args.CheckAllUsed();
    if (FileExists(path) || FolderExists(path))
        Fail(path, L"exists already; not overwritten");
    const P256PrivateKey key = GeneratePrivateKey();
    std::string pem = FormatPrivateKeyPem(key);
    WriteFileAtomically(path, pem, false);
    ::SecureZeroMemory(&pem[0], pem.size());
    PrintLine(PublisherKeyOf(key));
    return 0;
}

int PubKey(CArguments& args)
{
    const std::wstring path = FullPath(args.Positional(0, 1));
    args.CheckAllUsed();
    PrintLine(PublisherKeyOf(LoadKey(path)));
    return 0;
}

int Pack(CArguments& args)
{
    const std::wstring folder = FullPath(args.Positional(0, 2));
    const std::wstring cabinet = FullPath(args.Positional(1, 2));
    args.CheckAllUsed();
    const Release release = ListRelease(folder);
    CheckOutside(cabinet, release);
    std::vector<CabinetFile> files;
    for (const ReleaseEntry& entry : release.entries) {
        if (!entry.bFolder)
            files.push_back(CabinetFileOf(release, entry));
    }
    if (files.empty())
        Fail(folder, L"holds no file");
    WarnEmptyFolders(release, EmptyFolders(release));
    WriteCabinet(cabinet, files);
    PrintPackage(cabinet, std::to_wstring(files.size()) + L" files");
    return 0;
}

int Diff(CArguments& args)
{
    const std::wstring oldFolder = FullPath(args.Positional(0, 4));
    const std::wstring newFolder = FullPath(args.Positional(1, 4));
    const std::wstring cabinet = FullPath(args.Positional(2, 4));
    const std::wstring changesFile = FullPath(args.Positional(3, 4));
    DeletionLists lists;
    lists.validVersion = args.Required(L"from");
    args.CheckAllUsed();
    if (!IsVersionText(lists.validVersion))
        Fail(L"--from", L"\"" + lists.validVersion + L"\" is not a version such as 1.2 or 1.2.3.4");

    const Release oldRelease = ListRelease(oldFolder);
    const Release newRelease = ListRelease(newFolder);
    for (const std::wstring& output : {cabinet, changesFile}) {
        CheckOutside(output, oldRelease);
        CheckOutside(output, newRelease);
    }
    const ReleaseChanges changes = CompareReleases(oldRelease, newRelease);
    if (changes.packed.empty() && changes.deletedFiles.empty() && changes.deletedFolders.empty())
        Fail(newFolder, L"the same as " + oldFolder + L": nothing to package");
    if (changes.packed.empty())
        Fail(newFolder, L"only removes files, and a package needs one file at least; use a full package");
    const size_t kMaxEntries = static_cast<size_t>(CRemoteUpdateInfo::kMaxListEntries);
    if (changes.deletedFiles.size() > kMaxEntries || changes.deletedFolders.size() > kMaxEntries)
        Fail(newFolder, L"removes more than " + std::to_wstring(kMaxEntries) +
                            L" files or folders, more than the library deletes; use a full package");
    WarnEmptyFolders(newRelease, changes.emptyFolders);

    std::vector<CabinetFile> files;
    for (const ReleaseEntry* entry : changes.packed)
        files.push_back(CabinetFileOf(newRelease, *entry));
    lists.files = changes.deletedFiles;
    lists.folders = changes.deletedFolders;
    WriteCabinet(cabinet, files);
    WriteFileAtomically(changesFile, FormatChangesFile(lists), true);
    PrintPackage(cabinet, std::to_wstring(files.size()) + L" files added or changed");
    PrintLine(changesFile + L": valid from " + lists.validVersion + L", " + std::to_wstring(lists.files.size()) +
              L" files and " + std::to_wstring(lists.folders.size()) + L" folders to delete");
    return 0;
}

// A value in the ANSI code page the library reads it in; throws naming what it is.
std::string AnsiValue(const std::wstring& what, const std::wstring& value)
{
    std::wstring problem;
    if (!IsProfileValue(value, problem))
        Fail(what, L"\"" + value + L"\" " + problem);
    std::string bytes;
    if (!EncodeAnsi(value, bytes))
        Fail(what, L"\"" + value + L"\" has characters this machine's ANSI code page cannot hold");
    return bytes;
}

bool IsDigits(const std::wstring& text, size_t nMaxDigits)
{
    if (text.empty() || text.size() > nMaxDigits)
        return false;
    for (wchar_t ch : text)
        if (ch < L'0' || ch > L'9')
            return false;
    return true;
}

// Keys of the deletion lists and ValidVersion: a package replaces all of them.
bool IsDeletionKey(std::string_view key)
{
    auto numbered = [&](std::string_view stem) {
        if (key.size() <= stem.size() || !EqualNoCase(key.substr(0, stem.size()), stem))
            return false;
        for (char ch : key.substr(stem.size()))
            if (ch < '0' || ch > '9')
                return false;
        return true;
    };
    return EqualNoCase(key, "ValidVersion") || EqualNoCase(key, "DelFileCount") || EqualNoCase(key, "DelDirCount") ||
           numbered("DelFile") || numbered("DelDirName");
}

void AddDeletionEntries(SectionEdit& edit, const std::wstring& changesFile, const DeletionLists& lists)
{
    auto add = [&](const char* countKey, const char* entryKey, const std::vector<std::wstring>& entries) {
        edit.values.emplace_back(countKey, std::to_string(entries.size()));
        for (size_t i = 0; i < entries.size(); ++i) {
            CString resolved;
            // The library deletes only what lies strictly inside the program folder.
            if (!ResolveDeletionPath(L"C:\\Program", entries[i].c_str(), resolved))
                Fail(changesFile, L"\"" + entries[i] + L"\" is not a path inside the program folder");
            edit.values.emplace_back(entryKey + std::to_string(i + 1), AnsiValue(changesFile, entries[i]));
        }
    };
    edit.values.emplace_back("ValidVersion", AsciiOf(lists.validVersion));
    add("DelFileCount", "DelFile", lists.files);
    add("DelDirCount", "DelDirName", lists.folders);
}

int Describe(CArguments& args)
{
    const std::wstring description = FullPath(args.Positional(0, 1));
    const std::wstring client = args.Required(L"client");
    const std::wstring version = args.Required(L"version");
    const std::wstring servicePack = args.Required(L"sp");
    const std::wstring url = args.Required(L"url");
    const std::wstring cabinet = FullPath(args.Required(L"cab"));
    const std::wstring expires = args.Required(L"expires");
    const std::optional<std::wstring> news = args.Option(L"news");
    const std::optional<std::wstring> changes = args.Option(L"changes");
    const std::wstring canUpdate = args.Option(L"can-update").value_or(L"1");
    const bool bPro = args.Flag(L"pro");
    args.CheckAllUsed();

    if (client.empty() || client.find_first_of(L"[]") != std::wstring::npos)
        Fail(L"--client", L"\"" + client + L"\" is not a client name");
    if (!IsVersionText(version))
        Fail(L"--version", L"\"" + version + L"\" is not a version such as 1.2 or 1.2.3.4");
    if (!IsDigits(servicePack, 9))
        Fail(L"--sp", L"\"" + servicePack + L"\" is not a service-pack number");
    if (canUpdate != L"0" && canUpdate != L"1")
        Fail(L"--can-update", L"\"" + canUpdate + L"\" is neither 0 nor 1");
    switch (CheckExpires(expires, CurrentUtcTicks())) {
    case ExpiryVerdict::Valid: break;
    case ExpiryVerdict::Expired: Fail(L"--expires", expires + L" has passed");
    case ExpiryVerdict::Malformed: Fail(L"--expires", L"\"" + expires + L"\" is not a UTC time such as 2030-01-31T12:00:00Z");
    }

    const PackageFacts package = HashFile(cabinet);
    // The library reads the size as a signed 32-bit number.
    if (package.nSize == 0 || package.nSize > INT_MAX)
        Fail(cabinet, L"not a package size the library can read");

    SectionEdit edit;
    edit.section = AnsiValue(L"--client", L"OEMClient_" + client);
    edit.removes = IsDeletionKey;
    edit.values.emplace_back("MajorVerson", AsciiOf(version));
    edit.values.emplace_back(bPro ? "ServiceProPack" : "ServicePack", AsciiOf(servicePack));
    edit.values.emplace_back("CanUpdate", AsciiOf(canUpdate));
    edit.values.emplace_back(bPro ? "URL_PRO" : "URL", AnsiValue(L"--url", url));
    edit.values.emplace_back(bPro ? "ProCABFileSize" : "CABFileSize", std::to_string(package.nSize));
    edit.values.emplace_back(bPro ? "ProCABFileSHA256" : "CABFileSHA256", AsciiOf(FormatSha256Hex(package.digest)));
    edit.values.emplace_back("Expires", AsciiOf(expires));
    if (news) {
        const std::wstring path = FullPath(*news);
        std::string value;
        std::wstring problem;
        if (!NewsValueOf(ReadWholeFile(path, kMaxNews), value, problem))
            Fail(path, problem);
        edit.values.emplace_back("UpdateInfo", value);
    }
    if (changes) {
        const std::wstring path = FullPath(*changes);
        DeletionLists lists;
        std::wstring problem;
        if (!ParseChangesFile(ReadWholeFile(path, kMaxDescription), lists, problem))
            Fail(path, problem);
        AddDeletionEntries(edit, path, lists);
    }

    const std::string old = FileExists(description) ? ReadDescription(description) : std::string();
    std::string edited;
    if (!EditDescription(old, edit, edited))
        Fail(description, L"the section [OEMClient_" + client + L"] appears twice");
    WriteFileAtomically(description, edited, true);
    PrintLine(description + L": [OEMClient_" + client + L"] " + version + (bPro ? L" professional" : L"") +
              L" service pack " + servicePack + L", package " + std::to_wstring(package.nSize) +
              L" bytes; not signed");
    return 0;
}

int Sign(CArguments& args)
{
    const std::wstring description = FullPath(args.Positional(0, 1));
    const std::wstring keyFile = FullPath(args.Required(L"key"));
    args.CheckAllUsed();
    const P256PrivateKey key = LoadKey(keyFile);
    const CSigningKey signingKey(key);

    const std::string signedFile = SignDescription(ReadDescription(description), signingKey);
    if (signedFile.empty())
        Fail(description, L"nothing to sign");

    // What the library will check, checked before anything is written.
    const std::wstring publisherKey = PublisherKeyOf(key);
    const SignatureVerdict verdict = VerifyDescriptionSignature(signedFile, publisherKey);
    if (verdict != SignatureVerdict::Verified)
        Fail(keyFile, std::wstring(L"the signature made does not verify (") + DescribeSignatureVerdict(verdict) +
                          L"); is the public point the private key's own?");
    WriteFileAtomically(description, signedFile, true);
    PrintLine(description + L": signed for PublisherKey " + publisherKey);
    return 0;
}

int Verify(CArguments& args)
{
    const std::wstring description = FullPath(args.Positional(0, 1));
    const std::wstring publisherKey = args.Required(L"publisher-key");
    const std::optional<std::wstring> client = args.Option(L"client");
    const std::optional<std::wstring> cabinet = args.Option(L"cab");
    const bool bPro = args.Flag(L"pro");
    args.CheckAllUsed();
    if ((cabinet || bPro) && !client)
        throw CUsageError{L"--cab and --pro need --client"};

    const SignatureVerdict verdict = VerifyDescriptionSignature(ReadWholeFile(description, kMaxDescription), publisherKey);
    if (verdict != SignatureVerdict::Verified)
        Fail(description, DescribeSignatureVerdict(verdict));
    PrintLine(description + L": " + DescribeSignatureVerdict(verdict));
    if (!client)
        return 0;

    // Read as the library reads it.
    CRemoteUpdateInfo info(description.c_str());
    info.LoadClient(client->c_str());
    const std::wstring section = L"[" + info.m_strSection.Str() + L"]";
    if (info.m_strVersion.IsEmpty())
        Fail(description, section + L" has no MajorVerson; is the client name right?");
    const std::wstring expires = info.ReadString(info.m_strSection, L"Expires").Str();
    switch (CheckExpires(expires, CurrentUtcTicks())) {
    case ExpiryVerdict::Valid: break;
    case ExpiryVerdict::Expired: Fail(description, section + L" expired at " + expires);
    case ExpiryVerdict::Malformed: Fail(description, section + L" has no valid Expires");
    }
    if (info.GetPackageURL(bPro).IsEmpty())
        Fail(description, section + (bPro ? L" has no URL_PRO" : L" has no URL"));
    const LPCWSTR digestKey = bPro ? L"ProCABFileSHA256" : L"CABFileSHA256";
    const LPCWSTR sizeKey = bPro ? L"ProCABFileSize" : L"CABFileSize";
    Sha256Digest expected;
    if (!ParseSha256Hex(info.GetPackageDigest(bPro).Str(), expected))
        Fail(description, section + L" has no valid " + digestKey);
    // Read as the library reads it, beyond 2 GiB too.
    const ULONGLONG nExpectedSize = info.GetPackageSize(bPro);
    if (nExpectedSize == 0)
        Fail(description, section + L" has no valid " + sizeKey);

    std::wstring summary = section + L" version " + info.m_strVersion.Str() + L", expires " + expires;
    if (cabinet) {
        const std::wstring path = FullPath(*cabinet);
        const PackageFacts package = HashFile(path);
        if (package.nSize != nExpectedSize)
            Fail(path, std::to_wstring(package.nSize) + L" bytes; " + sizeKey + L" says " + std::to_wstring(nExpectedSize));
        if (package.digest != expected)
            Fail(path, std::wstring(L"its SHA-256 differs from ") + digestKey);
        summary += L", package matches";
    }
    PrintLine(summary);
    return 0;
}

} // namespace

int RunPublish(const std::vector<std::wstring>& args)
{
    try {
        if (args.empty())
            throw CUsageError{L"no verb"};
        const std::wstring& verb = args[0];
        const struct {
            LPCWSTR name;
            int (*run)(CArguments&);
            std::vector<std::wstring> flags;
        } verbs[] = {
            {L"keygen", KeyGen, {}}, {L"pubkey", PubKey, {}},          {L"pack", Pack, {}},
            {L"diff", Diff, {}},     {L"describe", Describe, {L"pro"}}, {L"sign", Sign, {}},
            {L"verify", Verify, {L"pro"}},
        };
        for (const auto& known : verbs) {
            if (verb == known.name) {
                CArguments arguments(args, known.flags);
                return known.run(arguments);
            }
        }
        if (verb == L"--help" || verb == L"help" || verb == L"-h" || verb == L"/?") {
            PrintLine(kUsage);
            return 0;
        }
        throw CUsageError{L"unknown verb \"" + verb + L"\""};
    } catch (const CUsageError& e) {
        PrintErrorLine(L"update-publish: " + e.message);
        PrintErrorLine(kUsage);
        return 2;
    } catch (const CPublishError& e) {
        PrintErrorLine(L"update-publish: " + e.message);
        return 1;
    } catch (const std::bad_alloc&) {
        PrintErrorLine(L"update-publish: out of memory");
        return 1;
    }
}
