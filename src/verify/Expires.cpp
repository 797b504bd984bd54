#include "verify/Expires.h"

namespace {

// The digits text[first, first + count) as a number; -1 unless all are ASCII digits.
int Digits(std::wstring_view text, size_t first, size_t count)
{
    int value = 0;
    for (size_t i = first; i < first + count; ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return -1;
        value = value * 10 + (text[i] - L'0');
    }
    return value;
}

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

} // namespace

bool ParseExpires(std::wstring_view text, ULONGLONG& utcTicks)
{
    // 0123456789012345678 9
    // YYYY-MM-DDTHH:MM:SS Z
    if (text.size() != 20 || text[4] != L'-' || text[7] != L'-' || text[10] != L'T' || text[13] != L':' ||
        text[16] != L':' || text[19] != L'Z')
        return false;
    const int year = Digits(text, 0, 4);
    const int month = Digits(text, 5, 2);
    const int day = Digits(text, 8, 2);
    const int hour = Digits(text, 11, 2);
    const int minute = Digits(text, 14, 2);
    const int second = Digits(text, 17, 2);
    if (year < 1601 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59)
        return false;
    if (day > DaysInMonth(year, month))
        return false;

    SYSTEMTIME time = {};
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    time.wSecond = static_cast<WORD>(second);
    FILETIME ticks;
    if (!::SystemTimeToFileTime(&time, &ticks))
        return false;
    utcTicks = (static_cast<ULONGLONG>(ticks.dwHighDateTime) << 32) | ticks.dwLowDateTime;
    return true;
}

ExpiryVerdict CheckExpires(std::wstring_view text, ULONGLONG nowUtcTicks)
{
    ULONGLONG expires = 0;
    if (!ParseExpires(text, expires))
        return ExpiryVerdict::Malformed;
    return nowUtcTicks < expires ? ExpiryVerdict::Valid : ExpiryVerdict::Expired;
}

ULONGLONG CurrentUtcTicks()
{
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}
