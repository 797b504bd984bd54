#include "InstallationCheck.h"

#include "DescriptionValues.h"
#include "FileBytes.h"

#include "base/Decimal.h"
#include "base/Paths.h"
#include "base/UpdateLayout.h"
#include "base/UpdateLog.h"

#include "description/LocalUpdateInfo.h"
#include "description/ProfileFile.h"
#include "description/RemoteUpdateInfo.h"
#include "description/TrustRecord.h"
#include "install/DescriptionTrust.h"
#include "install/OfferAnalysis.h"
#include "install/OfferReason.h"
#include "install/TrustFile.h"
#include "net/ServiceAddress.h"
#include "verify/EcdsaP256.h"
#include "TextTable.h"

#include <set>

namespace {

class CFindings {
public:
    void Note(const std::wstring& text) { m_list.push_back({FindingLevel::Note, text}); }
    void Warn(const std::wstring& text) { m_list.push_back({FindingLevel::Warning, text}); }
    void Error(const std::wstring& text) { m_list.push_back({FindingLevel::Error, text}); }
    std::vector<Finding> Take() { return std::move(m_list); }

private:
    std::vector<Finding> m_list;
};

std::wstring Profile(const std::wstring& file, const wchar_t* pszSection, const wchar_t* pszKey)
{
    return ReadProfileString(file.c_str(), pszSection, pszKey).Str();
}

// The key names of a section as the profile reader lists them.
std::vector<std::wstring> KeysOf(const std::wstring& file, const wchar_t* pszSection)
{
    std::vector<wchar_t> buffer(64 * 1024);
    const DWORD n = ::GetPrivateProfileStringW(pszSection, nullptr, L"", buffer.data(),
                                               static_cast<DWORD>(buffer.size()), file.c_str());
    std::vector<std::wstring> keys;
    for (DWORD i = 0; i < n;) {
        const std::wstring key(buffer.data() + i);
        if (key.empty())
            break;
        keys.push_back(key);
        i += static_cast<DWORD>(key.size()) + 1;
    }
    return keys;
}

// A key the library does not read is most often a misspelling of one it does,
// and a misspelled PublisherKey lets every description through.
void CheckKnownKeys(CFindings& out, const std::wstring& record, const wchar_t* pszSection,
                    std::initializer_list<const wchar_t*> known)
{
    for (const std::wstring& key : KeysOf(record, pszSection)) {
        bool bKnown = false;
        for (const wchar_t* name : known)
            bKnown = bKnown || EqualIgnoringCase(key, name);
        if (!bKnown)
            out.Warn(L"record: [" + std::wstring(pszSection) + L"] " + key +
                     L" is not a key the library reads; is it misspelled?");
    }
}

void CheckNumber(CFindings& out, const std::wstring& record, const wchar_t* pszKey)
{
    const std::wstring text = Profile(record, L"Files", pszKey);
    ULONGLONG value = 0;
    if (!text.empty() && !ParseStrictDecimal(text, value, 9))
        out.Error(L"record: [Files] " + std::wstring(pszKey) + L"=" + text + L" is not a number; it reads as " +
                  std::to_wstring(::GetPrivateProfileIntW(L"Files", pszKey, 0, record.c_str())));
}

void CheckPublisherKey(CFindings& out, const std::wstring& keys)
{
    if (keys.empty()) {
        out.Warn(L"record: no PublisherKey in [Files]: unsigned descriptions will be accepted, from anyone "
                 L"who can answer the check");
        return;
    }
    int n = 0;
    size_t start = 0;
    for (;;) {
        const size_t comma = keys.find(L',', start);
        const std::wstring entry = keys.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
        ++n;
        CKeyHandle key;
        if (ImportP256PublicKey(entry, key) != PublicKeyImport::Imported)
            out.Error(L"record: PublisherKey entry " + std::to_wstring(n) +
                      L" is not a P-256 public key: no description will be accepted");
        if (comma == std::wstring::npos)
            break;
        start = comma + 1;
    }
    out.Note(L"record: " + std::to_wstring(n) + L" publisher key(s): only descriptions signed with one are taken");
}

// Returns false when nothing more can be judged.
bool CheckRecord(CFindings& out, const std::wstring& record, CLocalUpdateInfo& local)
{
    if (!FileExists(record)) {
        out.Error(L"record: " + record + L" is missing: the library offers nothing here");
        return false;
    }
    bool bUsable = true;
    if (KeysOf(record, L"Files").empty()) {
        out.Error(L"record: " + record + L" has no [Files] section (is it UTF-8 with a byte-order mark, or "
                                         L"not a profile at all?)");
        return false;
    }
    if (local.m_strVersion.IsEmpty()) {
        out.Error(L"record: [Files] has no Version");
    } else if (!IsVersionText(local.m_strVersion.Str())) {
        out.Error(L"record: [Files] Version=" + local.m_strVersion.Str() + L" is not a version such as 1.2");
    }
    CheckNumber(out, record, L"ServicePack");
    CheckNumber(out, record, L"ServiceProPack");
    if (local.m_strOEMClientName.IsEmpty()) {
        out.Error(L"record: [Files] has no OEMClientName: nothing is ever offered");
        bUsable = false;
    }
    CheckPublisherKey(out, local.m_strPublisherKey.Str());
    CheckKnownKeys(out, record, L"Files", {L"Version", L"ServicePack", L"ServiceProPack", L"OEMClientName",
                                           L"PublisherKey"});
    CheckKnownKeys(out, record, L"Dialog",
                   {L"UpdateTitle", L"CheckingDesc", L"CheckSucceededDesc", L"CheckFailedDesc",
                    L"UpgradeProfessionDesc", L"DownloadingDesc", L"InstallDesc", L"CancelDesc", L"UpgradeFinished",
                    L"PurchasePage", L"PurchasePageWeb", L"PurchasePageHeight"});
    CheckKnownKeys(out, record, L"Log", {L"Enabled"});
    out.Note(std::wstring(L"record: version ") + local.m_strVersion.Str() + L" service pack " +
             std::to_wstring(local.m_nServicePack) + L" (professional " + std::to_wstring(local.m_nServiceProPack) +
             L"), client \"" + local.m_strOEMClientName.Str() + L"\"");
    out.Note(RecordAsksForLog(record) ? L"log: on, in update\\" + std::wstring(kLogFileName)
                                      : L"log: off ([Log] Enabled=1 in the record turns it on)");
    return bUsable;
}

void CheckTranslator(CFindings& out, const std::wstring& folder)
{
    if (!FileExists(JoinPath(folder, L"vexmod.dll"))) {
        out.Note(L"languages: no vexmod.dll: every user sees the library's own Simplified Chinese texts");
        return;
    }
    WIN32_FIND_DATAW data;
    CFindHandle find(::FindFirstFileW(JoinPath(folder, L"vexmod.*.txt").c_str(), &data));
    std::wstring languages;
    if (find) {
        do {
            const std::wstring path = JoinPath(folder, data.cFileName);
            TextTable table;
            TableError error;
            if (!ParseTextTable(ReadWholeFile(path, kMaxTableBytes), table, error)) {
                out.Warn(L"languages: " + std::wstring(data.cFileName) +
                         (error.nLine ? L" line " + std::to_wstring(error.nLine) : std::wstring()) + L": " +
                         error.reason + L"; the table is passed over");
                continue;
            }
            const std::wstring name(data.cFileName);
            languages += (languages.empty() ? L"" : L", ") + name.substr(7, name.size() - 11);
        } while (::FindNextFileW(find.Get(), &data));
    }
    if (languages.empty())
        out.Warn(L"languages: vexmod.dll has no table beside it: every user sees the Simplified Chinese texts");
    else
        out.Note(L"languages: tables for " + languages + L"; other users see the Simplified Chinese texts");
}

void CheckAddress(CFindings& out, const std::wstring& address, const CLocalUpdateInfo& local)
{
    if (!IsServiceAddress(address.c_str())) {
        out.Error(L"address: " + address + L" is not an http:// or https:// address with a server");
        return;
    }
    const std::wstring description = DescriptionAddress(address.c_str()).Str();
    if (description != address)
        out.Warn(L"address: it holds '&': the description is fetched from " + description +
                 L", the part before the first '&'");
    out.Note(L"address: the check first requests " + address + L"&version=" + local.m_strVersion.Str() + L"&SP=" +
             std::to_wstring(local.m_nServicePack) + L" (its answer is not used: a 404 there is harmless), then " +
             description);
}

void CheckDescription(CFindings& out, const std::wstring& path, const std::wstring& trustFile,
                      const CLocalUpdateInfo& local, bool bProfessional)
{
    std::string bytes;
    if (!FileExists(path) || !ReadFileBytes(path.c_str(), kMaxDescriptionBytes, bytes)) {
        out.Error(L"description: " + path + L" cannot be read whole");
        return;
    }
    CRemoteUpdateInfo offered(path.c_str());
    // The section the installation's client and channel read.
    LoadChosenSection(offered, local);
    const std::wstring section = L"[" + offered.m_strSection.Str() + L"]";
    if (offered.m_strVersion.IsEmpty()) {
        out.Error(L"description: no section " + section + L" with a MajorVerson: nothing is offered here");
        return;
    }
    // Judged as the library judges it, on what this installation remembers, and nothing kept.
    if (local.PinsPublisher()) {
        const TrustVerdict verdict = JudgeDescriptionFor(bytes, offered, local, ReadTrustFile(trustFile.c_str()));
        if (verdict.refusal != TrustRefusal::None) {
            out.Error(L"description: refused, " + DescribeTrustVerdict(verdict));
            return;
        }
    }
    const COfferFacts facts = OfferFactsOf(local, offered, bProfessional);
    const EOfferVerdict verdict = JudgeOfferFor(local, offered, bProfessional);
    const std::wstring reason = OfferVerdictReason(facts, verdict).Str();
    switch (verdict) {
    case EOfferVerdict::Applies:
        out.Note(L"description: an update will install it (" + reason + L")");
        break;
    case EOfferVerdict::NotNewer:
        out.Warn(L"description: nothing will be offered (" + reason + L")");
        break;
    case EOfferVerdict::Elsewhere:
    case EOfferVerdict::TooOld:
        out.Note(L"description: not installed here (" + reason + L")");
        break;
    case EOfferVerdict::Refused:
        out.Error(L"description: refused, the offered package has no valid digest");
        break;
    }
}

} // namespace

std::vector<Finding> CheckInstallation(const InstallationCheck& check)
{
    CFindings out;
    const std::wstring folder = check.folder;
    if (!FileExists(JoinPath(folder, L"update.dll")))
        out.Warn(L"library: no update.dll in " + folder + L": is this the program folder?");

    const std::wstring ambrel = JoinPath(folder, L"Ambrel.ini");
    const bool bProfessional = ::GetPrivateProfileIntW(L"Config", L"IsProUpdate", 0, ambrel.c_str()) != 0;
    out.Note(FileExists(ambrel) ? (bProfessional ? L"edition: professional (Ambrel.ini IsProUpdate)"
                                                 : L"edition: standard (Ambrel.ini)")
                                : L"edition: standard (no Ambrel.ini, which is optional)");

    const std::wstring record = UpdateFileIn(folder, kRecordFileName);
    CLocalUpdateInfo local(record.c_str());
    const bool bUsable = CheckRecord(out, record, local);
    CheckTranslator(out, folder);
    if (bUsable && !check.address.empty())
        CheckAddress(out, check.address, local);
    if (bUsable && !check.description.empty())
        CheckDescription(out, check.description, UpdateFileIn(folder, kTrustFileName), local, bProfessional);
    return out.Take();
}
