#pragma once
#include <string>

// A decimal integer read the lenient way of the system's text files: leading
// white space and a sign are accepted, reading stops at the first character
// that is not a digit, and a text without digits is 0. Values beyond the
// 32-bit range are clamped to it.
int ParseDecimalPrefix(const std::string& text);

// Letters A to Z and a to z only, whatever the code page: names and keys
// compare the same on every system.
char ToUpperAscii(char c);
char ToLowerAscii(char c);
std::string ToUpperAscii(std::string text);
std::string ToLowerAscii(std::string text);
bool StartsWithAsciiNoCase(const std::string& text, const std::string& prefix);
bool EndsWithAsciiNoCase(const std::string& text, const std::string& suffix);

// Removes the given characters from both ends.
std::string TrimCharacters(const std::string& text, const char* characters);

// The C library's text for an error number (strerror).
std::string ErrnoText(int error);

// The C library's error number nearest to a system error code, for the
// messages that name the library's text.
int ErrnoFromSystemError(unsigned long error);
