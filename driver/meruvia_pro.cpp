#include "driver/meruvia_pro.h"

#include <cstring>

#include "addressing/block_rule.h"
#include "addressing/device_address.h"
#include "addressing/error_codes.h"
#include "addressing/register_parser.h"
#include "display/display_frame.h"
#include "host/host_interfaces.h"
#include "host/port_config.h"
#include "driver/driver_seams.h"
#include "driver/module_state.h"
#include "driver/trace.h"

int32_t (*g_pfnWriteSerialPort)(SerialHandle, const uint8_t*, int32_t) = WriteSerialPort;

namespace {

const InterfaceMapEntry kInterfaceMap[] = {
    {&IID_IMeruviaPro, MERUVIA_SUBOBJECT_OFFSET(CMeruviaPro, m_xDispatch)},
    {&IID_IDriverConfig, MERUVIA_SUBOBJECT_OFFSET(CMeruviaPro, m_xDriverConfig)},
    {&IID_IDriverIo, MERUVIA_SUBOBJECT_OFFSET(CMeruviaPro, m_xDriverIo)},
    {nullptr, 0},
};

} // namespace

const CRuntimeClass CMeruviaPro::kRuntimeClass = {
    "CMeruviaPro", static_cast<int>(sizeof(CMeruviaPro)), &CMeruviaPro::CreateObject,
    &kCmdTargetRuntimeClass};

CCmdTarget* CMeruviaPro::CreateObject() { return new CMeruviaPro; }

CMeruviaPro::CMeruviaPro() : CCmdTarget(kInterfaceMap) { EnableAutomation(); }

// The port is released here, while the trace can still name the object; the module lock
// goes after it, last of all.
CMeruviaPro::~CMeruviaPro() { ReleasePortOpenedHere(); }

int32_t CMeruviaPro::GetRegisterTable(const char*, const RegisterEntry** rows, int32_t* count) {
    *rows = kRegisterTable;
    *count = kRegisterCount;
    return 1;
}

uint16_t CMeruviaPro::ParseTagAddress(const TagDef* tag, TagAddress* address) {
    const uint16_t rejected = ::ParseRegisterText(*tag, *address, kRegisterTable, kRegisterCount, m_nErrorCode);
    if (rejected != 0 && TraceOn()) {
        char text[4 * sizeof tag->szRegister + 1];
        HostTextToUtf8(tag->szRegister, sizeof tag->szRegister, text, sizeof text);
        TraceLine(this, "tag \"%s\" (data type 0x%04X) refused: %s (error code %ld)", text, tag->nDataType,
                  ErrorMeaningFor(m_nErrorCode), static_cast<long>(m_nErrorCode));
    }
    return rejected;
}

int32_t CMeruviaPro::ParseDeviceAddress(const char* text, int32_t* device) {
    if (ReadDeviceAddress(text, *device))
        return 1;
    m_nErrorCode = kErrAddressRange;
    if (TraceOn()) {
        char given[4 * 127 + 1];
        HostTextToUtf8(text, 127, given, sizeof given);
        TraceLine(this, "device address \"%s\" refused: %s (error code %ld)", given,
                  ErrorMeaningFor(m_nErrorCode), static_cast<long>(m_nErrorCode));
    }
    return 0;
}

const char* CMeruviaPro::GetErrorText() { return ErrorTextFor(m_nErrorCode); }

int32_t CMeruviaPro::CanJoinBlock(const TagAddress* tag, int32_t kind, IoBlock* block) {
    return JoinTagToBlock(*tag, kind, *block);
}

int32_t CMeruviaPro::OpenPort(uint32_t, const PortConfig* config) {
    // The name is read no further than its field, terminated or not.
    char name[sizeof config->szPortName + 1] = {};
    memcpy(name, config->szPortName, strnlen(config->szPortName, sizeof config->szPortName));

    LineSettings settings = {config->nBaudRate, DataBits::Eight, Parity::None, MapStopBits(config->nStopBits)};
    if (!MapDataBits(config->nDataBits, settings.dataBits) || !MapParity(config->nParity, settings.parity)) {
        // A setting no port takes: refused before any port is touched.
        SetLastError(ERROR_INVALID_PARAMETER);
        if (TraceOn())
            TraceOpen(name, config, false, ERROR_INVALID_PARAMETER);
        return 0;
    }
    const SerialOpenResult result = m_port.Open(name, settings);
    if (TraceOn())
        TraceOpen(name, config, result.opened(), result.systemError);
    return result.opened() ? 1 : 0;
}

int32_t CMeruviaPro::ClosePort() {
    if (m_port.Close())
        TraceLine(this, "port closed");
    return 1;
}

int32_t CMeruviaPro::SetPortHandle(const PortHandleRecord* record) {
    const SerialHandle adopted = static_cast<SerialHandle>(record->hPort);
    if (m_port.Adopt(adopted))
        TraceLine(this, "port closed: replaced or released");
    TraceLine(this, "port handle %p adopted from the host", static_cast<void*>(adopted));
    return 1;
}

void CMeruviaPro::ReleasePortOpenedHere() {
    if (m_port.ReleaseOpenedHere())
        TraceLine(this, "port closed: replaced or released");
}

int32_t CMeruviaPro::WritePort(const uint8_t* data, int32_t length) {
    if (data == nullptr || length <= 0 || !m_port.held())
        return 0;
    // The bytes go out from a private, terminated copy, as they always have: a port driver
    // that reads past the length or holds on to the buffer never sees the caller's memory.
    const SIZE_T size = static_cast<SIZE_T>(length) + 2;
    auto* copy = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, size));
    if (copy == nullptr)
        return 0;
    memcpy(copy, data, static_cast<size_t>(length));
    copy[length] = 0;
    LARGE_INTEGER start = {};
    if (TraceOn())
        QueryPerformanceCounter(&start);
    const int32_t written = g_pfnWriteSerialPort(m_port.handle(), copy, length);
    if (TraceOn())
        TraceWrite(copy, length, written, start);
    HeapFree(GetProcessHeap(), 0, copy);
    return written == length ? 1 : 0;
}

// The settings as the host gave them, so that a refused value shows as it was.
void CMeruviaPro::TraceOpen(const char* name, const PortConfig* config, bool opened, DWORD error) {
    const unsigned parityCode = config->nParity & 0xFFu;
    const char parity = parityCode < sizeof kParityLetters - 1 ? kParityLetters[parityCode] : '?';
    const int stopBits = MapStopBits(config->nStopBits) == StopBits::Two ? 2 : 1;
    const unsigned long baud = config->nBaudRate;
    const unsigned dataBits = config->nDataBits & 0xFFu;
    char shownName[4 * sizeof config->szPortName];
    HostTextToUtf8(name, sizeof config->szPortName, shownName, sizeof shownName);
    if (opened) {
        TraceLine(this, "port %s opened, %lu baud %u%c%d", shownName, baud, dataBits, parity, stopBits);
        return;
    }
    char reason[600];
    DescribeWindowsError(error, reason, sizeof reason);
    TraceLine(this, "port %s not opened, %lu baud %u%c%d: %s", shownName, baud, dataBits, parity, stopBits,
              reason);
}

void CMeruviaPro::TraceWrite(const uint8_t* frame, int32_t length, int32_t written, LARGE_INTEGER start) {
    const DWORD error = GetLastError();
    LARGE_INTEGER end;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    const long ms = static_cast<long>((end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart);
    if (written == length) {
        if (TraceFramesOn())
            TraceLine(this, "frame %.*s sent in %ld ms", static_cast<int>(length),
                      reinterpret_cast<const char*>(frame), ms);
        return;
    }
    char reason[600] = "time-out: the line did not take the bytes";
    if (written < 0)
        DescribeWindowsError(error, reason, sizeof reason);
    TraceLine(this, "frame %.*s not written whole: %ld of %ld bytes in %ld ms, %s", static_cast<int>(length),
              reinterpret_cast<const char*>(frame), static_cast<long>(written < 0 ? 0 : written),
              static_cast<long>(length), ms, reason);
}

// The display shows one value: that of the block's first item. Its four bytes are copied
// as they are: loading the float would run the host's floating-point unit on the host's
// data, where a signalling NaN or a denormal traps under the exception masks some hosts
// run with, and a signalling NaN would be changed into a quiet one.
int32_t CMeruviaPro::WriteBlock(const IoBlock* block) {
    if (block->nKind == 0)
        return 1;
    uint32_t valueBits;
    memcpy(&valueBits, &block->pItems->pTag->fValue, sizeof valueBits);
    const DisplayFrame frame = EncodeDisplayFrame(valueBits);
    return WritePort(frame.bytes, static_cast<int32_t>(kDisplayFrameSize));
}
