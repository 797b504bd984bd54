// The list of a delta package as the launcher reads it: only a list that
// accounts for exactly the package's files, each placed where a package may
// place one, is acted on.
#include "DeltaStaging.h"

#include <gtest/gtest.h>

namespace {

const std::wstring kDigest(64, L'a');

std::string ListBytes(const std::wstring& text)
{
    std::string bytes;
    for (wchar_t ch : text) {
        bytes.push_back(static_cast<char>(ch & 0xFF));
        bytes.push_back(static_cast<char>(ch >> 8));
    }
    return bytes;
}

std::wstring Patch(const std::wstring& path) { return L"patch\t" + kDigest + L"\t" + kDigest + L"\t9\t" + path + L"\r\n"; }
std::wstring Whole(const std::wstring& path, int size = 5)
{
    return L"whole\t-\t" + kDigest + L"\t" + std::to_wstring(size) + L"\t" + path + L"\r\n";
}

TEST(DeltaList, RefusesEveryListThatDoesNotAccountForExactlyThePackage)
{
    const SwapFolders folders = InstalledSwapFolders(L"C:\\Program");
    const std::vector<CabinetEntry> usual = {{L".delta\\list.txt", 1}, {L".delta\\0.patch", 3}, {L"docs\\a.txt", 5}};
    const struct {
        const char* what;
        std::wstring list;
        std::vector<CabinetEntry> entries;
        bool parses;
        bool accepted;
    } cases[] = {
        {"a patch and a whole file", Patch(L"host.exe") + Whole(L"docs\\a.txt"), usual, true, true},
        {"a path outside the program", Patch(L"..\\host.exe") + Whole(L"docs\\a.txt"), usual, true, false},
        {"a rooted path", Patch(L"C:\\Windows\\x.exe") + Whole(L"docs\\a.txt"), usual, true, false},
        {"the installed record", Patch(L"update\\update.log") + Whole(L"docs\\a.txt"), usual, true, false},
        {"the list's own folder", Patch(L".delta\\x") + Whole(L"docs\\a.txt"), usual, true, false},
        {"one path twice", Patch(L"DOCS\\A.TXT") + Whole(L"docs\\a.txt"), usual, true, false},
        {"a whole file the package lacks", Patch(L"host.exe") + Whole(L"docs\\b.txt"), usual, true, false},
        {"a whole file of another size", Patch(L"host.exe") + Whole(L"docs\\a.txt", 6), usual, true, false},
        {"a patch the package lacks", Whole(L"docs\\a.txt") + Patch(L"host.exe"), usual, true, false},
        {"a patched file that comes whole too", Patch(L"docs\\a.txt") + Whole(L"docs\\a.txt"),
         {{L".delta\\list.txt", 1}, {L".delta\\0.patch", 3}, {L"docs\\a.txt", 5}}, true, false},
        {"a file the list does not name", Patch(L"host.exe") + Whole(L"docs\\a.txt"),
         {{L".delta\\list.txt", 1}, {L".delta\\0.patch", 3}, {L"docs\\a.txt", 5}, {L"evil.dll", 1}}, true, false},
        {"an unknown form", L"copy\t-\t" + kDigest + L"\t5\tdocs\\a.txt\r\n", usual, false, false},
        {"a field missing", L"whole\t" + kDigest + L"\t5\tdocs\\a.txt\r\n", usual, false, false},
        {"a short digest", L"whole\t-\t" + kDigest.substr(1) + L"\t5\tdocs\\a.txt\r\n", usual, false, false},
        {"a whole file with an old digest", L"whole\t" + kDigest + L"\t" + kDigest + L"\t5\tdocs\\a.txt\r\n", usual,
         false, false},
        {"a size that is no number", L"whole\t-\t" + kDigest + L"\t-5\tdocs\\a.txt\r\n", usual, false, false},
        {"a last line cut short", Patch(L"host.exe") + L"whole\t-\t" + kDigest + L"\t5\tdocs\\a.txt", usual, false,
         false},
        {"no line at all", L"", usual, false, false},
    };
    for (const auto& c : cases) {
        std::vector<DeltaEntry> list;
        ASSERT_EQ(c.parses, ParseDeltaList(ListBytes(c.list), list)) << c.what;
        if (c.parses) {
            EXPECT_EQ(c.accepted, CheckDeltaList(list, c.entries, folders)) << c.what;
        }
    }
    std::vector<DeltaEntry> list;
    // A byte too many is no UTF-16 text.
    EXPECT_FALSE(ParseDeltaList(ListBytes(Whole(L"docs\\a.txt")) + "x", list));
}

} // namespace
