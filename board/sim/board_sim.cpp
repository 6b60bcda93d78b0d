// The board calls of the simulated build, and the registry of the board's parts.
#include <errno.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QJsonDocument>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

#include "board/board.h"
#include "board/sim/bounded_log.h"
#include "board/sim/command_runner.h"
#include "board/sim/sim.h"
#include "board/sim/soc_window.h"
#include "board/sim/usb_stick.h"

namespace sim {
namespace {

struct Registry {
    std::recursive_mutex mutex;
    std::map<std::string, Factory> factories;
    std::map<std::string, std::shared_ptr<Part>> parts;
    std::map<int, std::shared_ptr<Node>> fds;
    std::vector<std::string> droppedErrors;  // of parts a reset dropped
    std::string root;
    bool sceneSet = false;
    QJsonObject scene;
    std::vector<int> ueventSockets;
};

Registry& registry() {
    static Registry* r = new Registry;  // never destroyed: threads may outlive main
    return *r;
}

// The board's clock is read by models under their own locks, so it takes no lock.
std::atomic<Clock::rep> boardStart{Clock::now().time_since_epoch().count()};
std::atomic<uint64_t> sleepCalls{0};
std::atomic<uint64_t> sleepMicros{0};
std::atomic<unsigned> sleepDivisor{1};

std::string defaultRoot() {
    const char* env = std::getenv("KRX_ROOT");
    if (env && *env)
        return env;
    return (std::filesystem::current_path() / "sim-root").string();
}

}  // namespace

int Node::open(const std::string&, int) {
    return ::open("/dev/null", O_RDWR | O_CLOEXEC);
}
void Node::closed(int) {}
int Node::ioctl(int, unsigned long, void*) {
    errno = ENOTTY;
    return -1;
}
ssize_t Node::read(int, void*, size_t) {
    errno = EIO;
    return -1;
}
ssize_t Node::write(int, const void*, size_t) {
    errno = EIO;
    return -1;
}
ssize_t Node::pread(int, void*, size_t, off_t) {
    errno = ESPIPE;
    return -1;
}
ssize_t Node::pwrite(int, const void*, size_t, off_t) {
    errno = ESPIPE;
    return -1;
}
void* Node::mmap(size_t, off_t) {
    errno = ENODEV;
    return MAP_FAILED;
}

void registerPart(const std::string& name, Factory factory) {
    Registry& r = registry();
    std::lock_guard<std::recursive_mutex> lock(r.mutex);
    r.factories[name] = std::move(factory);
}

std::shared_ptr<Part> part(const std::string& name) {
    Registry& r = registry();
    std::lock_guard<std::recursive_mutex> lock(r.mutex);
    auto found = r.parts.find(name);
    if (found != r.parts.end())
        return found->second;
    auto factory = r.factories.find(name);
    if (factory == r.factories.end())
        return nullptr;
    std::shared_ptr<Part> made = factory->second();
    r.parts[name] = made;
    return made;
}

namespace {

// Called without the registry's lock: a part takes its own.
std::vector<std::string> errorsOf(const std::map<std::string, std::shared_ptr<Part>>& parts) {
    std::vector<std::string> all;
    for (const auto& [name, made] : parts)
        for (const std::string& error : made->protocolErrors())
            all.push_back(name + ": " + error);
    return all;
}

}  // namespace

std::vector<std::string> allProtocolErrors() {
    std::map<std::string, std::shared_ptr<Part>> parts;
    std::vector<std::string> all;
    {
        Registry& r = registry();
        std::lock_guard<std::recursive_mutex> lock(r.mutex);
        parts = r.parts;
        all = r.droppedErrors;
    }
    for (const std::string& error : errorsOf(parts))
        all.push_back(error);
    return all;
}

void clearAllProtocolErrors() {
    std::map<std::string, std::shared_ptr<Part>> parts;
    {
        Registry& r = registry();
        std::lock_guard<std::recursive_mutex> lock(r.mutex);
        parts = r.parts;
        r.droppedErrors.clear();
    }
    for (const auto& entry : parts)
        entry.second->clearProtocolErrors();
}

std::shared_ptr<Node> nodeOf(int fd) {
    Registry& r = registry();
    std::lock_guard<std::recursive_mutex> lock(r.mutex);
    auto found = r.fds.find(fd);
    return found == r.fds.end() ? nullptr : found->second;
}

void setRoot(const std::string& root) {
    Registry& r = registry();
    std::lock_guard<std::recursive_mutex> lock(r.mutex);
    r.root = root;
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
}

std::string root() {
    Registry& r = registry();
    std::lock_guard<std::recursive_mutex> lock(r.mutex);
    if (r.root.empty()) {
        r.root = defaultRoot();
        std::error_code ec;
        std::filesystem::create_directories(r.root, ec);
    }
    return r.root;
}

void reset() {
    Registry& r = registry();
    std::map<std::string, std::shared_ptr<Part>> dropped;
    {
        std::lock_guard<std::recursive_mutex> lock(r.mutex);
        dropped.swap(r.parts);
        for (int fd : r.ueventSockets)
            ::close(fd);
        r.ueventSockets.clear();
    }
    std::vector<std::string> errors = errorsOf(dropped);
    {
        std::lock_guard<std::recursive_mutex> lock(r.mutex);
        for (std::string& error : errors)
            appendBounded(r.droppedErrors, std::move(error));
    }
    dropped.clear();  // parts may lock the registry while they go
    boardStart = Clock::now().time_since_epoch().count();
    sleepCalls = 0;
    sleepMicros = 0;
    sleepDivisor = 1;
    clearCommandRules();
}

QJsonObject scene() {
    Registry& r = registry();
    std::lock_guard<std::recursive_mutex> lock(r.mutex);
    if (!r.sceneSet) {
        r.sceneSet = true;
        const char* env = std::getenv("KRX_SCENE");
        if (env && *env) {
            QFile file(env);
            if (file.open(QIODevice::ReadOnly))
                r.scene = QJsonDocument::fromJson(file.readAll()).object();
        }
    }
    return r.scene;
}

void setScene(const QJsonObject& scene) {
    Registry& r = registry();
    std::lock_guard<std::recursive_mutex> lock(r.mutex);
    r.sceneSet = true;
    r.scene = scene;
}

bool loadScene(const std::string& file) {
    QFile in(QString::fromStdString(file));
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QJsonParseError error;
    QJsonDocument doc = QJsonDocument::fromJson(in.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    setScene(doc.object());
    return true;
}

double nowMs() {
    Clock::time_point start{Clock::duration{boardStart.load()}};
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

SleepStats sleepStats() {
    SleepStats stats;
    stats.calls = sleepCalls;
    stats.requestedMicroseconds = sleepMicros;
    return stats;
}

void setSleepDivisor(unsigned divisor) {
    sleepDivisor = divisor ? divisor : 1;
}

void injectUevent(const std::string& message) {
    Registry& r = registry();
    std::lock_guard<std::recursive_mutex> lock(r.mutex);
    for (int fd : r.ueventSockets)
        ::send(fd, message.data(), message.size(), MSG_DONTWAIT);
}

}  // namespace sim

namespace board {

std::string path(const std::string& devicePath) {
    if (devicePath.empty() || devicePath[0] != '/')
        return devicePath;
    return sim::root() + devicePath;
}

int open(const char* node, int flags, mode_t mode) {
    std::shared_ptr<sim::Node> model = std::dynamic_pointer_cast<sim::Node>(sim::part(node));
    if (!model) {
        if (std::string(node).rfind("/dev/", 0) == 0) {
            errno = ENOENT;
            return -1;
        }
        return ::open(path(node).c_str(), flags, mode);
    }
    int fd = model->open(node, flags);
    if (fd < 0)
        return fd;
    sim::Registry& r = sim::registry();
    std::lock_guard<std::recursive_mutex> lock(r.mutex);
    r.fds[fd] = model;
    return fd;
}

int close(int fd) {
    std::shared_ptr<sim::Node> model;
    {
        sim::Registry& r = sim::registry();
        std::lock_guard<std::recursive_mutex> lock(r.mutex);
        auto found = r.fds.find(fd);
        if (found != r.fds.end()) {
            model = found->second;
            r.fds.erase(found);
        }
    }
    if (model)
        model->closed(fd);
    return ::close(fd);
}

int ioctl(int fd, unsigned long request, void* arg) {
    std::shared_ptr<sim::Node> model = sim::nodeOf(fd);
    if (model)
        return model->ioctl(fd, request, arg);
    return ::ioctl(fd, request, arg);
}

ssize_t read(int fd, void* buf, size_t count) {
    std::shared_ptr<sim::Node> model = sim::nodeOf(fd);
    return model ? model->read(fd, buf, count) : ::read(fd, buf, count);
}

ssize_t write(int fd, const void* buf, size_t count) {
    std::shared_ptr<sim::Node> model = sim::nodeOf(fd);
    return model ? model->write(fd, buf, count) : ::write(fd, buf, count);
}

ssize_t pread(int fd, void* buf, size_t count, off_t offset) {
    std::shared_ptr<sim::Node> model = sim::nodeOf(fd);
    return model ? model->pread(fd, buf, count, offset) : ::pread(fd, buf, count, offset);
}

ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset) {
    std::shared_ptr<sim::Node> model = sim::nodeOf(fd);
    return model ? model->pwrite(fd, buf, count, offset) : ::pwrite(fd, buf, count, offset);
}

off_t lseek(int fd, off_t offset, int whence) {
    return ::lseek(fd, offset, whence);
}

void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
    std::shared_ptr<sim::Node> model = sim::nodeOf(fd);
    if (model)
        return model->mmap(length, offset);
    return ::mmap(addr, length, prot, flags, fd, offset);
}

int munmap(void* addr, size_t length) {
    if (sim::SocWindow::owns(addr))
        return 0;
    return ::munmap(addr, length);
}

// Serial nodes that are pseudo-terminals answer termios calls themselves; the modem-line
// ioctls (RTS) go to their model through board::ioctl.
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
    // A drain is the ioctl the C library makes of it, so that a serial model sees it.
    if (sim::nodeOf(fd))
        return ioctl(fd, TCSBRK, reinterpret_cast<void*>(1));
    return ::tcdrain(fd);
}

// On the board a register word is stored and loaded whole and in program order; here the
// simulated chips read and drive the same words from other threads, so each access is one
// atomic access, ordered as the device's register accesses are.
void mmio_write16(volatile uint16_t* reg, uint16_t value) {
    __atomic_store_n(reg, value, __ATOMIC_RELEASE);
    sim::SocWindow::stored(reg, value);
}

uint16_t mmio_read16(const volatile uint16_t* reg) {
    sim::SocWindow::loading(reg);
    return __atomic_load_n(reg, __ATOMIC_ACQUIRE);
}

int system(const char* command) {
    return sim::runCommand(command ? command : "");
}

int ueventSocket() {
    // Whoever listens to uevents can be handed a stick.
    sim::watchUsbStick();
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, pair) < 0)
        return -1;
    sim::Registry& r = sim::registry();
    std::lock_guard<std::recursive_mutex> lock(r.mutex);
    r.ueventSockets.push_back(pair[1]);
    return pair[0];
}

void usleep(unsigned int microseconds) {
    sim::sleepCalls++;
    sim::sleepMicros += microseconds;
    std::this_thread::sleep_for(std::chrono::microseconds(microseconds / sim::sleepDivisor));
}

void msleep(unsigned int milliseconds) {
    usleep(milliseconds * 1000u);
}

unsigned int waitMicroseconds(unsigned int microseconds) {
    sim::sleepCalls++;
    sim::sleepMicros += microseconds;
    return microseconds / sim::sleepDivisor;
}

const char* defaultPlatform() {
    const char* display = std::getenv("DISPLAY");
    return (display && *display) ? "xcb" : "vnc";
}

void programStarting() {
    sim::logLimit() = sim::kProgramLogLimit;
}

}  // namespace board
