#include "base/CngHandle.h"

CAlgorithmHandle OpenAlgorithm(LPCWSTR pszAlgorithm)
{
    BCRYPT_ALG_HANDLE h = nullptr;
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&h, pszAlgorithm, nullptr, 0)))
        return CAlgorithmHandle();
    return CAlgorithmHandle(h);
}
