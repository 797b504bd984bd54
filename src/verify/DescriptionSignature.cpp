#include "verify/DescriptionSignature.h"

#include "verify/Base64.h"
#include "verify/EcdsaP256.h"

#include <cstring>
#include <vector>

const char kSignatureLinePrefix[] = ";signature=";

namespace {

const size_t kPrefixLength = sizeof(kSignatureLinePrefix) - 1;

// The base64 of the longest DER ECDSA-Sig-Value of P-256 (72 bytes); anything
// longer is refused before it is decoded.
const size_t kMaxSignatureText = 96;

bool IsSignatureLineAt(std::string_view file, size_t start)
{
    return file.compare(start, kPrefixLength, kSignatureLinePrefix) == 0;
}

// The start of every line, in order, with a callback; stops when it returns false.
template <typename Visit>
void ForEachLineStart(std::string_view file, Visit visit)
{
    for (size_t start = 0; start < file.size();) {
        if (!visit(start))
            return;
        const size_t end = file.find('\n', start);
        if (end == std::string_view::npos)
            return;
        start = end + 1;
    }
}

struct SignatureLine {
    size_t start = 0;             // first byte of the line: the message ends here
    std::string_view base64;      // the text after the prefix, without the line break
};

SignatureVerdict FindSignatureLine(std::string_view file, SignatureLine& line)
{
    size_t found = 0;
    ForEachLineStart(file, [&](size_t start) {
        if (IsSignatureLineAt(file, start)) {
            if (++found == 2)
                return false;
            line.start = start;
        }
        return true;
    });
    if (found == 0)
        return SignatureVerdict::NoSignatureLine;
    if (found > 1)
        return SignatureVerdict::TwoSignatureLines;

    const size_t textStart = line.start + kPrefixLength;
    const size_t lineEnd = file.find('\n', textStart);
    size_t textEnd = file.size();
    if (lineEnd != std::string_view::npos) {
        if (lineEnd + 1 != file.size())
            return SignatureVerdict::NotLastLine;
        textEnd = lineEnd > textStart && file[lineEnd - 1] == '\r' ? lineEnd - 1 : lineEnd;
    }
    line.base64 = file.substr(textStart, textEnd - textStart);
    return SignatureVerdict::Verified;
}

} // namespace

bool SplitKeyList(std::wstring_view text, std::vector<std::wstring_view>& keys)
{
    for (size_t start = 0;;) {
        size_t end = text.find(L',', start);
        const bool bLast = end == std::wstring_view::npos;
        if (bLast)
            end = text.size();
        std::wstring_view key = text.substr(start, end - start);
        // Blanks and line breaks around an entry, as a value pasted from a program's output carries.
        const size_t first = key.find_first_not_of(L" \t\r\n");
        if (first == std::wstring_view::npos)
            return false;
        key = key.substr(first, key.find_last_not_of(L" \t\r\n") - first + 1);
        keys.push_back(key);
        if (bLast)
            return true;
        start = end + 1;
    }
}

SignatureVerdict ReadDescriptionSignature(std::string_view fileBytes, Sha256Digest& messageDigest,
                                          EcdsaP256Signature& signature)
{
    SignatureLine line;
    const SignatureVerdict found = FindSignatureLine(fileBytes, line);
    if (found != SignatureVerdict::Verified)
        return found;

    // Checked as text first, which never allocates, whatever the length.
    if (!IsCanonicalBase64(line.base64))
        return SignatureVerdict::BadBase64;
    if (line.base64.size() > kMaxSignatureText)
        return SignatureVerdict::BadSignature;
    std::vector<BYTE> der;
    if (!DecodeBase64(line.base64, der) || !DecodeEcdsaSignature(der.data(), der.size(), signature))
        return SignatureVerdict::BadSignature;
    // A platform that cannot hash verifies nothing.
    if (!Sha256Of(fileBytes.data(), line.start, messageDigest))
        return SignatureVerdict::NoKeyVerifies;
    return SignatureVerdict::Verified;
}

SignatureVerdict VerifyDescriptionSignature(std::string_view fileBytes, std::wstring_view publisherKeys)
{
    Sha256Digest digest;
    EcdsaP256Signature signature;
    const SignatureVerdict read = ReadDescriptionSignature(fileBytes, digest, signature);
    if (read != SignatureVerdict::Verified)
        return read;

    std::vector<std::wstring_view> keyTexts;
    if (!SplitKeyList(publisherKeys, keyTexts))
        return SignatureVerdict::BadKeyText;
    std::vector<CKeyHandle> keys;
    for (std::wstring_view text : keyTexts) {
        CKeyHandle key;
        switch (ImportP256PublicKey(text, key)) {
        case PublicKeyImport::Imported: keys.push_back(std::move(key)); break;
        case PublicKeyImport::BadText: return SignatureVerdict::BadKeyText;
        case PublicKeyImport::NotP256: return SignatureVerdict::KeyNotP256;
        }
    }

    for (const CKeyHandle& key : keys) {
        if (VerifyP256(key, digest, signature))
            return SignatureVerdict::Verified;
    }
    return SignatureVerdict::NoKeyVerifies;
}

std::string RemoveSignatureLines(std::string_view fileBytes)
{
    std::string kept;
    kept.reserve(fileBytes.size());
    ForEachLineStart(fileBytes, [&](size_t start) {
        const size_t end = fileBytes.find('\n', start);
        const size_t next = end == std::string_view::npos ? fileBytes.size() : end + 1;
        if (!IsSignatureLineAt(fileBytes, start))
            kept.append(fileBytes.substr(start, next - start));
        return true;
    });
    return kept;
}

LPCWSTR DescribeSignatureVerdict(SignatureVerdict verdict)
{
    switch (verdict) {
    case SignatureVerdict::Verified: return L"signature verified";
    case SignatureVerdict::NoSignatureLine: return L"no signature line";
    case SignatureVerdict::NotLastLine: return L"the signature line is not the last line";
    case SignatureVerdict::TwoSignatureLines: return L"more than one signature line";
    case SignatureVerdict::BadBase64: return L"the signature is not base64";
    case SignatureVerdict::BadSignature: return L"the signature is not an ECDSA P-256 signature";
    case SignatureVerdict::BadKeyText: return L"a publisher key does not decode";
    case SignatureVerdict::KeyNotP256: return L"a publisher key is not an ECDSA P-256 key";
    case SignatureVerdict::NoKeyVerifies: return L"no publisher key verifies the signature: the file was changed or signed with another key";
    }
    return L"unknown verdict";
}
