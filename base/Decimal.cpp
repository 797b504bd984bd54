#include "base/Decimal.h"

#include <algorithm>
#include <climits>

namespace {

struct CDecimal {
    bool bNegative;
    ULONGLONG nMagnitude;  // at most the limit it was read with
};

template <typename Char>
bool ParseDigits(std::basic_string_view<Char> text, ULONGLONG& value, size_t nMaxDigits)
{
    if (text.empty() || text.size() > std::min<size_t>(nMaxDigits, 19))
        return false;
    ULONGLONG n = 0;
    for (Char c : text) {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + static_cast<ULONGLONG>(c - '0');
    }
    value = n;
    return true;
}

// As atoi reads: white space, an optional sign, the digits up to the first
// other character.
template <typename Char>
CDecimal ParseLeading(std::basic_string_view<Char> text, ULONGLONG nLimit)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    CDecimal value = {false, 0};
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        value.bNegative = text[i++] == '-';
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const ULONGLONG nDigit = static_cast<ULONGLONG>(text[i] - '0');
        // Compared before it is multiplied, so that it cannot overflow.
        value.nMagnitude = value.nMagnitude > (nLimit - nDigit) / 10 ? nLimit : value.nMagnitude * 10 + nDigit;
    }
    return value;
}

template <typename Char>
int LeadingInt32(std::basic_string_view<Char> text)
{
    const ULONGLONG nLimit = static_cast<ULONGLONG>(INT_MAX) + 1;
    const CDecimal value = ParseLeading(text, nLimit);
    if (value.bNegative)
        return static_cast<int>(-static_cast<long long>(value.nMagnitude));
    return static_cast<int>(std::min(value.nMagnitude, nLimit - 1));
}

} // namespace

bool ParseStrictDecimal(std::wstring_view text, ULONGLONG& value, size_t nMaxDigits)
{
    return ParseDigits(text, value, nMaxDigits);
}

bool ParseStrictDecimal(std::string_view text, ULONGLONG& value, size_t nMaxDigits)
{
    return ParseDigits(text, value, nMaxDigits);
}

int ParseLenientInt32(std::wstring_view text)
{
    return LeadingInt32(text);
}

int ParseLenientInt32(std::string_view text)
{
    return LeadingInt32(text);
}

ULONGLONG ParseLenientSize(std::wstring_view text)
{
    const CDecimal value = ParseLeading(text, MAXULONGLONG);
    return value.bNegative ? 0 : value.nMagnitude;
}
