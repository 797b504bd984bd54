#include "CabinetDirectory.h"

namespace {

const WORD kPreviousCabinet = 0x0001;
const WORD kNextCabinet = 0x0002;
const WORD kNameIsUtf8 = 0x80;
// Folder indexes from 0xFFFD on mark files continued from or into another cabinet.
const WORD kFirstContinuedFolder = 0xFFFD;

WORD Word(const std::string& bytes, size_t at)
{
    return static_cast<WORD>(static_cast<BYTE>(bytes[at]) | static_cast<BYTE>(bytes[at + 1]) << 8);
}

DWORD Dword(const std::string& bytes, size_t at)
{
    return Word(bytes, at) | static_cast<DWORD>(Word(bytes, at + 2)) << 16;
}

bool DecodeName(const char* name, int length, bool utf8, std::wstring& text)
{
    const UINT codePage = utf8 ? CP_UTF8 : CP_ACP;
    const int size = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, name, length, nullptr, 0);
    if (size <= 0)
        return false;
    text.assign(static_cast<size_t>(size), L'\0');
    return ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, name, length, &text[0], size) == size;
}

} // namespace

bool ParseCabinetHeader(const std::string& bytes, CabinetHeader& header)
{
    if (bytes.size() < kCabinetHeaderBytes || bytes.compare(0, 4, "MSCF") != 0 || bytes[25] != 1)
        return false;
    const WORD flags = Word(bytes, 30);
    if (flags & (kPreviousCabinet | kNextCabinet))
        return false;
    header.filesOffset = Dword(bytes, 16);
    header.fileCount = Word(bytes, 28);
    return header.fileCount != 0;
}

bool ParseCabinetFiles(const std::string& bytes, WORD count, std::vector<CabinetEntry>& entries)
{
    entries.clear();
    size_t at = 0;
    for (WORD i = 0; i < count; ++i) {
        if (bytes.size() - at < 17)
            return false;
        CabinetEntry entry;
        entry.size = Dword(bytes, at);
        const WORD folder = Word(bytes, at + 8);
        const WORD attributes = Word(bytes, at + 14);
        const size_t name = at + 16;
        const size_t end = bytes.find('\0', name);
        if (folder >= kFirstContinuedFolder || end == std::string::npos || end == name ||
            end - name >= kCabinetEntryBytes - 16)
            return false;
        if (!DecodeName(bytes.data() + name, static_cast<int>(end - name), (attributes & kNameIsUtf8) != 0, entry.name))
            return false;
        entries.push_back(std::move(entry));
        at = end + 1;
    }
    return true;
}
