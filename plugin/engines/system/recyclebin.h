#pragma once
// The current user's Recycle Bin, read from its records and cleaned through
// the file deletion engine, never through the shell: under Wine the shell's
// Recycle Bin is the Linux user's own trash.
#include <cstdint>
#include <string>
#include <vector>

class ICleanupReport;

// One deleted thing: its record "$I<name>", its data "$R<name>" (a file or
// a folder; empty when the data is gone and only the record is left), and
// when it was deleted.
struct RecyclePair {
    std::string recordName;
    std::string dataName;
    std::uint64_t deletionTime = 0;  // FILETIME, UTC
};

// "<root>$Recycle.Bin\<SID>" of every fixed drive, for the user this
// process runs as, whether or not the folder exists. Raises CError when the
// user's SID cannot be read.
std::vector<std::string> UserRecycleFolders();

// The pairs of one Recycle Bin folder (folders that do not exist hold
// none). A record that cannot be read or parsed is warned about and left,
// with its data: without a deletion time nothing says it may go. Data
// without a record is left too; a record's data is the "$R" entry whose
// name matches it exactly, case included. Raises CError when the folder is
// refused (among others: it is, or lies below, a link, or it is not the
// bin named by this user's SID) or cannot be listed.
std::vector<RecyclePair> ListRecyclePairs(const std::string& folder, ICleanupReport& report);

// Deletes, through DeleteNamedEntries, the pairs of folder deleted before
// cutoff (a FILETIME; 0 for every pair), data folders with all they hold.
void CleanRecycleFolder(const std::string& folder, std::uint64_t cutoff, ICleanupReport& report);
