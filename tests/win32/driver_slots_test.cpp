// The host interfaces, called slot by slot through their table pointers on a driver object
// made by MERUVIA.DLL: a slot in the wrong place or with the wrong calling convention
// fails here.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "code_page_936.h"
#include "driver_client.h"
#include "host/one_value_block.h"
#include "host/port_config.h"
#include "record_fixture.h"

namespace {

// Slot numbers as the host's interface definitions give them.
enum ConfigSlot {
    kQueryInterface = 0,
    kAddRef = 1,
    kRelease = 2,
    kGetRegisterTable = 3,
    kNoOp4 = 4,
    kParseTagAddress = 5,
    kNoOp6 = 6,
    kOpenPort = 7,
    kClosePort = 8,
    kNoOp9 = 9,
    kCanJoinBlock = 10,
    kNoOp11 = 11,
    kParseDeviceAddress = 12,
    kGetErrorText = 13,
};
enum IoSlot { kWriteBlock = 3, kSetPortHandle = 4, kIoNoOp5 = 5, kIoNoOp6 = 6 };

const std::string kRegisterNameText = ToCodePage936(u8"寄存器名字错误!");
const std::string kAddressRangeText = ToCodePage936(u8"地址范围越界!");
const std::string kDataTypeText = ToCodePage936(u8"数据类型不对，请参考Readme文件!");

class DriverSlots : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(nullptr, dll_.module());
        config_ = dll_.Create<IDriverConfig>(IID_IDriverConfig);
        ASSERT_NE(nullptr, config_);
        ASSERT_EQ(S_OK, config_->QueryInterface(IID_IDriverIo, reinterpret_cast<void**>(&io_)));
    }
    void TearDown() override {
        if (io_ != nullptr)
            io_->Release();
        if (config_ != nullptr)
            config_->Release();
    }

    std::string ErrorText() {
        return reinterpret_cast<const char*>(CallSlot(config_, kGetErrorText, {}));
    }

    MeruviaDll dll_;
    IDriverConfig* config_ = nullptr;
    IDriverIo* io_ = nullptr;
};

TEST_F(DriverSlots, GetRegisterTableHandsOutTheOneRow) {
    for (const char* text : {static_cast<const char*>(nullptr), "", "whatever"}) {
        const RegisterEntry* rows = nullptr;
        int32_t count = -1;
        EXPECT_EQ(1u, CallSlot(config_, kGetRegisterTable, {Arg(text), Arg(&rows), Arg(&count)}));
        ASSERT_NE(nullptr, rows);
        EXPECT_EQ(1, count);
        EXPECT_STREQ("N", rows[0].szName);
        EXPECT_EQ(0x0080, rows[0].nTypeMask);
    }
}

TEST_F(DriverSlots, ParseTagAddressReturns16BitsAndFillsTheRecord) {
    const RegisterEntry* rows = nullptr;
    int32_t count = 0;
    CallSlot(config_, kGetRegisterTable, {0, Arg(&rows), Arg(&count)});

    TagDef tag{};
    strcpy(tag.szRegister, " N ");
    tag.nDataType = 0x0081;
    PatternFilled<TagAddress> address;
    EXPECT_EQ(0u, CallSlot(config_, kParseTagAddress, {Arg(&tag), Arg(&*address)}) & 0xFFFF);
    EXPECT_EQ(rows, address->pRegister);
    EXPECT_EQ(0, address->nRegister);
    EXPECT_EQ(0, address->nAddress);
    EXPECT_EQ(0x0081, address->nDataType);
    EXPECT_TRUE(address.Untouched(0, offsetof(TagAddress, pRegister)));
    EXPECT_EQ(kRegisterNameText, ErrorText()) << "a fresh object reports code 0";

    tag.nDataType = 0x0001;
    PatternFilled<TagAddress> rejected;
    EXPECT_EQ(1u, CallSlot(config_, kParseTagAddress, {Arg(&tag), Arg(&*rejected)}) & 0xFFFF);
    EXPECT_TRUE(rejected.OnlyWritten({FIELD_OF(TagAddress, pRegister),
                                      FIELD_OF(TagAddress, nRegister),
                                      FIELD_OF(TagAddress, nAddress)}));
    EXPECT_EQ(kDataTypeText, ErrorText());
}

TEST_F(DriverSlots, ParseDeviceAddressAndTheLastError) {
    int32_t device = -1;
    EXPECT_EQ(1u, CallSlot(config_, kParseDeviceAddress, {Arg("255"), Arg(&device)}));
    EXPECT_EQ(255, device);
    EXPECT_EQ(kRegisterNameText, ErrorText());

    device = -1;
    EXPECT_EQ(0u, CallSlot(config_, kParseDeviceAddress, {Arg("256"), Arg(&device)}));
    EXPECT_EQ(-1, device);
    const uint32_t first = CallSlot(config_, kGetErrorText, {});
    EXPECT_EQ(first, CallSlot(config_, kGetErrorText, {})) << "asking twice changes nothing";
    EXPECT_EQ(kAddressRangeText, ErrorText());

    // Successes do not clear the last rejection.
    EXPECT_EQ(1u, CallSlot(config_, kParseDeviceAddress, {Arg("7"), Arg(&device)}));
    EXPECT_EQ(7, device);
    EXPECT_EQ(kAddressRangeText, ErrorText());
}

TEST_F(DriverSlots, CanJoinBlockWidensTheBlock) {
    TagAddress tag{};
    tag.nAddress = 5;
    IoBlock block{};
    block.nFirst = 20;
    block.nLast = 30;
    EXPECT_EQ(1u, CallSlot(config_, kCanJoinBlock, {Arg(&tag), 0, Arg(&block)}));
    EXPECT_EQ(5, block.nFirst);
    EXPECT_EQ(0u, CallSlot(config_, kCanJoinBlock, {Arg(&tag), 1, Arg(&block)}));
}

TEST_F(DriverSlots, NoActionSlotsSucceedAndTouchNothing) {
    int32_t device = 0;
    CallSlot(config_, kParseDeviceAddress, {Arg("x"), Arg(&device)}); // leaves code 2
    for (uint32_t v : {0u, 1u, 0xFFFFFFFFu}) {
        EXPECT_EQ(1u, CallSlot(config_, kNoOp4, {v, v, v}));
        EXPECT_EQ(1u, CallSlot(config_, kNoOp6, {v, v, v}));
        EXPECT_EQ(1u, CallSlot(config_, kNoOp9, {v, v, v}));
        EXPECT_EQ(1u, CallSlot(config_, kNoOp11, {v}));
        EXPECT_EQ(1u, CallSlot(io_, kIoNoOp5, {v, v, v}));
        EXPECT_EQ(1u, CallSlot(io_, kIoNoOp6, {v}));
    }
    EXPECT_EQ(kAddressRangeText, ErrorText());
}

TEST_F(DriverSlots, PortAndOutputSlots) {
    // A block of kind 0 sends nothing and needs no items.
    IoBlock idle{};
    EXPECT_EQ(1u, CallSlot(io_, kWriteBlock, {Arg(&idle)}));

    // With no port a frame cannot go out, and the host is told so.
    const OneValueBlock block(1.5f);
    EXPECT_EQ(0u, CallSlot(io_, kWriteBlock, {Arg(block.get())}));

    PortConfig config;
    ASSERT_TRUE(MakePortConfig("COM97", 9600, 8, 1, 0, config)); // not mapped in the test prefix
    EXPECT_EQ(0u, CallSlot(config_, kOpenPort, {0, Arg(&config)}));
    EXPECT_EQ(0u, CallSlot(config_, kOpenPort, {12345, Arg(&config)}));

    PortHandleRecord record{INVALID_HANDLE_VALUE};
    EXPECT_EQ(1u, CallSlot(io_, kSetPortHandle, {Arg(&record)}));
    EXPECT_EQ(1u, CallSlot(config_, kClosePort, {}));
    EXPECT_EQ(1u, CallSlot(config_, kClosePort, {}));
}

TEST_F(DriverSlots, ProbeNoticesAWrongArgumentCount) {
    // NoOp11 takes one argument; pushing three leaves two on the stack. This is what makes
    // every CallSlot above a check of the slot's shape.
    void** table = *reinterpret_cast<void***>(config_);
    const uint32_t args[] = {Arg(config_), 1, 2, 3};
    int32_t stackLeft = 0;
    CallWithStackCheck(table[kNoOp11], args, 4, &stackLeft);
    EXPECT_EQ(8, stackLeft);
}

TEST_F(DriverSlots, UnknownSlotsReachTheSameObject) {
    void* io = nullptr;
    EXPECT_EQ(static_cast<uint32_t>(S_OK),
              CallSlot(config_, kQueryInterface, {Arg(&IID_IDriverIo), Arg(&io)}));
    EXPECT_EQ(static_cast<void*>(io_), io);
    EXPECT_EQ(4u, CallSlot(io_, kAddRef, {}));
    EXPECT_EQ(3u, CallSlot(config_, kRelease, {}));
    EXPECT_EQ(2u, CallSlot(io_, kRelease, {}));
}

} // namespace
