#include "board/sim/usb_stick.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace sim {
namespace {

const Registration registration("usb-stick", [] { return std::make_shared<UsbStick>(); });

const char kMount[] = "/mnt/usb1";
const char kStorage[] = "/proc/scsi/usb-storage";
const std::string kPort = "/devices/platform/soc/ehci/usb1/1-1";
const std::string kHost = kPort + "/1-1:1.0/host0";
const std::string kDisk = kHost + "/target0:0:0/0:0:0:0";

// The device nodes of one stick with one partition, in the order the kernel adds them.
struct DeviceNode {
    std::string path;
    const char* subsystem;
    const char* devtype;  // empty: none
    const char* devname;  // empty: none
    int minor;            // of major 8; -1: no device number
};
const std::vector<DeviceNode>& nodes() {
    static const std::vector<DeviceNode> list = {
        {kPort, "usb", "usb_device", "", -1},
        {kPort + "/1-1:1.0", "usb", "usb_interface", "", -1},
        {kHost, "scsi", "scsi_host", "", -1},
        {kHost + "/scsi_host/host0", "scsi_host", "", "", -1},
        {kHost + "/target0:0:0", "scsi", "scsi_target", "", -1},
        {kDisk, "scsi", "scsi_device", "", -1},
        {kDisk + "/scsi_disk/0:0:0:0", "scsi_disk", "", "", -1},
        {kDisk + "/scsi_device/0:0:0:0", "scsi_device", "", "", -1},
        {kDisk + "/scsi_generic/sg0", "scsi_generic", "", "sg0", -1},
        {kDisk + "/bsg/0:0:0:0", "bsg", "", "", -1},
        {"/devices/virtual/bdi/8:0", "bdi", "", "", -1},
        {kDisk + "/block/sda", "block", "disk", "sda", 0},
        {kDisk + "/block/sda/sda1", "block", "partition", "sda1", 1},
    };
    return list;
}
// The usb-storage host comes with node 2 and goes with it.
constexpr size_t kHostNode = 2;

std::string underRoot(const std::string& devicePath) {
    return root() + devicePath;
}

void emptyFolder(const std::string& folder) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        fs::remove_all(entry.path(), ec);
}

}  // namespace

std::vector<std::string> UsbStick::plugHeaders() {
    std::vector<std::string> headers;
    for (const DeviceNode& node : nodes())
        headers.push_back("add@" + node.path);
    return headers;
}

std::string UsbStick::message(const std::string& action, size_t index) {
    const DeviceNode& node = nodes().at(index);
    static std::atomic<unsigned long> seqnum{1000};
    std::string text = action + "@" + node.path + '\0';
    auto line = [&text](const std::string& key, const std::string& value) {
        text += key + "=" + value + '\0';
    };
    line("ACTION", action);
    line("DEVPATH", node.path);
    line("SUBSYSTEM", node.subsystem);
    if (*node.devtype)
        line("DEVTYPE", node.devtype);
    if (node.minor >= 0) {
        line("MAJOR", "8");
        line("MINOR", std::to_string(node.minor));
    }
    if (*node.devname)
        line("DEVNAME", node.devname);
    line("SEQNUM", std::to_string(++seqnum));
    return text;
}

bool UsbStick::insert(const std::string& folder) {
    std::error_code ec;
    const fs::path source = fs::canonical(folder, ec);
    if (ec || !fs::is_directory(source))
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (inserted_)
        removeLocked();
    for (size_t i = 0; i < nodes().size(); ++i) {
        injectUevent(message("add", i));
        if (i == kHostNode)
            fs::create_directories(underRoot(kStorage), ec);
    }
    // The partition is mounted once the kernel has announced it.
    const std::string mount = underRoot(kMount);
    fs::create_directories(mount, ec);
    emptyFolder(mount);
    fs::copy(source, mount,
             fs::copy_options::recursive | fs::copy_options::copy_symlinks |
                 fs::copy_options::overwrite_existing,
             ec);
    inserted_ = true;
    return true;
}

void UsbStick::remove() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (inserted_)
        removeLocked();
}

void UsbStick::removeLocked() {
    emptyFolder(underRoot(kMount));
    for (size_t i = nodes().size(); i-- > 0;) {
        injectUevent(message("remove", i));
        if (i == kHostNode) {
            std::error_code ec;
            fs::remove_all(underRoot(kStorage), ec);
        }
    }
    inserted_ = false;
}

bool UsbStick::inserted() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return inserted_;
}

void watchUsbStick() {
    static std::once_flag started;
    std::call_once(started, [] {
        std::thread([] {
            std::string watchedRoot;
            bool present = false;
            for (;;) {
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                const std::string now = root();
                if (now != watchedRoot) {
                    watchedRoot = now;
                    present = false;
                }
                std::error_code ec;
                const fs::path watched = fs::path(now) / UsbStick::kWatchedPath;
                const bool there = fs::is_directory(watched, ec);
                if (there == present)
                    continue;
                present = there;
                auto stick = get<UsbStick>("usb-stick");
                if (!stick)
                    continue;
                if (there)
                    stick->insert(watched.string());
                else
                    stick->remove();
            }
        }).detach();
    });
}

}  // namespace sim
