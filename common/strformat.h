#pragma once
#include <cstdarg>
#include <string>

// The compiler checks the arguments against the format: MinGW's GCC by the
// GNU rules the program's runtime follows, clang (the fuzzing build) by its own.
#if defined(__clang__)
#define TW_PRINTF_CHECK(formatIndex, firstArgument) __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define TW_PRINTF_CHECK(formatIndex, firstArgument) __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#endif

// printf-style formatting into a std::string of any length.
std::string StrFormat(const char* format, ...) TW_PRINTF_CHECK(1, 2);
std::string StrFormatV(const char* format, va_list args);
