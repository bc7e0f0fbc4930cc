// Each slot finds the driver object from its sub-object and calls the matching method.
#include "driver/meruvia_pro_tables.h"

#include "driver/meruvia_pro.h"

namespace {

size_t ConfigOffset() { return MERUVIA_SUBOBJECT_OFFSET(CMeruviaPro, m_xDriverConfig); }
size_t IoOffset() { return MERUVIA_SUBOBJECT_OFFSET(CMeruviaPro, m_xDriverIo); }

using Config = UnknownSlots<CMeruviaPro, ConfigOffset>;
using Io = UnknownSlots<CMeruviaPro, IoOffset>;

// Slots of the host's interfaces this driver has nothing to do for: accept and succeed.
int32_t STDMETHODCALLTYPE NoOpOf3(void*, uint32_t, uint32_t, uint32_t) { return 1; }
int32_t STDMETHODCALLTYPE NoOpOf1(void*, uint32_t) { return 1; }

int32_t STDMETHODCALLTYPE GetRegisterTable(void* s, const char* unused, const RegisterEntry** rows,
                                           int32_t* count) {
    return Config::Self(s)->GetRegisterTable(unused, rows, count);
}
uint16_t STDMETHODCALLTYPE ParseTagAddress(void* s, const TagDef* tag, TagAddress* address) {
    return Config::Self(s)->ParseTagAddress(tag, address);
}
int32_t STDMETHODCALLTYPE OpenPort(void* s, uint32_t unused, const PortConfig* config) {
    return Config::Self(s)->OpenPort(unused, config);
}
int32_t STDMETHODCALLTYPE ClosePort(void* s) { return Config::Self(s)->ClosePort(); }
int32_t STDMETHODCALLTYPE CanJoinBlock(void* s, const TagAddress* tag, int32_t kind, IoBlock* block) {
    return Config::Self(s)->CanJoinBlock(tag, kind, block);
}
int32_t STDMETHODCALLTYPE ParseDeviceAddress(void* s, const char* text, int32_t* device) {
    return Config::Self(s)->ParseDeviceAddress(text, device);
}
const char* STDMETHODCALLTYPE GetErrorText(void* s) { return Config::Self(s)->GetErrorText(); }

int32_t STDMETHODCALLTYPE WriteBlock(void* s, const IoBlock* block) {
    return Io::Self(s)->WriteBlock(block);
}
int32_t STDMETHODCALLTYPE SetPortHandle(void* s, const PortHandleRecord* record) {
    return Io::Self(s)->SetPortHandle(record);
}

} // namespace

const DriverConfigTable kDriverConfigTable = {
    Config::QueryInterface,
    Config::AddRef,
    Config::Release,
    GetRegisterTable,   // 3
    NoOpOf3,            // 4
    ParseTagAddress,    // 5
    NoOpOf3,            // 6
    OpenPort,           // 7
    ClosePort,          // 8
    NoOpOf3,            // 9
    CanJoinBlock,       // 10
    NoOpOf1,            // 11
    ParseDeviceAddress, // 12
    GetErrorText,       // 13
};

const DriverIoTable kDriverIoTable = {
    Io::QueryInterface,
    Io::AddRef,
    Io::Release,
    WriteBlock,    // 3
    SetPortHandle, // 4
    NoOpOf3,       // 5
    NoOpOf1,       // 6
};
