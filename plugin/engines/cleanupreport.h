#pragma once
// What a deletion engine tells whoever runs it: whether this is a preview,
// what it removed (or would remove), what it left, and what the user should
// read. The engines know nothing of jobs; a job implements this for them.
#include <string>

// Operation: the system browser's whole history; Store: a store of the system
// emptied at once (the clipboard, the DNS resolver cache).
enum class Removed { File, Folder, RegistryValue, RegistryKey, CacheEntry, Cookie, Row, Operation, Store };
enum class NotRemoved { LeftForRestart, Skipped, Failed };

class ICleanupReport {
public:
    // True in a preview: nothing may be deleted, moved, scheduled or changed.
    // The engines test it at the point where they would change something.
    virtual bool IsPreview() const = 0;

    // One thing removed (in a preview: that would be removed), with its size.
    // identity tells one thing from another where its name cannot (the
    // file a name reaches, a database row); the name itself when empty.
    virtual void CountRemoved(Removed what, const std::string& name, long long bytes = 0, long long count = 1,
                              const std::string& identity = std::string()) = 0;
    virtual void CountNotRemoved(NotRemoved why, long long count = 1) = 0;

    // Records for the user. Those of a kind that may come in numbers (one
    // for every file, every name of a list) name their kind in the plural
    // ("files that could not be deleted"), so that a flood of them can be
    // summarised.
    virtual void LogError(const std::string& text) = 0;
    virtual void LogWarning(const std::string& text) = 0;
    virtual void LogInfo(const std::string& text) = 0;
    virtual void LogWarningOf(const char* kind, const std::string& text) = 0;
    virtual void LogInfoOf(const char* kind, const std::string& text) = 0;

protected:
    ~ICleanupReport() = default;
};
