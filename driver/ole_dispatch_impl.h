// The automation face every CCmdTarget can enable. The classes here publish no automation
// members, so it answers every question with "nothing here", in the platform's codes.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "driver/sub_object.h"

// Slot order of IDispatch, then one entry of our own: the disconnect step the object's
// destructor runs.
struct DispatchTable {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(void*, REFIID, void**);
    ULONG(STDMETHODCALLTYPE* AddRef)(void*);
    ULONG(STDMETHODCALLTYPE* Release)(void*);
    HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(void*, UINT*);
    HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(void*, UINT, LCID, ITypeInfo**);
    HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(void*, REFIID, LPOLESTR*, UINT, LCID, DISPID*);
    HRESULT(STDMETHODCALLTYPE* Invoke)(void*, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                       EXCEPINFO*, UINT*);
    void(STDMETHODCALLTYPE* Disconnect)(void*);
};

extern const DispatchTable kOleDispatchTable;

// The platform call the disconnect step makes; replaceable so a test can count the calls.
extern HRESULT(STDAPICALLTYPE* g_pfnCoDisconnectObject)(LPUNKNOWN, DWORD);
