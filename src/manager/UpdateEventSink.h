// How the update work reports progress and learns that the user wants to stop.
#pragma once

class IUpdateEventSink {
public:
    // Kind 1: the check is running (no figures). Kind 2: the package download;
    // nParam1 -1 sets the range nParam2..nParam3, else nParam1 of nParam2 bytes
    // have arrived. A non-zero result asks the sender to stop.
    virtual int OnUpdateEvent(int nKind, int nParam1, int nParam2, int nParam3) = 0;

protected:
    ~IUpdateEventSink() = default;
};
