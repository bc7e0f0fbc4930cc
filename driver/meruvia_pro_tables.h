// The slot tables of the driver object's IDriverConfig and IDriverIo sub-objects, in the
// order the host's interface definitions fix.
#pragma once

#include <windows.h>

#include <cstdint>

#include "addressing/register_table.h"
#include "driver/host_records.h"

struct DriverConfigTable {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(void*, REFIID, void**);
    ULONG(STDMETHODCALLTYPE* AddRef)(void*);
    ULONG(STDMETHODCALLTYPE* Release)(void*);
    int32_t(STDMETHODCALLTYPE* GetRegisterTable)(void*, const char*, const RegisterEntry**, int32_t*);
    int32_t(STDMETHODCALLTYPE* NoOp4)(void*, uint32_t, uint32_t, uint32_t);
    uint16_t(STDMETHODCALLTYPE* ParseTagAddress)(void*, const TagDef*, TagAddress*);
    int32_t(STDMETHODCALLTYPE* NoOp6)(void*, uint32_t, uint32_t, uint32_t);
    int32_t(STDMETHODCALLTYPE* OpenPort)(void*, uint32_t, const PortConfig*);
    int32_t(STDMETHODCALLTYPE* ClosePort)(void*);
    int32_t(STDMETHODCALLTYPE* NoOp9)(void*, uint32_t, uint32_t, uint32_t);
    int32_t(STDMETHODCALLTYPE* CanJoinBlock)(void*, const TagAddress*, int32_t, IoBlock*);
    int32_t(STDMETHODCALLTYPE* NoOp11)(void*, uint32_t);
    int32_t(STDMETHODCALLTYPE* ParseDeviceAddress)(void*, const char*, int32_t*);
    const char*(STDMETHODCALLTYPE* GetErrorText)(void*);
};

struct DriverIoTable {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(void*, REFIID, void**);
    ULONG(STDMETHODCALLTYPE* AddRef)(void*);
    ULONG(STDMETHODCALLTYPE* Release)(void*);
    int32_t(STDMETHODCALLTYPE* WriteBlock)(void*, const IoBlock*);
    int32_t(STDMETHODCALLTYPE* SetPortHandle)(void*, const PortHandleRecord*);
    int32_t(STDMETHODCALLTYPE* IoNoOp5)(void*, uint32_t, uint32_t, uint32_t);
    int32_t(STDMETHODCALLTYPE* IoNoOp6)(void*, uint32_t);
};

static_assert(sizeof(DriverConfigTable) == 14 * sizeof(void*));
static_assert(sizeof(DriverIoTable) == 7 * sizeof(void*));

extern const DriverConfigTable kDriverConfigTable;
extern const DriverIoTable kDriverIoTable;
