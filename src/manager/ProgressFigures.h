// The figures of a package's progress events. The event carries 32-bit
// signed numbers, and a package over 2 GiB would wrap them into negative ones:
// such a package is counted in units of 2^shift bytes instead, the smallest
// unit in which its size fits, and the shift travels as the event's third
// figure (0, bytes, for every package below 2 GiB). A receiver that ignores
// the shift still gets a bar in proportion; one that reads it shows the sizes.
#pragma once

#include <windows.h>

struct CProgressFigures {
    int nReceived;
    int nTotal;
    int nShift;
};

// received of total bytes (total 0: not known) as the event's figures.
CProgressFigures ScaleProgress(ULONGLONG nReceived, ULONGLONG nTotal);
// An event's figure back in bytes, to within its unit.
ULONGLONG ProgressBytes(int nFigure, int nShift);
