#pragma once
// Entry files of a disk cache in the browsers' "simple" format, as the
// service workers' script cache keeps them: "<16 hex digits>_0", "_1" and
// "_s" (the hash of the entry's key), each opening with a header that holds
// the key itself. The key is read from there, never guessed from the hash.
#include <cstddef>
#include <string>

// True for the name of an entry file; the cache's index files are not.
bool IsSimpleCacheEntryFileName(const std::string& name);

// Enough of an entry file's beginning for a short key: the header and the
// first kSimpleCacheKeyLimit bytes after it.
constexpr std::size_t kSimpleCacheKeyLimit = 64;
constexpr std::size_t kSimpleCacheHeadSize = 24 + kSimpleCacheKeyLimit;

// The entry's key, from the file's first bytes; empty when they do not
// begin with the format's header or the key is longer than the limit.
std::string KeyOfSimpleCacheEntry(const std::string& head);
