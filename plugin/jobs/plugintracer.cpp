#include "plugin/jobs/plugintracer.h"

#include "common/paths.h"
#include "common/resstring.h"
#include "common/settings.h"
#include "common/tracer.h"
#include "plugin/resource.h"

void OpenPluginTracer()
{
    static bool opened = false;
    if (opened) return;
    opened = true;

    // Read only: the plug-in never creates the settings key.
    OpenExistingSettingsKey(LoadResString(IDS_PLUGIN_COMPANY_NAME).c_str(),
                            LoadResString(IDS_PLUGIN_PRODUCT_NAME).c_str());
    const int level = GetDebugLogLevel();
    if (level == 0) return;  // as built: debugger output, private records dropped
    g_tracer.SetModuleName("Sweepkit.dll");
    g_tracer.Open(CTracer::kFile, level, GetDataFilePath("tw_debug.log").c_str());
}
