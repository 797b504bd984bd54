#include "verify/EcdsaP256.h"

#include "verify/Base64.h"
#include "verify/Der.h"

#include "base/Handles.h"

#include <wincrypt.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// The DER of the named curve prime256v1, as the key's algorithm parameters hold it.
const BYTE kP256CurveOid[] = {0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};

// What an encoded P-256 SubjectPublicKeyInfo holds before the 64 bytes of x || y:
// the algorithm (id-ecPublicKey, prime256v1) and the bit string's header with
// the uncompressed-point byte.
const BYTE kP256PublicKeyInfoPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01,
                                         0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};

// The longest key text taken: an RSA key of 16,384 bits fits.
const size_t kMaxKeyText = 4096;

// Exactly one well-formed element: a decoder may stop after the first and
// ignore what follows, which would let anything ride along.
bool IsSingleElement(const std::vector<BYTE>& der)
{
    return !der.empty() && DerElementSize(der.data(), der.size()) == der.size();
}

// A little-endian unsigned integer of the platform's decoder into 32 big-endian bytes.
bool ToBigEndian32(const CRYPT_UINT_BLOB& value, BYTE* out)
{
    DWORD size = value.cbData;
    while (size > 0 && value.pbData[size - 1] == 0)
        --size;  // high zero bytes, such as the sign byte of the DER integer
    if (size > 32)
        return false;
    std::memset(out, 0, 32);
    for (DWORD i = 0; i < size; ++i)
        out[31 - i] = value.pbData[i];
    return true;
}

} // namespace

PublicKeyImport ImportP256PublicKey(std::wstring_view base64, CKeyHandle& key)
{
    std::vector<BYTE> der;
    if (base64.size() > kMaxKeyText || !DecodeBase64(base64, der) || !IsSingleElement(der))
        return PublicKeyImport::BadText;

    CERT_PUBLIC_KEY_INFO* pInfo = nullptr;
    DWORD size = 0;
    if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, der.data(), static_cast<DWORD>(der.size()),
                               CRYPT_DECODE_ALLOC_FLAG, nullptr, &pInfo, &size))
        return PublicKeyImport::BadText;
    const CLocalMemory<CERT_PUBLIC_KEY_INFO> owned(pInfo);
    CERT_PUBLIC_KEY_INFO* info = owned.Get();

    const CRYPT_OBJID_BLOB& curve = info->Algorithm.Parameters;
    if (!info->Algorithm.pszObjId || std::strcmp(info->Algorithm.pszObjId, szOID_ECC_PUBLIC_KEY) != 0 ||
        curve.cbData != sizeof(kP256CurveOid) || std::memcmp(curve.pbData, kP256CurveOid, sizeof(kP256CurveOid)) != 0)
        return PublicKeyImport::NotP256;

    BCRYPT_KEY_HANDLE h = nullptr;
    if (!::CryptImportPublicKeyInfoEx2(X509_ASN_ENCODING, info, 0, nullptr, &h))
        return PublicKeyImport::BadText;  // not a point of the curve
    key.Reset(h);
    return PublicKeyImport::Imported;
}

std::vector<BYTE> EncodeP256PublicKeyInfo(const BYTE* xy)
{
    std::vector<BYTE> der(sizeof(kP256PublicKeyInfoPrefix) + 64);
    std::memcpy(der.data(), kP256PublicKeyInfoPrefix, sizeof(kP256PublicKeyInfoPrefix));
    std::memcpy(der.data() + sizeof(kP256PublicKeyInfoPrefix), xy, 64);
    return der;
}

bool DecodeEcdsaSignature(const BYTE* pDer, size_t nSize, EcdsaP256Signature& signature)
{
    if (nSize == 0 || nSize > 1024 || DerElementSize(pDer, nSize) != nSize)
        return false;
    CERT_ECC_SIGNATURE* pDecoded = nullptr;
    DWORD size = 0;
    if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ECC_SIGNATURE, pDer, static_cast<DWORD>(nSize),
                               CRYPT_DECODE_ALLOC_FLAG, nullptr, &pDecoded, &size))
        return false;
    const CLocalMemory<CERT_ECC_SIGNATURE> owned(pDecoded);
    const CERT_ECC_SIGNATURE* decoded = owned.Get();
    EcdsaP256Signature rs;
    if (!ToBigEndian32(decoded->r, rs.data()) || !ToBigEndian32(decoded->s, rs.data() + 32))
        return false;
    signature = rs;
    return true;
}

std::vector<BYTE> EncodeEcdsaSignature(const EcdsaP256Signature& signature)
{
    std::vector<BYTE> integers;
    DerAppendUnsigned(integers, signature.data(), 32);
    DerAppendUnsigned(integers, signature.data() + 32, 32);
    std::vector<BYTE> der;
    DerAppend(der, kDerSequence, integers);
    return der;
}

bool VerifyP256(const CKeyHandle& key, const Sha256Digest& digest, const EcdsaP256Signature& signature)
{
    return BCRYPT_SUCCESS(::BCryptVerifySignature(key.Get(), nullptr, const_cast<PUCHAR>(digest.data()),
                                                  static_cast<ULONG>(digest.size()),
                                                  const_cast<PUCHAR>(signature.data()),
                                                  static_cast<ULONG>(signature.size()), 0));
}
