// The publisher's private key: made and used through CNG, kept in the PEM files
// that openssl reads and writes ("EC PRIVATE KEY", SEC1, named curve prime256v1;
// also with an "EC PARAMETERS" block in front, or as PKCS#8 "PRIVATE KEY").
#pragma once

#include "base/CngHandle.h"
#include "verify/EcdsaP256.h"
#include "base/Sha256.h"

#include <array>
#include <string>
#include <string_view>

// The scalar d and the public point x || y, big-endian. Wiped when it goes.
struct P256PrivateKey {
    std::array<BYTE, 32> d = {};
    std::array<BYTE, 64> xy = {};

    P256PrivateKey() = default;
    P256PrivateKey(const P256PrivateKey&) = default;
    P256PrivateKey& operator=(const P256PrivateKey&) = default;
    ~P256PrivateKey();
};

// The key of a PEM file's text; false with a reason for anything else
// (another curve, an encrypted key, no key, two keys, a key without its public point).
bool ParsePrivateKeyPem(std::string_view pem, P256PrivateKey& key, std::wstring& problem);

// The key of a PEM file; throws naming the file and what is wrong with it.
P256PrivateKey LoadPrivateKeyFile(const std::wstring& path);

// The file as openssl writes it: "EC PRIVATE KEY" with the curve and the public point.
std::string FormatPrivateKeyPem(const P256PrivateKey& key);

// A new key from the platform's generator; throws when the platform fails.
P256PrivateKey GeneratePrivateKey();

// The "PublisherKey" value: base64 of the DER SubjectPublicKeyInfo.
std::wstring PublisherKeyOf(const P256PrivateKey& key);

// The key in CNG, ready to sign.
class CSigningKey {
public:
    // Throws when the platform refuses the key (a point not on the curve).
    explicit CSigningKey(const P256PrivateKey& key);

    // r || s over the digest; throws when the platform fails.
    EcdsaP256Signature Sign(const Sha256Digest& digest) const;

private:
    CAlgorithmHandle m_algorithm;  // outlives the key, which is declared after it
    CKeyHandle m_key;
};

// The description with its signature as the last line, in place of any
// earlier one; empty when it holds nothing to sign. Throws when the platform fails.
std::string SignDescription(std::string_view description, const CSigningKey& key);

// The base64 of the DER signature over exactly the bytes of text, as a root
// signs the statements of the trust chain. Throws when the platform fails.
std::string SignStatement(std::string_view text, const CSigningKey& key);
