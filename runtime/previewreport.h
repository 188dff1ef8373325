#pragma once
// The preview report: what a preview of a task found to remove, one line
// for each file or entry with its size, written beside the session data
// file as "<task>.preview.txt" for the user to read.
#include "common/handles.h"

#include <string>

class CPreviewReport {
public:
    // Starts the report anew with a heading line; raises CError when the
    // file cannot be written.
    void Create(const std::string& taskName);
    // "<size in bytes>\t<what>"; a failed write is traced, the run goes on.
    void Add(const std::string& entry);
    bool IsOpen() const { return m_file.IsValid(); }

private:
    void WriteLine(const std::string& line);

    UniqueHandle m_file;
};
