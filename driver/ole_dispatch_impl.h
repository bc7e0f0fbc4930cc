// The automation face every CCmdTarget can enable. The classes here publish no automation
// members, so it answers every question with "nothing here", in the platform's codes.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "driver/sub_object.h"

class CCmdTarget;
inline size_t CmdTargetDispatchOffset();

class COleDispatchImpl : public SubObject<IDispatch, CCmdTarget, CmdTargetDispatchOffset> {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID riid, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override;
    // One entry of our own after IDispatch's: the disconnect step the owner's destructor
    // runs while references are still counted.
    virtual void STDMETHODCALLTYPE Disconnect();
};

static_assert(sizeof(COleDispatchImpl) == sizeof(void*), "a sub-object is one table pointer");

