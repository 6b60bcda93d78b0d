// Card answers waiting to be sent on a transport. The FPGA manager's forward step puts
// them in (on its own thread, or on a transport thread under its pass-through lock); the
// transport thread takes them out and sends them. Both sides go through the list's lock.
// The transport's thread waits for its input and for the list's wake-up descriptor
// together, so that an answer goes out as soon as it is queued.
#pragma once

#include <netinet/in.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include <list>
#include <mutex>

#include "core/types.h"
#include "remote/protocol_phy.h"

// An escaped card answer: answers are at most 1024 bytes before escaping.
constexpr unsigned kPassbyReplyMax = protocol_phy::escaped_size(1024);

struct Uart_Rec_Send_Data {
    int fd;  // the serial descriptor it goes to
    u32 length;
    u8 data[kPassbyReplyMax];
};

struct Tcp_Rec_Send_Data {
    int fd;          // the client socket of the request
    u64 connection;  // and its connection, which a reused socket number does not name
    u32 length;
    u8 data[kPassbyReplyMax];
};

struct Udp_Rec_Send_Data {
    sockaddr_in peer;  // the sender of the request
    bool broadcast;    // the request went to a broadcast address
    u32 length;
    u8 data[kPassbyReplyMax];
};

template <class Record>
class ReplyList {
public:
    ReplyList() : wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~ReplyList() {
        if (wake_ >= 0)
            ::close(wake_);
    }
    ReplyList(const ReplyList&) = delete;
    ReplyList& operator=(const ReplyList&) = delete;

    // Readable while an answer waits (-1 when none could be made: the transport then finds
    // the answer at its next turn).
    int wake_fd() const { return wake_; }

    // Only the newest answer is kept: an older one that was not sent yet is dropped.
    void replace(const Record& record) {
        std::lock_guard<std::mutex> lock(mutex_);
        list_.clear();
        list_.push_back(record);
        if (wake_ >= 0) {
            const uint64_t one = 1;
            [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
        }
    }
    std::list<Record> take() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::list<Record> out;
        out.swap(list_);
        drain();
        return out;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        list_.clear();
        drain();
    }

private:
    void drain() {
        uint64_t count;
        if (wake_ >= 0) [[maybe_unused]]
            ssize_t n = ::read(wake_, &count, sizeof count);
    }

    std::mutex mutex_;
    std::list<Record> list_;
    int wake_;
};

// Fills a record's data with the escaped frame; false (record untouched) for a frame longer
// than a card answer can be.
template <class Record>
bool escape_into(protocol_phy& phy, Record& record, const u8* frame, unsigned length) {
    if (length == 0 || length > 1024)
        return false;
    record.length = phy.data_re_transf_meaning(record.data, frame, length);
    return true;
}
