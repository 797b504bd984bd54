// The real file system, ended after a number of moves as a launcher that is
// killed there would be: the next move throws, nothing is rolled back or
// removed, and the journal is closed as the end of the process closes it.
#pragma once

#include "SwapFiles.h"

struct LauncherEnded {};

class CEndedAfterMoves : public CSwapFiles {
public:
    explicit CEndedAfterMoves(int moves) : m_nLeft(moves) {}

    bool Move(const std::wstring& from, const std::wstring& to) override
    {
        if (m_nLeft-- == 0)
            throw LauncherEnded();
        return CSwapFiles::Move(from, to);
    }

private:
    int m_nLeft;
};
