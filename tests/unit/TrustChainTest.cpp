// The chain rules: which description an installation takes under its pinned
// roots, direct keys and what it remembers, and what it remembers afterwards.
#include "KeyFile.h"

#include "verify/Expires.h"
#include "verify/TrustChain.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

struct TestKey {
    P256PrivateKey secret = GeneratePrivateKey();
    std::wstring text = PublisherKeyOf(secret);
    std::string ascii = std::string(text.begin(), text.end());

    std::string Sign(std::string_view statement) const { return SignStatement(statement, CSigningKey(secret)); }
};

using Lines = std::vector<std::pair<std::string, std::string>>;

const char kLater[] = "2099-01-01T00:00:00Z";
const char kPast[] = "2001-01-01T00:00:00Z";

Lines Certificate(const TestKey& root, const TestKey& key, const char* id, const char* until = kLater,
                  const char* purpose = "description")
{
    CertificateStatement statement;
    statement.purpose = purpose;
    statement.id = id;
    statement.until = until;
    statement.key = key.ascii;
    const std::string text = FormatCertificate(statement);
    return {{"Certificate", text}, {"CertificateSignature", root.Sign(text)}};
}

Lines Revocation(const TestKey& root, std::vector<std::string> ids)
{
    const std::string text = FormatRevocation(RevocationStatement{std::move(ids)});
    return {{"Revocation", text}, {"RevocationSignature", root.Sign(text)}};
}

Lines Rotation(size_t n, const TestKey& from, const TestKey& to, const TestKey* signer = nullptr)
{
    const std::string text = FormatRotation(RotationStatement{from.ascii, to.ascii});
    return {{RotationKey(n), text}, {SignatureKeyOf(RotationKey(n)), (signer ? *signer : from).Sign(text)}};
}

Lines operator+(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A description whose [Trust] section holds lines, signed by signer.
std::string Description(const Lines& trust, const TestKey& signer)
{
    std::string text = "[OEMClient_Demo]\r\nMajorVerson=1.1\r\nExpires=2099-01-01T00:00:00Z\r\n";
    if (!trust.empty()) {
        text += "[Trust]\r\n";
        for (const auto& line : trust)
            text += line.first + "=" + line.second + "\r\n";
    }
    return SignDescription(text, CSigningKey(signer.secret));
}

ULONGLONG Now()
{
    ULONGLONG now = 0;
    EXPECT_TRUE(ParseExpires(L"2030-06-01T00:00:00Z", now));
    return now;
}

const ClientTrustFacts kClient{L"2099-01-01T00:00:00Z", L""};

TEST(TrustChain, VerdictAndWhatIsRememberedForEachChain)
{
    const TestKey r1, r2, r3, r4, other, signing, thief;
    const TrustPins rootPin{r1.text, L""};
    const TrustMemory nothing;
    TrustMemory rotatedToR2;
    rotatedToR2.roots = {r2.text};
    rotatedToR2.retiredRoots = {r1.text};
    TrustMemory atR3;
    atR3.roots = {r3.text};
    atR3.retiredRoots = {r1.text, r2.text};
    TrustMemory revokedBefore;
    revokedBefore.revokedIds = {"build-1"};
    const Lines threeRotations = Rotation(1, r1, r2) + Rotation(2, r2, r3) + Rotation(3, r3, r4);

    struct Expected {
        std::vector<std::wstring> roots;
        std::vector<std::wstring> retired;
        std::vector<std::string> revoked;
    };
    const struct {
        const char* name;
        TrustPins pins;
        TrustMemory memory;
        std::string description;
        TrustRefusal refusal;
        Expected remembered;
    } cases[] = {
        {"a root-certified key", rootPin, nothing, Description(Certificate(r1, signing, "build-1"), signing),
         TrustRefusal::None, {}},
        {"an expired certificate", rootPin, nothing,
         Description(Certificate(r1, signing, "build-1", kPast), signing), TrustRefusal::CertificateExpired, {}},
        {"a revoked key", rootPin, nothing,
         Description(Revocation(r1, {"old", "BUILD-1"}) + Certificate(r1, signing, "build-1"), signing),
         TrustRefusal::KeyRevoked, {{}, {}, {"old", "BUILD-1"}}},
        {"a revoked key after the list is gone", rootPin, revokedBefore,
         Description(Certificate(r1, signing, "build-1"), signing), TrustRefusal::KeyRevoked, {{}, {}, {"build-1"}}},
        {"a revocation of other keys", rootPin, nothing,
         Description(Revocation(r1, {"build-0"}) + Certificate(r1, signing, "build-1"), signing), TrustRefusal::None,
         {{}, {}, {"build-0"}}},
        {"a revocation list the thief signed", rootPin, nothing,
         Description(Revocation(thief, {"build-1"}) + Certificate(r1, signing, "build-1"), signing),
         TrustRefusal::RevocationNotByRoot, {}},
        {"a key certified by another root", rootPin, nothing,
         Description(Certificate(other, signing, "build-1"), signing), TrustRefusal::CertifiedByOtherRoot, {}},
        {"a thief's key certifying itself", rootPin, nothing, Description(Certificate(thief, thief, "build-1"), thief),
         TrustRefusal::CertifiedByOtherRoot, {}},
        {"a certificate for another purpose", rootPin, nothing,
         Description(Certificate(r1, signing, "build-1", kLater, "package"), signing),
         TrustRefusal::CertificateOtherPurpose, {}},
        {"a certificate with its fields moved", rootPin, nothing,
         Description({{"Certificate", "certificate/1 id=build-1 purpose=description until=2099-01-01T00:00:00Z key=" +
                                          signing.ascii},
                      {"CertificateSignature", r1.Sign("x")}},
                     signing),
         TrustRefusal::BadCertificate, {}},
        {"a certified key that did not sign", rootPin, nothing, Description(Certificate(r1, signing, "build-1"), thief),
         TrustRefusal::NotSignedByCertifiedKey, {}},
        {"no certificate", rootPin, nothing, Description({}, signing), TrustRefusal::NoCertificate, {}},
        {"the trust section twice", rootPin, nothing,
         Description(Certificate(r1, signing, "build-1"), signing) + "[trust]\r\n", TrustRefusal::AmbiguousTrustSection,
         {}},
        {"a rotation, the new root certifies", rootPin, nothing,
         Description(Rotation(1, r1, r2) + Certificate(r2, signing, "build-1"), signing), TrustRefusal::None,
         {{r2.text}, {r1.text}, {}}},
        {"a rotation learnt though the certificate has expired", rootPin, nothing,
         Description(Rotation(1, r1, r2) + Certificate(r2, signing, "build-1", kPast), signing),
         TrustRefusal::CertificateExpired, {{r2.text}, {r1.text}, {}}},
        {"a rotation, then the old root's certificate", rootPin, rotatedToR2,
         Description(Certificate(r1, signing, "build-1"), signing), TrustRefusal::CertifiedByRetiredRoot,
         {{r2.text}, {r1.text}, {}}},
        {"a rotation, then the old root's rotation to a root of its own", rootPin, rotatedToR2,
         Description(Rotation(1, r1, other) + Certificate(other, signing, "build-1"), signing),
         TrustRefusal::CertifiedByOtherRoot, {{r2.text}, {r1.text}, {}}},
        {"a chain of three rotations", rootPin, nothing,
         Description(threeRotations + Certificate(r4, signing, "build-1"), signing), TrustRefusal::None,
         {{r4.text}, {r1.text, r2.text, r3.text}, {}}},
        {"three rotations met halfway", rootPin, atR3,
         Description(threeRotations + Certificate(r4, signing, "build-1"), signing), TrustRefusal::None,
         {{r4.text}, {r1.text, r2.text, r3.text}, {}}},
        {"three rotations, a root on the way certifies", rootPin, nothing,
         Description(threeRotations + Certificate(r3, signing, "build-1"), signing),
         TrustRefusal::CertifiedByRetiredRoot, {{r4.text}, {r1.text, r2.text, r3.text}, {}}},
        {"a rotation with a gap", rootPin, nothing,
         Description(Rotation(1, r1, r2) + Rotation(2, r3, r4) + Certificate(r4, signing, "build-1"), signing),
         TrustRefusal::BrokenRotationChain, {}},
        {"a rotation numbered with a gap", rootPin, nothing,
         Description(Rotation(1, r1, r2) + Rotation(3, r2, r3) + Certificate(r3, signing, "build-1"), signing),
         TrustRefusal::BrokenRotationChain, {}},
        {"a rotation signed by the root it names", rootPin, nothing,
         Description(Rotation(1, r1, r2, &r2) + Certificate(r2, signing, "build-1"), signing),
         TrustRefusal::BrokenRotationChain, {}},
        {"a rotation in a loop", rootPin, nothing,
         Description(Rotation(1, r1, r2) + Rotation(2, r2, r1) + Certificate(r1, signing, "build-1"), signing),
         TrustRefusal::BrokenRotationChain, {}},
        {"a rotation back to a root left", TrustPins{r2.text, L""}, rotatedToR2,
         Description(Rotation(1, r2, r1) + Certificate(r1, signing, "build-1"), signing),
         TrustRefusal::RotationToRetiredRoot, {{r2.text}, {r1.text}, {}}},
        {"a direct key, as always", TrustPins{L"", signing.text}, nothing, Description({}, signing), TrustRefusal::None,
         {}},
        {"a direct key beside a root", TrustPins{r1.text, signing.text}, nothing, Description({}, signing),
         TrustRefusal::None, {}},
        {"another key than the direct one", TrustPins{L"", signing.text}, nothing, Description({}, thief),
         TrustRefusal::Signature, {}},
        {"a direct key with a revoked certificate beside it", TrustPins{r1.text, signing.text}, revokedBefore,
         Description(Certificate(r1, signing, "build-1"), signing), TrustRefusal::None, {{}, {}, {"build-1"}}},
        {"a root pin that is no key", TrustPins{L"AAAA", L""}, nothing,
         Description(Certificate(r1, signing, "build-1"), signing), TrustRefusal::BadRootPin, {}},
        {"no pins at all", TrustPins{}, nothing, "[OEMClient_Demo]\r\nMajorVerson=1.1\r\n", TrustRefusal::None, {}},
    };
    for (const auto& c : cases) {
        const TrustVerdict verdict = JudgeDescriptionTrust(c.description, c.pins, c.memory, kClient, Now());
        EXPECT_EQ(c.refusal, verdict.refusal) << c.name << ": " << DescribeTrustVerdict(verdict);
        EXPECT_EQ(c.remembered.roots, verdict.memory.roots) << c.name;
        EXPECT_EQ(c.remembered.retired, verdict.memory.retiredRoots) << c.name;
        EXPECT_EQ(c.remembered.revoked, verdict.memory.revokedIds) << c.name;
        if (c.refusal == TrustRefusal::None && !c.pins.roots.empty() && c.pins.directKeys.empty()) {
            EXPECT_TRUE(verdict.bCertified) << c.name;
            EXPECT_EQ("build-1", verdict.certificate.id) << c.name;
        }
    }
}

TEST(TrustChain, SerialNeverGoesBackAcrossARestart)
{
    const struct {
        const wchar_t* serial;
        std::optional<ULONGLONG> highest;
        TrustRefusal expected;
    } rules[] = {
        {L"", std::nullopt, TrustRefusal::None},
        {L"7", std::nullopt, TrustRefusal::None},
        {L"7", 7, TrustRefusal::None},  // the same description, checked again at Install
        {L"8", 7, TrustRefusal::None},
        {L"6", 7, TrustRefusal::SerialReplayed},
        {L"", 7, TrustRefusal::SerialReplayed},
        {L"0", 0, TrustRefusal::None},
        {L"999999999999999999", std::nullopt, TrustRefusal::None},
        {L"1000000000000000000", std::nullopt, TrustRefusal::BadSerial},
        {L"-1", std::nullopt, TrustRefusal::BadSerial},
        {L"7 ", std::nullopt, TrustRefusal::BadSerial},
        {L"0x10", std::nullopt, TrustRefusal::BadSerial},
        {L"\uFF17", std::nullopt, TrustRefusal::BadSerial},  // a full-width digit
    };
    for (const auto& r : rules) {
        ULONGLONG serial = 0;
        EXPECT_EQ(r.expected, JudgeSerial(r.serial, r.highest, serial)) << r.serial;
    }

    // The whole way: taken at 20, remembered through the trust file, 19 refused after the restart.
    const TestKey root, signing;
    const TrustPins pins{root.text, L""};
    const std::string description = Description(Certificate(root, signing, "build-1"), signing);
    TrustMemory memory;
    memory.rolloutBucket = 4321;
    const TrustVerdict taken = JudgeDescriptionTrust(description, pins, memory, {kClient.expires, L"20"}, Now());
    ASSERT_EQ(TrustRefusal::None, taken.refusal);
    EXPECT_EQ(20u, taken.memory.highestSerial.value_or(0));
    // A refused description teaches no serial.
    const TrustVerdict expired =
        JudgeDescriptionTrust(description, pins, taken.memory, {L"2001-01-01T00:00:00Z", L"99"}, Now());
    EXPECT_EQ(TrustRefusal::Expired, expired.refusal);
    EXPECT_EQ(20u, expired.memory.highestSerial.value_or(0));
    const TrustVerdict later = JudgeDescriptionTrust(description, pins, taken.memory, {kClient.expires, L"21"}, Now());
    ASSERT_EQ(TrustRefusal::None, later.refusal);

    const TrustMemory restarted = ParseTrustMemory(FormatTrustMemory(later.memory));
    EXPECT_EQ(later.memory, restarted);
    EXPECT_EQ(4321u, restarted.rolloutBucket.value_or(0));
    for (const auto& [serial, expected] : std::map<std::wstring, TrustRefusal>{
             {L"20", TrustRefusal::SerialReplayed}, {L"", TrustRefusal::SerialReplayed}, {L"21", TrustRefusal::None},
             {L"22", TrustRefusal::None}}) {
        EXPECT_EQ(expected, JudgeDescriptionTrust(description, pins, restarted, {kClient.expires, serial}, Now()).refusal)
            << serial;
    }

    // A damaged file keeps every entry that still reads.
    const TrustMemory damaged = ParseTrustMemory(
        "[Remembered]\r\nRoots=" + root.ascii + ",not base64!\r\nRevoked=a,b c,d\r\nSerial=12x\r\nBucket=10000\r\n");
    EXPECT_EQ(std::vector<std::wstring>{root.text}, damaged.roots);
    EXPECT_EQ((std::vector<std::string>{"a", "d"}), damaged.revokedIds);
    EXPECT_FALSE(damaged.highestSerial);
    EXPECT_FALSE(damaged.rolloutBucket);
}

TEST(TrustChain, TimeToVerifyADescriptionWithACertifiedKey)
{
    const TestKey r1, r2, signing;
    const std::string description =
        Description(Rotation(1, r1, r2) + Revocation(r2, {"build-0"}) + Certificate(r2, signing, "build-1"), signing);
    const TrustPins pins{r1.text, L""};
    const int kRounds = 50;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i)
        ASSERT_EQ(TrustRefusal::None, JudgeDescriptionTrust(description, pins, TrustMemory(), kClient, Now()).refusal);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / kRounds;
    std::printf("time to verify a description with a certified key (one rotation, a revocation list): %.2f ms\n", ms);
    RecordProperty("VerifyMilliseconds", std::to_string(ms));
}

} // namespace
