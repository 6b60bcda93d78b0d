// What a finished file transfer or a file deletion tells the screens. The protocol
// handler runs on a transport thread; the screens are reached on the GUI thread only, each
// through its global pointer tested there.
#pragma once

#include <functional>

enum class FileNotice {
    RecoveryWritten,
    ScanWritten,
    RecoveryDeleted,
    ScanDeleted,
};

// Queues deliver_file_notice to the GUI thread (nothing while no application exists: no
// screen can be open then).
void post_file_notice(FileNotice notice);
// On the GUI thread: has the screen in front that lists the files refreshed.
void deliver_file_notice(FileNotice notice);
// The screens' refresh, installed by the screen floor at start-up before the threads run.
void set_file_notice_screens(std::function<void(FileNotice)> refresh);
// Called on the GUI thread after every delivery (tests watch the hand-over with it).
void set_file_notice_listener(std::function<void(FileNotice)> listener);
