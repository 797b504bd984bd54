// The publisher's tool: its verbs over the command line's words (after the program name).
#pragma once

#include <string>
#include <vector>

// 0 when the verb did everything, 1 when it failed (the reason is printed), 2 for a wrong command line.
int RunPublish(const std::vector<std::wstring>& args);
