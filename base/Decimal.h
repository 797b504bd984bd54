// Decimal text, read one of two ways. The strict reader is for what a program
// wrote: a protocol's header, the launcher's journal, a number the publisher
// gives the tool. The lenient reader is for stored files a person or an older
// program may have written, read as atoi reads them.
#pragma once

#include <windows.h>

#include <string_view>

// 1 to nMaxDigits decimal digits and nothing else (no sign, no blanks); at
// most 19, so that it fits 64 bits. False for anything else.
bool ParseStrictDecimal(std::wstring_view text, ULONGLONG& value, size_t nMaxDigits = 19);
bool ParseStrictDecimal(std::string_view text, ULONGLONG& value, size_t nMaxDigits = 19);

// White space, an optional sign, digits up to the first other character (none
// gives 0); beyond the 32-bit range, the nearest bound.
int ParseLenientInt32(std::wstring_view text);
int ParseLenientInt32(std::string_view text);
// A byte count read the same way, up to 2^64 - 1; a negative number is none (0).
ULONGLONG ParseLenientSize(std::wstring_view text);
