// The string-list and flag-and-number codecs of the task files' extended data.
#include "common/codecs.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    StringList lenient;
    DecodeStringList(text, lenient);
    // What the lenient reading keeps reads back the same once written again.
    StringList again;
    DecodeStringList(EncodeStringList(lenient), again);
    if (again != lenient) std::abort();

    // The strict reading takes exactly what the encoder writes, or nothing.
    StringList strict;
    if (TryDecodeStringList(text, strict)) {
        if (EncodeStringList(strict) != text) std::abort();
    } else if (!strict.empty()) {
        std::abort();
    }

    bool flag = false;
    int number = 0;
    DecodeFlagAndNumber(text, &flag, &number);
    bool flagAgain = !flag;
    int numberAgain = number + 1;
    DecodeFlagAndNumber(EncodeFlagAndNumber(flag, number), &flagAgain, &numberAgain);
    if (flagAgain != flag || numberAgain != number) std::abort();
    return 0;
}
