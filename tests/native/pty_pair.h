// A pseudo-terminal pair for serial tests: the code under test opens the slave by its path,
// the test reads and controls the master. The test keeps a slave descriptor of its own so
// that the line exists (and its settings can be read) whatever the code under test does.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

class PtyPair {
public:
    PtyPair() {
        char name[128] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) == 0) {
            path_ = name;
            termios raw;
            tcgetattr(slave_, &raw);
            cfmakeraw(&raw);
            tcsetattr(slave_, TCSANOW, &raw);
        }
    }
    ~PtyPair() {
        CloseMaster();
        if (slave_ >= 0)
            close(slave_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0; }
    const std::string& path() const { return path_; }
    int master() const { return master_; }

    void CloseMaster() {
        if (master_ >= 0)
            close(master_);
        master_ = -1;
    }

    // Bytes waiting to be read at the port's end (sent by the far end before anyone read).
    int PendingAtPort() const {
        int n = -1;
        ioctl(slave_, FIONREAD, &n);
        return n;
    }
    // Puts bytes on the line as if the far end had sent them, and waits until they are
    // there, after any already waiting (a pty moves bytes between its ends a moment later).
    bool SendFromFarEnd(const std::string& bytes) const {
        const int expected = PendingAtPort() + static_cast<int>(bytes.size());
        (void)!write(master_, bytes.data(), bytes.size());
        for (int i = 0; i < 200 && PendingAtPort() < expected; ++i)
            poll(nullptr, 0, 5);
        return PendingAtPort() == expected;
    }

    termios SlaveSettings() const {
        termios t{};
        tcgetattr(slave_, &t);
        return t;
    }
    bool SetSlaveSettings(const termios& t) const { return tcsetattr(slave_, TCSANOW, &t) == 0; }

    // Reads until `count` bytes arrived or `timeoutMs` passed.
    std::string Read(size_t count, int timeoutMs = 2000) const {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0)
                break;
            pollfd p = {master_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0)
                break;
            char buf[256];
            const ssize_t n = read(master_, buf, std::min(sizeof buf, count - got.size()));
            if (n <= 0)
                break;
            got.append(buf, static_cast<size_t>(n));
        }
        return got;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};
