#include "runtime/moduleload.h"

#include "common/error.h"
#include "common/pathtext.h"
#include "common/paths.h"
#include "common/resstring.h"
#include "common/stringids.h"
#include "common/tracer.h"

UniqueModule LoadModuleBesideProgram(const std::string& moduleName)
{
    if (!IsTrustworthyName(moduleName)) {
        TRACE(40, "LoadTaskModule: module name refused - %s", moduleName.c_str());
        throw CError(FormatResString(IDS_MODULE_NAME_REFUSED, moduleName.c_str()));
    }
    const std::string modulePath = GetModuleFilePath(moduleName.c_str());
    UniqueModule module(::LoadLibraryExA(modulePath.c_str(), nullptr,
                                         LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!module) {
        const DWORD error = ::GetLastError();
        TRACE(40, "LoadTaskModule: LoadLibrary error, %d", static_cast<int>(error));
        throw CError(FormatResString(IDS_MODULE_LOAD_FAILED, static_cast<int>(error)));
    }
    return module;
}
