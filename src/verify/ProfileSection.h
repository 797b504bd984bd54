// One section of a profile (INI) file read from the file's bytes, for values
// that are judged before the file is trusted: the trust section of a
// description and the installation's remembered trust. Stricter than the
// platform's profile reader: a section or a key that appears twice fails the
// read, so that no two readers of the same bytes can see different values.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Key and value, trimmed of blanks, in the order of the file.
using SectionValues = std::vector<std::pair<std::string, std::string>>;

enum class SectionRead { Absent, Read, Ambiguous };

// Names match without regard to ASCII case, as the profile reader matches them.
SectionRead ReadProfileSection(std::string_view fileBytes, std::string_view section, SectionValues& values);

// The value of key, or null.
const std::string* FindSectionValue(const SectionValues& values, std::string_view key);

bool EqualsAsciiNoCase(std::string_view a, std::string_view b);

// text without the spaces and tabs around it, as the profile reader trims keys and values.
std::string_view TrimProfileBlanks(std::string_view text);
