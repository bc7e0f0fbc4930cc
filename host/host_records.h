// Records the host lays out and passes to the driver. The host is built separately, so
// every field the driver touches sits at a fixed byte offset; the bytes in between belong
// to the host and are never read or written here, and no total size is assumed (the
// structs end at their last field the driver uses).
#pragma once

#include <cstddef>
#include <cstdint>

struct RegisterEntry;

// One tag as the user configured it.
struct TagDef {
    uint8_t reserved0[0x20];
    char szRegister[128]; // register text, such as "N"
    uint16_t nDataType;   // host data-type bits
};

// The parsed address of one tag.
struct TagAddress {
    uint8_t reserved0[0x26];
    uint16_t nDevice; // station address, filled by the host
    uint8_t reserved1[0x04];
    const RegisterEntry* pRegister; // matched row inside the driver's table
    uint16_t nRegister;             // index of that row
    uint8_t reserved2[0x06];
    int16_t nAddress;   // index after the register name, 0 for a single register
    uint16_t nDataType; // copy of TagDef::nDataType, written on acceptance only
};

struct ItemNode;

// A block of consecutive addresses the host exchanges at once.
struct IoBlock {
    uint8_t reserved0[0x02];
    uint16_t nDevice;
    uint8_t reserved1[0x0C];
    uint16_t nRegister;
    uint8_t reserved2[0x06];
    int32_t nFirst;
    int32_t nLast;
    int16_t nKind; // 0 makes WriteBlock send nothing
    uint8_t reserved3[0x06];
    const ItemNode* pItems;
};

struct TagValue;

struct ItemNode {
    uint8_t reserved0[0x08];
    const TagValue* pTag;
};

struct TagValue {
    uint8_t reserved0[0x08];
    float fValue;
};

// Serial settings of one line.
struct PortConfig {
    uint8_t reserved0[0x04];
    char szPortName[32];
    uint32_t nBaudRate;
    uint16_t nDataBits; // low byte used
    int16_t nStopBits;  // 1 or 2
    uint16_t nParity;   // low byte used: 0 none, 1 odd, 2 even, 3 mark, 4 space
};

// Argument of SetPortHandle: its first 32-bit field is an open port handle.
struct PortHandleRecord {
    void* hPort;
};

#if UINTPTR_MAX == 0xFFFFFFFFu
// The host's layout, as a 32-bit process sees it.
static_assert(offsetof(TagDef, szRegister) == 0x20);
static_assert(offsetof(TagDef, nDataType) == 0xA0);
static_assert(offsetof(TagAddress, nDevice) == 0x26);
static_assert(offsetof(TagAddress, pRegister) == 0x2C);
static_assert(offsetof(TagAddress, nRegister) == 0x30);
static_assert(offsetof(TagAddress, nAddress) == 0x38);
static_assert(offsetof(TagAddress, nDataType) == 0x3A);
static_assert(offsetof(IoBlock, nDevice) == 0x02);
static_assert(offsetof(IoBlock, nRegister) == 0x10);
static_assert(offsetof(IoBlock, nFirst) == 0x18);
static_assert(offsetof(IoBlock, nLast) == 0x1C);
static_assert(offsetof(IoBlock, nKind) == 0x20);
static_assert(offsetof(IoBlock, pItems) == 0x28);
static_assert(offsetof(ItemNode, pTag) == 0x08);
static_assert(offsetof(TagValue, fValue) == 0x08);
static_assert(offsetof(PortConfig, szPortName) == 0x04);
static_assert(offsetof(PortConfig, nBaudRate) == 0x24);
static_assert(offsetof(PortConfig, nDataBits) == 0x28);
static_assert(offsetof(PortConfig, nStopBits) == 0x2A);
static_assert(offsetof(PortConfig, nParity) == 0x2C);
static_assert(offsetof(PortHandleRecord, hPort) == 0x00);
#endif
