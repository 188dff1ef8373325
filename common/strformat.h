#pragma once
#include <cstdarg>
#include <string>

// printf-style formatting into a std::string of any length.
std::string StrFormat(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
std::string StrFormatV(const char* format, va_list args);
