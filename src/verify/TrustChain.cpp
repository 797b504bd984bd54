#include "verify/TrustChain.h"

#include "base/Decimal.h"

#include "verify/Expires.h"

#include <algorithm>

namespace {

bool ContainsKey(const std::vector<std::wstring>& keys, const std::wstring& key)
{
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

void AddKey(std::vector<std::wstring>& keys, const std::wstring& key)
{
    if (!ContainsKey(keys, key))
        keys.push_back(key);
}

void RemoveKey(std::vector<std::wstring>& keys, const std::wstring& key)
{
    keys.erase(std::remove(keys.begin(), keys.end(), key), keys.end());
}

struct Rotation {
    TrustKey from;
    TrustKey to;
};

// The rotations in their order, each signed by the root it leaves and starting
// where the one before ended; false for anything else.
bool ReadRotations(const SectionValues& trust, std::vector<Rotation>& rotations)
{
    const size_t count = static_cast<size_t>(std::count_if(
        trust.begin(), trust.end(), [](const auto& value) { return IsRotationKey(value.first); }));
    if (count > kMaxRotations)
        return false;
    std::vector<std::wstring> seen;
    for (size_t n = 1; n <= count; ++n) {
        const std::string key = RotationKey(n);
        const std::string* text = FindSectionValue(trust, key);
        const std::string* signature = FindSectionValue(trust, SignatureKeyOf(key));
        RotationStatement statement;
        Rotation rotation;
        // A missing number ("Rotation1", "Rotation3") leaves a gap.
        if (!text || !signature || !ParseRotation(*text, statement) ||
            !LoadTrustKey(WidenAscii(statement.from), rotation.from) ||
            !LoadTrustKey(WidenAscii(statement.to), rotation.to) ||
            !VerifyStatementSignature(rotation.from, *text, *signature))
            return false;
        if (!rotations.empty() && rotations.back().to.text != rotation.from.text)
            return false;
        // A root that comes back would make a loop that never ends in one root.
        if (seen.empty())
            seen.push_back(rotation.from.text);
        if (ContainsKey(seen, rotation.to.text))
            return false;
        seen.push_back(rotation.to.text);
        rotations.push_back(std::move(rotation));
    }
    return true;
}

// The key of keys that signed text, or null.
const TrustKey* SignerOf(const std::vector<TrustKey>& keys, const std::string& text, const std::string* signature)
{
    if (!signature)
        return nullptr;
    for (const TrustKey& key : keys) {
        if (VerifyStatementSignature(key, text, *signature))
            return &key;
    }
    return nullptr;
}

std::vector<TrustKey> LoadKeys(const std::vector<std::wstring>& texts)
{
    std::vector<TrustKey> keys;
    for (const std::wstring& text : texts) {
        TrustKey key;
        if (LoadTrustKey(text, key))
            keys.push_back(std::move(key));
    }
    return keys;
}

void JudgeCertificate(const SectionValues& trust, const std::vector<TrustKey>& roots, ULONGLONG nowUtcTicks,
                      ChainVerdict& verdict)
{
    const std::string* text = FindSectionValue(trust, kCertificateKey);
    if (!text) {
        verdict.certificateRefusal = TrustRefusal::NoCertificate;
        return;
    }
    const std::string* signature = FindSectionValue(trust, SignatureKeyOf(kCertificateKey));
    CertificateStatement certificate;
    if (!ParseCertificate(*text, certificate)) {
        verdict.certificateRefusal = TrustRefusal::BadCertificate;
        return;
    }
    // What the certificate says counts only once a trusted root has said it.
    if (!SignerOf(roots, *text, signature)) {
        verdict.certificateRefusal = SignerOf(LoadKeys(verdict.memory.retiredRoots), *text, signature)
                                         ? TrustRefusal::CertifiedByRetiredRoot
                                         : TrustRefusal::CertifiedByOtherRoot;
        return;
    }
    if (certificate.purpose != kDescriptionPurpose)
        verdict.certificateRefusal = TrustRefusal::CertificateOtherPurpose;
    else if (nowUtcTicks >= certificate.untilTicks)
        verdict.certificateRefusal = TrustRefusal::CertificateExpired;
    else if (ContainsTrustIdentifier(verdict.memory.revokedIds, certificate.id))
        verdict.certificateRefusal = TrustRefusal::KeyRevoked;
    else if (!LoadTrustKey(WidenAscii(certificate.key), verdict.certifiedKey))
        verdict.certificateRefusal = TrustRefusal::BadCertificate;
    else
        verdict.certificate = certificate;
}

} // namespace

ChainVerdict JudgeTrustChain(const SectionValues& trust, const std::vector<TrustKey>& pinnedRoots,
                             const TrustMemory& memory, ULONGLONG nowUtcTicks)
{
    ChainVerdict verdict;
    verdict.memory = memory;
    TrustMemory& learnt = verdict.memory;
    // The record's roots and those rotated to, less every root left behind.
    std::vector<std::wstring>& trusted = verdict.roots;
    for (const TrustKey& root : pinnedRoots)
        AddKey(trusted, root.text);
    for (const std::wstring& root : memory.roots)
        AddKey(trusted, root);
    for (const std::wstring& root : memory.retiredRoots)
        RemoveKey(trusted, root);

    std::vector<Rotation> rotations;
    if (!ReadRotations(trust, rotations)) {
        verdict.refusal = TrustRefusal::BrokenRotationChain;
        return verdict;
    }
    // This installation's place in the chain: the first rotation away from a
    // root it trusts; the steps before it were taken already or never concerned it.
    auto step = std::find_if(rotations.begin(), rotations.end(),
                             [&](const Rotation& rotation) { return ContainsKey(trusted, rotation.from.text); });
    for (auto later = step; later != rotations.end(); ++later) {
        if (ContainsKey(learnt.retiredRoots, later->to.text)) {
            verdict.refusal = TrustRefusal::RotationToRetiredRoot;
            return verdict;
        }
    }
    for (; step != rotations.end(); ++step) {
        RemoveKey(trusted, step->from.text);
        AddKey(trusted, step->to.text);
        RemoveKey(learnt.roots, step->from.text);
        AddKey(learnt.roots, step->to.text);
        AddKey(learnt.retiredRoots, step->from.text);
        ++verdict.nRotationsFollowed;
    }
    const std::vector<TrustKey> roots = LoadKeys(trusted);

    if (const std::string* text = FindSectionValue(trust, kRevocationKey)) {
        RevocationStatement revocation;
        if (!ParseRevocation(*text, revocation)) {
            verdict.refusal = TrustRefusal::BadRevocation;
            return verdict;
        }
        if (!SignerOf(roots, *text, FindSectionValue(trust, SignatureKeyOf(kRevocationKey)))) {
            verdict.refusal = TrustRefusal::RevocationNotByRoot;
            return verdict;
        }
        for (const std::string& id : revocation.ids) {
            if (!ContainsTrustIdentifier(learnt.revokedIds, id))
                learnt.revokedIds.push_back(id);
        }
    }
    JudgeCertificate(trust, roots, nowUtcTicks, verdict);
    return verdict;
}

bool ParseSerial(std::wstring_view text, ULONGLONG& serial)
{
    return ParseStrictDecimal(text, serial, 18);
}

TrustRefusal JudgeSerial(std::wstring_view serialText, const std::optional<ULONGLONG>& highest, ULONGLONG& serial)
{
    serial = 0;
    if (!serialText.empty() && !ParseSerial(serialText, serial))
        return TrustRefusal::BadSerial;
    // Equal is the same description again, as the install and the completion check it.
    if (highest && (serialText.empty() || serial < *highest))
        return TrustRefusal::SerialReplayed;
    return TrustRefusal::None;
}

TrustVerdict JudgeDescriptionSignature(std::string_view fileBytes, const TrustPins& pins, const TrustMemory& memory,
                                       ULONGLONG nowUtcTicks)
{
    TrustVerdict verdict;
    verdict.memory = memory;
    if (pins.roots.empty() && pins.directKeys.empty())
        return verdict;
    verdict.bSigned = true;
    auto refuse = [&](TrustRefusal refusal) {
        verdict.refusal = refusal;
        return std::move(verdict);
    };

    // The root statements first: they stand on their own signatures and are
    // remembered whatever the rest of the file is.
    ChainVerdict chain;
    chain.certificateRefusal = TrustRefusal::NoCertificate;
    if (!pins.roots.empty()) {
        std::vector<TrustKey> roots;
        if (!LoadTrustKeyList(pins.roots, roots))
            return refuse(TrustRefusal::BadRootPin);
        SectionValues trust;
        if (ReadProfileSection(fileBytes, kTrustSection, trust) == SectionRead::Ambiguous)
            return refuse(TrustRefusal::AmbiguousTrustSection);
        chain = JudgeTrustChain(trust, roots, memory, nowUtcTicks);
        verdict.memory = chain.memory;
        verdict.nRotationsFollowed = chain.nRotationsFollowed;
        if (chain.refusal != TrustRefusal::None)
            return refuse(chain.refusal);
    }

    Sha256Digest digest;
    EcdsaP256Signature signature;
    verdict.signature = ReadDescriptionSignature(fileBytes, digest, signature);
    if (verdict.signature != SignatureVerdict::Verified)
        return refuse(TrustRefusal::Signature);
    bool bDirect = false;
    if (!pins.directKeys.empty()) {
        const SignatureVerdict direct = VerifyDescriptionSignature(fileBytes, pins.directKeys);
        bDirect = direct == SignatureVerdict::Verified;
        if (!bDirect && (direct != SignatureVerdict::NoKeyVerifies || pins.roots.empty())) {
            verdict.signature = direct;
            return refuse(TrustRefusal::Signature);
        }
    }
    if (!bDirect) {
        if (chain.certificateRefusal != TrustRefusal::None)
            return refuse(chain.certificateRefusal);
        if (!VerifyP256(chain.certifiedKey.handle, digest, signature))
            return refuse(TrustRefusal::NotSignedByCertifiedKey);
        verdict.bCertified = true;
        verdict.certificate = chain.certificate;
    }
    return verdict;
}

void JudgeClientSection(const ClientTrustFacts& client, ULONGLONG nowUtcTicks, TrustVerdict& verdict)
{
    if (!verdict.bSigned || verdict.refusal != TrustRefusal::None)
        return;
    auto refuse = [&](TrustRefusal refusal) { verdict.refusal = refusal; };
    // An old signed answer, replayed, must not hold clients back for ever: so
    // the section this installation acts on must say itself when it ends.
    switch (CheckExpires(client.expires, nowUtcTicks)) {
    case ExpiryVerdict::Valid: break;
    case ExpiryVerdict::Expired: return refuse(TrustRefusal::Expired);
    case ExpiryVerdict::Malformed: return refuse(client.expires.empty() ? TrustRefusal::NoExpires : TrustRefusal::BadExpires);
    }
    ULONGLONG serial = 0;
    const TrustRefusal serialRefusal = JudgeSerial(client.serial, verdict.memory.highestSerial, serial);
    if (serialRefusal != TrustRefusal::None)
        return refuse(serialRefusal);
    if (!client.serial.empty())
        verdict.memory.highestSerial = serial;
}

TrustVerdict JudgeDescriptionTrust(std::string_view fileBytes, const TrustPins& pins, const TrustMemory& memory,
                                   const ClientTrustFacts& client, ULONGLONG nowUtcTicks)
{
    TrustVerdict verdict = JudgeDescriptionSignature(fileBytes, pins, memory, nowUtcTicks);
    JudgeClientSection(client, nowUtcTicks, verdict);
    return verdict;
}

LPCWSTR DescribeTrustRefusal(TrustRefusal refusal)
{
    switch (refusal) {
    case TrustRefusal::None: return L"trusted";
    case TrustRefusal::Signature: return L"its signature does not verify";
    case TrustRefusal::BadRootPin: return L"a pinned root key does not decode as an ECDSA P-256 key";
    case TrustRefusal::AmbiguousTrustSection: return L"its [Trust] section or a key of it appears twice";
    case TrustRefusal::BrokenRotationChain: return L"its root rotations do not form one chain, each signed by the root it leaves";
    case TrustRefusal::RotationToRetiredRoot: return L"a root rotation leads back to a root this installation has left";
    case TrustRefusal::BadRevocation: return L"its revocation list is malformed";
    case TrustRefusal::RevocationNotByRoot: return L"its revocation list is not signed by a trusted root";
    case TrustRefusal::NoCertificate: return L"no pinned key signed it and it carries no certificate";
    case TrustRefusal::BadCertificate: return L"its certificate is malformed";
    case TrustRefusal::CertifiedByRetiredRoot: return L"its signing key was certified by a root this installation has rotated away from";
    case TrustRefusal::CertifiedByOtherRoot: return L"its signing key was certified by another root";
    case TrustRefusal::CertificateOtherPurpose: return L"its certificate is for another purpose than signing descriptions";
    case TrustRefusal::CertificateExpired: return L"its signing key's certificate has expired";
    case TrustRefusal::KeyRevoked: return L"its signing key has been revoked";
    case TrustRefusal::NotSignedByCertifiedKey: return L"the certified key did not sign it: the file was changed or signed with another key";
    case TrustRefusal::NoExpires: return L"its client section has no Expires";
    case TrustRefusal::BadExpires: return L"its client section's Expires is no UTC time";
    case TrustRefusal::Expired: return L"its client section has expired";
    case TrustRefusal::BadSerial: return L"its client section's Serial is not a number of up to 18 digits";
    case TrustRefusal::SerialReplayed: return L"its Serial is below one this installation has acted on: an old description replayed";
    }
    return L"unknown refusal";
}

std::wstring DescribeTrustVerdict(const TrustVerdict& verdict)
{
    if (verdict.refusal == TrustRefusal::Signature)
        return DescribeSignatureVerdict(verdict.signature);
    return DescribeTrustRefusal(verdict.refusal);
}
