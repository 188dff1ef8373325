#include "ui/tickwarnings.h"

#include "common/resstring.h"
#include "common/stringids.h"

namespace {

// More would not fit a message box on a small screen.
const size_t kListedWarnings = 10;

}  // namespace

std::string TickWarningsQuestion(const std::vector<TickWarning>& warnings)
{
    std::string lines;
    for (size_t index = 0; index < warnings.size() && index < kListedWarnings; ++index)
        lines += warnings[index].name + ": " + warnings[index].warning + "\n";
    if (warnings.size() > kListedWarnings)
        lines += FormatResString(IDS_TICK_WARNINGS_MORE, static_cast<int>(warnings.size() - kListedWarnings));
    return FormatResString(IDS_TICK_WARNINGS, lines.c_str());
}
