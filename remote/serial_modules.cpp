#include "remote/serial_modules.h"

#include <errno.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "core/global.h"

namespace {

struct Speed {
    int bps;
    speed_t code;
};

constexpr Speed kSpeeds[] = {{9600, B9600},     {19200, B19200},   {38400, B38400},
                             {57600, B57600},   {115200, B115200}, {230400, B230400},
                             {460800, B460800}, {921600, B921600}};

bool speed_code(int bps, speed_t* code) {
    for (const Speed& s : kSpeeds) {
        if (s.bps == bps) {
            *code = s.code;
            return true;
        }
    }
    return false;
}

// Waits until fd is ready for events, at most timeout_ms, or until wake_fd (when not -1)
// is readable. 1 ready, 0 time-out or woken, -1 error.
int wait_ready(int fd, short events, int timeout_ms, int wake_fd = -1) {
    pollfd p[2] = {{fd, events, 0}, {wake_fd, POLLIN, 0}};
    int n;
    do {
        n = ::poll(p, 2, timeout_ms);
    } while (n < 0 && errno == EINTR);
    if (n > 0 && (p[0].revents & (POLLERR | POLLNVAL)))
        return -1;
    return n > 0 && p[0].revents ? 1 : 0;
}

}  // namespace

serial_modules::~serial_modules() {
    usart_close();
}

int serial_modules::usart1_init(int port, int bps, int flags) {
    usart_close();
    speed_t code;
    if (!speed_code(bps, &code)) {
        printf("\n serial speed %d not supported\n", bps);
        return -1;
    }
    char node[32];
    snprintf(node, sizeof node, "/dev/ttyS%d", port);
    int fd = board::open(node, flags);
    if (fd < 0) {
        printf("\n open %s error: %s\n", node, strerror(errno));
        return -1;
    }
    termios tio;
    memset(&tio, 0, sizeof tio);
    if (board::tcgetattr(fd, &tio) != 0) {
        printf("\n %s is no serial port\n", node);
        board::close(fd);
        return -1;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, code);
    cfsetospeed(&tio, code);
    board::tcflush(fd, TCIOFLUSH);
    if (board::tcsetattr(fd, TCSANOW, &tio) != 0) {
        printf("\n set up %s error: %s\n", node, strerror(errno));
        board::close(fd);
        return -1;
    }
    fd_ = fd;
    set_rts(true);
    if (debugOn())
        printf("\n %s open at %d 8N1, fd = %d\n", node, bps, fd);
    return fd;
}

void serial_modules::usart_close() {
    if (fd_ >= 0)
        board::close(fd_);
    fd_ = -1;
}

void serial_modules::set_rts(bool on) {
    int bits = TIOCM_RTS;
    board::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits);
}

size_t serial_modules::usart_send(const u8* data, size_t len) {
    if (fd_ < 0)
        return 0;
    set_rts(false);
    board::msleep(2);
    size_t sent = 0;
    while (sent < len) {
        ssize_t n = board::write(fd_, data + sent, len - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
        if (wait_ready(fd_, POLLOUT, 1000) <= 0)
            break;
    }
    board::tcdrain(fd_);
    set_rts(true);
    return sent;
}

int serial_modules::usart_recv(u8* buf, size_t n, int timeout_ms, int wake_fd) {
    if (fd_ < 0)
        return -1;
    int ready = wait_ready(fd_, POLLIN, timeout_ms, wake_fd);
    if (ready <= 0)
        return ready;
    ssize_t got = board::read(fd_, buf, n);
    if (got < 0)
        return errno == EAGAIN || errno == EINTR ? 0 : -1;
    return static_cast<int>(got);
}
