// The one way the program reaches the device's hardware, file system and shell.
//
// The device build passes every call straight to the operating system. The simulated
// build maps absolute paths under a root folder, answers device nodes with simulated
// chips and records shell commands instead of running them, so the same program runs
// on an ordinary PC.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace board {

// An absolute path of the device's file system ("/data/...", "/mnt/usb1", "/etc/...")
// as this build reaches it. Relative paths come back unchanged.
std::string path(const std::string& devicePath);

// Device nodes ("/dev/spidev32766.0", "/dev/i2c-0", "/dev/mem", ...). A descriptor is a
// real descriptor, so select() and ::close() on it behave; use board::close all the same.
int open(const char* node, int flags, mode_t mode = 0);
int close(int fd);
int ioctl(int fd, unsigned long request, void* arg);
ssize_t read(int fd, void* buf, size_t count);
ssize_t write(int fd, const void* buf, size_t count);
ssize_t pread(int fd, void* buf, size_t count, off_t offset);
ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset);
off_t lseek(int fd, off_t offset, int whence);
void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset);
int munmap(void* addr, size_t length);

// Serial line settings and the modem lines of a serial descriptor.
int tcgetattr(int fd, struct termios* tio);
int tcsetattr(int fd, int action, const struct termios* tio);
int tcflush(int fd, int queue);
int tcdrain(int fd);

// Stores and loads of a memory-mapped SoC register. Every access to a mapped register
// word goes through these, so that the simulated board sees each change when it happens.
void mmio_write16(volatile uint16_t* reg, uint16_t value);
uint16_t mmio_read16(const volatile uint16_t* reg);

// The only way to run a shell command. Returns what system() returns.
int system(const char* command);

// A datagram socket that delivers the kernel's uevent messages ("add@...", "remove@...").
int ueventSocket();

// The local date and time of the device's clock (the clock that "date" and "hwclock" set).
std::tm localTime();

// Every wait of the program.
void usleep(unsigned int microseconds);
void msleep(unsigned int milliseconds);
// How long a wait for an event, with this time-out, lasts at most on this board: the device
// waits as asked; the simulated board shortens it as it shortens its sleeps.
unsigned int waitMicroseconds(unsigned int microseconds);

// The port a server of the device listens on in this build, for the port the device uses
// (TCP 5005 or the TCP port of the settings; UDP 5008 and 13769). The device build keeps
// every port; the simulated board can move them, so that tests and a running program
// never take each other's ports.
uint16_t tcpPort(uint16_t devicePort);
uint16_t udpPort(uint16_t devicePort);

// The arguments the Qt platform needs on this build when none is given on the command
// line ("-platform linuxfb" on the device).
const char* defaultPlatform();

// Called once when the program itself starts (not a test or benchmark): the simulated
// board then keeps only a short trace of each bus, which no one reads; the device keeps none.
void programStarting();

}  // namespace board
