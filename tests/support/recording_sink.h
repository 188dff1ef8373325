#pragma once
// An event sink that records what a job reports instead of writing a
// session data file; it can also fail every event, as a sink whose file is
// gone does, so that tests see how jobs end when their events are refused.
#include "jobapi/jobapi.h"

#include <ostream>
#include <string>
#include <vector>

struct RecordedEvent {
    int type;
    std::string text;
    bool operator==(const RecordedEvent& other) const { return type == other.type && text == other.text; }
};

// Lets GoogleTest show an event as "type:text" when a comparison fails.
void PrintTo(const RecordedEvent& event, std::ostream* out);

class RecordingSink : public IEventSink {
public:
    // The sink's message, "sink is broken" while it fails; empty otherwise.
    int GetErrorText(char* buffer, int size) override;
    // Records the event; refuses it (after recording it) while failing.
    int LogEvent(const char* text, int type) override;

    std::vector<RecordedEvent> events;
    bool failing = false;
};
