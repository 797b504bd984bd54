// An event sink that records every event and answers as the test says.
#pragma once

#include "manager/UpdateEventSink.h"

#include <functional>
#include <vector>

struct SinkEvent {
    int kind, p1, p2, p3;
};

class RecordingSink : public IUpdateEventSink {
public:
    int OnUpdateEvent(int nKind, int nParam1, int nParam2, int nParam3) override
    {
        events.push_back({nKind, nParam1, nParam2, nParam3});
        return answer ? answer(events.back()) : 0;
    }

    // The events of one kind, in order.
    std::vector<SinkEvent> OfKind(int kind) const
    {
        std::vector<SinkEvent> found;
        for (const SinkEvent& e : events) {
            if (e.kind == kind)
                found.push_back(e);
        }
        return found;
    }

    std::vector<SinkEvent> events;
    // The answer to each event; none: go on.
    std::function<int(const SinkEvent&)> answer;
};
