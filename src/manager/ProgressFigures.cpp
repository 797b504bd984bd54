#include "manager/ProgressFigures.h"

#include <algorithm>
#include <climits>

namespace {

constexpr int kMaxShift = 64 - 31;

int ShiftToFit(ULONGLONG nBytes)
{
    int nShift = 0;
    while ((nBytes >> nShift) > static_cast<ULONGLONG>(INT_MAX))
        ++nShift;
    return nShift;
}

int Figure(ULONGLONG nBytes, int nShift)
{
    return static_cast<int>(std::min<ULONGLONG>(nBytes >> nShift, INT_MAX));
}

} // namespace

CProgressFigures ScaleProgress(ULONGLONG nReceived, ULONGLONG nTotal)
{
    // The total fixes the unit for the whole download, so that the bar's
    // range and its positions agree; without one the count chooses it.
    const int nShift = ShiftToFit(nTotal != 0 ? nTotal : nReceived);
    return {Figure(nReceived, nShift), Figure(nTotal, nShift), nShift};
}

ULONGLONG ProgressBytes(int nFigure, int nShift)
{
    // Figures come from any sender: a negative one or a shift out of range is no size.
    if (nFigure < 0 || nShift < 0 || nShift > kMaxShift)
        return 0;
    return static_cast<ULONGLONG>(nFigure) << nShift;
}
