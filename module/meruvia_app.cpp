#include "module/ole_object_factory.h"
#include "module/win_app.h"

// Makes the class-factory records findable by DllGetClassObject. Nothing is announced to
// the platform's table of running class objects: this is an in-process server.
BOOL CMeruviaApp::StartInstance() {
    RegisterFactories();
    return TRUE;
}
