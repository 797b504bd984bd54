// Editing one section of a description in its own bytes. The profile writer
// of the platform may re-encode a file and reorder it; here every byte outside
// the keys written stays as it was.
#pragma once

#include "verify/ProfileSection.h"

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct SectionEdit {
    std::string section;                                      // the name between "[" and "]"
    std::vector<std::pair<std::string, std::string>> values;  // keys to write, in this order
    std::function<bool(std::string_view key)> removes;        // keys to drop (unless written)
};

// The file with the section edited: a key written takes the place of its first
// line and drops the others; a new key follows the section's last key; a
// missing section is added at the end. Names match without regard to case, as
// the profile reader matches them. Every signature line goes: the file must be
// signed again. False when the section appears twice.
bool EditDescription(std::string_view file, const SectionEdit& edit, std::string& edited);

// The key and value of a line "key = value" (both trimmed of blanks); false for
// a comment, a section line or a line without "=".
bool SplitKeyLine(std::string_view line, std::string_view& key, std::string_view& value);

// The name of a section line "[name]", trimmed; false for any other line.
bool SectionNameOf(std::string_view line, std::string_view& name);

// The names of the file's sections, in their order, each once.
std::vector<std::string> SectionNamesOf(std::string_view file);

