// The verification core: hashing, digests, "Expires" and the description's signature.
#include "verify/Base64.h"
#include "verify/DescriptionSignature.h"
#include "verify/Expires.h"
#include "base/Sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(Sha256, DigestIsTheSameInAnyChunking)
{
    const struct {
        std::string input;
        size_t chunk;
        LPCWSTR expected;
    } cases[] = {
        {"", 1, L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", 1, L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {std::string(1000000, 'a'), 4096, L"cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {std::string(1000000, 'a'), 999999, L"cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        CSha256 hasher;
        for (size_t at = 0; at < c.input.size(); at += c.chunk)
            hasher.Update(c.input.data() + at, std::min(c.chunk, c.input.size() - at));
        Sha256Digest digest;
        ASSERT_TRUE(hasher.Finish(digest));
        EXPECT_EQ(c.expected, FormatSha256Hex(digest)) << c.input.size() << " bytes by " << c.chunk;
        EXPECT_FALSE(hasher.Finish(digest)) << "a finished hasher is spent";
    }
}

TEST(Sha256, HexDigestsParseInEitherCaseAndNothingElse)
{
    const std::wstring lower = L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    const std::wstring upper = L"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
    const struct {
        std::wstring text;
        bool accepted;
    } cases[] = {
        {lower, true},
        {upper, true},
        {upper.substr(0, 32) + lower.substr(32), true},
        {lower.substr(1), false},
        {lower + L"0", false},
        {L" " + lower.substr(1), false},
        {lower.substr(0, 63) + L"g", false},
        {L"0x" + lower.substr(2), false},
        {lower.substr(0, 63) + L"\uFF10", false},  // a full-width digit
        {L"", false},
    };
    for (const auto& c : cases) {
        Sha256Digest digest = {};
        EXPECT_EQ(c.accepted, ParseSha256Hex(c.text, digest)) << c.text;
        if (c.accepted) {
            EXPECT_EQ(lower, FormatSha256Hex(digest));
        }
    }
}

TEST(Expires, OnlyTheExactUtcFormWithFieldsInRange)
{
    ULONGLONG now = 0;
    ASSERT_TRUE(ParseExpires(L"2025-06-01T12:00:00Z", now));
    const struct {
        LPCWSTR text;
        ExpiryVerdict expected;
    } cases[] = {
        {L"2025-06-01T12:00:01Z", ExpiryVerdict::Valid},
        {L"2025-06-01T12:00:00Z", ExpiryVerdict::Expired},  // at the second it names
        {L"2025-06-01T11:59:59Z", ExpiryVerdict::Expired},
        {L"9999-12-31T23:59:59Z", ExpiryVerdict::Valid},
        {L"2028-02-29T00:00:00Z", ExpiryVerdict::Valid},
        {L"2400-02-29T00:00:00Z", ExpiryVerdict::Valid},
        {L"2100-02-29T00:00:00Z", ExpiryVerdict::Malformed},
        {L"2027-02-29T00:00:00Z", ExpiryVerdict::Malformed},
        {L"2027-04-31T00:00:00Z", ExpiryVerdict::Malformed},
        {L"2027-13-01T00:00:00Z", ExpiryVerdict::Malformed},
        {L"2027-00-01T00:00:00Z", ExpiryVerdict::Malformed},
        {L"2027-01-00T00:00:00Z", ExpiryVerdict::Malformed},
        {L"2027-01-01T24:00:00Z", ExpiryVerdict::Malformed},
        {L"2027-01-01T00:60:00Z", ExpiryVerdict::Malformed},
        {L"2027-12-31T23:59:60Z", ExpiryVerdict::Malformed},  // a leap second
        {L"1600-01-01T00:00:00Z", ExpiryVerdict::Malformed},
        {L"2027-01-01t00:00:00z", ExpiryVerdict::Malformed},
        {L"2027-01-01T00:00:00", ExpiryVerdict::Malformed},
        {L"2027-01-01T00:00:00+00:00", ExpiryVerdict::Malformed},
        {L"2027-01-01 00:00:00Z", ExpiryVerdict::Malformed},
        {L"2027-01-01T00:00:00Z ", ExpiryVerdict::Malformed},
        {L"2027-1-01T00:00:00Z", ExpiryVerdict::Malformed},
        {L"+027-01-01T00:00:00Z", ExpiryVerdict::Malformed},
        {L"2027-01-01T00:00:0\uFF15Z", ExpiryVerdict::Malformed},
        {L"", ExpiryVerdict::Malformed},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, CheckExpires(c.text, now)) << c.text;
}

// Test keys made with openssl for this table only:
//   openssl ecparam -name prime256v1 -genkey -noout -out a.pem       (and b.pem)
//   openssl ecparam -name secp384r1 -genkey -noout -out p384.pem
//   openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:1024 -out rsa.pem
//   openssl ec -in a.pem -pubout -outform DER | base64 -w0           (pkey for rsa.pem)
// and the signatures with: openssl dgst -sha256 -sign a.pem message | base64 -w0
const wchar_t kKeyA[] = L"MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAELkvhjUuOrIQN1w/1Gj9+shhkjap0Mh4sMM33uaBvUQVWyr8p8CxuNC0SyJiBGOrERiSF3ComUcDcG2VkYHfcCA==";
const wchar_t kKeyB[] = L"MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE7QA98L/BWSf2FbiZFlL7VpJ56qxSXm+1LjXsT2UNh5OIu81waAI2v9BvHGfUwMjwq22HKfV7WLgLTCJ1+nXz7Q==";
const wchar_t kKeyP384[] = L"MHYwEAYHKoZIzj0CAQYFK4EEACIDYgAEMPiSdpoR6T6eNdLs+D+jbCM3/LkRGtxRKG5kh0PMIXN8BKJ+ASeMCXqfyWE5iOg5KyA1wsJ34ekaj+0UIY0UjrwsRx5erM8jCq/YaKIAcQ6fwLb5ZZHt1O7iyAhOpsD5";
const wchar_t kKeyRsa[] = L"MIGfMA0GCSqGSIb3DQEBAQUAA4GNADCBiQKBgQDNi8+8L7+uZatZgNZMz1KJTMg2V3XblIVYq4ITcCzxyQgJBqFIFsPXruLZlfdSGUeNg09QAbP6HUsPmqJYYH7PGwF2ZQnkF9pH9v2bQV6cMaWEEWgyud8mOgn8LPt8jGKD5D/JJdjWzQ94nl8SF+QG9jbx3m8RO65UdtNI7nKtUwIDAQAB";

const std::string kMessageLf = "[OEMClient_Demo]\nMajorVerson=1.1\nServicePack=1\n";
const std::string kSignatureLf = "MEUCIGQGX9yssr67CPtPUEyilurP0o2Ghx1FdVWdJVlg1BVRAiEAlTputv4NhMk7ExOQizk9866L3q8RYxbZLJrI+QfKzdE=";
const std::string kMessageCrlf = "[OEMClient_Demo]\r\nMajorVerson=1.1\r\nServicePack=1\r\n";
const std::string kSignatureCrlf = "MEUCIHzCmqxEt2XTvqHymQyYo/0mPjCtjbYFa+b9AWAXwj2PAiEAoimHHK0i2gS69lvqzjuHLwdF+lBVHsoDOM5p6cHjuw4=";

std::string Line(const std::string& base64, const char* end = "\n")
{
    return kSignatureLinePrefix + base64 + end;
}

// The signature's DER changed by edit, in base64 again.
template <typename Edit>
std::string EditedSignature(Edit edit)
{
    std::vector<BYTE> der;
    EXPECT_TRUE(DecodeBase64(std::string_view(kSignatureLf), der));
    edit(der);
    return EncodeBase64(der.data(), der.size());
}

TEST(DescriptionSignature, VerdictOnEveryFormOfFileAndKey)
{
    const std::string signedLf = kMessageLf + Line(kSignatureLf);
    const std::string twoIntegersOfOne = EditedSignature([](std::vector<BYTE>& der) {
        der.resize(2 + 2 + der[3]);  // the sequence with r alone
        der[1] = static_cast<BYTE>(der.size() - 2);
    });
    const std::string longR = EditedSignature([](std::vector<BYTE>& der) {
        // r of 33 significant bytes: 0x01 in front of its 32.
        der.insert(der.begin() + 4, 0x01);
        der[3] += 1;
        der[1] += 1;
    });
    std::string changed = signedLf;
    changed.replace(changed.find("1.1"), 3, "1.2");

    const struct {
        const char* name;
        std::string file;
        std::wstring keys;
        SignatureVerdict expected;
    } cases[] = {
        {"LF file", signedLf, kKeyA, SignatureVerdict::Verified},
        {"no line break after the signature", kMessageLf + Line(kSignatureLf, ""), kKeyA, SignatureVerdict::Verified},
        {"CRLF after the signature of an LF file", kMessageLf + Line(kSignatureLf, "\r\n"), kKeyA, SignatureVerdict::Verified},
        {"CRLF file", kMessageCrlf + Line(kSignatureCrlf, "\r\n"), kKeyA, SignatureVerdict::Verified},
        {"second of two keys", signedLf, std::wstring(kKeyB) + L"," + kKeyA, SignatureVerdict::Verified},
        {"blanks around the keys", signedLf, std::wstring(L" ") + kKeyB + L" ,\t" + kKeyA + L"\r\n", SignatureVerdict::Verified},

        {"unsigned", kMessageLf, kKeyA, SignatureVerdict::NoSignatureLine},
        {"indented signature line", kMessageLf + " " + Line(kSignatureLf), kKeyA, SignatureVerdict::NoSignatureLine},
        {"empty file", "", kKeyA, SignatureVerdict::NoSignatureLine},
        {"a blank line after", signedLf + "\n", kKeyA, SignatureVerdict::NotLastLine},
        {"a section after", signedLf + "[Other]\n", kKeyA, SignatureVerdict::NotLastLine},
        {"two line breaks after", kMessageLf + Line(kSignatureLf, "\r\n\r\n"), kKeyA, SignatureVerdict::NotLastLine},
        {"two signature lines", signedLf + Line(kSignatureLf), kKeyA, SignatureVerdict::TwoSignatureLines},
        {"signature lines apart", Line(kSignatureLf) + signedLf, kKeyA, SignatureVerdict::TwoSignatureLines},

        {"a carriage return without line feed", kMessageLf + Line(kSignatureLf, "\r"), kKeyA, SignatureVerdict::BadBase64},
        {"a blank inside", kMessageLf + Line("MEUC " + kSignatureLf.substr(5)), kKeyA, SignatureVerdict::BadBase64},
        {"padding missing", kMessageLf + Line(kSignatureLf.substr(0, kSignatureLf.size() - 1)), kKeyA, SignatureVerdict::BadBase64},
        {"empty signature", kMessageLf + Line(""), kKeyA, SignatureVerdict::BadBase64},
        {"100,000 characters not base64", kMessageLf + Line(std::string(100000, '!')), kKeyA, SignatureVerdict::BadBase64},
        {"100,000 characters of base64", kMessageLf + Line(std::string(100000, 'A')), kKeyA, SignatureVerdict::BadSignature},
        {"a byte after the DER", kMessageLf + Line(EditedSignature([](std::vector<BYTE>& der) { der.push_back(0); })), kKeyA, SignatureVerdict::BadSignature},
        {"DER cut short", kMessageLf + Line(EditedSignature([](std::vector<BYTE>& der) { der.pop_back(); })), kKeyA, SignatureVerdict::BadSignature},
        {"r alone", kMessageLf + Line(twoIntegersOfOne), kKeyA, SignatureVerdict::BadSignature},
        {"r longer than 32 bytes", kMessageLf + Line(longR), kKeyA, SignatureVerdict::BadSignature},
        {"an octet string", kMessageLf + Line("BAIAAA=="), kKeyA, SignatureVerdict::BadSignature},

        {"no key", signedLf, L"", SignatureVerdict::BadKeyText},
        {"an empty entry", signedLf, std::wstring(kKeyA) + L",", SignatureVerdict::BadKeyText},
        {"a key not base64", signedLf, L"not a key", SignatureVerdict::BadKeyText},
        {"a key cut short", signedLf, std::wstring(kKeyA).substr(0, 120), SignatureVerdict::BadKeyText},
        {"base64 but no key", signedLf, L"AAAA", SignatureVerdict::BadKeyText},
        {"a key with a character not ASCII", signedLf, std::wstring(kKeyA).substr(0, 123) + L"\u00C4", SignatureVerdict::BadKeyText},
        {"P-384 key", signedLf, kKeyP384, SignatureVerdict::KeyNotP256},
        {"RSA key", signedLf, kKeyRsa, SignatureVerdict::KeyNotP256},
        {"an RSA key beside the right one", signedLf, std::wstring(kKeyA) + L"," + kKeyRsa, SignatureVerdict::KeyNotP256},

        {"another key", signedLf, kKeyB, SignatureVerdict::NoKeyVerifies},
        {"message changed", changed, kKeyA, SignatureVerdict::NoKeyVerifies},
        {"line ends changed", kMessageCrlf + Line(kSignatureLf), kKeyA, SignatureVerdict::NoKeyVerifies},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, VerifyDescriptionSignature(c.file, c.keys)) << c.name;
}

} // namespace
