#include "verify/TrustKey.h"

#include "verify/Base64.h"
#include "verify/DescriptionSignature.h"

bool LoadTrustKey(std::wstring_view text, TrustKey& key)
{
    CKeyHandle handle;
    if (ImportP256PublicKey(text, handle) != PublicKeyImport::Imported)
        return false;
    // The point as the platform holds it: another encoding of the same key
    // (a compressed point, other DER) gives the same text.
    BYTE blob[sizeof(BCRYPT_ECCKEY_BLOB) + 64] = {};
    ULONG size = 0;
    if (!BCRYPT_SUCCESS(::BCryptExportKey(handle.Get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, blob, sizeof(blob), &size, 0)) ||
        size != sizeof(blob))
        return false;
    const std::vector<BYTE> der = EncodeP256PublicKeyInfo(blob + sizeof(BCRYPT_ECCKEY_BLOB));
    key.text = WidenAscii(EncodeBase64(der.data(), der.size()));
    key.handle = std::move(handle);
    return !key.text.empty();
}

bool LoadTrustKeyList(std::wstring_view text, std::vector<TrustKey>& keys)
{
    std::vector<std::wstring_view> texts;
    if (!SplitKeyList(text, texts))
        return false;
    std::vector<TrustKey> loaded(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        if (!LoadTrustKey(texts[i], loaded[i]))
            return false;
    }
    keys = std::move(loaded);
    return true;
}

bool VerifyStatementSignature(const TrustKey& key, std::string_view text, std::string_view signatureBase64)
{
    // The base64 of the longest DER ECDSA-Sig-Value of P-256 is 96 characters.
    std::vector<BYTE> der;
    EcdsaP256Signature signature;
    Sha256Digest digest;
    return signatureBase64.size() <= 96 && DecodeBase64(signatureBase64, der) &&
           DecodeEcdsaSignature(der.data(), der.size(), signature) && Sha256Of(text.data(), text.size(), digest) &&
           VerifyP256(key.handle, digest, signature);
}

std::wstring TrustKeyFingerprint(const std::wstring& canonicalText)
{
    std::vector<BYTE> der;
    Sha256Digest digest;
    if (!DecodeBase64(canonicalText, der) || !Sha256Of(der.data(), der.size(), digest))
        return L"?";
    return FormatSha256Hex(digest).substr(0, 16);
}

std::wstring WidenAscii(std::string_view text)
{
    return std::wstring(text.begin(), text.end());
}

bool NarrowAscii(std::wstring_view text, std::string& ascii)
{
    std::string narrowed;
    narrowed.reserve(text.size());
    for (wchar_t ch : text) {
        if (ch > 0x7F)
            return false;
        narrowed += static_cast<char>(ch);
    }
    ascii.swap(narrowed);
    return true;
}
