// The POSIX serial backend on real pseudo-terminals.
#include "serial/serial_link.h"
#include "serial/serial_port.h"
#include "serial/serial_read_wait.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/time.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "pty_pair.h"

namespace {

const LineSettings k9600_8N1 = {9600, DataBits::Eight, Parity::None, StopBits::One};

class SerialLink : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty_.ok()); }
    void TearDown() override { CloseSerialPort(port_); }

    // The port, or kNoSerialHandle when it did not open.
    SerialHandle Open(const LineSettings& settings = k9600_8N1) {
        return OpenSerialPort(pty_.path().c_str(), settings).port;
    }

    PtyPair pty_;
    SerialHandle port_ = kNoSerialHandle;
};

// Linux's pseudo-terminal driver forces CS8 and clears PARENB whatever is asked, so of the
// character format a pty shows the speed, the stop bits and the parity kind (PARODD,
// CMSPAR); the data bits and whether parity is on at all cannot be seen here.
TEST_F(SerialLink, LineSettingsReachThePort) {
    struct Case {
        LineSettings settings;
        speed_t speed;
        tcflag_t parityKind; // PARODD | CMSPAR bits expected
        bool twoStopBits;
    } const cases[] = {
        {{9600, DataBits::Eight, Parity::None, StopBits::One}, B9600, 0, false},
        {{19200, DataBits::Seven, Parity::Even, StopBits::Two}, B19200, 0, true},
        {{115200, DataBits::Eight, Parity::Odd, StopBits::One}, B115200, PARODD, false},
        {{4800, DataBits::Eight, Parity::Mark, StopBits::One}, B4800, PARODD | CMSPAR, false},
        {{2400, DataBits::Five, Parity::Space, StopBits::Two}, B2400, CMSPAR, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings.baudRate);
        const SerialHandle port = Open(c.settings);
        ASSERT_NE(kNoSerialHandle, port);
        const termios t = pty_.SlaveSettings();
        EXPECT_EQ(c.speed, cfgetospeed(&t));
        EXPECT_EQ(c.parityKind, t.c_cflag & (PARODD | CMSPAR));
        EXPECT_EQ(c.twoStopBits, (t.c_cflag & CSTOPB) != 0);
        CloseSerialPort(port);
    }
}

// Each refusal says why, leaves nothing open and hands back no port.
TEST_F(SerialLink, RefusalsSayWhy) {
    const LineSettings noSuchSpeed = {12345, DataBits::Eight, Parity::None, StopBits::One};
    const std::string tooLong = "/dev/" + std::string(5000, 'x');
    struct Case {
        const char* what;
        std::string name;
        LineSettings settings;
        SerialOpenFailure failure;
        int error;
    } const cases[] = {
        {"speed", pty_.path(), noSuchSpeed, SerialOpenFailure::SettingsRefused, EINVAL},
        {"absent", "/dev/no-such-serial-port", k9600_8N1, SerialOpenFailure::NoSuchPort, ENOENT},
        {"long name", tooLong, k9600_8N1, SerialOpenFailure::NoSuchPort, ENAMETOOLONG},
        {"not a terminal", "/dev/null", k9600_8N1, SerialOpenFailure::NotSerial, ENOTTY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SerialOpenResult result = OpenSerialPort(c.name.c_str(), c.settings);
        EXPECT_FALSE(result.opened());
        EXPECT_EQ(kNoSerialHandle, result.port);
        EXPECT_EQ(c.failure, result.failure);
        EXPECT_EQ(static_cast<uint32_t>(c.error), result.systemError) << strerror(static_cast<int>(result.systemError));
    }
}

TEST_F(SerialLink, BytesArriveAsTheyAre) {
    port_ = Open();
    ASSERT_NE(kNoSerialHandle, port_);
    const std::string frame = "=005.10-\n\r";
    EXPECT_EQ(static_cast<int32_t>(frame.size()),
              WriteSerialPort(port_, reinterpret_cast<const uint8_t*>(frame.data()),
                              static_cast<int32_t>(frame.size())));
    EXPECT_EQ(frame, pty_.Read(frame.size()));
}

TEST_F(SerialLink, HeldExclusively) {
    port_ = Open();
    ASSERT_NE(kNoSerialHandle, port_);
    const SerialOpenResult again = OpenSerialPort(pty_.path().c_str(), k9600_8N1);
    EXPECT_EQ(kNoSerialHandle, again.port);
    EXPECT_EQ(SerialOpenFailure::InUse, again.failure);
}

// Nobody reads the master: the line's buffer fills, and then a write must give up after
// 60 ms per byte: not hang the caller, and not give up early either (a display that is
// merely slow must get its frame).
TEST_F(SerialLink, StalledLineGivesUpAfterTheTimeOut) {
    port_ = Open();
    ASSERT_NE(kNoSerialHandle, port_);
    const uint8_t frame[8] = {'=', '0', '0', '0', '.', '0', '0', '0'};
    bool stalled = false;
    for (int i = 0; i < 100000 && !stalled; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const int32_t written = WriteSerialPort(port_, frame, 8);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        EXPECT_LE(ms, 8 * 60 + 200);
        stalled = written < 8;
        if (stalled) {
            EXPECT_GE(ms, 8 * 60 * 8 / 10) << "a failing write waits about its whole time-out";
        }
    }
    EXPECT_TRUE(stalled) << "the line never filled up";
}

TEST_F(SerialLink, OpeningClearsWhatWaitsOnTheLine) {
    ASSERT_TRUE(pty_.SendFromFarEnd("stale input"));
    port_ = Open();
    ASSERT_NE(kNoSerialHandle, port_);
    EXPECT_EQ(0, pty_.PendingAtPort()) << "bytes received before the open are dropped";
}

TEST_F(SerialLink, RefusedSettingsLeaveThePortFree) {
    EXPECT_EQ(kNoSerialHandle, Open({12345, DataBits::Eight, Parity::None, StopBits::One}));
    port_ = Open();
    EXPECT_NE(kNoSerialHandle, port_) << "nothing still holds the line";
}

TEST_F(SerialLink, ClosedFarEndFails) {
    port_ = Open();
    ASSERT_NE(kNoSerialHandle, port_);
    pty_.CloseMaster();
    const uint8_t frame[8] = {'=', '0', '0', '0', '.', '0', '0', '0'};
    EXPECT_EQ(-1, WriteSerialPort(port_, frame, 8));
}

} // namespace

namespace {

// Another process holding the line keeps this one out.
TEST_F(SerialLink, HeldByAnotherProcess) {
    int ready[2];
    int release[2];
    ASSERT_EQ(0, pipe(ready));
    ASSERT_EQ(0, pipe(release));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const SerialHandle held = Open();
        const char ok = held != kNoSerialHandle ? '1' : '0';
        (void)!write(ready[1], &ok, 1);
        char c;
        (void)!read(release[0], &c, 1);
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(1, read(ready[0], &ok, 1));
    ASSERT_EQ('1', ok);
    EXPECT_EQ(SerialOpenFailure::InUse, OpenSerialPort(pty_.path().c_str(), k9600_8N1).failure);
    (void)!write(release[1], "x", 1);
    int status = 0;
    waitpid(child, &status, 0);
    port_ = Open();
    EXPECT_NE(kNoSerialHandle, port_) << "free again once the other process let go";
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        close(fd);
}

} // namespace

namespace {

// Who closes the port: one opened here is closed when replaced or released, one adopted
// stays open until closed outright, and a port handed back as adopted is not closed.
class HeldPort : public SerialLink {
protected:
    // Whether the descriptor is still open.
    static bool IsOpen(SerialHandle port) { return fcntl(port, F_GETFD) != -1; }
    bool Writes(const SerialPort& port) {
        static const uint8_t kFrame[8] = {'=', '0', '0', '0', '.', '0', '0', '0'};
        return WriteSerialPort(port.handle(), kFrame, 8) == 8 && pty_.Read(8).size() == 8;
    }
};

TEST_F(HeldPort, AdoptingTheVeryPortOpenedHereKeepsItOpen) {
    SerialPort port;
    ASSERT_TRUE(port.Open(pty_.path().c_str(), k9600_8N1).opened());
    const SerialHandle opened = port.handle();
    EXPECT_FALSE(port.Adopt(opened)) << "nothing closed";
    EXPECT_FALSE(port.openedHere());
    EXPECT_TRUE(Writes(port));
    EXPECT_FALSE(port.ReleaseOpenedHere()) << "the host's now";
    EXPECT_TRUE(IsOpen(opened));
    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(IsOpen(opened));
}

TEST_F(HeldPort, AdoptingAnotherPortClosesTheOneOpenedHere) {
    SerialPort port;
    ASSERT_TRUE(port.Open(pty_.path().c_str(), k9600_8N1).opened());
    const SerialHandle opened = port.handle();
    PtyPair other;
    ASSERT_TRUE(other.ok());
    const SerialHandle hosts = OpenSerialPort(other.path().c_str(), k9600_8N1).port;
    ASSERT_NE(kNoSerialHandle, hosts);
    EXPECT_TRUE(port.Adopt(hosts));
    EXPECT_FALSE(IsOpen(opened));
    {
        SerialPort released;
        released.Adopt(hosts);
    }
    EXPECT_TRUE(IsOpen(hosts)) << "going away leaves the host's port open";
    CloseSerialPort(hosts);
}

TEST_F(HeldPort, FailedOpenKeepsThePortHeld) {
    SerialPort port;
    ASSERT_TRUE(port.Open(pty_.path().c_str(), k9600_8N1).opened());
    const SerialHandle opened = port.handle();
    EXPECT_EQ(SerialOpenFailure::NoSuchPort, port.Open("/dev/no-such-serial-port", k9600_8N1).failure);
    EXPECT_EQ(opened, port.handle());
    EXPECT_TRUE(port.openedHere());
    EXPECT_TRUE(Writes(port));
}

TEST_F(HeldPort, ReopeningReplacesAndFreesTheLine) {
    SerialHandle first = kNoSerialHandle;
    {
        SerialPort port;
        ASSERT_TRUE(port.Open(pty_.path().c_str(), k9600_8N1).opened());
        first = port.handle();
        PtyPair other;
        ASSERT_TRUE(port.Open(other.path().c_str(), k9600_8N1).opened());
        EXPECT_FALSE(IsOpen(first)) << "the port opened before is closed";
    }
    port_ = Open();
    EXPECT_NE(kNoSerialHandle, port_) << "nothing still holds the first line";
}

} // namespace

namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The reading end. The line starts the way a terminal starts (line editing, echo, signal
// characters, CR to NL, XON/XOFF), as a device just plugged in would; the open makes it raw.
class SerialRead : public SerialLink {
protected:
    void SetUp() override {
        SerialLink::SetUp();
        termios cooked = pty_.SlaveSettings();
        cooked.c_iflag |= ICRNL | IXON | BRKINT;
        cooked.c_lflag |= ICANON | ECHO | ECHOE | ECHOK | ISIG | IEXTEN;
        ASSERT_TRUE(pty_.SetSlaveSettings(cooked));
        port_ = Open();
        ASSERT_NE(kNoSerialHandle, port_);
    }

    static constexpr uint8_t kUntouched = 0xA5;

    // One read into a buffer with room to spare past `capacity`: what came is in `got`, and
    // nothing may be written beyond `capacity`.
    int32_t Read(std::string& got, int32_t capacity, uint32_t timeoutMs) {
        std::vector<uint8_t> buffer(256, kUntouched);
        const int32_t n = ReadSerialPort(port_, buffer.data(), capacity, timeoutMs);
        got.assign(buffer.begin(), buffer.begin() + (n > 0 ? n : 0));
        for (size_t i = static_cast<size_t>(capacity > 0 ? capacity : 0); i < buffer.size(); ++i) {
            if (buffer[i] != kUntouched) {
                ADD_FAILURE() << "written past the capacity at " << i;
                break;
            }
        }
        return n;
    }
};

TEST_F(SerialRead, WhatArrivesIsReadAsItCame) {
    struct Case {
        const char* what;
        std::vector<std::string> sent; // each arrives before the next is sent
        int32_t capacity;
        std::vector<std::string> reads; // one read each, in order
    } const cases[] = {
        {"a frame", {"=005.10-"}, 64, {"=005.10-"}},
        {"two sends, read together", {"=005", ".10-"}, 64, {"=005.10-"}},
        {"more than fits", {"=005.10-"}, 3, {"=00", "5.1", "0-"}},
        {"one byte at a time", {"=0-"}, 1, {"=", "0", "-"}},
        {"bytes a terminal acts on", {std::string("=\r\n\x11\x13\x03\x04\x7f\x1a\0-", 11)}, 64,
         {std::string("=\r\n\x11\x13\x03\x04\x7f\x1a\0-", 11)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& bytes : c.sent)
            EXPECT_TRUE(pty_.SendFromFarEnd(bytes)) << "all arrived at the port";
        for (const std::string& expected : c.reads) {
            std::string got;
            EXPECT_EQ(static_cast<int32_t>(expected.size()), Read(got, c.capacity, 1000));
            EXPECT_EQ(expected, got);
        }
        std::string rest;
        EXPECT_EQ(0, Read(rest, 64, 0)) << "left over: " << rest;
    }
    EXPECT_EQ("", pty_.Read(1, 100)) << "nothing is echoed back to the far end";
}

// A read that is waiting takes what has come as soon as it comes, not a full buffer.
TEST_F(SerialRead, BytesArrivingDuringTheWaitEndIt) {
    std::thread farEnd([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        (void)!write(pty_.master(), "=005", 4);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        (void)!write(pty_.master(), ".10-", 4);
    });
    const auto start = Clock::now();
    std::string first;
    const int32_t n = Read(first, 64, 5000);
    const int64_t ms = MsSince(start);
    std::string second;
    const int32_t m = Read(second, 64, 5000);
    farEnd.join();
    EXPECT_EQ(4, n);
    EXPECT_EQ("=005", first);
    EXPECT_LT(ms, 4000) << "returned once bytes came, well before the time-out";
    EXPECT_EQ(4, m);
    EXPECT_EQ(".10-", second);
}

// Nothing comes: the read waits about its time, then says 0 and leaves the buffer alone.
TEST_F(SerialRead, NothingInTimeReadsNothing) {
    for (const uint32_t timeoutMs : {0u, 50u, 300u}) {
        SCOPED_TRACE(timeoutMs);
        const auto start = Clock::now();
        std::string got;
        EXPECT_EQ(0, Read(got, 64, timeoutMs));
        EXPECT_GE(MsSince(start), timeoutMs * 8 / 10);
    }
}

void Ignore(int) {}

// A signal in the middle of the wait neither ends it nor fails it.
TEST_F(SerialRead, AnInterruptedWaitCarriesOn) {
    struct sigaction quiet = {};
    quiet.sa_handler = Ignore; // no SA_RESTART: poll() comes back with EINTR
    struct sigaction before = {};
    ASSERT_EQ(0, sigaction(SIGALRM, &quiet, &before));
    itimerval soon = {};
    soon.it_value.tv_usec = 50 * 1000;
    ASSERT_EQ(0, setitimer(ITIMER_REAL, &soon, nullptr));
    const auto start = Clock::now();
    std::string got;
    const int32_t n = Read(got, 64, 300);
    const int64_t ms = MsSince(start);
    sigaction(SIGALRM, &before, nullptr);
    EXPECT_EQ(0, n);
    EXPECT_GE(ms, 300 * 8 / 10);
}

// The far end closed: the read fails with EIO straight away, not after its time-out.
TEST_F(SerialRead, HungUpLineFails) {
    pty_.CloseMaster();
    const auto start = Clock::now();
    std::string got;
    errno = 0;
    EXPECT_EQ(-1, Read(got, 64, 3000));
    EXPECT_EQ(EIO, errno) << strerror(errno);
    EXPECT_LT(MsSince(start), 2000);
}

// With bytes waiting on the line, each bad argument fails, says why, and takes nothing.
TEST_F(SerialRead, BadArgumentsFail) {
    ASSERT_TRUE(pty_.SendFromFarEnd("=005.10-"));
    const int notOpen = open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(notOpen, 0);
    close(notOpen);
    uint8_t buffer[16] = {};
    struct Case {
        const char* what;
        SerialHandle port;
        uint8_t* buffer;
        int32_t capacity;
        int error;
    } const cases[] = {
        {"no port", kNoSerialHandle, buffer, 16, EINVAL},
        {"no buffer", port_, nullptr, 16, EINVAL},
        {"no room", port_, buffer, 0, EINVAL},
        {"negative room", port_, buffer, -8, EINVAL},
        {"a descriptor not open", notOpen, buffer, 16, EBADF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        errno = 0;
        EXPECT_EQ(-1, ReadSerialPort(c.port, c.buffer, c.capacity, 100));
        EXPECT_EQ(c.error, errno) << strerror(errno);
    }
    std::string got;
    EXPECT_EQ(8, Read(got, 64, 1000));
    EXPECT_EQ("=005.10-", got) << "the bytes are still there for a good read";
}

// How the Windows backend asks its port to wait: any byte ends the wait, no wait returns
// what is there, and the longest wait is never taken for "for ever".
TEST(SerialReadWait, WindowsWaitsForAnyByteUpToTheTimeOut) {
    constexpr uint32_t kMax = UINT32_MAX;
    struct Case {
        uint32_t timeoutMs;
        SerialReadWait wait;
    } const cases[] = {
        {0, {kMax, 0, 0}},
        {1, {kMax, kMax, 1}},
        {500, {kMax, kMax, 500}},
        {kMax - 1, {kMax, kMax, kMax - 1}},
        {kMax, {kMax, kMax, kMax - 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.timeoutMs);
        const SerialReadWait wait = SerialReadWaitFor(c.timeoutMs);
        EXPECT_EQ(c.wait.interval, wait.interval);
        EXPECT_EQ(c.wait.multiplier, wait.multiplier);
        EXPECT_EQ(c.wait.constant, wait.constant);
    }
}

} // namespace
