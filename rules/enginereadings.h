#pragma once
// What the system's own name matching reads into a rule's text beyond what
// the rules compare: a mask whose last dot is followed only by wildcards
// ("x.", "x.?", "x.**") also matches the name without that ending ("x"),
// and the system folds the case of a few letters beyond ASCII into ASCII
// ones ("ı" is read as "I", "ſ" as "S"). The refusals judge every reading
// the file engine would act on. Pure.
#include <string>
#include <vector>

// The mask, then each form without a final dot and the wildcards after it,
// as long as one remains: "x.?" gives "x.?" and "x"; "*.log" only itself.
std::vector<std::string> MaskReadings(const std::string& mask);

// True when a path part would match a folder by a name shorter than its
// text: a final dot followed only by wildcards, other than ".*" (which the
// overlap of wildcards already reads as also matching the bare name).
bool HasDroppedEnding(const std::string& part);

// The first character of the text that the system's case folding reads as
// an ASCII letter ("ı", "ſ"), as written; empty when there is none.
std::string FoldsToAscii(const std::string& text);
