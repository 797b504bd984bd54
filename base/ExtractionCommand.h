// The extraction command: the text that GetUpdates hands a host, which the
// launcher reads back, and the command the launcher runs to unpack into its
// staging folder. One writer and one reader, so that every side quotes and
// reads the two paths by the same rule.
#pragma once

#include <string>

// How the library's command names the extractor.
inline constexpr wchar_t kExtractorName[] = L"Extrac32.exe";

// What the command unpacks where: the two arguments after "/L".
struct ExtractionTarget {
    std::wstring folder;
    std::wstring package;
};

// <program> /Y /E /A /L "<folder>" "<package>"; with neither folder nor
// package (nothing prepared), the bare prefix "<program> /Y /E /A /L ". The
// program is quoted only where it needs it. Each path is quoted always and
// escaped as CommandLineToArgvW reads it; a trailing backslash, which would
// escape the closing quote, is written "\." (the same folder).
std::wstring BuildExtractionCommand(const std::wstring& program, const std::wstring& folder,
                                    const std::wstring& package);

// The folder and package after "/L" (in any case), as BuildExtractionCommand
// wrote them: a trailing "\." reads as "\". Both empty when the command names
// no folder and package, as after a check that prepared nothing.
ExtractionTarget ParseExtractionCommand(const std::wstring& command);
