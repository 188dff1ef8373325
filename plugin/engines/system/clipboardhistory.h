#pragma once
// The clipboard history of Windows 10 1809 and later, cleared through the
// system's own clipboard class; its pinned items stay.
#include <string>

enum class ClipboardHistoryResult { Cleared, NotPresent, TurnedOff, Failed };

// Clears the history (a preview only looks); on Failed, warning says why.
ClipboardHistoryResult ClearClipboardHistory(bool preview, std::string& warning);
