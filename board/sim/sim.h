// The simulated board: what stands in for the device's chips, file system and shell.
//
// Every piece of the board (a device node, a bus, a chip) is a Part registered under a
// name; device nodes are registered under their path ("/dev/mem"). Parts are created on
// first use and dropped by reset(), so each test starts from a fresh board. A model only
// ever sees what crosses its interface (bytes on a bus, register stores): it never calls
// the program's driver code.
#pragma once

#include <sys/types.h>

#include <QJsonObject>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

class Part {
public:
    virtual ~Part() = default;
    // What the part saw on its interface that the real chip or device would not accept (an
    // access outside its register map, a malformed message). Empty for a correct driver.
    virtual std::vector<std::string> protocolErrors() const { return {}; }
    // Forgets them: a test that provoked errors on purpose clears them once it checked them.
    virtual void clearProtocolErrors() {}
};

// A device node. The default behaviour is that of a node that accepts nothing.
class Node : public Part {
public:
    // Returns a real descriptor for the node (by default one on /dev/null) or -1 with errno.
    virtual int open(const std::string& path, int flags);
    virtual void closed(int fd);
    virtual int ioctl(int fd, unsigned long request, void* arg);
    virtual ssize_t read(int fd, void* buf, size_t count);
    virtual ssize_t write(int fd, const void* buf, size_t count);
    virtual ssize_t pread(int fd, void* buf, size_t count, off_t offset);
    virtual ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset);
    virtual void* mmap(size_t length, off_t offset);
};

using Factory = std::function<std::shared_ptr<Part>()>;

// Registers a factory for a part name; used through a static Registration in the part's
// source file.
void registerPart(const std::string& name, Factory factory);
struct Registration {
    Registration(const std::string& name, Factory factory) { registerPart(name, factory); }
};

// The part registered under name, created on first use; null when nothing is registered.
std::shared_ptr<Part> part(const std::string& name);
template <class T>
std::shared_ptr<T> get(const std::string& name) {
    return std::dynamic_pointer_cast<T>(part(name));
}

// Every protocol error of the parts created so far, each prefixed with its part's name;
// those of parts a reset dropped (the newest of them) stay listed until they are cleared.
std::vector<std::string> allProtocolErrors();
void clearAllProtocolErrors();

// The node behind an open descriptor, or null.
std::shared_ptr<Node> nodeOf(int fd);

// Root folder of the simulated file system (default "./sim-root", or KRX_ROOT).
void setRoot(const std::string& root);
std::string root();

// Drops every part (closing nothing the program still holds), so the next use starts
// from power-on state. Tests call it between cases together with setRoot.
void reset();

// The scene: what is plugged in. Parts read their own keys when they are created.
QJsonObject scene();
void setScene(const QJsonObject& scene);
// Loads a scene file (JSON); returns false when it cannot be read.
bool loadScene(const std::string& file);

// Time since the board was (re)started, the clock of every log of the board.
using Clock = std::chrono::steady_clock;
double nowMs();

// Waits of the program (board::usleep/msleep).
struct SleepStats {
    uint64_t calls = 0;
    uint64_t requestedMicroseconds = 0;
};
SleepStats sleepStats();
// Every wait is divided by this factor (1 = real time). Tests shorten long waits with it.
void setSleepDivisor(unsigned divisor);

// Shell commands.
struct Command {
    std::string text;
    int status;     // what system() returned
    bool executed;  // carried out under the root (file commands) or only recorded
};
// The commands run, in order (the newest of a long run).
std::vector<Command> commands();
void clearCommands();
// Commands starting with prefix exit with this code from now on (system() then returns
// exitCode << 8). The longest matching prefix wins.
void setCommandExit(const std::string& prefix, int exitCode);

// Kernel uevents: delivered to every socket returned by board::ueventSocket().
void injectUevent(const std::string& message);

}  // namespace sim
