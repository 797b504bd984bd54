// Symbolic links for tests, made and removed however the platform allows.
// Under Wine, CreateSymbolicLinkW reports success and makes nothing, and no
// Windows call removes a link without reaching its target; there the Unix
// tools ln and rm do it, started as Wine starts any Unix program.
#pragma once

#include <string>

namespace testing_support {

// A symbolic link at link to target, an existing file or folder; false when
// the link did not come.
bool MakeSymbolicLink(const std::wstring& link, const std::wstring& target, bool folder);

// Removes the folder and everything in it, links as links; false when it stays.
bool RemoveTreeWithLinks(const std::wstring& folder);

} // namespace testing_support
