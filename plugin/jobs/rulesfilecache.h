#pragma once
// The rules files the process has parsed, kept while they stay as they
// were: a task of many entries from one file of thousands reads and parses
// that file once, not once per entry. A file whose size or last write time
// changed is read again.
#include "rules/rulesfile.h"

#include <memory>
#include <string>

// The parsed file at path (name as the messages show it). Raises CError
// "Job configuration is invalid (...)" when the file cannot be opened or
// read, or is larger than the rules ever read.
std::shared_ptr<const RulesFile> ParsedRulesFile(const std::string& path, const std::string& name);
