#include "KeyFile.h"

#include "FileBytes.h"
#include "PublishError.h"

#include "verify/Base64.h"
#include "verify/Der.h"
#include "verify/DescriptionSignature.h"

#include <cstring>
#include <vector>

namespace {

const BYTE kP256CurveOid[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};
const BYTE kEcPublicKeyOid[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01};

const char kEcPrivateKeyLabel[] = "EC PRIVATE KEY";
const char kPkcs8Label[] = "PRIVATE KEY";
const char kEcParametersLabel[] = "EC PARAMETERS";

bool IsOid(const DerInput& contents, const BYTE* oid, size_t size)
{
    return contents.size == size && std::memcmp(contents.data, oid, size) == 0;
}

// Blocks "-----BEGIN label-----" ... "-----END label-----" of a PEM text.
struct PemBlock {
    std::string label;
    std::vector<BYTE> der;
    bool bHeaders = false;  // "Proc-Type: 4,ENCRYPTED" and the like
};

bool ParsePemBlocks(std::string_view text, std::vector<PemBlock>& blocks, std::wstring& problem)
{
    const std::string_view begin = "-----BEGIN ", end = "-----END ", dashes = "-----";
    size_t at = 0;
    while ((at = text.find(begin, at)) != std::string_view::npos) {
        const size_t labelStart = at + begin.size();
        const size_t labelEnd = text.find(dashes, labelStart);
        if (labelEnd == std::string_view::npos) {
            problem = L"a PEM block without its label's end";
            return false;
        }
        PemBlock block;
        block.label = std::string(text.substr(labelStart, labelEnd - labelStart));
        const std::string footer = std::string(end) + block.label + std::string(dashes);
        const size_t bodyStart = labelEnd + dashes.size();
        const size_t bodyEnd = text.find(footer, bodyStart);
        if (bodyEnd == std::string_view::npos) {
            problem = L"a PEM block without its END line";
            return false;
        }
        std::string base64;
        for (char ch : text.substr(bodyStart, bodyEnd - bodyStart)) {
            if (ch == ':')
                block.bHeaders = true;
            if (ch != '\r' && ch != '\n' && ch != ' ' && ch != '\t')
                base64 += ch;
        }
        if (!block.bHeaders && !DecodeBase64(std::string_view(base64), block.der)) {
            problem = L"a PEM block that is not base64";
            return false;
        }
        blocks.push_back(std::move(block));
        at = bodyEnd + footer.size();
    }
    return true;
}

// The contents of "OCTET STRING d", 32 bytes or fewer, into 32 big-endian bytes.
bool ReadScalar(const DerInput& scalar, std::array<BYTE, 32>& d)
{
    if (scalar.size == 0 || scalar.size > 32)
        return false;
    d.fill(0);
    std::memcpy(d.data() + 32 - scalar.size, scalar.data, scalar.size);
    return true;
}

// SEC1 ECPrivateKey: version 1, d, [0] curve, [1] public point. bCurveKnown: the
// curve was named outside (PKCS#8), so [0] may be missing.
bool ParseEcPrivateKey(DerInput der, bool bCurveKnown, P256PrivateKey& key, std::wstring& problem)
{
    DerInput sequence, version, curve, curveOid, point, bits;
    problem = L"not an EC private key";
    if (!der.Read(kDerSequence, sequence) || !der.IsEmpty())
        return false;
    if (!sequence.Read(kDerInteger, version) || version.size != 1 || version.data[0] != 1)
        return false;
    DerInput scalar;
    if (!sequence.Read(kDerOctetString, scalar))
        return false;
    if (sequence.Read(kDerContext0, curve)) {
        if (!curve.Read(kDerObjectIdentifier, curveOid) || !IsOid(curveOid, kP256CurveOid, sizeof(kP256CurveOid))) {
            problem = L"not a key of the curve P-256 (prime256v1)";
            return false;
        }
    } else if (!bCurveKnown) {
        problem = L"the key does not name its curve";
        return false;
    }
    if (!ReadScalar(scalar, key.d))
        return false;
    if (!sequence.Read(kDerContext1, point) || !point.Read(kDerBitString, bits) || bits.size != 66 ||
        bits.data[0] != 0 || bits.data[1] != 0x04) {
        problem = L"the key file holds no public point; write it again with openssl ec";
        return false;
    }
    std::memcpy(key.xy.data(), bits.data + 2, 64);
    return true;
}

// PKCS#8 PrivateKeyInfo: version 0, (id-ecPublicKey, prime256v1), OCTET STRING ECPrivateKey.
bool ParsePkcs8(DerInput der, P256PrivateKey& key, std::wstring& problem)
{
    DerInput sequence, version, algorithm, algorithmOid, curveOid, inner;
    problem = L"not a PKCS#8 private key";
    if (!der.Read(kDerSequence, sequence) || !der.IsEmpty())
        return false;
    if (!sequence.Read(kDerInteger, version) || version.size != 1 || version.data[0] != 0)
        return false;
    if (!sequence.Read(kDerSequence, algorithm) || !algorithm.Read(kDerObjectIdentifier, algorithmOid))
        return false;
    if (!IsOid(algorithmOid, kEcPublicKeyOid, sizeof(kEcPublicKeyOid)) ||
        !algorithm.Read(kDerObjectIdentifier, curveOid) || !IsOid(curveOid, kP256CurveOid, sizeof(kP256CurveOid))) {
        problem = L"not a key of the curve P-256 (prime256v1)";
        return false;
    }
    if (!sequence.Read(kDerOctetString, inner))
        return false;
    return ParseEcPrivateKey(inner, true, key, problem);
}

std::string PemOf(const char* label, const std::vector<BYTE>& der)
{
    const std::string base64 = EncodeBase64(der.data(), der.size());
    std::string pem = std::string("-----BEGIN ") + label + "-----\n";
    for (size_t at = 0; at < base64.size(); at += 64)
        pem += base64.substr(at, 64) + "\n";
    pem += std::string("-----END ") + label + "-----\n";
    return pem;
}

// The CNG blob of the key: header, x, y, d.
std::vector<BYTE> PrivateBlobOf(const P256PrivateKey& key)
{
    std::vector<BYTE> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 96);
    auto* header = reinterpret_cast<BCRYPT_ECCKEY_BLOB*>(blob.data());
    header->dwMagic = BCRYPT_ECDSA_PRIVATE_P256_MAGIC;
    header->cbKey = 32;
    std::memcpy(blob.data() + sizeof(BCRYPT_ECCKEY_BLOB), key.xy.data(), 64);
    std::memcpy(blob.data() + sizeof(BCRYPT_ECCKEY_BLOB) + 64, key.d.data(), 32);
    return blob;
}

void Wipe(std::vector<BYTE>& bytes)
{
    ::SecureZeroMemory(bytes.data(), bytes.size());
}

} // namespace

P256PrivateKey::~P256PrivateKey()
{
    ::SecureZeroMemory(d.data(), d.size());
}

bool ParsePrivateKeyPem(std::string_view pem, P256PrivateKey& key, std::wstring& problem)
{
    std::vector<PemBlock> blocks;
    if (!ParsePemBlocks(pem, blocks, problem))
        return false;
    const PemBlock* pKey = nullptr;
    for (const PemBlock& block : blocks) {
        if (block.label == kEcParametersLabel) {
            DerInput der{block.der.data(), block.der.size()}, oid;
            if (!der.Read(kDerObjectIdentifier, oid) || !der.IsEmpty() || !IsOid(oid, kP256CurveOid, sizeof(kP256CurveOid))) {
                problem = L"the EC PARAMETERS name another curve than P-256 (prime256v1)";
                return false;
            }
            continue;
        }
        if (block.label == "ENCRYPTED PRIVATE KEY" || (block.bHeaders && block.label == kEcPrivateKeyLabel)) {
            problem = L"the key is encrypted; write it without a pass phrase (openssl ec -in key.pem -out plain.pem)";
            return false;
        }
        if (block.label != kEcPrivateKeyLabel && block.label != kPkcs8Label)
            continue;
        if (pKey) {
            problem = L"more than one private key";
            return false;
        }
        pKey = &block;
    }
    if (!pKey) {
        problem = L"no \"EC PRIVATE KEY\" or \"PRIVATE KEY\" block";
        return false;
    }
    const DerInput der{pKey->der.data(), pKey->der.size()};
    const bool bParsed = pKey->label == kEcPrivateKeyLabel ? ParseEcPrivateKey(der, false, key, problem)
                                                           : ParsePkcs8(der, key, problem);
    for (PemBlock& block : blocks)
        Wipe(block.der);
    return bParsed;
}

P256PrivateKey LoadPrivateKeyFile(const std::wstring& path)
{
    const size_t kMaxKeyFile = 64 * 1024;
    P256PrivateKey key;
    std::wstring problem;
    std::string pem = ReadWholeFile(path, kMaxKeyFile);
    const bool bParsed = ParsePrivateKeyPem(pem, key, problem);
    ::SecureZeroMemory(&pem[0], pem.size());
    if (!bParsed)
        Fail(path, problem);
    return key;
}

std::string FormatPrivateKeyPem(const P256PrivateKey& key)
{
    static const BYTE kVersion[] = {1};
    std::vector<BYTE> fields, curve, point, bits(2 + 64), der;
    DerAppend(fields, kDerInteger, kVersion, sizeof(kVersion));
    DerAppend(fields, kDerOctetString, key.d.data(), key.d.size());
    DerAppend(curve, kDerObjectIdentifier, kP256CurveOid, sizeof(kP256CurveOid));
    DerAppend(fields, kDerContext0, curve);
    bits[0] = 0;     // no unused bits
    bits[1] = 0x04;  // an uncompressed point
    std::memcpy(bits.data() + 2, key.xy.data(), 64);
    DerAppend(point, kDerBitString, bits);
    DerAppend(fields, kDerContext1, point);
    DerAppend(der, kDerSequence, fields);
    const std::string pem = PemOf(kEcPrivateKeyLabel, der);
    Wipe(fields);
    Wipe(der);
    return pem;
}

P256PrivateKey GeneratePrivateKey()
{
    CAlgorithmHandle algorithm = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    BCRYPT_KEY_HANDLE h = nullptr;
    if (!algorithm || !BCRYPT_SUCCESS(::BCryptGenerateKeyPair(algorithm.Get(), &h, 256, 0)))
        Fail(L"keygen", L"the platform made no ECDSA P-256 key");
    CKeyHandle generated(h);
    std::vector<BYTE> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 96);
    ULONG size = 0;
    if (!BCRYPT_SUCCESS(::BCryptFinalizeKeyPair(generated.Get(), 0)) ||
        !BCRYPT_SUCCESS(::BCryptExportKey(generated.Get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, blob.data(),
                                          static_cast<ULONG>(blob.size()), &size, 0)) ||
        size != blob.size())
        Fail(L"keygen", L"the platform did not hand out the new key");
    P256PrivateKey key;
    std::memcpy(key.xy.data(), blob.data() + sizeof(BCRYPT_ECCKEY_BLOB), 64);
    std::memcpy(key.d.data(), blob.data() + sizeof(BCRYPT_ECCKEY_BLOB) + 64, 32);
    Wipe(blob);
    return key;
}

std::wstring PublisherKeyOf(const P256PrivateKey& key)
{
    const std::vector<BYTE> der = EncodeP256PublicKeyInfo(key.xy.data());
    const std::string base64 = EncodeBase64(der.data(), der.size());
    return std::wstring(base64.begin(), base64.end());
}

CSigningKey::CSigningKey(const P256PrivateKey& key) : m_algorithm(OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM))
{
    std::vector<BYTE> blob = PrivateBlobOf(key);
    BCRYPT_KEY_HANDLE h = nullptr;
    const bool bImported = m_algorithm && BCRYPT_SUCCESS(::BCryptImportKeyPair(m_algorithm.Get(), nullptr,
                                                                              BCRYPT_ECCPRIVATE_BLOB, &h, blob.data(),
                                                                              static_cast<ULONG>(blob.size()), 0));
    Wipe(blob);
    if (!bImported)
        Fail(L"key", L"the platform refused the private key");
    m_key.Reset(h);
}

EcdsaP256Signature CSigningKey::Sign(const Sha256Digest& digest) const
{
    EcdsaP256Signature signature;
    ULONG size = 0;
    if (!BCRYPT_SUCCESS(::BCryptSignHash(m_key.Get(), nullptr, const_cast<PUCHAR>(digest.data()),
                                         static_cast<ULONG>(digest.size()), signature.data(),
                                         static_cast<ULONG>(signature.size()), &size, 0)) ||
        size != signature.size())
        Fail(L"sign", L"the platform did not sign");
    return signature;
}

std::string SignDescription(std::string_view description, const CSigningKey& key)
{
    std::string message = RemoveSignatureLines(description);
    if (message.find_first_not_of(" \t\r\n") == std::string::npos)
        return std::string();
    const char* lineBreak = message.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    if (message.back() != '\n')
        message += lineBreak;
    Sha256Digest digest;
    if (!Sha256Of(message.data(), message.size(), digest))
        throw CPublishError{L"the platform could not hash the description"};
    const std::vector<BYTE> der = EncodeEcdsaSignature(key.Sign(digest));
    return message + kSignatureLinePrefix + EncodeBase64(der.data(), der.size()) + lineBreak;
}

std::string SignStatement(std::string_view text, const CSigningKey& key)
{
    Sha256Digest digest;
    if (!Sha256Of(text.data(), text.size(), digest))
        throw CPublishError{L"the platform could not hash a statement"};
    const std::vector<BYTE> der = EncodeEcdsaSignature(key.Sign(digest));
    return EncodeBase64(der.data(), der.size());
}
