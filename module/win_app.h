// The application object of the module: start and end steps around the module's life.
#pragma once

#include <windows.h>

class CWinApp {
public:
    CWinApp() = default;
    virtual ~CWinApp() = default;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Runs at process attach; a module has no message loop, so there is nothing else.
    virtual BOOL StartInstance() { return TRUE; }
    // Runs at process detach; a module saves no settings.
    virtual int EndInstance() { return 0; }

    HINSTANCE m_hInstance = nullptr; // set at load as the framework does; nothing here reads it
};

class CMeruviaApp : public CWinApp {
public:
    BOOL StartInstance() override;
};
