// The module's entry point and its module-level objects. They are defined here, in this
// order, so that they are constructed in it at load and destroyed in reverse at unload:
// the application object, then the class-factory record of the driver.
#include <windows.h>

#include "host/host_interfaces.h"
#include "driver/meruvia_pro.h"
#include "driver/trace.h"
#include "driver/module_state.h"
#include "module/ole_object_factory.h"
#include "module/win_app.h"

namespace {

CMeruviaApp theApp;
COleObjectFactory theMeruviaProFactory(CLSID_MeruviaPro, &CMeruviaPro::kRuntimeClass, FALSE,
                                       kMeruviaProgId);

// No critical-error or missing-file dialogs for the host process from now on.
void WidenErrorMode() {
    const UINT mode = SetErrorMode(0);
    SetErrorMode(mode | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        WidenErrorMode();
        StartTrace();
        AfxGetModuleState()->m_hModule = instance;
        theApp.m_hInstance = instance;
        theApp.StartInstance();
        break;
    case DLL_PROCESS_DETACH:
        theApp.EndInstance();
        StopTrace();
        break;
    default: // thread attach and detach: the module keeps no per-thread data
        break;
    }
    return TRUE;
}
