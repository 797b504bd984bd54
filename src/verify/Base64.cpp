#include "verify/Base64.h"

#include <wincrypt.h>

namespace {

bool IsBase64Digit(char ch)
{
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '+' ||
           ch == '/';
}

} // namespace

bool IsCanonicalBase64(std::string_view text)
{
    if (text.empty() || text.size() % 4 != 0)
        return false;
    size_t padding = 0;
    if (text.back() == '=')
        padding = text[text.size() - 2] == '=' ? 2 : 1;
    for (size_t i = 0; i < text.size() - padding; ++i) {
        if (!IsBase64Digit(text[i]))
            return false;
    }
    return true;
}

bool DecodeBase64(std::string_view text, std::vector<BYTE>& bytes)
{
    if (!IsCanonicalBase64(text) || text.size() > MAXDWORD)
        return false;
    std::vector<BYTE> decoded(text.size() / 4 * 3);
    DWORD size = static_cast<DWORD>(decoded.size());
    if (!::CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64, decoded.data(),
                                &size, nullptr, nullptr))
        return false;
    decoded.resize(size);
    bytes.swap(decoded);
    return true;
}

bool DecodeBase64(std::wstring_view text, std::vector<BYTE>& bytes)
{
    std::string ascii;
    ascii.reserve(text.size());
    for (wchar_t ch : text) {
        if (ch > 0x7F)
            return false;
        ascii += static_cast<char>(ch);
    }
    return DecodeBase64(std::string_view(ascii), bytes);
}

std::string EncodeBase64(const BYTE* pData, size_t nSize)
{
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    DWORD length = 0;
    if (nSize == 0 || nSize > MAXDWORD / 2 ||
        !::CryptBinaryToStringA(pData, static_cast<DWORD>(nSize), flags, nullptr, &length))
        return std::string();
    std::string text(length, '\0');
    if (!::CryptBinaryToStringA(pData, static_cast<DWORD>(nSize), flags, &text[0], &length))
        return std::string();
    text.resize(length);  // the second call counts without the terminating zero
    return text;
}
