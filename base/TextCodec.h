// Conversions between wide text and the bytes of files, strict
// in both directions: a character that would change on the way is an error.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

std::string Utf8Of(std::wstring_view text);

// False for bytes that are not UTF-8.
bool DecodeUtf8(std::string_view bytes, std::wstring& text);

// The text in the ANSI code page, as the profile reader decodes a description;
// false when a character has no exact form there.
bool EncodeAnsi(std::wstring_view text, std::string& bytes);

// The ASCII bytes of text that is ASCII (digits, keys, base64).
std::string AsciiOf(std::wstring_view text);
