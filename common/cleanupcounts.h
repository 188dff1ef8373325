#pragma once
// What a cleanup removed, or in a preview would remove, and what it could
// not: counted by the jobs, added up by the task run, and put into words for
// the session records and the console.
#include <string>

struct CleanupCounts {
    // Removed (or would be removed).
    long long files = 0;
    long long bytes = 0;  // the disk space the removed files occupied
    long long folders = 0;
    long long registryValues = 0;
    long long registryKeys = 0;
    long long cacheEntries = 0;
    long long cookies = 0;
    long long rows = 0;        // database rows
    long long operations = 0;  // whole stores cleared at once (the system browser's history)
    long long stores = 0;      // the system's stores emptied at once (the clipboard, the DNS resolver cache)
    // Not removed.
    long long leftForRestart = 0;  // scheduled for deletion at the next restart: never counted as freed
    long long skipped = 0;         // left alone for safety
    long long failed = 0;
    // Items the run did not start because they need administrator rights it
    // lacks: the run's own count, never a job's, so not in the result text.
    long long notCleaned = 0;
    // Items ticked in the task that the catalogue no longer offers (a rules
    // entry removed, refused or not for this system): the run's own count too.
    long long notOffered = 0;

    CleanupCounts& operator+=(const CleanupCounts& other);
    bool operator==(const CleanupCounts& other) const;
};

// "files=1;bytes=4096;...": every field a job counts, for the result event.
std::string EncodeCleanupCounts(const CleanupCounts& counts);
// False (counts untouched) unless text is exactly what EncodeCleanupCounts
// writes, or what it wrote before "stores" was counted (no such field).
bool DecodeCleanupCounts(const std::string& text, CleanupCounts* counts);

// "Removed 1,234 files (56.7 MB), 3 folders; 2 files left for deletion at
// restart." or, in a preview, "Would remove ..."; "Removed nothing." when
// nothing was. At most limit characters (199: the room of a session record).
std::string DescribeCleanupCounts(const CleanupCounts& counts, bool preview, size_t limit = 199);

// 1234567 -> "1,234,567"; bytes -> "56.7 MB" (1024-based, one decimal from KB on).
std::string GroupedNumber(long long number);
std::string ByteSize(long long bytes);
