#pragma once
// Captures what the code under test traces: the module's tracer writes to a
// scratch file for the life of the object.
#include "scratch_folder.h"

#include <string>
#include <vector>

class TraceCapture {
public:
    explicit TraceCapture(int threshold = 0);
    ~TraceCapture();

    // The messages recorded so far, without their prefixes.
    std::vector<std::string> Messages() const;
    bool Has(const std::string& message) const;

private:
    ScratchFolder m_folder;
    std::string m_path;
};
