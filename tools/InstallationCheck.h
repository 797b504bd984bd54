// The tool's look at an installed copy: what an update will do there and what
// stands in its way, read from the record, the host's configuration and the
// language library exactly as the library reads them.
#pragma once

#include <string>
#include <vector>

enum class FindingLevel { Note, Warning, Error };

struct Finding {
    FindingLevel level;
    std::wstring text;
};

struct InstallationCheck {
    std::wstring folder;       // the program folder: update.dll, update\update.log, Ambrel.ini
    std::wstring address;      // the service address the host hands the library; empty: not checked
    std::wstring description;  // a served update.ini to judge; empty: none
};

std::vector<Finding> CheckInstallation(const InstallationCheck& check);
