#pragma once
// The debug trace: records with a numeric level to "tw_debug.log" beside the
// program and/or to the debugger output. One instance per module (g_tracer).
//
// Levels: 9 the scheduler's periodic check, 10 fine detail, 20 progress,
// 30 warnings, 40 errors. A call records only when level >= threshold.
#include "common/handles.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

class CTracer {
public:
    enum Flags : unsigned {
        kOff = 0,
        kDebugger = 1,  // send the bare message to the debugger output
        kFile = 2,      // append a prefixed record to the open file
    };

    // The trace file is kept under this size, with one previous generation
    // beside it ("<file>.1"): a record that finds the file this large first
    // moves it aside, replacing the previous one, and starts a new file.
    // Other processes appending to the same file follow at their next record.
    static constexpr long long kDefaultSizeLimit = 10 * 1024 * 1024;

    CTracer() = default;
    ~CTracer();
    CTracer(const CTracer&) = delete;
    CTracer& operator=(const CTracer&) = delete;

    // Closes any open file first. A file that cannot be opened turns the
    // tracer into debugger output and still reports success.
    bool Open(unsigned flags, int threshold, const char* path);
    bool Close();
    void SetModuleName(const char* name);
    void SetSizeLimit(long long bytes) { m_sizeLimit = bytes; }

    // The caller's last-error code is the same after the call as before it.
    void Trace(int level, const char* format, ...) __attribute__((format(gnu_printf, 3, 4)))
    {
        // Below the threshold a call costs one comparison and no formatting.
        if (level < m_threshold) return;
        va_list args;
        va_start(args, format);
        TraceV(level, format, args, false);
        va_end(args);
    }

    // For what a cleanup erases (cookie names, cache addresses, paths of
    // deleted files): recorded in the trace file only, never sent to the
    // debugger output, where any listener would read it.
    void TracePrivate(int level, const char* format, ...) __attribute__((format(gnu_printf, 3, 4)))
    {
        if (level < m_threshold) return;
        va_list args;
        va_start(args, format);
        TraceV(level, format, args, true);
        va_end(args);
    }

    unsigned GetFlags() const { return m_flags; }
    int GetThreshold() const { return m_threshold; }

private:
    void TraceV(int level, const char* format, va_list args, bool privateRecord);
    bool WriteRecord(const char* text);
    bool WriteHeader();
    void TraceSystemLines();
    // False when the file is full and could not be moved aside: the record
    // is then left out rather than the limit exceeded.
    bool KeepUnderSizeLimit();

    std::mutex m_fileLock;  // threads of one process share the file and may start a new one
    UniqueFile m_file;
    std::string m_path;
    long long m_sizeLimit = kDefaultSizeLimit;
    unsigned m_flags = kDebugger;
    int m_threshold = 0;
    std::string m_moduleName;
};

extern CTracer g_tracer;

// Shorthand used throughout the system.
#define TRACE(level, ...) g_tracer.Trace((level), __VA_ARGS__)
#define TRACE_PRIVATE(level, ...) g_tracer.TracePrivate((level), __VA_ARGS__)
