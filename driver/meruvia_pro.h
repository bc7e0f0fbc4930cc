// The driver object: the last parse error, the serial port, and the host's two interfaces
// IDriverConfig and IDriverIo as sub-objects, beside the automation face it inherits.
#pragma once

#include <cstdint>

#include "addressing/register_table.h"
#include "driver/cmd_target.h"
#include "driver/module_state.h"
#include "host/host_interfaces.h"
#include "host/host_records.h"
#include "serial/serial_port.h"

class CMeruviaPro;
inline size_t MeruviaProConfigOffset();
inline size_t MeruviaProIoOffset();

// The host's two interfaces, as sub-objects of the driver object: each entry hands over to
// the driver's method of the same name. The entries the host defines but this driver has
// nothing to do for accept their arguments and succeed.
class XDriverConfig : public SubObject<IDriverConfig, CMeruviaPro, MeruviaProConfigOffset> {
public:
    int32_t STDMETHODCALLTYPE GetRegisterTable(const char* unused, const RegisterEntry** rows,
                                               int32_t* count) override;
    int32_t STDMETHODCALLTYPE NoOp4(uint32_t, uint32_t, uint32_t) override { return 1; }
    uint16_t STDMETHODCALLTYPE ParseTagAddress(const TagDef* tag, TagAddress* address) override;
    int32_t STDMETHODCALLTYPE NoOp6(uint32_t, uint32_t, uint32_t) override { return 1; }
    int32_t STDMETHODCALLTYPE OpenPort(uint32_t unused, const PortConfig* config) override;
    int32_t STDMETHODCALLTYPE ClosePort() override;
    int32_t STDMETHODCALLTYPE NoOp9(uint32_t, uint32_t, uint32_t) override { return 1; }
    int32_t STDMETHODCALLTYPE CanJoinBlock(const TagAddress* tag, int32_t kind, IoBlock* block) override;
    int32_t STDMETHODCALLTYPE NoOp11(uint32_t) override { return 1; }
    int32_t STDMETHODCALLTYPE ParseDeviceAddress(const char* text, int32_t* device) override;
    const char* STDMETHODCALLTYPE GetErrorText() override;
};

class XDriverIo : public SubObject<IDriverIo, CMeruviaPro, MeruviaProIoOffset> {
public:
    int32_t STDMETHODCALLTYPE WriteBlock(const IoBlock* block) override;
    int32_t STDMETHODCALLTYPE SetPortHandle(const PortHandleRecord* record) override;
    int32_t STDMETHODCALLTYPE IoNoOp5(uint32_t, uint32_t, uint32_t) override { return 1; }
    int32_t STDMETHODCALLTYPE IoNoOp6(uint32_t) override { return 1; }
};

static_assert(sizeof(XDriverConfig) == sizeof(void*), "a sub-object is one table pointer");
static_assert(sizeof(XDriverIo) == sizeof(void*), "a sub-object is one table pointer");

class CMeruviaPro : public CCmdTarget {
    // The object's first member: the module stays loaded from before anything of the
    // object is set up until after everything of it is gone.
    ModuleLock m_moduleLock;

public:
    static const CRuntimeClass kRuntimeClass;
    // The run-time record's create function: a new object with one reference, or null
    // when storage is exhausted.
    static CCmdTarget* CreateObject();

    CMeruviaPro();
    ~CMeruviaPro() override;
    const CRuntimeClass* GetRuntimeClass() const override { return &kRuntimeClass; }

    // IDriverConfig
    int32_t GetRegisterTable(const char* unused, const RegisterEntry** rows, int32_t* count);
    uint16_t ParseTagAddress(const TagDef* tag, TagAddress* address);
    int32_t OpenPort(uint32_t unused, const PortConfig* config);
    int32_t ClosePort();
    int32_t CanJoinBlock(const TagAddress* tag, int32_t kind, IoBlock* block);
    int32_t ParseDeviceAddress(const char* text, int32_t* device);
    const char* GetErrorText();

    // IDriverIo
    int32_t WriteBlock(const IoBlock* block);
    int32_t SetPortHandle(const PortHandleRecord* record);

    // 1 when every byte went out to the port held, 0 otherwise.
    int32_t WritePort(const uint8_t* data, int32_t length);

    // 0 is also "register name wrong": a host that asks for the text before any refusal
    // gets that text, as it always has, since no success clears the code either.
    int32_t m_nErrorCode = 0;
    XDriverConfig m_xDriverConfig;
    XDriverIo m_xDriverIo;
    // Opened by OpenPort (closed when replaced or when the object goes away) or handed over
    // by SetPortHandle (closed only by ClosePort).
    SerialPort m_port;

private:
    void ReleasePortOpenedHere();
    void TraceOpen(const char* name, const PortConfig* config, bool opened, DWORD error);
    void TraceWrite(const uint8_t* frame, int32_t length, int32_t written, LARGE_INTEGER start);
};

inline size_t MeruviaProConfigOffset() { return MERUVIA_SUBOBJECT_OFFSET(CMeruviaPro, m_xDriverConfig); }
inline size_t MeruviaProIoOffset() { return MERUVIA_SUBOBJECT_OFFSET(CMeruviaPro, m_xDriverIo); }
