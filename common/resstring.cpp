#include "common/resstring.h"

#include "common/strformat.h"

#include <cstdarg>

// The linker places this symbol at the start of whichever image it links,
// so it names the module this copy of the library lives in.
extern "C" IMAGE_DOS_HEADER __ImageBase;

HINSTANCE CurrentModule()
{
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

std::string LoadResString(UINT id)
{
    // A zero-length buffer yields a read-only pointer to the resource text
    // itself (wide form only), so entries of any length load whole.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(CurrentModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) return std::string();

    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string narrow(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, length, &narrow[0], bytes, nullptr, nullptr);
    return narrow;
}

std::string FormatResString(UINT id, ...)
{
    const std::string format = LoadResString(id);
    va_list args;
    va_start(args, id);
    std::string text = StrFormatV(format.c_str(), args);
    va_end(args);
    return text;
}
