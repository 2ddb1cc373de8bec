// The DLL's entry routine: records the library's own module when a process
// loads it, so that the firmware images are found among its resources.
// Nothing is set up or released for threads or at unloading.
#include "platform/library_module.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) zlt::platform::SetLibraryModule(module);
    return TRUE;
}
