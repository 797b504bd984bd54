// Move-only owners for the handles of the platform's cryptography (CNG).
#pragma once

#include "base/Handles.h"

#include <bcrypt.h>

struct CAlgorithmHandleTraits {
    using Handle = BCRYPT_ALG_HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::BCryptCloseAlgorithmProvider(h, 0); }
};
using CAlgorithmHandle = CHandleOwner<CAlgorithmHandleTraits>;

struct CHashHandleTraits {
    using Handle = BCRYPT_HASH_HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::BCryptDestroyHash(h); }
};
using CHashHandle = CHandleOwner<CHashHandleTraits>;

struct CKeyHandleTraits {
    using Handle = BCRYPT_KEY_HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::BCryptDestroyKey(h); }
};
using CKeyHandle = CHandleOwner<CKeyHandleTraits>;

// A provider of the algorithm (BCRYPT_SHA256_ALGORITHM, ...); empty when the platform has none.
CAlgorithmHandle OpenAlgorithm(LPCWSTR pszAlgorithm);
