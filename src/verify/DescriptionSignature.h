// The publisher's signature of an update description. It is the file's last
// line, ";signature=" and the base64 of a DER ECDSA signature (P-256, SHA-256)
// over every byte before that line; the profile reader takes the line for a
// comment. After it the file may end with one "\r\n" or "\n", nothing else.
#pragma once

#include <windows.h>

#include "verify/EcdsaP256.h"

#include <string>
#include <string_view>
#include <vector>

// The start of the signature line, at the beginning of a line.
extern const char kSignatureLinePrefix[];  // ";signature="

enum class SignatureVerdict {
    Verified,
    NoSignatureLine,
    NotLastLine,        // more follows the signature line than one line break
    TwoSignatureLines,
    BadBase64,
    BadSignature,       // not exactly one DER ECDSA-Sig-Value of P-256
    BadKeyText,         // "PublisherKey" empty, or an entry that does not decode
    KeyNotP256,         // an entry is another kind of key (RSA, P-384)
    NoKeyVerifies,      // the message was changed, or signed with a key not listed
};

// The verdict on fileBytes, the whole description as it arrived, against
// publisherKeys, the "PublisherKey" text: one or more base64 keys separated by
// "," (blanks and line breaks around an entry are allowed). Verified when one key verifies.
// Works within the file's own size whatever it holds.
SignatureVerdict VerifyDescriptionSignature(std::string_view fileBytes, std::wstring_view publisherKeys);

// The signature line read and the message hashed, for a key that comes from
// elsewhere (a certificate): Verified with both filled, or the line's fault
// (NoSignatureLine ... BadSignature).
SignatureVerdict ReadDescriptionSignature(std::string_view fileBytes, Sha256Digest& messageDigest,
                                          EcdsaP256Signature& signature);

// The entries of a key list such as "PublisherKey" (base64 keys separated by
// ",", blanks and line breaks around an entry allowed), trimmed; false when
// one is empty.
bool SplitKeyList(std::wstring_view text, std::vector<std::wstring_view>& keys);

// The file without its signature lines (every line that begins with the
// prefix), for signing it again.
std::string RemoveSignatureLines(std::string_view fileBytes);

// A short English phrase for reports: "no signature line", ...
LPCWSTR DescribeSignatureVerdict(SignatureVerdict verdict);
