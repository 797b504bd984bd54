// Which language table a user gets: the names of the tables to look for, best first.
#pragma once

#include <string>
#include <vector>

// A language name as a table file may carry it: letters, digits and inner
// hyphens ("en", "zh-TW", "sr-Latn-RS"), at most 32 characters.
bool IsLanguageName(const std::wstring& name);

// The name, then its more general forms: "en-GB", "en"; Chinese by its
// script, so that Hong Kong and Macao read the Taiwan table ("zh-HK",
// "zh-TW", "zh") and Singapore the mainland one ("zh-SG", "zh-CN", "zh").
std::vector<std::wstring> GeneralForms(const std::wstring& name);

// The tables to try in order, each name with its general forms, without
// repeats: the pinned language (a publisher's choice for every user), the
// user's interface language, and the publisher's fallback. Names that are
// not language names are left out.
std::vector<std::wstring> LanguageCandidates(const std::wstring& pinned, const std::wstring& user,
                                             const std::wstring& fallback);
