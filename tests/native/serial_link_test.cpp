// The POSIX serial backend on real pseudo-terminals.
#include "serial/serial_link.h"
#include "serial/serial_port.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

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
