// Tidewhistle.exe: configuration console, tray-resident scheduler and task
// runner in one program; the command line chooses the role.
#include "app/tidewhistleapp.h"

#include <windows.h>
#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // The run-time library has already split the command line; quoted
    // arguments may hold blanks.
    CTidewhistleApp app(__argc, __argv);
    app.Run();
    return app.ExitCode();  // only a preview's is read: by a person or a script
}
