#pragma once
// The clipboard, emptied through the system's own calls.
#include <string>

// Empties the clipboard (a preview only looks); hadContents tells whether
// it held anything. Empty when nothing failed, else the warning to give.
std::string ClearClipboard(bool preview, bool& hadContents);
