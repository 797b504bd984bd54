#include "base/TextCodec.h"

#include <climits>

std::string Utf8Of(std::wstring_view text)
{
    if (text.empty() || text.size() > INT_MAX / 4)
        return std::string();
    const int count = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), count, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), count, &bytes[0], size, nullptr, nullptr);
    return bytes;
}

bool DecodeUtf8(std::string_view bytes, std::wstring& text)
{
    text.clear();
    if (bytes.empty())
        return true;
    if (bytes.size() > INT_MAX)
        return false;
    const int count = static_cast<int>(bytes.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), count, nullptr, 0);
    if (length <= 0)
        return false;
    text.resize(static_cast<size_t>(length));
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), count, &text[0], length) == length;
}

bool EncodeAnsi(std::wstring_view text, std::string& bytes)
{
    bytes.clear();
    if (text.empty())
        return true;
    if (text.size() > INT_MAX / 4)
        return false;
    const int count = static_cast<int>(text.size());
    BOOL bDefaulted = FALSE;
    const int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), count, nullptr, 0, nullptr,
                                           &bDefaulted);
    if (size <= 0 || bDefaulted)
        return false;
    bytes.resize(static_cast<size_t>(size));
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), count, &bytes[0], size, nullptr, &bDefaulted);
    // The way back must give the same text: some code pages map several characters to one byte sequence.
    std::wstring back(text.size(), L'\0');
    const int length = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), size, &back[0], count);
    return !bDefaulted && length == count && back == text;
}

std::string AsciiOf(std::wstring_view text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (wchar_t ch : text)
        bytes += ch < 0x80 ? static_cast<char>(ch) : '?';
    return bytes;
}
