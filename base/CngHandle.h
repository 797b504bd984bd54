// Move-only owners for the handles of the platform's cryptography (CNG).
#pragma once

#include "base/Handles.h"

#include <bcrypt.h>

struct CAlgorithmHandleTraits : CNullHandleTraits<BCRYPT_ALG_HANDLE> {
    static void Close(Handle h) { ::BCryptCloseAlgorithmProvider(h, 0); }
};
using CAlgorithmHandle = CHandleOwner<CAlgorithmHandleTraits>;

struct CHashHandleTraits : CNullHandleTraits<BCRYPT_HASH_HANDLE> {
    static void Close(Handle h) { ::BCryptDestroyHash(h); }
};
using CHashHandle = CHandleOwner<CHashHandleTraits>;

struct CKeyHandleTraits : CNullHandleTraits<BCRYPT_KEY_HANDLE> {
    static void Close(Handle h) { ::BCryptDestroyKey(h); }
};
using CKeyHandle = CHandleOwner<CKeyHandleTraits>;

// A provider of the algorithm (BCRYPT_SHA256_ALGORITHM, ...); empty when the platform has none.
CAlgorithmHandle OpenAlgorithm(LPCWSTR pszAlgorithm);
