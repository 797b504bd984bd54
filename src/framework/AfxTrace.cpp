#include "framework/AfxTrace.h"

void AfxTrace(LPCWSTR pszText)
{
    ::OutputDebugStringW(pszText);
}
