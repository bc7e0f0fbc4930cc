#include "driver/ole_dispatch_impl.h"

#include <cstring>

#include "driver/cmd_target.h"
#include "driver/driver_seams.h"

HRESULT(STDAPICALLTYPE* g_pfnCoDisconnectObject)(LPUNKNOWN, DWORD) = CoDisconnectObject;

HRESULT STDMETHODCALLTYPE COleDispatchImpl::GetTypeInfoCount(UINT* pctinfo) {
    if (pctinfo == nullptr)
        return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

// No type information exists: index 0 is simply not implemented.
HRESULT STDMETHODCALLTYPE COleDispatchImpl::GetTypeInfo(UINT index, LCID, ITypeInfo**) {
    return index != 0 ? E_INVALIDARG : E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleDispatchImpl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                                          DISPID* ids) {
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (count == 0)
        return DISP_E_UNKNOWNNAME;
    if (names == nullptr || ids == nullptr)
        return E_POINTER;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE COleDispatchImpl::Invoke(DISPID, REFIID riid, LCID, WORD, DISPPARAMS* params,
                                                   VARIANT* result, EXCEPINFO*, UINT*) {
    if (result != nullptr)
        memset(result, 0, sizeof *result);
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (params == nullptr)
        return E_POINTER;
    const bool onlyPropertyPut = params->cNamedArgs == 1 && params->rgdispidNamedArgs != nullptr &&
                                 params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
    if (params->cNamedArgs != 0 && !onlyPropertyPut)
        return DISP_E_NONAMEDARGS;
    return DISP_E_MEMBERNOTFOUND;
}

// Only acts when references are still counted: after a final release the count is 0.
void STDMETHODCALLTYPE COleDispatchImpl::Disconnect() {
    CCmdTarget* self = owner();
    if (!self->HoldUnlessReleased()) // alive through the platform's calls
        return;
    g_pfnCoDisconnectObject(self->GetControllingUnknown(), 0);
    self->ForgetReferences();
}
