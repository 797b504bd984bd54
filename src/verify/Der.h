// The few DER forms the keys and signatures use: reading one element at a
// time with every length checked against what is left, and writing them.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

enum DerTag : BYTE {
    kDerInteger = 0x02,
    kDerBitString = 0x03,
    kDerOctetString = 0x04,
    kDerObjectIdentifier = 0x06,
    kDerSequence = 0x30,
    kDerContext0 = 0xA0,  // [0] EXPLICIT
    kDerContext1 = 0xA1,  // [1] EXPLICIT
};

// A view of bytes that reading consumes from the front.
struct DerInput {
    const BYTE* data = nullptr;
    size_t size = 0;

    bool IsEmpty() const { return size == 0; }
    bool NextIs(BYTE tag) const { return size > 0 && data[0] == tag; }

    // The next element when it has this tag: its contents into contents, and the
    // element consumed. False, and nothing consumed, for another tag, a length
    // in a form DER does not allow, or a length beyond the bytes left.
    bool Read(BYTE tag, DerInput& contents);
};

// The size of the element that starts at data (header and contents), or 0
// when it is not one well-formed element within size bytes.
size_t DerElementSize(const BYTE* data, size_t size);

// Contents of at most 65,535 bytes, the longest that Read takes.
void DerAppend(std::vector<BYTE>& out, BYTE tag, const BYTE* contents, size_t size);
void DerAppend(std::vector<BYTE>& out, BYTE tag, const std::vector<BYTE>& contents);

// A non-negative INTEGER from big-endian bytes, in its shortest form.
void DerAppendUnsigned(std::vector<BYTE>& out, const BYTE* bigEndian, size_t size);
