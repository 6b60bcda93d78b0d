// A USB stick in the device's USB port, as the program sees one arrive and go.
//
// Plugging a stick (a folder of this PC) goes as on the device: the kernel's uevents for
// the USB device, its storage interface and SCSI host ("/proc/scsi/usb-storage" appears
// with the host), the disk and its partition sda1; then the system mounts the partition,
// so the folder's files appear under "/mnt/usb1/". Pulling it goes in reverse: the files
// go (unmounted), then the uevents of the removal, the SCSI host's last.
//
// The running simulated program plugs a stick when a folder (or a link to one) appears at
// "<root>/usb-stick", and pulls it when that goes; tests call insert and remove.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "board/sim/sim.h"

namespace sim {

class UsbStick : public Part {
public:
    // The path under the root that the running program watches.
    static constexpr const char* kWatchedPath = "usb-stick";

    // Plugs the folder's contents in as a stick; a stick already in is pulled first.
    // False when the folder cannot be read.
    bool insert(const std::string& folder);
    // Pulls the stick out; nothing when none is in.
    void remove();
    bool inserted() const;

    // The uevent headers ("add@/devices/...") of a plug, in the kernel's order.
    static std::vector<std::string> plugHeaders();
    // One uevent as the kernel sends it: the header, then its key=value lines, each ended
    // by a NUL.
    static std::string message(const std::string& action, size_t node);

private:
    void removeLocked();

    mutable std::mutex mutex_;
    bool inserted_ = false;
};

// Starts the watch of "<root>/usb-stick" (once per process).
void watchUsbStick();

}  // namespace sim
