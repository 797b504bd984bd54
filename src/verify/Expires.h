// The "Expires" value of an update description: a UTC time written exactly as
// YYYY-MM-DDTHH:MM:SSZ, after which the description is no longer taken.
#pragma once

#include <windows.h>

#include <string_view>

// The time as FILETIME ticks (100 ns since 1601, UTC); false for any other form,
// a field out of its range (month 13, 31 April, 29 February outside a leap
// year, hour 24), a leap second (:60, which the platform's clock never shows)
// or a year before 1601.
bool ParseExpires(std::wstring_view text, ULONGLONG& utcTicks);

enum class ExpiryVerdict { Valid, Expired, Malformed };

// Whether a description with this "Expires" text is still valid at now (UTC
// ticks); at the very second it names, it has expired.
ExpiryVerdict CheckExpires(std::wstring_view text, ULONGLONG nowUtcTicks);

// The platform's clock, in the same ticks.
ULONGLONG CurrentUtcTicks();
