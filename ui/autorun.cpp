#include "ui/autorun.h"

#include "common/handles.h"
#include "common/paths.h"
#include "common/resstring.h"
#include "common/settings.h"
#include "common/stringids.h"
#include "common/tracer.h"

#include <string>

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunValueName[] = "Hollowmere Tidewhistle";

LONG WriteRunEntry(HKEY root)
{
    UniqueRegKey key;
    LONG result = ::RegOpenKeyExA(root, kRunKey, 0, KEY_SET_VALUE, key.Receive());
    if (result != ERROR_SUCCESS) return result;

    // Quoted, so that a program path with blanks starts correctly.
    const std::string command = "\"" + GetModulePath() + "\" /tray";
    return ::RegSetValueExA(key.Get(), kRunValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                            static_cast<DWORD>(command.size() + 1));
}

LONG RemoveRunEntry(HKEY root)
{
    UniqueRegKey key;
    LONG result = ::RegOpenKeyExA(root, kRunKey, 0, KEY_SET_VALUE, key.Receive());
    if (result != ERROR_SUCCESS) return result;

    result = ::RegDeleteValueA(key.Get(), kRunValueName);
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

}  // namespace

void AddToAutoRun(HWND owner)
{
    TRACE(20, "AddToAutoRun");

    LONG result = ERROR_SUCCESS;
    if (GetAutoRun()) {
        TRACE(20, "add");
        const LONG machineResult = WriteRunEntry(HKEY_LOCAL_MACHINE);
        if (machineResult != ERROR_SUCCESS) {
            TRACE(20, "HKLM - error - %d, trying HKCU", static_cast<int>(machineResult));
            result = WriteRunEntry(HKEY_CURRENT_USER);
        } else {
            TRACE(20, "HKLM - success, removing from HKCU");
            RemoveRunEntry(HKEY_CURRENT_USER);
        }
    } else {
        TRACE(20, "remove");
        RemoveRunEntry(HKEY_LOCAL_MACHINE);
        RemoveRunEntry(HKEY_CURRENT_USER);
    }

    if (result != ERROR_SUCCESS) {
        TRACE(40, "AddToAutoRun: failed to modify registry - %d", static_cast<int>(result));
        if (owner != nullptr) {
            const std::string message = FormatResString(IDS_AUTORUN_FAILED, static_cast<int>(result));
            ::MessageBoxA(owner, message.c_str(), nullptr, MB_OK | MB_ICONERROR);
        }
    }

    TRACE(20, "AddToAutoRun - done");
}
