// The entries of the driver object's IDriverConfig and IDriverIo sub-objects. Kept apart
// from the methods they hand over to, so that each entry stays a jump to its method rather
// than a second copy of it.
#include "driver/meruvia_pro.h"

int32_t XDriverConfig::GetRegisterTable(const char* unused, const RegisterEntry** rows, int32_t* count) {
    return owner()->GetRegisterTable(unused, rows, count);
}
uint16_t XDriverConfig::ParseTagAddress(const TagDef* tag, TagAddress* address) {
    return owner()->ParseTagAddress(tag, address);
}
int32_t XDriverConfig::OpenPort(uint32_t unused, const PortConfig* config) {
    return owner()->OpenPort(unused, config);
}
int32_t XDriverConfig::ClosePort() { return owner()->ClosePort(); }
int32_t XDriverConfig::CanJoinBlock(const TagAddress* tag, int32_t kind, IoBlock* block) {
    return owner()->CanJoinBlock(tag, kind, block);
}
int32_t XDriverConfig::ParseDeviceAddress(const char* text, int32_t* device) {
    return owner()->ParseDeviceAddress(text, device);
}
const char* XDriverConfig::GetErrorText() { return owner()->GetErrorText(); }

int32_t XDriverIo::WriteBlock(const IoBlock* block) { return owner()->WriteBlock(block); }
int32_t XDriverIo::SetPortHandle(const PortHandleRecord* record) { return owner()->SetPortHandle(record); }
