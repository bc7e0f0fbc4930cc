// The driver object: the last parse error, the serial port, and the host's two interfaces
// IDriverConfig and IDriverIo as sub-objects, beside the automation face it inherits.
#pragma once

#include <cstdint>

#include "addressing/register_table.h"
#include "driver/cmd_target.h"
#include "driver/host_records.h"
#include "serial/serial_link.h"

// The port write the driver makes; a test may replace it to make a write fall short.
extern int32_t (*g_pfnWriteSerialPort)(SerialHandle port, const uint8_t* data, int32_t length);

class CMeruviaPro : public CCmdTarget {
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

    // Parses against any register table; ParseTagAddress uses the driver's own.
    uint16_t ParseRegisterText(const TagDef& tag, TagAddress& address, const RegisterEntry* rows,
                               int32_t rowCount);
    // 1 when every byte went out to the port held, 0 otherwise.
    int32_t WritePort(const uint8_t* data, int32_t length);

    int32_t m_nErrorCode = 0;
    SerialHandle m_hComm = kNoSerialHandle;
    SubObject m_xDriverConfig;
    SubObject m_xDriverIo;
    // Whether m_hComm came from OpenPort: such a port is closed when it is replaced or the
    // object goes away; a port the host handed over is closed only by ClosePort.
    bool m_bPortOpenedHere = false;

private:
    void ReleasePortOpenedHere();
    void TraceOpen(const char* name, const LineSettings& settings, bool opened);
    void TraceWrite(const uint8_t* frame, int32_t length, int32_t written, LARGE_INTEGER start);
};
