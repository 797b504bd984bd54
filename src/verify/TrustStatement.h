// The statements a root key signs. Each is one line of ASCII text, the value of
// a key of a description's [Trust] section; its signature is the value of the
// same key with "Signature" after the name: the base64 of a DER ECDSA P-256
// signature over the SHA-256 of exactly the text's bytes (no line break).
//
//   certificate/1 purpose=description id=<id> until=<YYYY-MM-DDTHH:MM:SSZ> key=<key>
//   revocation/1 revoked=<id>[,<id>...]
//   rotation/1 from=<key> to=<key>
//
// <key> is the base64 of a DER SubjectPublicKeyInfo of a P-256 key, as
// "PublisherKey" holds one; <id> is 1 to 64 of A-Z a-z 0-9 . _ -, compared
// without regard to case. The fields come in this order, one blank apart, so
// that a statement has one text only, and its first word names its kind: a
// root's signature over one kind never reads as another.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

struct CertificateStatement {
    std::string purpose;  // what the key may sign: kDescriptionPurpose
    std::string id;
    std::string until;    // the certificate is valid before this second (UTC)
    std::string key;
    ULONGLONG untilTicks = 0;
};

struct RevocationStatement {
    std::vector<std::string> ids;
};

struct RotationStatement {
    std::string from;  // the root that signs the statement
    std::string to;    // the root trusted in its place from then on
};

// The one purpose of the certificates this library takes: signing update descriptions.
extern const char kDescriptionPurpose[];  // "description"

// The [Trust] section and its keys; "Rotation1", "Rotation2", ... in the order of the chain.
extern const char kTrustSection[];        // "Trust"
extern const char kCertificateKey[];      // "Certificate"
extern const char kRevocationKey[];       // "Revocation"
extern const char kRotationKeyStem[];     // "Rotation"
std::string RotationKey(size_t n);        // from 1
bool IsRotationKey(std::string_view key); // "Rotation" and digits, without regard to case
std::string SignatureKeyOf(std::string_view key);  // "CertificateSignature", ...

inline constexpr size_t kMaxRotations = 64;
inline constexpr size_t kMaxRevokedIds = 1024;

// False for text that is not exactly one statement of the kind.
bool ParseCertificate(std::string_view text, CertificateStatement& statement);
bool ParseRevocation(std::string_view text, RevocationStatement& statement);
bool ParseRotation(std::string_view text, RotationStatement& statement);

std::string FormatCertificate(const CertificateStatement& statement);
std::string FormatRevocation(const RevocationStatement& statement);
std::string FormatRotation(const RotationStatement& statement);

bool IsTrustIdentifier(std::string_view id);
bool SameTrustIdentifier(std::string_view a, std::string_view b);
bool ContainsTrustIdentifier(const std::vector<std::string>& ids, std::string_view id);
