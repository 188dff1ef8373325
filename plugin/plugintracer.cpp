#include "plugin/plugintracer.h"

#include "common/handles.h"
#include "common/paths.h"
#include "common/resstring.h"
#include "common/settings.h"
#include "common/strformat.h"
#include "common/tracer.h"
#include "plugin/resource.h"

#include <windows.h>

namespace {

// The program's DebugLogLevel; 0 when the settings key or value is missing.
// Read only: the plug-in never creates the settings key.
int ProgramTraceLevel()
{
    const std::string subkey = StrFormat(kSettingsKeyFormat, LoadResString(IDS_PLUGIN_COMPANY_NAME).c_str(),
                                         LoadResString(IDS_PLUGIN_PRODUCT_NAME).c_str());
    UniqueRegKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG result = ::RegQueryValueExA(key.Get(), "DebugLogLevel", nullptr, &type,
                                           reinterpret_cast<BYTE*>(&value), &size);
    return result == ERROR_SUCCESS && type == REG_DWORD ? static_cast<int>(value) : 0;
}

}  // namespace

void OpenPluginTracer()
{
    static bool opened = false;
    if (opened) return;
    opened = true;

    const int level = ProgramTraceLevel();
    if (level == 0) return;  // as built: debugger output, private records dropped
    g_tracer.SetModuleName("Sweepkit.dll");
    g_tracer.Open(CTracer::kFile, level, GetModuleFilePath("tw_debug.log").c_str());
}
