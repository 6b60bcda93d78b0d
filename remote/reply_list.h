// Card answers waiting to be sent on a transport. The FPGA manager's forward step puts
// them in (on its own thread, or on a transport thread under its pass-through lock); the
// transport thread takes them out and sends them. Both sides go through the list's lock.
#pragma once

#include <netinet/in.h>

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
    int fd;  // the client socket current when the answer was queued
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
    // Only the newest answer is kept: an older one that was not sent yet is dropped.
    void replace(const Record& record) {
        std::lock_guard<std::mutex> lock(mutex_);
        list_.clear();
        list_.push_back(record);
    }
    std::list<Record> take() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::list<Record> out;
        out.swap(list_);
        return out;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        list_.clear();
    }

private:
    std::mutex mutex_;
    std::list<Record> list_;
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
