// The two interfaces the host defines, as a client (the host, a test, a tool) sees them,
// with their identifiers. Slots are in table order; no virtual destructor, so the table
// is laid out the same by every compiler.
#pragma once

#ifndef _WIN32
#error "the host's interfaces are Windows component interfaces"
#endif

#include <windows.h>

#include <cstdint>

#include "host/host_records.h"
#include "host/register_entry.h"

// {93447081-C721-4469-8B89-46F355783C14}
inline constexpr CLSID CLSID_MeruviaPro = {
    0x93447081, 0xC721, 0x4469, {0x8B, 0x89, 0x46, 0xF3, 0x55, 0x78, 0x3C, 0x14}};
inline constexpr char kMeruviaProgId[] = "MERUVIA.MeruviaPro";
// The same two as the registry holds them.
inline constexpr wchar_t kMeruviaProgIdW[] = L"MERUVIA.MeruviaPro";
inline constexpr wchar_t kMeruviaClassIdTextW[] = L"{93447081-C721-4469-8B89-46F355783C14}";

// {2D921821-D190-11D1-BB16-004005625AD7}
inline constexpr IID IID_IDriverConfig = {
    0x2D921821, 0xD190, 0x11D1, {0xBB, 0x16, 0x00, 0x40, 0x05, 0x62, 0x5A, 0xD7}};
// {8CB34601-A8F5-11D4-8BE0-0050BACFBB99}
inline constexpr IID IID_IDriverIo = {
    0x8CB34601, 0xA8F5, 0x11D4, {0x8B, 0xE0, 0x00, 0x50, 0xBA, 0xCF, 0xBB, 0x99}};
// {ED44210B-B1BB-4F9B-8B1E-FA5908165F8A}: the driver's automation interface.
inline constexpr IID IID_IMeruviaPro = {
    0xED44210B, 0xB1BB, 0x4F9B, {0x8B, 0x1E, 0xFA, 0x59, 0x08, 0x16, 0x5F, 0x8A}};

struct IDriverConfig : public IUnknown {
    virtual int32_t STDMETHODCALLTYPE GetRegisterTable(const char* pszUnused,
                                                       const RegisterEntry** ppRows,
                                                       int32_t* pnRows) = 0;
    virtual int32_t STDMETHODCALLTYPE NoOp4(uint32_t, uint32_t, uint32_t) = 0;
    virtual uint16_t STDMETHODCALLTYPE ParseTagAddress(const TagDef* pTag,
                                                       TagAddress* pAddress) = 0;
    virtual int32_t STDMETHODCALLTYPE NoOp6(uint32_t, uint32_t, uint32_t) = 0;
    virtual int32_t STDMETHODCALLTYPE OpenPort(uint32_t nUnused, const PortConfig* pConfig) = 0;
    virtual int32_t STDMETHODCALLTYPE ClosePort() = 0;
    virtual int32_t STDMETHODCALLTYPE NoOp9(uint32_t, uint32_t, uint32_t) = 0;
    virtual int32_t STDMETHODCALLTYPE CanJoinBlock(const TagAddress* pTag, int32_t nKind,
                                                   IoBlock* pBlock) = 0;
    virtual int32_t STDMETHODCALLTYPE NoOp11(uint32_t) = 0;
    virtual int32_t STDMETHODCALLTYPE ParseDeviceAddress(const char* pszText,
                                                         int32_t* pnDevice) = 0;
    virtual const char* STDMETHODCALLTYPE GetErrorText() = 0;
};

struct IDriverIo : public IUnknown {
    virtual int32_t STDMETHODCALLTYPE WriteBlock(const IoBlock* pBlock) = 0;
    virtual int32_t STDMETHODCALLTYPE SetPortHandle(const PortHandleRecord* pRecord) = 0;
    virtual int32_t STDMETHODCALLTYPE IoNoOp5(uint32_t, uint32_t, uint32_t) = 0;
    virtual int32_t STDMETHODCALLTYPE IoNoOp6(uint32_t) = 0;
};
