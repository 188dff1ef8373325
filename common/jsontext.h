#pragma once
// JSON text for the program's machine-readable listings. Pure.
#include <string>

// The text as a JSON string, quotes included: '"' and '\' escaped, control
// characters as \u00XX; the other bytes (UTF-8) as they are.
std::string JsonString(const std::string& text);

// A JSON string, or null for an empty text (nothing to say).
std::string JsonStringOrNull(const std::string& text);
