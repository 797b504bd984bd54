#include "Publish.h"

#include "Arguments.h"
#include "Cabinet.h"
#include "Console.h"
#include "DeltaPackage.h"
#include "DescriptionEdit.h"
#include "DescriptionValues.h"
#include "FileBytes.h"
#include "InstallationCheck.h"
#include "KeyFile.h"
#include "PublishError.h"
#include "ReleaseTree.h"
#include "base/TextCodec.h"
#include "TrustVerbs.h"

#include "base/Decimal.h"
#include "base/Paths.h"
#include "base/UpdateLayout.h"

#include "description/ReleaseControl.h"
#include "description/RemoteUpdateInfo.h"
#include "description/TrustRecord.h"
#include "install/DescriptionSafety.h"
#include "install/OfferAnalysis.h"
#include "install/OfferReason.h"
#include "net/ServiceAddress.h"
#include "verify/Base64.h"
#include "verify/DescriptionSignature.h"
#include "verify/Expires.h"
#include "base/Sha256.h"

#include <climits>
#include <map>
#include <optional>

namespace {

const wchar_t kUsage[] =
    L"usage: update-publish <verb> ...\n"
    L"  keygen <key.pem>            make a key pair (a signing key or a root), print its public value\n"
    L"  pubkey <key.pem>            print the PublisherKey value of a private key\n"
    L"  pack <release> <package.cab>\n"
    L"                              every file of the release folder\n"
    L"  diff <old> <new> <package.cab> <changes.ini> --from <old version> [--delta <delta.cab>]\n"
    L"                              the files added or changed; what to delete into changes.ini;\n"
    L"                              with --delta also each changed file as a patch where smaller\n"
    L"  describe <update.ini> --client <name> --version <v> --sp <n> --url <address>\n"
    L"           --cab <package.cab> --expires <YYYY-MM-DDTHH:MM:SSZ>\n"
    L"           [--news <utf-8 text file>] [--changes <changes.ini>] [--can-update 0|1] [--pro]\n"
    L"           [--channel <name>] [--rollout <percent>] [--recall <version>,...]\n"
    L"           [--delta <delta.cab> --delta-url <address> --delta-from <old version>]\n"
    L"                              write the client's (or its channel's) section with the next\n"
    L"                              Serial, which the client's other channels take too; without\n"
    L"                              --changes the package is a full one\n"
    L"  certify <chain.ini> --root <root.pem> --signing-key <value> --id <id> --until <time>\n"
    L"                              the root certifies a signing key for descriptions\n"
    L"  revoke <chain.ini> --root <root.pem> --id <id>\n"
    L"  rotate <chain.ini> --root <root.pem> --new-root <new root.pem>\n"
    L"  sign <update.ini> --key <key.pem> [--chain <chain.ini>]\n"
    L"  verify <update.ini> (--publisher-key <value> | --root <value>)\n"
    L"         [--client <name> [--channel <name>] [--pro] [--cab <package.cab>]]\n"
    L"  check <installation folder> [--address <service address>] [--description <update.ini>]\n"
    L"                              what an update will do in an installed copy, and what is wrong\n"
    L"Names written into update.ini use this machine's ANSI code page, as the library reads them;\n"
    L"the news is UTF-8.";

const size_t kMaxDescription = 16 * 1024 * 1024;
const size_t kMaxNews = 1024 * 1024;

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
    if (output.size() > release.root.size() && IsInsideFolder(output, release.root))
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
    PrintLine(PublisherKeyOf(LoadPrivateKeyFile(path)));
    return 0;
}

int Pack(CArguments& args)
{
    const std::wstring folder = FullPath(args.Positional(0, 2));
    const std::wstring cabinet = FullPath(args.Positional(1, 2));
    args.CheckAllUsed();
    const Release release = ListRelease(folder);
    CheckPackageNames(release);
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

// The delta package beside the file-level one, and the three sizes a publisher weighs.
void WriteDelta(const std::wstring& deltaCabinet, const Release& oldRelease, const Release& newRelease,
                const ReleaseChanges& changes, const std::wstring& fileLevelCabinet)
{
    std::map<std::wstring, const ReleaseEntry*, IgnoringCaseLess> oldByName;
    for (const ReleaseEntry& entry : oldRelease.entries)
        oldByName[entry.name] = &entry;
    std::vector<DeltaSource> sources;
    for (const ReleaseEntry* entry : changes.packed) {
        const auto found = oldByName.find(entry->name);
        sources.push_back(DeltaSource{entry->name, found == oldByName.end() ? std::wstring() : oldRelease.PathOf(*found->second),
                                      newRelease.PathOf(*entry), entry->lastWrite});
    }
    const DeltaPlan plan = PlanDelta(sources);
    WriteDeltaPackage(deltaCabinet, sources, plan);
    size_t patches = 0;
    for (const DeltaEntry& entry : plan.entries)
        patches += entry.form == FileForm::Patch ? 1 : 0;
    PrintPackage(deltaCabinet, std::to_wstring(patches) + L" files as patches, " +
                                   std::to_wstring(plan.entries.size() - patches) + L" whole");

    // The full package is made only to be weighed.
    std::vector<CabinetFile> all;
    for (const ReleaseEntry& entry : newRelease.entries) {
        if (!entry.bFolder)
            all.push_back(CabinetFileOf(newRelease, entry));
    }
    CPendingFile full(deltaCabinet + L".full");
    WriteCabinet(full.Path(), all);
    PrintLine(L"sizes: full " + std::to_wstring(HashFile(full.Path()).nSize) + L" bytes, file-level " +
              std::to_wstring(HashFile(fileLevelCabinet).nSize) + L", delta " +
              std::to_wstring(HashFile(deltaCabinet).nSize));
}

int Diff(CArguments& args)
{
    const std::wstring oldFolder = FullPath(args.Positional(0, 4));
    const std::wstring newFolder = FullPath(args.Positional(1, 4));
    const std::wstring cabinet = FullPath(args.Positional(2, 4));
    const std::wstring changesFile = FullPath(args.Positional(3, 4));
    DeletionLists lists;
    lists.validVersion = args.Required(L"from");
    const std::optional<std::wstring> delta = args.Option(L"delta");
    const std::wstring deltaCabinet = delta ? FullPath(*delta) : std::wstring();
    args.CheckAllUsed();
    if (!IsVersionText(lists.validVersion))
        Fail(L"--from", L"\"" + lists.validVersion + L"\" is not a version such as 1.2 or 1.2.3.4");

    const Release oldRelease = ListRelease(oldFolder);
    const Release newRelease = ListRelease(newFolder);
    // The old release's names end up in the deletion lists, which the library refuses alike.
    CheckPackageNames(oldRelease);
    CheckPackageNames(newRelease);
    for (const std::wstring& output : {cabinet, changesFile, deltaCabinet}) {
        if (output.empty())
            continue;
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
    if (!deltaCabinet.empty())
        WriteDelta(deltaCabinet, oldRelease, newRelease, changes, cabinet);
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

// Keys of the deletion lists and ValidVersion: a package replaces all of them.
bool IsDeletionKey(std::string_view key)
{
    auto numbered = [&](std::string_view stem) {
        if (key.size() <= stem.size() || !EqualsAsciiNoCase(key.substr(0, stem.size()), stem))
            return false;
        for (char ch : key.substr(stem.size()))
            if (ch < '0' || ch > '9')
                return false;
        return true;
    };
    return EqualsAsciiNoCase(key, "ValidVersion") || EqualsAsciiNoCase(key, "DelFileCount") || EqualsAsciiNoCase(key, "DelDirCount") ||
           numbered("DelFile") || numbered("DelDirName");
}

void AddDeletionEntries(SectionEdit& edit, const std::wstring& changesFile, const DeletionLists& lists)
{
    auto add = [&](const char* countKey, const char* entryKey, const std::vector<std::wstring>& entries) {
        edit.values.emplace_back(countKey, std::to_string(entries.size()));
        for (size_t i = 0; i < entries.size(); ++i) {
            CString resolved;
            // The library deletes only what lies strictly inside the program folder, and nothing of its update folder.
            if (!ResolveDeletionPath(L"C:\\Program", entries[i].c_str(), resolved))
                Fail(changesFile, L"\"" + entries[i] + L"\" is not a path inside the program folder");
            if (PathsOverlap(resolved, UpdateFolderIn(L"C:\\Program").c_str()))
                Fail(changesFile, L"\"" + entries[i] + L"\" is the update folder or lies in it; the library never deletes there");
            edit.values.emplace_back(entryKey + std::to_string(i + 1), AnsiValue(changesFile, entries[i]));
        }
    };
    edit.values.emplace_back("ValidVersion", AsciiOf(lists.validVersion));
    add("DelFileCount", "DelFile", lists.files);
    add("DelDirCount", "DelDirName", lists.folders);
}

void Warn(const std::wstring& subject, const std::wstring& what)
{
    PrintErrorLine(L"update-publish: warning: " + subject + L": " + what);
}

// The release a section replaces is installed where the new one must be
// offered: a release that would not be is published to nobody.
void WarnUnoffered(const std::wstring& description, const std::wstring& section, const std::wstring& version,
                   UINT nServicePack, bool bPro, int nCanUpdate)
{
    COfferFacts facts;
    facts.strOfferedVersion = version.c_str();
    facts.nOfferedPack = nServicePack;
    facts.nCanUpdate = nCanUpdate;
    if (FileExists(description)) {
        CRemoteUpdateInfo replaced(description.c_str());
        replaced.LoadSection(section.c_str());
        facts.strInstalledVersion = replaced.m_strVersion;
        facts.nInstalledPack = bPro ? replaced.m_nServiceProPack : replaced.m_nServicePack;
    }
    // A refresh of the same release (another address, say) replaces nothing older.
    const bool bSameRelease = facts.strInstalledVersion == facts.strOfferedVersion &&
                              facts.nInstalledPack == facts.nOfferedPack;
    if (bSameRelease)
        return;
    if (!facts.strInstalledVersion.IsEmpty()) {
        const EOfferVerdict verdict = JudgeOffer(facts);
        if (verdict != EOfferVerdict::Applies && verdict != EOfferVerdict::Elsewhere)
            Warn(description, L"over the release it replaces, " + OfferVerdictReason(facts, verdict).Str());
    } else if (nServicePack == 0) {
        Warn(description, L"service pack 0 is never offered over an installed release of another version: "
                          L"raise the service pack with every release");
    }
}

// The channel, rollout and recall as the library reads them.
void CheckReleaseControl(const std::wstring& version, const std::wstring& channel,
                         const std::optional<std::wstring>& rollout, const std::optional<std::wstring>& recall)
{
    if (!channel.empty() && !IsChannelName(channel.c_str()))
        Fail(L"--channel", L"\"" + channel + L"\" is not 1 to 32 of A-Z a-z 0-9 - _");
    UINT nHundredths = 0;
    if (rollout && !ParseRolloutPercent(rollout->c_str(), nHundredths))
        Fail(L"--rollout", L"\"" + *rollout + L"\" is not a percentage from 0 to 100 with at most two decimals");
    std::vector<CVersionNumber> recalled;
    if (recall && !ParseRecallList(recall->c_str(), recalled))
        Fail(L"--recall", L"\"" + *recall + L"\" is not a list of versions such as 2.1,2.1.1");
    // A recall sends installations back to this release; one at or below it could not go back.
    for (const CVersionNumber& bad : recalled) {
        if (!ParseVersion(version.c_str()).IsLessThan(bad))
            Fail(L"--recall", L"\"" + *recall + L"\" names a version not above the offered " + version);
    }
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
    const std::wstring channel = args.Option(L"channel").value_or(L"");
    const std::optional<std::wstring> rollout = args.Option(L"rollout");
    const std::optional<std::wstring> recall = args.Option(L"recall");
    const std::optional<std::wstring> delta = args.Option(L"delta");
    const std::optional<std::wstring> deltaUrl = args.Option(L"delta-url");
    const std::optional<std::wstring> deltaFrom = args.Option(L"delta-from");
    const bool bPro = args.Flag(L"pro");
    args.CheckAllUsed();
    if (delta.has_value() != deltaUrl.has_value() || delta.has_value() != deltaFrom.has_value())
        Fail(L"--delta", L"goes with --delta-url and --delta-from, all three or none");
    if (deltaUrl && !IsServiceAddress(deltaUrl->c_str()))
        Fail(L"--delta-url", L"\"" + *deltaUrl + L"\" is not an http:// or https:// address with a server");
    if (deltaFrom && !IsVersionText(*deltaFrom))
        Fail(L"--delta-from", L"\"" + *deltaFrom + L"\" is not a version such as 1.2 or 1.2.3.4");

    if (client.empty() || client.find_first_of(L"[]") != std::wstring::npos)
        Fail(L"--client", L"\"" + client + L"\" is not a client name");
    if (!IsVersionText(version))
        Fail(L"--version", L"\"" + version + L"\" is not a version such as 1.2 or 1.2.3.4");
    ULONGLONG nServicePack = 0;
    if (!ParseStrictDecimal(servicePack, nServicePack, 9))
        Fail(L"--sp", L"\"" + servicePack + L"\" is not a service-pack number");
    // The library downloads nothing else.
    if (!IsServiceAddress(url.c_str()))
        Fail(L"--url", L"\"" + url + L"\" is not an http:// or https:// address with a server");
    if (canUpdate != L"0" && canUpdate != L"1")
        Fail(L"--can-update", L"\"" + canUpdate + L"\" is neither 0 nor 1");
    switch (CheckExpires(expires, CurrentUtcTicks())) {
    case ExpiryVerdict::Valid: break;
    case ExpiryVerdict::Expired: Fail(L"--expires", expires + L" has passed");
    case ExpiryVerdict::Malformed: Fail(L"--expires", L"\"" + expires + L"\" is not a UTC time such as 2030-01-31T12:00:00Z");
    }
    CheckReleaseControl(version, channel, rollout, recall);

    const PackageFacts package = HashFile(cabinet);
    // The library reads the size as a signed 32-bit number.
    if (package.nSize == 0 || package.nSize > INT_MAX)
        Fail(cabinet, L"not a package size the library can read");

    const std::string old = FileExists(description) ? ReadDescription(description) : std::string();
    SectionEdit edit;
    edit.section = AnsiValue(L"--client", ClientSectionName(client.c_str(), channel.c_str()).Str());
    // What a section says of one release must not hold for the next one by being left behind:
    // a delta left from the last release would install its files under the new version.
    const PackageKeys deltaKeys = PackageKeysOf(bPro, PackageKind::Delta);
    edit.removes = [&](std::string_view key) {
        return IsDeletionKey(key) || EqualsAsciiNoCase(key, "Rollout") || EqualsAsciiNoCase(key, "Recall") ||
               EqualsAsciiNoCase(key, "DeltaFrom") || EqualsAsciiNoCase(key, AsciiOf(deltaKeys.url)) ||
               EqualsAsciiNoCase(key, AsciiOf(deltaKeys.size)) || EqualsAsciiNoCase(key, AsciiOf(deltaKeys.sha256));
    };
    const ULONGLONG serial = NextSerial(old);
    edit.values.emplace_back("MajorVerson", AsciiOf(version));
    edit.values.emplace_back(bPro ? "ServiceProPack" : "ServicePack", AsciiOf(servicePack));
    edit.values.emplace_back("CanUpdate", AsciiOf(canUpdate));
    const PackageKeys fullKeys = PackageKeysOf(bPro, PackageKind::Full);
    edit.values.emplace_back(AsciiOf(fullKeys.url), AnsiValue(L"--url", url));
    edit.values.emplace_back(AsciiOf(fullKeys.size), std::to_string(package.nSize));
    edit.values.emplace_back(AsciiOf(fullKeys.sha256), AsciiOf(FormatSha256Hex(package.digest)));
    edit.values.emplace_back("Expires", AsciiOf(expires));
    edit.values.emplace_back("Serial", std::to_string(serial));
    if (delta) {
        const std::wstring path = FullPath(*delta);
        const PackageFacts facts = HashFile(path);
        if (facts.nSize == 0 || facts.nSize > INT_MAX)
            Fail(path, L"not a package size the library can read");
        edit.values.emplace_back("DeltaFrom", AsciiOf(*deltaFrom));
        edit.values.emplace_back(AsciiOf(deltaKeys.url), AnsiValue(L"--delta-url", *deltaUrl));
        edit.values.emplace_back(AsciiOf(deltaKeys.size), std::to_string(facts.nSize));
        edit.values.emplace_back(AsciiOf(deltaKeys.sha256), AsciiOf(FormatSha256Hex(facts.digest)));
    }
    if (rollout)
        edit.values.emplace_back("Rollout", AsciiOf(*rollout));
    if (recall)
        edit.values.emplace_back("Recall", AsciiOf(*recall));
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

    WarnUnoffered(description, ClientSectionName(client.c_str(), channel.c_str()).Str(), version,
                  static_cast<UINT>(nServicePack), bPro, canUpdate == L"1" ? 1 : 0);
    std::string edited;
    const std::wstring section = L"[" + ClientSectionName(client.c_str(), channel.c_str()).Str() + L"]";
    if (!EditDescription(old, edit, edited))
        Fail(description, L"the section " + section + L" appears twice");
    // One serial for all the client's channels: an installation remembers the
    // highest it acted on, and one whose channel's section goes, or that
    // changes channel, must not then meet a lower one in the section it reads.
    const std::string channelPrefix = AnsiValue(L"--client", ClientSectionName(client.c_str(), L"").Str()) + "@";
    for (const std::string& other : SectionNamesOf(edited)) {
        const bool bSameClient = EqualsAsciiNoCase(other, channelPrefix.substr(0, channelPrefix.size() - 1)) ||
                                 EqualsAsciiNoCase(std::string_view(other).substr(0, channelPrefix.size()), channelPrefix);
        if (!bSameClient || EqualsAsciiNoCase(other, edit.section))
            continue;
        std::string raised;
        if (!EditDescription(edited, SectionEdit{other, {{"Serial", std::to_string(serial)}}, nullptr}, raised))
            Fail(description, L"a section of the client's channels appears twice");
        edited.swap(raised);
    }
    WriteFileAtomically(description, edited, true);
    std::wstring control;
    if (rollout)
        control += L", rollout " + *rollout + L"%";
    if (recall)
        control += L", recalls " + *recall;
    PrintLine(description + L": " + section + L" " + version + (bPro ? L" professional" : L"") + L" service pack " +
              servicePack + L", package " + std::to_wstring(package.nSize) + L" bytes, serial " +
              std::to_wstring(serial) + control + L"; not signed");
    return 0;
}

// Signing does not make a stale section good again: clients with a key refuse it.
void WarnExpired(const std::wstring& description)
{
    std::vector<wchar_t> names(64 * 1024);
    const DWORD n = ::GetPrivateProfileSectionNamesW(names.data(), static_cast<DWORD>(names.size()),
                                                     description.c_str());
    CRemoteUpdateInfo info(description.c_str());
    for (DWORD i = 0; i < n && names[i];) {
        const std::wstring section(names.data() + i);
        i += static_cast<DWORD>(section.size()) + 1;
        if (!StartsWithIgnoringCase(section, L"OEMClient_"))
            continue;
        const std::wstring expires = info.ReadString(section.c_str(), L"Expires").Str();
        switch (CheckExpires(expires, CurrentUtcTicks())) {
        case ExpiryVerdict::Valid: break;
        case ExpiryVerdict::Expired:
            Warn(description, L"[" + section + L"] expired at " + expires + L": clients with a key refuse it");
            break;
        case ExpiryVerdict::Malformed:
            Warn(description, L"[" + section + L"] has no valid Expires: clients with a key refuse it");
            break;
        }
    }
}

int Sign(CArguments& args)
{
    const std::wstring description = FullPath(args.Positional(0, 1));
    const std::wstring keyFile = FullPath(args.Required(L"key"));
    const std::optional<std::wstring> chainFile = args.Option(L"chain");
    args.CheckAllUsed();
    const P256PrivateKey key = LoadPrivateKeyFile(keyFile);
    const CSigningKey signingKey(key);

    std::string unsignedFile = ReadDescription(description);
    CertificateStatement certificate;
    if (chainFile)
        unsignedFile = WithChain(unsignedFile, FullPath(*chainFile), key, certificate);
    const std::string signedFile = SignDescription(unsignedFile, signingKey);
    if (signedFile.empty())
        Fail(description, L"nothing to sign");

    // What the library will check, checked before anything is written.
    const std::wstring publisherKey = PublisherKeyOf(key);
    const SignatureVerdict verdict = VerifyDescriptionSignature(signedFile, publisherKey);
    if (verdict != SignatureVerdict::Verified)
        Fail(keyFile, std::wstring(L"the signature made does not verify (") + DescribeSignatureVerdict(verdict) +
                          L"); is the public point the private key's own?");
    WriteFileAtomically(description, signedFile, true);
    WarnExpired(description);
    if (chainFile)
        PrintLine(description + L": signed with the key certified as \"" + WidenAscii(certificate.id) + L"\" until " +
                  WidenAscii(certificate.until));
    else
        PrintLine(description + L": signed for PublisherKey " + publisherKey);
    return 0;
}

int Verify(CArguments& args)
{
    const std::wstring description = FullPath(args.Positional(0, 1));
    const TrustPins pins{args.Option(L"root").value_or(L""), args.Option(L"publisher-key").value_or(L"")};
    const std::optional<std::wstring> client = args.Option(L"client");
    const std::wstring channel = args.Option(L"channel").value_or(L"");
    const std::optional<std::wstring> cabinet = args.Option(L"cab");
    const bool bPro = args.Flag(L"pro");
    args.CheckAllUsed();
    if (pins.roots.empty() && pins.directKeys.empty())
        throw CUsageError{L"--publisher-key or --root is required"};
    if ((cabinet || bPro || !channel.empty()) && !client)
        throw CUsageError{L"--cab, --channel and --pro need --client"};

    // Judged as an installation that has seen nothing yet judges it, now.
    const ULONGLONG now = CurrentUtcTicks();
    TrustVerdict verdict = JudgeDescriptionSignature(ReadWholeFile(description, kMaxDescription), pins, TrustMemory(), now);
    if (verdict.refusal != TrustRefusal::None)
        Fail(description, DescribeTrustVerdict(verdict));
    PrintLine(description + L": " + DescribeSigner(verdict));
    if (!client)
        return 0;

    // Read as the library reads it: the channel's section when there is one.
    CRemoteUpdateInfo info(description.c_str());
    info.LoadSection(ChosenSectionOf(info, client->c_str(), channel.c_str()));
    const std::wstring section = L"[" + info.m_strSection.Str() + L"]";
    if (info.m_strVersion.IsEmpty())
        Fail(description, section + L" has no MajorVerson; is the client name right?");
    const ClientTrustFacts facts = ReadClientTrustFacts(info);
    JudgeClientSection(facts, now, verdict);
    if (verdict.refusal != TrustRefusal::None)
        Fail(description, section + L": " + DescribeTrustVerdict(verdict) + L" (Expires " + facts.expires + L")");
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

    std::wstring summary = section + L" version " + info.m_strVersion.Str() + L", expires " + facts.expires;
    if (!facts.serial.empty())
        summary += L", serial " + facts.serial;
    const CString rollout = ReadRollout(info), recall = ReadRecall(info);
    UINT nHundredths = 0;
    if (!rollout.IsEmpty())
        summary += ParseRolloutPercent(rollout, nHundredths) && nHundredths == 0
                       ? std::wstring(L", halted (rollout 0%)")
                       : L", rollout " + rollout.Str() + L"% of silent checks";
    if (!recall.IsEmpty())
        summary += L", recalls " + recall.Str();
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

int Check(CArguments& args)
{
    InstallationCheck check;
    check.folder = FullPath(args.Positional(0, 1));
    check.address = args.Option(L"address").value_or(L"");
    if (const std::optional<std::wstring> description = args.Option(L"description"))
        check.description = FullPath(*description);
    args.CheckAllUsed();
    int nErrors = 0;
    for (const Finding& finding : CheckInstallation(check)) {
        switch (finding.level) {
        case FindingLevel::Note: PrintLine(L"  " + finding.text); break;
        case FindingLevel::Warning: PrintLine(L"warning: " + finding.text); break;
        case FindingLevel::Error: PrintLine(L"error: " + finding.text); ++nErrors; break;
        }
    }
    PrintLine(check.folder + (nErrors ? L": " + std::to_wstring(nErrors) + L" error(s)" : L": no errors"));
    return nErrors ? 1 : 0;
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
            {L"verify", Verify, {L"pro"}}, {L"check", Check, {}}, {L"certify", Certify, {}},
            {L"revoke", Revoke, {}}, {L"rotate", Rotate, {}},
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
