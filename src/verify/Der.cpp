#include "verify/Der.h"

namespace {

// The header at data: its size and the contents' length; false when it is not
// DER (indefinite or non-minimal length) or does not fit.
bool ReadHeader(const BYTE* data, size_t size, size_t& header, size_t& length)
{
    if (size < 2)
        return false;
    const BYTE first = data[1];
    if (first < 0x80) {
        header = 2;
        length = first;
    } else if (first == 0x81) {
        if (size < 3 || data[2] < 0x80)  // a length below 128 takes the short form
            return false;
        header = 3;
        length = data[2];
    } else if (first == 0x82) {
        if (size < 4 || data[2] == 0)  // a length below 256 takes one byte
            return false;
        header = 4;
        length = (static_cast<size_t>(data[2]) << 8) | data[3];
    } else {
        return false;  // indefinite, or longer than any key or signature here
    }
    return length <= size - header;
}

} // namespace

bool DerInput::Read(BYTE tag, DerInput& contents)
{
    size_t header = 0, length = 0;
    if (!NextIs(tag) || !ReadHeader(data, size, header, length))
        return false;
    contents.data = data + header;
    contents.size = length;
    data += header + length;
    size -= header + length;
    return true;
}

size_t DerElementSize(const BYTE* data, size_t size)
{
    size_t header = 0, length = 0;
    return ReadHeader(data, size, header, length) ? header + length : 0;
}

void DerAppend(std::vector<BYTE>& out, BYTE tag, const BYTE* contents, size_t size)
{
    out.push_back(tag);
    if (size < 0x80) {
        out.push_back(static_cast<BYTE>(size));
    } else if (size < 0x100) {
        out.push_back(0x81);
        out.push_back(static_cast<BYTE>(size));
    } else {
        out.push_back(0x82);
        out.push_back(static_cast<BYTE>(size >> 8));
        out.push_back(static_cast<BYTE>(size));
    }
    out.insert(out.end(), contents, contents + size);
}

void DerAppend(std::vector<BYTE>& out, BYTE tag, const std::vector<BYTE>& contents)
{
    DerAppend(out, tag, contents.data(), contents.size());
}

void DerAppendUnsigned(std::vector<BYTE>& out, const BYTE* bigEndian, size_t size)
{
    while (size > 1 && bigEndian[0] == 0) {
        ++bigEndian;
        --size;
    }
    std::vector<BYTE> value;
    if (size == 0 || bigEndian[0] & 0x80)
        value.push_back(0);  // the high bit would make it negative
    value.insert(value.end(), bigEndian, bigEndian + size);
    DerAppend(out, kDerInteger, value);
}
