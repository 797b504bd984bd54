// A dotted version text in comparable form: four signed parts, most significant first.
#pragma once

#include "framework/AfxString.h"

#include <string_view>

class CVersionNumber {
public:
    bool IsZero() const;
    bool IsLessThan(const CVersionNumber& other) const;
    // The strict opposite of IsLessThan: equal numbers are neither.
    bool IsGreaterThan(const CVersionNumber& other) const;

    int nPart1 = 0;
    int nPart2 = 0;
    int nPart3 = 0;
    int nPart4 = 0;
};

// One to four dot-separated numbers of one to nine digits ("1.1", "2.0.3.17"):
// a version as a publisher writes one, which ParseVersion reads exactly.
bool IsVersionText(std::wstring_view text);

// The first four non-empty pieces between dots, each read as atoi reads it
// (1..2 is 1.2.0.0, 2a.x is 2.0.0.0); an empty text is 0.0.0.0.
CVersionNumber ParseVersion(const CString& text);
