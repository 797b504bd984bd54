// The P-256 public keys of the trust chain (roots and certified signing keys)
// by their canonical text, so that one key always compares equal to itself,
// and the root signatures over the statements of the chain.
#pragma once

#include "verify/EcdsaP256.h"

#include <string>
#include <string_view>
#include <vector>

struct TrustKey {
    std::wstring text;  // base64 of the DER SubjectPublicKeyInfo, re-encoded from the point
    CKeyHandle handle;
};

// One key's text, as "PublisherKey" holds one; false for anything but a P-256 key.
bool LoadTrustKey(std::wstring_view text, TrustKey& key);

// A list separated by "," (as "PublisherKey" is); false when an entry does not load.
bool LoadTrustKeyList(std::wstring_view text, std::vector<TrustKey>& keys);

// Whether the base64 DER signature verifies over exactly the bytes of text.
bool VerifyStatementSignature(const TrustKey& key, std::string_view text, std::string_view signatureBase64);

// A short name for a key in reports: the first 16 hexadecimal digits of the
// SHA-256 of its DER (openssl pkey -pubin -outform DER | sha256sum).
std::wstring TrustKeyFingerprint(const std::wstring& canonicalText);

std::wstring WidenAscii(std::string_view text);
// The ASCII text of wide text; false when a character is not ASCII.
bool NarrowAscii(std::wstring_view text, std::string& ascii);
