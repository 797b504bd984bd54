#include "ui/ProgressPace.h"

bool CProgressPace::ShouldShow(LONG nReceived, LONG nTotal, DWORD dwNow)
{
    if (m_bShown && nReceived == m_nShown)
        return false;
    const bool bComplete = nTotal > 0 && nReceived >= nTotal;
    // Unsigned difference: right across the tick count's wrap.
    if (m_bShown && !bComplete && dwNow - m_dwShownAt < kIntervalMs)
        return false;
    m_bShown = true;
    m_nShown = nReceived;
    m_dwShownAt = dwNow;
    return true;
}
