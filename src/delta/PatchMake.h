// Making a patch: bsdiff's differencing of the two files, its three streams
// each compressed, behind a header naming both files' sizes and SHA-256.
// The same two files always give the same bytes.
#pragma once

#include <string>
#include <string_view>

// The patch that makes newBytes from oldBytes; false when a file is larger
// than a patch can name or than the differencing can hold here, or memory ran out.
bool MakePatch(std::string_view oldBytes, std::string_view newBytes, std::string& patch);
