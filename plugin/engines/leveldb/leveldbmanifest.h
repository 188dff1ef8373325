#pragma once
// A LevelDB store's manifest without its compaction pointers. Each pointer
// is the largest key of a level's last compaction, kept in every manifest
// LevelDB writes, so a key deleted from every table and log would still be
// on disk there. LevelDB has no way to forget them; this rewrites the
// manifest without them.
#include <leveldb/env.h>

#include <string>

// Rewrites the manifest that CURRENT names in folder, dropping its
// compaction pointers, under a new number, and makes it current; the old one
// is removed. Nothing is changed when there are none. The store must be
// closed; its lock is held while the manifest is rewritten. A failure before
// the new manifest is current leaves the store as it was.
leveldb::Status DropCompactionPointers(leveldb::Env* env, const std::string& folder);
