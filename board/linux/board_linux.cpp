// The device build: every call goes to the operating system unchanged.
#include <fcntl.h>
#include <linux/netlink.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "board/board.h"

namespace board {

std::string path(const std::string& devicePath) {
    return devicePath;
}

int open(const char* node, int flags, mode_t mode) {
    return ::open(node, flags, mode);
}
int close(int fd) {
    return ::close(fd);
}
int ioctl(int fd, unsigned long request, void* arg) {
    return ::ioctl(fd, request, arg);
}
ssize_t read(int fd, void* buf, size_t count) {
    return ::read(fd, buf, count);
}
ssize_t write(int fd, const void* buf, size_t count) {
    return ::write(fd, buf, count);
}
ssize_t pread(int fd, void* buf, size_t count, off_t offset) {
    return ::pread(fd, buf, count, offset);
}
ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset) {
    return ::pwrite(fd, buf, count, offset);
}
off_t lseek(int fd, off_t offset, int whence) {
    return ::lseek(fd, offset, whence);
}
void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
    return ::mmap(addr, length, prot, flags, fd, offset);
}
int munmap(void* addr, size_t length) {
    return ::munmap(addr, length);
}

int tcgetattr(int fd, struct termios* tio) {
    return ::tcgetattr(fd, tio);
}
int tcsetattr(int fd, int action, const struct termios* tio) {
    return ::tcsetattr(fd, action, tio);
}
int tcflush(int fd, int queue) {
    return ::tcflush(fd, queue);
}
int tcdrain(int fd) {
    return ::tcdrain(fd);
}

void mmio_write16(volatile uint16_t* reg, uint16_t value) {
    *reg = value;
}
uint16_t mmio_read16(const volatile uint16_t* reg) {
    return *reg;
}

int system(const char* command) {
    return ::system(command);
}

int ueventSocket() {
    int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    if (fd < 0)
        return -1;
    sockaddr_nl addr;
    std::memset(&addr, 0, sizeof addr);
    addr.nl_family = AF_NETLINK;
    addr.nl_pid = 0;  // the kernel assigns a unique port id
    addr.nl_groups = 1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void usleep(unsigned int microseconds) {
    ::usleep(microseconds);
}
void msleep(unsigned int milliseconds) {
    ::usleep(milliseconds * 1000u);
}
unsigned int waitMicroseconds(unsigned int microseconds) {
    return microseconds;
}

uint16_t tcpPort(uint16_t devicePort) {
    return devicePort;
}
uint16_t udpPort(uint16_t devicePort) {
    return devicePort;
}

const char* defaultPlatform() {
    return "linuxfb";
}

void programStarting() {}

std::tm localTime() {
    std::tm local{};
    const std::time_t now = std::time(nullptr);
    localtime_r(&now, &local);
    return local;
}

}  // namespace board
