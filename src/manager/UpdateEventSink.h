// How the update work reports progress and learns that the user wants to stop.
#pragma once

// The kinds of event, as the interface has always numbered them.
enum EUpdateEvent : int {
    kEventWorking = 1,   // work is under way with nothing to show (the check, or the package's request before its answer); no figures
    kEventDownload = 2,  // the package download: nParam1 of nParam2 bytes, in units of 2^nParam3
};
// nParam1 of a download event that sets the range nParam2..nParam3 instead.
constexpr int kEventRange = -1;

class IUpdateEventSink {
public:
    // A non-zero result asks the sender to stop.
    virtual int OnUpdateEvent(int nKind, int nParam1, int nParam2, int nParam3) = 0;

protected:
    ~IUpdateEventSink() = default;
};

// Asks the sink, when there is one, whether to stop the work under way.
inline bool AskStop(IUpdateEventSink* pSink)
{
    return pSink && pSink->OnUpdateEvent(kEventWorking, 0, 0, 0) != 0;
}
