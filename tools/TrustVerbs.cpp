#include "TrustVerbs.h"

#include "Console.h"
#include "DescriptionEdit.h"
#include "FileBytes.h"
#include "PublishError.h"

#include "verify/Expires.h"

#include <algorithm>
#include <optional>

namespace {

const size_t kMaxChainFile = 1024 * 1024;
const char kRootKey[] = "Root";

struct SignedStatement {
    std::string text;
    std::string signature;
};

struct ChainFile {
    std::wstring path;
    std::string root;  // the current root's key text
    std::vector<SignedStatement> rotations;
    std::optional<SignedStatement> revocation;
    std::optional<SignedStatement> certificate;
};

std::optional<SignedStatement> StatementOf(const SectionValues& values, const std::string& key)
{
    const std::string* text = FindSectionValue(values, key);
    if (!text)
        return std::nullopt;
    const std::string* signature = FindSectionValue(values, SignatureKeyOf(key));
    return SignedStatement{*text, signature ? *signature : std::string()};
}

ChainFile ReadChainFile(const std::wstring& path)
{
    ChainFile chain;
    chain.path = path;
    if (!FileExists(path))
        return chain;
    SectionValues values;
    if (ReadProfileSection(ReadWholeFile(path, kMaxChainFile), kTrustSection, values) == SectionRead::Ambiguous)
        Fail(path, L"its [Trust] section or a key of it appears twice");
    if (const std::string* root = FindSectionValue(values, kRootKey))
        chain.root = *root;
    for (size_t n = 1; n <= kMaxRotations; ++n) {
        std::optional<SignedStatement> rotation = StatementOf(values, RotationKey(n));
        if (!rotation)
            break;
        chain.rotations.push_back(*rotation);
    }
    // A rotation beyond a gap would be lost by the next write.
    if (static_cast<size_t>(std::count_if(values.begin(), values.end(), [](const auto& value) {
            return IsRotationKey(value.first);
        })) != chain.rotations.size())
        Fail(path, L"its rotations are not numbered 1, 2, 3, ... without a gap");
    chain.revocation = StatementOf(values, kRevocationKey);
    chain.certificate = StatementOf(values, kCertificateKey);
    return chain;
}

// The statements as a description carries them, in the chain's order.
SectionValues StatementsOf(const ChainFile& chain)
{
    SectionValues values;
    auto add = [&](const std::string& key, const SignedStatement& statement) {
        values.emplace_back(key, statement.text);
        values.emplace_back(SignatureKeyOf(key), statement.signature);
    };
    for (size_t i = 0; i < chain.rotations.size(); ++i)
        add(RotationKey(i + 1), chain.rotations[i]);
    if (chain.revocation)
        add(kRevocationKey, *chain.revocation);
    if (chain.certificate)
        add(kCertificateKey, *chain.certificate);
    return values;
}

// The [Trust] section of file replaced by values.
std::string WithTrustSection(std::string_view file, const SectionValues& values, const std::wstring& path)
{
    SectionEdit edit;
    edit.section = kTrustSection;
    edit.values = values;
    edit.removes = [](std::string_view) { return true; };
    std::string edited;
    if (!EditDescription(file, edit, edited))
        Fail(path, L"its [Trust] section appears twice");
    return edited;
}

// The root that installations pin: the one the first rotation leaves, or the only one.
std::string OriginOf(const ChainFile& chain)
{
    RotationStatement first;
    if (!chain.rotations.empty() && ParseRotation(chain.rotations.front().text, first))
        return first.from;
    return chain.root;
}

std::wstring Fingerprint(const std::string& key)
{
    return TrustKeyFingerprint(WidenAscii(key));
}

// The chain judged as an installation that pins its origin judges it, now.
ChainVerdict CheckChain(const ChainFile& chain, bool bNeedsCertificate)
{
    TrustKey origin;
    if (!LoadTrustKey(WidenAscii(OriginOf(chain)), origin))
        Fail(chain.path, L"names no root key; certify a signing key first");
    std::vector<TrustKey> pins;
    pins.push_back(std::move(origin));
    ChainVerdict verdict = JudgeTrustChain(StatementsOf(chain), pins, TrustMemory(), CurrentUtcTicks());
    if (verdict.refusal != TrustRefusal::None)
        Fail(chain.path, DescribeTrustRefusal(verdict.refusal));
    if (verdict.certificateRefusal != TrustRefusal::None &&
        (bNeedsCertificate || verdict.certificateRefusal != TrustRefusal::NoCertificate))
        Fail(chain.path, DescribeTrustRefusal(verdict.certificateRefusal));
    return verdict;
}

void WriteChainFile(const ChainFile& chain)
{
    SectionValues values = StatementsOf(chain);
    values.insert(values.begin(), {kRootKey, chain.root});
    const std::string old = FileExists(chain.path) ? ReadWholeFile(chain.path, kMaxChainFile) : std::string();
    WriteFileAtomically(chain.path, WithTrustSection(old, values, chain.path), true);
}

// The root key given, which must be the chain's current root once it has one.
P256PrivateKey LoadRoot(const std::wstring& keyFile, ChainFile& chain)
{
    const P256PrivateKey root = LoadPrivateKeyFile(keyFile);
    std::string text;
    NarrowAscii(PublisherKeyOf(root), text);
    if (chain.root.empty())
        chain.root = text;
    else if (chain.root != text)
        Fail(keyFile, L"is not the chain's current root " + Fingerprint(chain.root) + L" of " + chain.path);
    return root;
}

SignedStatement SignedBy(const P256PrivateKey& root, const std::string& text)
{
    return SignedStatement{text, SignStatement(text, CSigningKey(root))};
}

std::wstring IdText(const std::string& id)
{
    return L"\"" + WidenAscii(id) + L"\"";
}

} // namespace

int Certify(CArguments& args)
{
    const std::wstring chainFile = FullPath(args.Positional(0, 1));
    const std::wstring rootFile = FullPath(args.Required(L"root"));
    const std::wstring signingKey = args.Required(L"signing-key");
    const std::wstring id = args.Required(L"id");
    const std::wstring until = args.Required(L"until");
    args.CheckAllUsed();

    CertificateStatement certificate;
    certificate.purpose = kDescriptionPurpose;
    if (!NarrowAscii(id, certificate.id) || !IsTrustIdentifier(certificate.id))
        Fail(L"--id", L"\"" + id + L"\" is not 1 to 64 of A-Z a-z 0-9 . _ -");
    switch (CheckExpires(until, CurrentUtcTicks())) {
    case ExpiryVerdict::Valid: break;
    case ExpiryVerdict::Expired: Fail(L"--until", until + L" has passed");
    case ExpiryVerdict::Malformed: Fail(L"--until", L"\"" + until + L"\" is not a UTC time such as 2030-01-31T12:00:00Z");
    }
    NarrowAscii(until, certificate.until);
    TrustKey key;
    if (!LoadTrustKey(signingKey, key))
        Fail(L"--signing-key", L"not the value of an ECDSA P-256 public key (update-publish pubkey prints it)");
    NarrowAscii(key.text, certificate.key);

    ChainFile chain = ReadChainFile(chainFile);
    const P256PrivateKey root = LoadRoot(rootFile, chain);
    RevocationStatement revoked;
    if (chain.revocation && ParseRevocation(chain.revocation->text, revoked) &&
        ContainsTrustIdentifier(revoked.ids, certificate.id))
        Fail(L"--id", IdText(certificate.id) + L" has been revoked; certify under a new identifier");
    chain.certificate = SignedBy(root, FormatCertificate(certificate));
    CheckChain(chain, true);
    WriteChainFile(chain);
    PrintLine(chainFile + L": key " + TrustKeyFingerprint(key.text) + L" certified as " + IdText(certificate.id) +
              L" until " + until + L" by root " + Fingerprint(chain.root));
    PrintLine(L"PublisherRoot=" + WidenAscii(OriginOf(chain)));
    return 0;
}

int Revoke(CArguments& args)
{
    const std::wstring chainFile = FullPath(args.Positional(0, 1));
    const std::wstring rootFile = FullPath(args.Required(L"root"));
    const std::wstring id = args.Required(L"id");
    args.CheckAllUsed();
    std::string revokedId;
    if (!NarrowAscii(id, revokedId) || !IsTrustIdentifier(revokedId))
        Fail(L"--id", L"\"" + id + L"\" is not 1 to 64 of A-Z a-z 0-9 . _ -");

    ChainFile chain = ReadChainFile(chainFile);
    if (chain.root.empty())
        Fail(chainFile, L"names no root key; certify a signing key first");
    const P256PrivateKey root = LoadRoot(rootFile, chain);
    CertificateStatement certificate;
    if (chain.certificate && ParseCertificate(chain.certificate->text, certificate) &&
        SameTrustIdentifier(certificate.id, revokedId))
        Fail(L"--id", IdText(revokedId) + L" is the chain's own certificate, which would refuse every description "
                                           L"signed under it; certify the new signing key first");
    RevocationStatement revocation;
    if (chain.revocation && !ParseRevocation(chain.revocation->text, revocation))
        Fail(chainFile, L"its revocation list is malformed");
    if (!ContainsTrustIdentifier(revocation.ids, revokedId))
        revocation.ids.push_back(revokedId);
    if (revocation.ids.size() > kMaxRevokedIds)
        Fail(chainFile, L"holds as many revocations as an installation takes");
    chain.revocation = SignedBy(root, FormatRevocation(revocation));
    CheckChain(chain, false);
    WriteChainFile(chain);
    std::wstring list;
    for (const std::string& revoked : revocation.ids)
        list += (list.empty() ? L"" : L", ") + IdText(revoked);
    PrintLine(chainFile + L": revoked " + list);
    return 0;
}

int Rotate(CArguments& args)
{
    const std::wstring chainFile = FullPath(args.Positional(0, 1));
    const std::wstring rootFile = FullPath(args.Required(L"root"));
    const std::wstring newRootFile = FullPath(args.Required(L"new-root"));
    args.CheckAllUsed();

    ChainFile chain = ReadChainFile(chainFile);
    if (chain.root.empty())
        Fail(chainFile, L"names no root key; certify a signing key first");
    const P256PrivateKey root = LoadRoot(rootFile, chain);
    const P256PrivateKey newRoot = LoadPrivateKeyFile(newRootFile);
    std::string newText;
    NarrowAscii(PublisherKeyOf(newRoot), newText);
    // A root the chain has had already would make it a loop.
    bool bKnown = newText == chain.root;
    for (const SignedStatement& statement : chain.rotations) {
        RotationStatement rotation;
        bKnown = bKnown || (ParseRotation(statement.text, rotation) && (rotation.from == newText || rotation.to == newText));
    }
    if (bKnown)
        Fail(newRootFile, L"has been a root of this chain already");
    if (chain.rotations.size() == kMaxRotations)
        Fail(chainFile, L"holds as many rotations as an installation follows");

    chain.rotations.push_back(SignedBy(root, FormatRotation(RotationStatement{chain.root, newText})));
    // The certificate and the revocations now come from the new root.
    if (chain.certificate)
        chain.certificate = SignedBy(newRoot, chain.certificate->text);
    if (chain.revocation)
        chain.revocation = SignedBy(newRoot, chain.revocation->text);
    const std::string oldRoot = chain.root;
    chain.root = newText;
    CheckChain(chain, false);
    WriteChainFile(chain);
    PrintLine(chainFile + L": root " + Fingerprint(oldRoot) + L" rotated to " + Fingerprint(newText) + L" (" +
              std::to_wstring(chain.rotations.size()) + (chain.rotations.size() == 1 ? L" rotation" : L" rotations") +
              L" from the pinned root " +
              Fingerprint(OriginOf(chain)) + L")");
    return 0;
}

std::string WithChain(std::string_view description, const std::wstring& chainFile, const P256PrivateKey& signingKey,
                      CertificateStatement& certificate)
{
    const ChainFile chain = ReadChainFile(chainFile);
    if (!chain.certificate)
        Fail(chainFile, L"holds no certificate; certify the signing key first");
    const ChainVerdict verdict = CheckChain(chain, true);
    if (verdict.certifiedKey.text != PublisherKeyOf(signingKey))
        Fail(chainFile, L"certifies key " + TrustKeyFingerprint(verdict.certifiedKey.text) + L" as " +
                            IdText(verdict.certificate.id) + L", not the signing key " +
                            TrustKeyFingerprint(PublisherKeyOf(signingKey)));
    certificate = verdict.certificate;
    return WithTrustSection(description, StatementsOf(chain), chainFile);
}

std::wstring DescribeSigner(const TrustVerdict& verdict)
{
    if (!verdict.bCertified)
        return DescribeSignatureVerdict(SignatureVerdict::Verified);
    std::wstring text = L"signed with the key certified as " + IdText(verdict.certificate.id) + L" until " +
                        WidenAscii(verdict.certificate.until);
    if (verdict.nRotationsFollowed > 0)
        text += L", after " + std::to_wstring(verdict.nRotationsFollowed) + L" root rotations to root " +
                TrustKeyFingerprint(verdict.memory.roots.back());
    if (!verdict.memory.revokedIds.empty()) {
        text += L"; revoked:";
        for (const std::string& id : verdict.memory.revokedIds)
            text += L" " + IdText(id);
    }
    return text;
}

ULONGLONG NextSerial(std::string_view description)
{
    ULONGLONG highest = 0;
    for (size_t start = 0; start < description.size();) {
        size_t end = description.find('\n', start);
        if (end == std::string_view::npos)
            end = description.size();
        std::string_view key, value;
        ULONGLONG serial = 0;
        if (SplitKeyLine(description.substr(start, end - start), key, value) && EqualsAsciiNoCase(key, "Serial") &&
            ParseSerial(WidenAscii(value.substr(0, value.find('\r'))), serial))
            highest = std::max(highest, serial);
        start = end + 1;
    }
    SYSTEMTIME now = {};
    ::GetSystemTime(&now);
    const ULONGLONG clock = ((((now.wYear * 100ULL + now.wMonth) * 100 + now.wDay) * 100 + now.wHour) * 100 +
                             now.wMinute) * 100 + now.wSecond;
    return std::max(highest + 1, clock);
}
