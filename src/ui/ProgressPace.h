// Which of the download's progress events the dialog shows. Every event is
// answered (it is also the stop check), but the bar repaints at once on each
// position it is given, and a display that changes a thousand times a second
// costs the download more than anyone can read.
#pragma once

#include <windows.h>

class CProgressPace {
public:
    // At most one shown state per interval.
    static constexpr DWORD kIntervalMs = 100;

    // True when the state (received of total at dwNow, in ms) is to be shown:
    // it differs from the one shown last, and the interval has passed since, or
    // the download is complete, so that the end is always seen.
    bool ShouldShow(LONG nReceived, LONG nTotal, DWORD dwNow);
    // The next download starts from nothing shown.
    void Reset() { m_bShown = false; }

private:
    bool m_bShown = false;
    LONG m_nShown = 0;
    DWORD m_dwShownAt = 0;
};
