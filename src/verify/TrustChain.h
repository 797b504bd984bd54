// Whether an update description may be acted on, judged from its bytes, the
// installed record's pins and what the installation remembers; and what it
// must remember afterwards.
//
// A record pins roots ("PublisherRoot"), signing keys ("PublisherKey"), or
// both. A root stays offline and signs statements only (verify/TrustStatement.h):
// the certificate of the signing key that signed the description, the list of
// revoked certificates, and rotations to a new root. A description is taken
// when a directly pinned key signed it (as always), or when the key a trusted
// root certified for descriptions signed it before the certificate's end and
// its identifier was never revoked. Its client section must then name its own
// Expires still to come and a Serial no lower than the highest acted on.
// A record that pins nothing takes every description, as it always has.
#pragma once

#include "verify/DescriptionSignature.h"
#include "verify/ProfileSection.h"
#include "verify/TrustKey.h"
#include "verify/TrustMemory.h"
#include "verify/TrustStatement.h"

#include <optional>

// The record's texts, empty when it has none.
struct TrustPins {
    std::wstring roots;       // "PublisherRoot"
    std::wstring directKeys;  // "PublisherKey"
};

enum class TrustRefusal {
    None,
    Signature,                // the signature line or a direct key's text: TrustVerdict::signature says which
    BadRootPin,               // "PublisherRoot" holds something that is not a P-256 key
    AmbiguousTrustSection,    // the [Trust] section, or a key of it, twice
    BrokenRotationChain,      // a rotation malformed, badly signed, out of order, a gap or a loop
    RotationToRetiredRoot,
    BadRevocation,
    RevocationNotByRoot,      // the revocation list is signed by no root this installation trusts
    NoCertificate,            // no direct key signed it, and it carries no certificate
    BadCertificate,
    CertifiedByRetiredRoot,   // a root this installation has rotated away from
    CertifiedByOtherRoot,
    CertificateOtherPurpose,
    CertificateExpired,
    KeyRevoked,
    NotSignedByCertifiedKey,
    NoExpires,
    BadExpires,
    Expired,
    BadSerial,
    SerialReplayed,           // lower than the highest acted on, or none after one
};

// The chain of a [Trust] section judged for an installation.
struct ChainVerdict {
    // The rotations and the revocation list: a refusal here refuses the description.
    TrustRefusal refusal = TrustRefusal::None;
    // The certificate: a refusal here matters only when no direct key signed.
    TrustRefusal certificateRefusal = TrustRefusal::None;
    TrustMemory memory;             // with every rotation and revocation that verified
    size_t nRotationsFollowed = 0;
    std::vector<std::wstring> roots;  // the roots trusted after the rotations
    CertificateStatement certificate; // when certificateRefusal is None
    TrustKey certifiedKey;
};

// The [Trust] section's statements for an installation that pins roots and
// remembers memory, at nowUtcTicks (FILETIME ticks, UTC).
ChainVerdict JudgeTrustChain(const SectionValues& trust, const std::vector<TrustKey>& pinnedRoots,
                             const TrustMemory& memory, ULONGLONG nowUtcTicks);

// The client section's values that trust depends on, as the profile reader gives them.
struct ClientTrustFacts {
    std::wstring expires;  // "Expires"
    std::wstring serial;   // "Serial"
};

struct TrustVerdict {
    TrustRefusal refusal = TrustRefusal::None;
    SignatureVerdict signature = SignatureVerdict::Verified;
    bool bSigned = false;     // false: the record pins nothing, and nothing was checked
    bool bCertified = false;  // signed by a certified key; else by a directly pinned one
    CertificateStatement certificate;
    size_t nRotationsFollowed = 0;
    TrustMemory memory;       // what to keep, whatever the verdict; the input when nothing was learnt
};

// The whole judgement of a description's bytes. Root statements that verify
// are remembered even when the description is refused, as they stand on
// their own signatures; the serial only once the description is taken.
TrustVerdict JudgeDescriptionTrust(std::string_view fileBytes, const TrustPins& pins, const TrustMemory& memory,
                                   const ClientTrustFacts& client, ULONGLONG nowUtcTicks);

// Its two halves: the file's signature and chain, then (for a verdict without
// refusal) the client section's Expires and Serial.
TrustVerdict JudgeDescriptionSignature(std::string_view fileBytes, const TrustPins& pins, const TrustMemory& memory,
                                       ULONGLONG nowUtcTicks);
void JudgeClientSection(const ClientTrustFacts& client, ULONGLONG nowUtcTicks, TrustVerdict& verdict);

// "Serial": 1 to 18 decimal digits, nothing else.
bool ParseSerial(std::wstring_view text, ULONGLONG& serial);

// The serial rule: a serial no lower than the highest acted on; once one was
// acted on, a description without any is an old one. None with serial filled
// (0 when the text is empty), or why not.
TrustRefusal JudgeSerial(std::wstring_view serialText, const std::optional<ULONGLONG>& highest, ULONGLONG& serial);

// A short English phrase for the trace and the tool; for Signature, the signature's own.
std::wstring DescribeTrustVerdict(const TrustVerdict& verdict);
LPCWSTR DescribeTrustRefusal(TrustRefusal refusal);
