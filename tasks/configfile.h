#pragma once
// The sequential key=value text file behind task files: one line per value,
// written and read in a fixed order. Every failure raises CError with one of
// the program's file messages, naming the file.
#include "common/handles.h"
#include "common/timeutil.h"
#include "tasks/configtext.h"  // kConfigTimeFormat, the line format of times

#include <cstdio>
#include <memory>
#include <string>

class CConfigFile {
public:
    enum class Mode { Read, Write };

    CConfigFile() = default;
    ~CConfigFile() { Close(); }
    CConfigFile(const CConfigFile&) = delete;
    CConfigFile& operator=(const CConfigFile&) = delete;

    // Closes any open file, then opens path as text for reading (the whole
    // file is read at once and closed again, so a reader never holds it), or
    // for writing (created or truncated). Messages name reportedPath when given:
    // the file the user knows, not a temporary one written in its stead.
    void Open(const std::string& path, Mode mode, const std::string& reportedPath = std::string());
    void Close();
    // Closes a file being written, with everything flushed to the disk.
    void CommitAndClose();

    void WriteString(const std::string& key, const std::string& value);
    void WriteInt(const std::string& key, int value);
    void WriteTime(const std::string& key, time32 t);

    // The next line's value. The file's key must match key over the file
    // key's own length; the value keeps everything after the first "=".
    std::string ReadString(const std::string& key);
    time32 ReadTime(const std::string& key);

private:
    [[noreturn]] void RaiseWriteError(int error) const;

    UniqueFile m_file;   // while writing
    std::string m_path;  // as named in messages
    // While reading: the whole file, taken in at Open, and where the next
    // line starts.
    std::string m_content;
    size_t m_position = 0;
    bool m_reading = false;
};
