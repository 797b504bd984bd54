#include "install/DescriptionSafety.h"

#include "base/Paths.h"
#include "base/UpdateLayout.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Longest path the platform's path calls take, with room for the terminating zero.
const size_t kMaxPathLength = MAX_PATH - 1;

std::wstring_view View(LPCWSTR psz)
{
    return psz ? std::wstring_view(psz) : std::wstring_view();
}

bool IsSeparator(wchar_t ch)
{
    return ch == L'\\' || ch == L'/';
}

bool IsAsciiLetter(wchar_t ch)
{
    return (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z');
}

wchar_t AsciiLower(wchar_t ch)
{
    return ch >= L'A' && ch <= L'Z' ? static_cast<wchar_t>(ch - L'A' + L'a') : ch;
}

bool IsPlainName(std::wstring_view name)
{
    for (wchar_t ch : name) {
        // ':' names a drive or a stream; '*' and '?' make the shell's delete act on every match.
        if (ch < 0x20 || std::wstring_view(L"<>:\"|?*").find(ch) != std::wstring_view::npos)
            return false;
    }
    // The platform drops trailing dots and blanks, so "..." or "x." would name something else.
    return name.back() != L'.' && name.back() != L' ';
}

// Calls take for each piece of a path between separators, but empty ones and
// "."; stops, false, at the first piece take refuses.
template <typename Take>
bool EachPiece(std::wstring_view path, Take take)
{
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find_first_of(L"\\/", start);
        if (end == std::wstring_view::npos)
            end = path.size();
        const std::wstring_view piece = path.substr(start, end - start);
        start = end + 1;
        if (!piece.empty() && piece != L"." && !take(piece))
            return false;
    }
    return true;
}

// Resolves the pieces of a relative path onto pieces; false when it climbs above
// where pieces began or holds a name that is not plain.
bool AppendRelative(std::wstring_view path, std::vector<std::wstring>& pieces)
{
    return EachPiece(path, [&](std::wstring_view piece) {
        if (piece == L"..") {
            // Climbing out, even for a moment, leaves the folder the path must stay in.
            if (pieces.empty())
                return false;
            pieces.pop_back();
            return true;
        }
        if (!IsPlainName(piece))
            return false;
        pieces.emplace_back(piece);
        return true;
    });
}

void AppendJoined(std::wstring& path, const std::vector<std::wstring>& pieces)
{
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            path += L'\\';
        path += pieces[i];
    }
}

// "X:\a\b" with "." and ".." resolved; false for every other form: relative,
// drive-relative, rooted without a drive, UNC and device paths.
bool NormalizeDrivePath(std::wstring_view path, std::wstring& out)
{
    if (path.size() < 3 || !IsAsciiLetter(path[0]) || path[1] != L':' || !IsSeparator(path[2]))
        return false;
    std::vector<std::wstring> pieces;
    if (!AppendRelative(path.substr(3), pieces))
        return false;
    out.assign(path.substr(0, 2));
    out += L'\\';
    AppendJoined(out, pieces);
    return true;
}

// What follows the folder in the normalised path when the path lies strictly
// below it; false when it does not.
bool PartBelowFolder(const std::wstring& path, LPCWSTR pszFolder, std::wstring_view& below)
{
    std::wstring prefix;
    if (!NormalizeDrivePath(View(pszFolder), prefix))
        return false;
    // Only at a separator, so that "C:\App" does not admit "C:\Apple\x.ini".
    if (prefix.back() != L'\\')
        prefix += L'\\';
    if (path.size() <= prefix.size() || !StartsWithIgnoringCase(path, prefix))
        return false;
    below = std::wstring_view(path).substr(prefix.size());
    return true;
}

bool EndsWithNoCase(std::wstring_view text, std::wstring_view suffix)
{
    return text.size() >= suffix.size() && EqualIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

// The platform's own subtree of the common data folder holds the all-users
// start-up folder and other programs' settings.
bool IsInPlatformSubtree(std::wstring_view belowCommonData)
{
    const std::wstring_view first = belowCommonData.substr(0, belowCommonData.find(L'\\'));
    // A short name ("MICROS~1") can stand for the subtree's long one.
    return EqualIgnoringCase(first, L"Microsoft") || first.find(L'~') != std::wstring_view::npos;
}

// The pieces of a path with "." and ".." resolved; ".." at the top stays there.
std::vector<std::wstring_view> LexicalPieces(std::wstring_view path)
{
    std::vector<std::wstring_view> pieces;
    EachPiece(path, [&](std::wstring_view piece) {
        if (piece == L".." && !pieces.empty())
            pieces.pop_back();
        else
            pieces.push_back(piece);
        return true;
    });
    return pieces;
}

// The host part of what follows "scheme://": no user information, no port.
std::wstring_view HostOf(std::wstring_view rest)
{
    std::wstring_view authority = rest.substr(0, rest.find_first_of(L"/?#\\"));
    const size_t at = authority.rfind(L'@');
    if (at != std::wstring_view::npos)
        authority.remove_prefix(at + 1);
    if (!authority.empty() && authority.front() == L'[') {
        const size_t close = authority.find(L']');
        return close == std::wstring_view::npos || close == 1 ? std::wstring_view() : authority.substr(0, close + 1);
    }
    return authority.substr(0, authority.find(L':'));
}

bool IsSchemeOf(std::wstring_view scheme, std::wstring_view expected)
{
    if (scheme.size() != expected.size())
        return false;
    for (size_t i = 0; i < scheme.size(); ++i) {
        if (AsciiLower(scheme[i]) != expected[i])
            return false;
    }
    return true;
}

} // namespace

bool ResolveDeletionPath(LPCWSTR pszHostFolder, LPCWSTR pszEntry, CString& out)
{
    out.Empty();
    const std::wstring_view host = View(pszHostFolder);
    const std::wstring_view entry = View(pszEntry);
    // A rooted entry ("\x", "\\server\share", "\\?\C:\x") does not start at the host folder.
    if (host.empty() || entry.empty() || IsSeparator(entry.front()))
        return false;
    std::vector<std::wstring> pieces;
    if (!AppendRelative(entry, pieces))
        return false;
    // Nothing left would name the host folder itself, which is never to be deleted.
    if (pieces.empty())
        return false;
    std::wstring path(host);
    if (!IsSeparator(path.back()))
        path += L'\\';
    AppendJoined(path, pieces);
    // A longer path would be cut short by the platform's path buffers.
    if (path.size() > kMaxPathLength)
        return false;
    out = CString(std::move(path));
    return true;
}

bool ResolveSettingsFile(LPCWSTR pszFile, LPCWSTR pszHostFolder, LPCWSTR pszCommonAppDataFolder,
                         LPCWSTR pszUpdateFolder, CString& out)
{
    out.Empty();
    const std::wstring_view file = View(pszFile);
    // A path that ends in a separator names a folder, not a file to write.
    if (file.empty() || IsSeparator(file.back()))
        return false;
    std::wstring path;
    // Only full drive paths: the profile writer puts a bare name in the Windows folder.
    if (!NormalizeDrivePath(file, path) || path.size() > kMaxPathLength)
        return false;
    // Only profile files: under any other name the text written could be a
    // script or a program that the system runs.
    if (!EndsWithNoCase(path, L".ini"))
        return false;
    // The description may change our own settings, never another program's or the system's.
    std::wstring_view below;
    if (!PartBelowFolder(path, pszHostFolder, below) &&
        !(PartBelowFolder(path, pszCommonAppDataFolder, below) && !IsInPlatformSubtree(below)))
        return false;
    // The update folder holds the record's pins, what the installation learnt
    // of its publisher's keys, and the description itself: trust changes only
    // through the chain rules, and a description never rewrites itself.
    if (PathsOverlap(path.c_str(), UpdateFolderIn(std::wstring(View(pszHostFolder))).c_str()) ||
        (!View(pszUpdateFolder).empty() && PathsOverlap(path.c_str(), pszUpdateFolder)))
        return false;
    out = CString(std::move(path));
    return true;
}

bool PathsOverlap(LPCWSTR pszPath, LPCWSTR pszFolder)
{
    const std::vector<std::wstring_view> a = LexicalPieces(View(pszPath));
    const std::vector<std::wstring_view> b = LexicalPieces(View(pszFolder));
    if (a.empty() || b.empty())
        return true;  // a root, or nothing: it holds everything
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        if (!EqualIgnoringCase(a[i], b[i]))
            return false;
    }
    return true;
}

bool IsWebAddress(LPCWSTR pszAddress)
{
    const std::wstring_view address = View(pszAddress);
    for (wchar_t ch : address) {
        // Blanks, control characters and quotes could break out of the browser's command line.
        if (ch <= 0x20 || (ch >= 0x7F && ch <= 0x9F) || ch == L'"')
            return false;
    }
    const size_t schemeEnd = address.find(L"://");
    if (schemeEnd == std::wstring_view::npos)
        return false;
    // Any other scheme, or none, could start a program or open a local file.
    const std::wstring_view scheme = address.substr(0, schemeEnd);
    if (!IsSchemeOf(scheme, L"http") && !IsSchemeOf(scheme, L"https"))
        return false;
    // Without a host the shell would guess what the text means.
    return !HostOf(address.substr(schemeEnd + 3)).empty();
}
