#pragma once
// Text forms of the per-item task settings.
#include <string>
#include <vector>

using StringList = std::vector<std::string>;

// Each byte of each string as two upper-case hexadecimal digits, and "00"
// after every string.
std::string EncodeStringList(const StringList& strings);

// Appends the decoded strings to the list. A string that no "00" closes is
// dropped, and so is a lone digit at the end of an odd-length text.
void DecodeStringList(const std::string& text, StringList& strings);

// The strict reading of a keep list, for the jobs that delete by it: false
// (and nothing appended) unless the text is exactly what EncodeStringList
// writes: pairs of digits and upper-case A-F, every string closed by "00".
// A keep list that cannot be read must never count as an empty one.
bool TryDecodeStringList(const std::string& text, StringList& strings);

// "%d %d": the flag as 1 or 0, then the number.
std::string EncodeFlagAndNumber(bool flag, int number);

// The number of hours that a missing or unreadable temporary-files age
// setting stands for.
constexpr int kDefaultTempFilesAgeHours = 48;

// Flag true and kDefaultTempFilesAgeHours unless the text holds two integers.
void DecodeFlagAndNumber(const std::string& text, bool* flag, int* number);
