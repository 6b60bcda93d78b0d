#include "board/sim/serial_port.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "board/board.h"
#include "board/sim/bounded_log.h"

namespace sim {
namespace {

Registration ttyS1("/dev/ttyS1", [] { return std::make_shared<SerialPort>("/dev/ttyS1"); });
Registration ttyS2("/dev/ttyS2", [] { return std::make_shared<SerialPort>("/dev/ttyS2"); });

}  // namespace

SerialPort::SerialPort(std::string node) : node_(std::move(node)) {}

SerialPort::~SerialPort() {
    std::lock_guard<std::mutex> lock(mutex_);
    closeLocked();
}

int SerialPort::open(const std::string&, int flags) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (master_ >= 0) {
        errno = EBUSY;
        return -1;
    }
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        if (master >= 0)
            ::close(master);
        return -1;
    }
    const char* name = ::ptsname(master);
    // The PC's side stays open here, so the program's end never reads a hang-up while no
    // tool is connected; it starts raw so nothing the program sends is echoed back.
    int pc = name ? ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC) : -1;
    if (pc < 0) {
        ::close(master);
        return -1;
    }
    termios tio;
    ::tcgetattr(pc, &tio);
    cfmakeraw(&tio);
    ::tcsetattr(pc, TCSANOW, &tio);
    if (flags & O_NONBLOCK)
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    std::filesystem::path link = board::path(node_);
    std::error_code ec;
    std::filesystem::create_directories(link.parent_path(), ec);
    std::filesystem::remove(link, ec);
    std::filesystem::create_symlink(name, link, ec);

    master_ = master;
    pc_ = pc;
    rts_ = false;
    return master;
}

void SerialPort::closeLocked() {
    if (pc_ >= 0)
        ::close(pc_);
    pc_ = -1;
    master_ = -1;  // the program closes its own descriptor
    std::error_code ec;
    std::filesystem::remove(board::path(node_), ec);
}

void SerialPort::closed(int) {
    std::lock_guard<std::mutex> lock(mutex_);
    closeLocked();
}

int SerialPort::ioctl(int fd, unsigned long request, void* arg) {
    if (request == TCSBRK && arg) {
        double until;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            until = lineFreeMs_;
        }
        const double wait = until - nowMs();
        if (wait > 0)
            std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(wait));
        return ::ioctl(fd, request, arg);
    }
    if (request != TIOCMBIS && request != TIOCMBIC && request != TIOCMSET && request != TIOCMGET)
        return ::ioctl(fd, request, arg);
    int* bits = static_cast<int*>(arg);
    std::lock_guard<std::mutex> lock(mutex_);
    if (request == TIOCMGET) {
        *bits = rts_ ? TIOCM_RTS : 0;
        return 0;
    }
    bool rts = rts_;
    if (request == TIOCMSET)
        rts = *bits & TIOCM_RTS;
    else if (*bits & TIOCM_RTS)
        rts = request == TIOCMBIS;
    if (rts != rts_)
        appendBounded(events_, Event{rts ? Event::RtsOn : Event::RtsOff, nowMs(), 0, 0});
    rts_ = rts;
    return 0;
}

ssize_t SerialPort::read(int fd, void* buf, size_t count) {
    return ::read(fd, buf, count);
}

ssize_t SerialPort::write(int fd, const void* buf, size_t count) {
    const double perByte = byteMs(fd);
    ssize_t n = ::write(fd, buf, count);
    if (n > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        const double now = nowMs();
        lineFreeMs_ = std::max(lineFreeMs_, now) + perByte * static_cast<double>(n);
        appendBounded(events_, Event{Event::Write, now, static_cast<size_t>(n), lineFreeMs_});
    }
    return n;
}

double SerialPort::byteMs(int fd) {
    struct Speed {
        speed_t code;
        double bps;
    };
    static constexpr Speed kSpeeds[] = {
        {B1200, 1200},     {B2400, 2400},     {B4800, 4800},     {B9600, 9600},
        {B19200, 19200},   {B38400, 38400},   {B57600, 57600},   {B115200, 115200},
        {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
    };
    termios tio;
    if (::tcgetattr(fd, &tio) != 0)
        return 0;
    const speed_t code = cfgetospeed(&tio);
    double bps = 0;
    for (const Speed& s : kSpeeds)
        if (s.code == code)
            bps = s.bps;
    if (bps == 0)
        return 0;
    const tcflag_t size = tio.c_cflag & CSIZE;
    const int data = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
    const int bits = 1 + data + ((tio.c_cflag & PARENB) ? 1 : 0) + ((tio.c_cflag & CSTOPB) ? 2 : 1);
    return 1000.0 * bits / bps;
}

int SerialPort::pcFd() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pc_;
}

std::string SerialPort::pcPath() const {
    return board::path(node_);
}

bool SerialPort::rts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return rts_;
}

std::vector<SerialPort::Event> SerialPort::events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

void SerialPort::clearEvents() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
}

}  // namespace sim
