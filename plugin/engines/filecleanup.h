#pragma once
// The file deletion engine.
#include "common/timeutil.h"

#include <string>

class ICleanupReport;

// Deletes the files that match pattern (environment variables expanded,
// wildcards in the last component). With descend, matching folders are
// emptied the same way and removed. With a cutoff (seconds since 1970, 0
// for none), files written at or after it are spared. Files in use are
// scheduled for deletion at the next restart. Problems with single files
// and folders are reported to report; failures that end the whole
// pattern raise CError.
//
// Nothing outside the pattern's own folder tree is ever deleted: the
// pattern's folder must pass CheckPatternFolder ("/" counts as "\"); a
// name found on disk that a path would not name faithfully is skipped with
// a warning; every entry is opened without following links, checked to be
// where its path says, and deleted through that handle; a link is never
// entered, at most removed itself. A path longer than the system allows is
// refused.
// The text with its environment variables expanded (an undefined variable
// stays as written); raises CError when the system cannot expand it.
std::string ExpandEnvironment(const std::string& text);

void DeleteFiles(const std::string& pattern, bool descend, time32 cutoff, ICleanupReport& report);
