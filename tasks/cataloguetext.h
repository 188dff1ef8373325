#pragma once
// The catalogue file's text rules, apart from reading the file: sections,
// keys and which items are kept. Pure, so that it can be fuzzed.
#include "tasks/catalogueitems.h"

#include <string>
#include <vector>

// The items of the catalogue file's text (as text mode reads the file), in
// order. Lines are taken as the C runtime's line reader takes them, at most
// 1,023 characters at a time. An item is kept when a following "[ITEM]" line
// closes it complete, appended to items; what cannot be used is said in
// notes, for the trace. Raises CError (the GUID parser's) for a malformed
// GUID text: the items committed before it stay in items.
void ParseCatalogueText(const std::string& text, std::vector<CCatalogueItem>* items, std::vector<std::string>* notes);
